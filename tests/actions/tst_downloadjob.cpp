#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

enum class Trouble { Cut, MissingFolder, FullDisk, FolderRemoved };
Q_DECLARE_METATYPE(Trouble)

class DownloadJobTest : public DownloadTestCase
{
    Q_OBJECT

    int m_finished = 0;
    int m_offers = 0;
    QString m_offered;
    qint64 m_announced = -2;
    qint64 m_lastProgress = -1;

    // Starts `url`, saves to `target` (when not empty) as soon as the file is
    // offered, and waits for the end.
    bool download(DownloadJob &job, const QUrl &url, const QString &target)
    {
        m_finished = m_offers = 0;
        m_lastProgress = 0;
        bool ok = false;
        connect(&job, &DownloadJob::metaDataReady, this, [&, target](const QString &name, qint64 total) {
            ++m_offers;
            m_offered = name;
            m_announced = total;
            if (!target.isEmpty())
                job.saveTo(target);
        });
        connect(&job, &DownloadJob::progress, this, [this](qint64 received) { m_lastProgress = received; });
        connect(&job, &DownloadJob::finished, this, [&](bool done) {
            ++m_finished;
            ok = done;
        });
        job.start(url);
        if (!target.isEmpty() && !QTest::qWaitFor([&] { return m_finished > 0; }, kDownloadWaitMs))
            qWarning("the download did not end in time");
        QCoreApplication::processEvents(); // a second finished() would come now
        job.disconnect(this);
        return ok;
    }

private Q_SLOTS:
    void savesTheFileWithItsHash_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<QString>("start"); // /files/setup.exe, or a redirect to it: /latest, or /page for a page
        QTest::addColumn<QByteArray>("type");
        const QByteArray file = "application/octet-stream";
        QTest::newRow("300 KB, more than is held before the save-as answer")
            << sampleBytes(300 * 1024) << true << "/files/setup.exe" << file;
        QTest::newRow("24 MB, through the writer's buffers many times")
            << sampleBytes(24 * 1024 * 1024 + 123, 2) << true << "/files/setup.exe" << file;
        // SHA-256 works on 64-byte blocks and pads at 56 bytes.
        for (int size : {0, 55, 56, 64, 65})
            QTest::addRow("length %d", size) << sampleBytes(size, size + 100) << true << "/files/setup.exe" << file;
        QTest::newRow("no Content-Length") << sampleBytes(90000, 7) << false << "/files/setup.exe" << file;
        QTest::newRow("named for where a redirect led") << sampleBytes(5000, 8) << true << "/latest" << file;
        QTest::newRow("markup inside a file") << QByteArray("MZ<html>") << true << "/files/setup.exe" << file;
        // A vendor's page is no file, nor is a page sent as one; a body shorter
        // than what is looked at is judged on what there is.
        QTest::newRow("web page") << QByteArray(3000, ' ') + "<p>Get it</p>" << true << "/page" << QByteArray("text/html");
        QTest::newRow("short page sent as a file") << QByteArray("\r\n<!doctype html>") << false << "/page" << file;
    }

    void savesTheFileWithItsHash()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, announced);
        QFETCH(QString, start);
        QFETCH(QByteArray, type);
        const bool page = start == QLatin1String("/page");
        m_server->setRoute(QStringLiteral("/files/setup.exe"), {.headers = {{"Content-Type", type}}, .body = body,
                                                                .contentLength = announced ? -1 : -2});
        m_server->redirect(QStringLiteral("/latest"), QStringLiteral("/files/setup.exe"));
        m_server->redirect(QStringLiteral("/page"), QStringLiteral("/files/setup.exe"));
        DownloadJob job(m_nam.get());
        QCOMPARE(download(job, m_server->url(start), path(QStringLiteral("saved.exe"))), !page);
        QCOMPARE(m_finished, 1);
        QCOMPARE(job.failure() == NetError::Kind::WebPage, page);
        QCOMPARE(m_offers, page ? 0 : 1); // a page is told before the user is asked anything
        QCOMPARE(folderEntries(m_dir->path()), page ? QStringList() : QStringList{QStringLiteral("saved.exe")});
        if (page)
            return;
        QCOMPARE(m_offered, QStringLiteral("setup.exe"));
        QCOMPARE(m_announced, announced ? qint64(body.size()) : qint64(-1));
        QCOMPARE(m_lastProgress, qint64(body.size()));
        QVERIFY(readFile(path(QStringLiteral("saved.exe"))) == body);
        QCOMPARE(job.sha256(), sha256Hex(body));
    }

    void failureLeavesTheOldFile_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("text"); // how the error starts; "@" is the target
        QTest::newRow("cut off") << Trouble::Cut << "The download of tool.exe was cut off after 40000 of";
        QTest::newRow("missing folder") << Trouble::MissingFolder << "@ could not be written: ";
        // The .part file leads to /dev/full, where every write fails as on a full disk.
        QTest::newRow("disk full") << Trouble::FullDisk << "@ could not be written: No space left on device.";
        QTest::newRow("folder removed meanwhile") << Trouble::FolderRemoved << "@ could not be written: ";
    }

    void failureLeavesTheOldFile()
    {
        QFETCH(Trouble, trouble);
        QFETCH(QString, text);
        const QString folder = path(QStringLiteral("sub"));
        const QString target = folder + QStringLiteral("/tool.exe");
        if (trouble != Trouble::MissingFolder)
            QVERIFY(writeFile(target, "the version the user already has"));
        const QByteArray body = sampleBytes(8 * 1024 * 1024, 13);
        m_server->serveBytes(QStringLiteral("/tool.exe"), body);
        if (trouble == Trouble::Cut)
            m_server->cutAfter(QStringLiteral("/tool.exe"), body, 40000);
        if (trouble == Trouble::FullDisk && !QFile::link(QStringLiteral("/dev/full"), target + QStringLiteral(".part")))
            QSKIP("this system has no /dev/full");
        DownloadJob job(m_nam.get());
        bool removed = false;
        connect(&job, &DownloadJob::progress, this, [&](qint64 received) {
            if (trouble == Trouble::FolderRemoved && !removed && received < body.size())
                removed = QDir(folder).removeRecursively();
        });
        QVERIFY(!download(job, m_server->url(QStringLiteral("/tool.exe")), target));
        QCOMPARE(m_finished, 1);
        QVERIFY2(job.errorText().startsWith(text.replace(QLatin1Char('@'), QDir::toNativeSeparators(target))),
                 qPrintable(job.errorText()));
        const QStringList left = trouble == Trouble::Cut || trouble == Trouble::FullDisk ? QStringList{"tool.exe"}
                                                                                          : QStringList();
        QCOMPARE(folderEntries(folder), left);
        if (!left.isEmpty())
            QCOMPARE(readFile(target), QByteArray("the version the user already has"));
        QVERIFY(job.sha256().isEmpty());
    }

    void namesTheFile_data()
    {
        // The address empty: the name alone is made safe.
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        const QString any = QStringLiteral("https://h.example/dl/setup.exe");
        QTest::newRow("quoted") << QByteArray("attachment; filename=\"Setup 1.2.exe\"") << any << "Setup 1.2.exe";
        QTest::newRow("extended wins") << QByteArray("attachment; filename=old.exe; FILENAME*=UTF-8''Caf%C3%A9%20v2.exe")
                                       << any << QString::fromUtf8("Café v2.exe");
        QTest::newRow("extended latin1") << QByteArray("attachment; filename*=ISO-8859-1''na%EFve.txt") << any
                                         << QString::fromUtf8("naïve.txt");
        QTest::newRow("bad extended falls back") << QByteArray("attachment; filename*=UTF-8''%FF%FE.bin; filename=ok.bin")
                                                 << any << "ok.bin";
        QTest::newRow("quotes and semicolons") << QByteArray("attachment; filename=\"a;\\\"b\\\".txt\"") << any << "a;_b_.txt";
        QTest::newRow("raw latin1 bytes") << QByteArray("attachment; filename=\"\xfc.txt\"") << any << QString::fromUtf8("ü.txt");
        // A server names a file; it does not pick the folder.
        QTest::newRow("server path dropped") << QByteArray("attachment; filename=\"..\\\\..\\\\system32\\\\evil:x.dll\"")
                                             << any << "evil_x.dll";
        QTest::newRow("unusable server name") << QByteArray("attachment; filename=\"...\"") << any << "setup.exe";
        QTest::newRow("encoded separators") << QByteArray() << "https://h.example/a/b%3Fc%2Fd.zip?x=1" << "b_c_d.zip";
        QTest::newRow("encoded non-ASCII") << QByteArray() << "https://h.example/%E2%82%AC%20tool.exe"
                                           << QString::fromUtf8("€ tool.exe");
        QTest::newRow("host, folder path") << QByteArray() << "https://www.example.com/folder/" << "www.example.com";
        QTest::newRow("forbidden and control characters") << QByteArray("c:d*e?f<h>i|j\t\x01.txt") << "" << "c_d_e_f_h_i_j__.txt";
        QTest::newRow("dots and blanks at the ends") << QByteArray(" ..hidden.txt. . ") << "" << "hidden.txt";
        QTest::newRow("device name") << QByteArray("nul.txt") << "" << "_nul.txt";
        QTest::newRow("port name") << QByteArray("COM1") << "" << "_COM1";
        QTest::newRow("not a device") << QByteArray("COM0") << "" << "COM0";
        QTest::newRow("nothing usable") << QByteArray("???") << "" << "download";
        QTest::newRow("too long, extension kept") << QByteArray(300, 'a') + ".exe" << "" << QString(196, 'a') + ".exe";
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
