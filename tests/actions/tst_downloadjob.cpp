#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"

#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#endif

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
        QTest::newRow("300 KB, more than is held before the save-as answer") << sampleBytes(300 * 1024) << true << "/files/setup.exe" << file;
        QTest::newRow("24 MB, through the writer's buffers many times") << sampleBytes(24 * 1024 * 1024 + 123, 2) << true << "/files/setup.exe" << file;
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
        QVERIFY(writeFile(path(QStringLiteral("saved.exe.part")), "another program's")); // not the download's
        DownloadJob job(m_nam.get());
        QSignalSpy offers(&job, &DownloadJob::metaDataReady);
        QSignalSpy progress(&job, &DownloadJob::progress);
        QCOMPARE(download(job, m_server->url(start), path(QStringLiteral("saved.exe"))), !page);
        QCOMPARE(job.failure() == NetError::Kind::WebPage, page);
        QCOMPARE(offers.size(), page ? 0 : 1); // a page is told before the user is asked anything
        QCOMPARE(folderEntries(m_dir->path()),
                 (page ? QStringList{"saved.exe.part"} : QStringList{"saved.exe", "saved.exe.part"}));
        QCOMPARE(readFile(path(QStringLiteral("saved.exe.part"))), QByteArray("another program's"));
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
        QTest::addColumn<QString>("text"); // how the error starts, or all of it when it ends in "."; "@" is the target
        // clang-format off
        QTest::newRow("cut off") << "The download of tool.exe was cut off after 40000 of";
        QTest::newRow("missing folder") << "@ could not be written: ";
        // A file system of 1.5 MB: a piece of the body fits only in part, the next write finds the disk full.
        QTest::newRow("disk full") << "@ could not be written: No space left on device.";
        QTest::newRow("folder removed") << "@ could not be written: ";
        QTest::newRow("cancelled") << "The download of tool.exe was cancelled.";
        QTest::newRow("redirected to a local file") << "The download of LINK was redirected to file:///etc/passwd, which is not a web address, and was stopped.";
        // clang-format on
    }

    void failureLeavesTheOldFile()
    {
        QFETCH(QString, text);
        const QString trouble = QString::fromLatin1(QTest::currentDataTag());
        const QString folder = path(QStringLiteral("sub"));
        const QString target = folder + QStringLiteral("/tool.exe");
        bool smallDisk = false; // 1.5 MB on the folder, seen only by this process (a mount namespace of its own)
#ifdef Q_OS_LINUX
        const QByteArray mountPoint = QFile::encodeName(folder);
        auto unmount = qScopeGuard([&] { umount2(mountPoint.constData(), MNT_DETACH); });
        smallDisk = trouble == QLatin1String("disk full") && QDir().mkpath(folder) && unshare(CLONE_NEWNS) == 0
            && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1536k") == 0;
#endif
        if (trouble == QLatin1String("disk full") && !smallDisk)
            QSKIP("no small file system can be mounted here");
        // Another program's file of the partial name, a link leading outside: neither is the download's.
        QVERIFY(writeFile(path(QStringLiteral("outside")), "not the download's"));
        if (trouble != QLatin1String("missing folder"))
            QVERIFY(writeFile(target, "the version the user already has")
                    && QFile::link(path(QStringLiteral("outside")), target + QStringLiteral(".part")));
        const QByteArray body = sampleBytes(8 * 1024 * 1024, 13);
        m_server->serveBytes(QStringLiteral("/tool.exe"), body);
        if (trouble == QLatin1String("cut off"))
            m_server->cutAfter(QStringLiteral("/tool.exe"), body, 40000);
        if (trouble.startsWith(QLatin1String("redirected")))
            m_server->redirect(QStringLiteral("/tool.exe"), QStringLiteral("file:///etc/passwd"));
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
        text.replace(QLatin1Char('@'), QDir::toNativeSeparators(target))
            .replace("LINK", m_server->url("/tool.exe").toString());
        QVERIFY2(text.endsWith(QLatin1Char('.')) ? job.errorText() == text : job.errorText().startsWith(text),
                 qPrintable(job.errorText()));
        const bool kept = trouble != QLatin1String("missing folder") && trouble != QLatin1String("folder removed");
        QCOMPARE(folderEntries(folder), (kept ? QStringList{"tool.exe", "tool.exe.part"} : QStringList()));
        QCOMPARE(readFile(target), kept ? QByteArray("the version the user already has") : QByteArray());
        QCOMPARE(readFile(path(QStringLiteral("outside"))), QByteArray("not the download's"));
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
        QTest::newRow("extended wins") << QByteArray("attachment; filename=old.exe; FILENAME*=UTF-8''Caf%C3%A9%20v2.exe") << any << QString::fromUtf8("Café v2.exe");
        QTest::newRow("bad extended falls back") << QByteArray("attachment; filename*=UTF-8''%FF%FE.bin; filename=ok.bin") << any << "ok.bin";
        QTest::newRow("quotes and semicolons") << QByteArray("attachment; filename=\"a;\\\"b\\\".txt\"") << any << "a;_b_.txt";
        // A server names a file; it does not pick the folder.
        QTest::newRow("server path dropped") << QByteArray("attachment; filename=\"..\\\\..\\\\system32\\\\evil:x.dll\"") << any << "evil_x.dll";
        QTest::newRow("unusable server name") << QByteArray("attachment; filename=\"...\"") << any << "setup.exe";
        QTest::newRow("encoded separators and non-ASCII") << QByteArray() << "https://h.example/a/b%3Fc%2F%E2%82%AC.zip?x=1" << QString::fromUtf8("b_c_€.zip");
        QTest::newRow("host, folder path") << QByteArray() << "https://www.example.com/folder/" << "www.example.com";
        QTest::newRow("forbidden and control characters") << QByteArray("c:d*e?f<h>i|j\t\x01.txt") << "" << "c_d_e_f_h_i_j__.txt";
        QTest::newRow("dots and blanks at the ends") << QByteArray(" ..hidden.txt. . ") << "" << "hidden.txt";
        QTest::newRow("device name") << QByteArray("nul.txt") << "" << "_nul.txt";
        QTest::newRow("device name, superscript digit") << QByteArray("Lpt\u00B3.tar.gz") << "" << QString::fromUtf8("_Lpt\u00B3.tar.gz");
        QTest::newRow("not a device") << QByteArray("COM0") << "" << "COM0";
        // Direction and zero-width characters change how a name reads, not what it is.
        QTest::newRow("format characters") << QByteArray("in\u200Bvoice\u202Egpj.ex\uFEFFe\U000E0041") << "" << "invoicegpj.exe";
        QTest::newRow("format characters hide a device") << QByteArray("nu\u200Bl.txt") << "" << "_nul.txt";
        QTest::newRow("nothing usable") << QByteArray("???") << "" << "download";
        QTest::newRow("too long, extension kept") << QByteArray(300, 'a') + ".exe" << "" << QString(196, 'a') + ".exe";
        QTest::newRow("too long, three bytes a character") << QByteArray("\u20AC").repeated(300) + ".exe" << "" << QString(u'\u20AC').repeated(65) + ".exe";
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
