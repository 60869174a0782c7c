#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

class DownloadJobTest : public DownloadTestCase
{
    Q_OBJECT

    // Starts `url`, saves to `target` as soon as the file is offered, and
    // waits for the end; true when it ended once, successfully.
    bool download(DownloadJob &job, const QUrl &url, const QString &target)
    {
        connect(&job, &DownloadJob::metaDataReady, &job, [&job, target] { job.saveTo(target); });
        QSignalSpy finished(&job, &DownloadJob::finished);
        job.start(url);
        (void)finished.wait(kDownloadWaitMs); // a hang shows as no finished()
        QCoreApplication::processEvents();    // a second finished() would come now
        return finished.size() == 1 && finished.at(0).at(0).toBool();
    }

private Q_SLOTS:
    void savesTheFileWithItsHash_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<QString>("start"); // /files/setup.exe, or a redirect to it: /latest, or /page for a page
        QTest::addColumn<QByteArray>("type");
        const QByteArray file = "application/octet-stream";
        // clang-format off
        QTest::newRow("300 KB, more than is held before the save-as answer")
            << sampleBytes(300 * 1024) << true << "/files/setup.exe" << file;
        QTest::newRow("24 MB, through the writer's buffers many times")
            << sampleBytes(24 * 1024 * 1024 + 123, 2) << true << "/files/setup.exe" << file;
        // clang-format on
        // SHA-256 works on 64-byte blocks and pads at 56 bytes.
        for (int size : {0, 55, 56, 64, 65})
            QTest::addRow("length %d", size) << sampleBytes(size, size + 100) << true << "/files/setup.exe" << file;
        // clang-format off
        QTest::newRow("no Content-Length") << sampleBytes(90000, 7) << false << "/files/setup.exe" << file;
        QTest::newRow("named for where a redirect led") << sampleBytes(5000, 8) << true << "/latest" << file;
        QTest::newRow("markup inside a file") << QByteArray("MZ<html>") << true << "/files/setup.exe" << file;
        // A vendor's page is no file, nor is a page sent as one; a body shorter
        // than what is looked at is judged on what there is.
        QTest::newRow("web page") << QByteArray(3000, ' ') + "<p>Get it</p>" << true << "/page" << QByteArray("text/html");
        QTest::newRow("short page sent as a file") << QByteArray("\r\n<!doctype html>") << false << "/page" << file;
        QTest::newRow("xhtml page") << QByteArray("<p/>") << true << "/page" << QByteArray("application/xhtml+xml; charset=utf-8");
        QTest::newRow("page after a BOM") << QByteArray("\xEF\xBB\xBF \t<HEAD>") << true << "/page" << QByteArray("text/plain");
        // clang-format on
    }

    void savesTheFileWithItsHash()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, announced);
        QFETCH(QString, start);
        QFETCH(QByteArray, type);
        const bool page = start == QLatin1String("/page");
        m_server->setRoute(QStringLiteral("/files/setup.exe"),
                           {.headers = {{"Content-Type", type}}, .body = body, .contentLength = announced ? -1 : -2});
        m_server->redirect(QStringLiteral("/latest"), QStringLiteral("/files/setup.exe"));
        m_server->redirect(QStringLiteral("/page"), QStringLiteral("/files/setup.exe"));
        DownloadJob job(m_nam.get());
        QSignalSpy offers(&job, &DownloadJob::metaDataReady);
        QSignalSpy progress(&job, &DownloadJob::progress);
        QCOMPARE(download(job, m_server->url(start), path(QStringLiteral("saved.exe"))), !page);
        QCOMPARE(job.failure() == NetError::Kind::WebPage, page);
        QCOMPARE(offers.size(), page ? 0 : 1); // a page is told before the user is asked anything
        QCOMPARE(folderEntries(m_dir->path()), page ? QStringList() : QStringList{QStringLiteral("saved.exe")});
        if (page)
            return;
        QCOMPARE(offers.at(0),
                 (QVariantList{QStringLiteral("setup.exe"), announced ? qint64(body.size()) : qint64(-1)}));
        QCOMPARE(progress.isEmpty() ? 0 : progress.last().at(0).toLongLong(), qint64(body.size()));
        QVERIFY(readFile(path(QStringLiteral("saved.exe"))) == body);
        QCOMPARE(job.sha256(), sha256Hex(body));
    }

    void failureLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("text"); // how the error starts; "@" is the target
        // clang-format off
        QTest::newRow("cut off") << "The download of tool.exe was cut off after 40000 of";
        QTest::newRow("missing folder") << "@ could not be written: ";
        // The .part file leads to /dev/full, where every write fails as on a full disk.
        QTest::newRow("disk full") << "@ could not be written: No space left on device.";
        QTest::newRow("folder removed") << "@ could not be written: ";
        QTest::newRow("cancelled") << "The download of tool.exe was cancelled.";
        // clang-format on
    }

    void failureLeavesTheOldFile()
    {
        QFETCH(QString, text);
        const QString trouble = QString::fromLatin1(QTest::currentDataTag());
        const QString folder = path(QStringLiteral("sub"));
        const QString target = folder + QStringLiteral("/tool.exe");
        if (trouble != QLatin1String("missing folder"))
            QVERIFY(writeFile(target, "the version the user already has"));
        const QByteArray body = sampleBytes(8 * 1024 * 1024, 13);
        m_server->serveBytes(QStringLiteral("/tool.exe"), body);
        if (trouble == QLatin1String("cut off"))
            m_server->cutAfter(QStringLiteral("/tool.exe"), body, 40000);
        if (trouble == QLatin1String("disk full")
            && !QFile::link(QStringLiteral("/dev/full"), target + QStringLiteral(".part")))
            QSKIP("this system has no /dev/full");
        DownloadJob job(m_nam.get());
        connect(&job, &DownloadJob::progress, this, [&] {
            if (trouble == QLatin1String("folder removed"))
                QDir(folder).removeRecursively();
            else if (trouble == QLatin1String("cancelled"))
                job.cancel();
        });
        QSignalSpy finished(&job, &DownloadJob::finished);
        QVERIFY(!download(job, m_server->url(QStringLiteral("/tool.exe")), target));
        QCOMPARE(finished.size(), 1);
        QVERIFY2(job.errorText().startsWith(text.replace(QLatin1Char('@'), QDir::toNativeSeparators(target))),
                 qPrintable(job.errorText()));
        const bool kept = trouble != QLatin1String("missing folder") && trouble != QLatin1String("folder removed");
        QCOMPARE(folderEntries(folder), kept ? QStringList{"tool.exe"} : QStringList());
        QCOMPARE(readFile(target), kept ? QByteArray("the version the user already has") : QByteArray());
    }

    void namesTheFile_data()
    {
        // The address empty: the name alone is made safe.
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        const QString any = QStringLiteral("https://h.example/dl/setup.exe");
        // clang-format off
        QTest::newRow("quoted") << QByteArray("attachment; filename=\"Setup 1.2.exe\"") << any << "Setup 1.2.exe";
        QTest::newRow("raw latin1 bytes") << QByteArray("attachment; filename=\"\xfc.txt\"") << any << QString::fromUtf8("ü.txt");
        QTest::newRow("extended wins") << QByteArray("attachment; filename=old.exe; FILENAME*=UTF-8''Caf%C3%A9%20v2.exe")
                                       << any << QString::fromUtf8("Café v2.exe");
        QTest::newRow("bad extended falls back") << QByteArray("attachment; filename*=UTF-8''%FF%FE.bin; filename=ok.bin")
                                                 << any << "ok.bin";
        QTest::newRow("quotes and semicolons") << QByteArray("attachment; filename=\"a;\\\"b\\\".txt\"") << any << "a;_b_.txt";
        // A server names a file; it does not pick the folder.
        QTest::newRow("server path dropped") << QByteArray("attachment; filename=\"..\\\\..\\\\system32\\\\evil:x.dll\"")
                                             << any << "evil_x.dll";
        QTest::newRow("unusable server name") << QByteArray("attachment; filename=\"...\"") << any << "setup.exe";
        QTest::newRow("encoded separators and non-ASCII") << QByteArray() << "https://h.example/a/b%3Fc%2F%E2%82%AC.zip?x=1"
                                                         << QString::fromUtf8("b_c_€.zip");
        QTest::newRow("host, folder path") << QByteArray() << "https://www.example.com/folder/" << "www.example.com";
        QTest::newRow("forbidden and control characters") << QByteArray("c:d*e?f<h>i|j\t\x01.txt") << "" << "c_d_e_f_h_i_j__.txt";
        QTest::newRow("dots and blanks at the ends") << QByteArray(" ..hidden.txt. . ") << "" << "hidden.txt";
        QTest::newRow("device name") << QByteArray("nul.txt") << "" << "_nul.txt";
        QTest::newRow("not a device") << QByteArray("COM0") << "" << "COM0";
        QTest::newRow("nothing usable") << QByteArray("???") << "" << "download";
        QTest::newRow("too long, extension kept") << QByteArray(300, 'a') + ".exe" << "" << QString(196, 'a') + ".exe";
        // clang-format on
    }

    void namesTheFile()
    {
        QFETCH(QByteArray, disposition);
        QFETCH(QString, address);
        QFETCH(QString, name);
        if (address.isEmpty())
            QCOMPARE(DownloadJob::safeFileName(QString::fromUtf8(disposition)), name);
        else
            QCOMPARE(DownloadJob::suggestFileName(disposition, QUrl(address)), name);
    }
};

QTEST_GUILESS_MAIN(DownloadJobTest)
#include "tst_downloadjob.moc"
