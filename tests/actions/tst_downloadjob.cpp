#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

namespace {

// What one run of a job did, as its signals told it.
struct Run
{
    int finishedCount = 0;
    bool ok = false;
    int metaDataCount = 0;
    QString suggested;
    qint64 announced = -2;
    qint64 lastReceived = -1;
    qint64 lastTotal = -2;
};

enum class Failure {
    NotFound,
    ServerError,
    Refused,
    Cut,
    ShortBody,
    StallBeforeAnswer,
    StallMidBody,
    TooManyRedirects,
    OtherScheme,
};

// The run ended once, successfully, and `target` holds exactly `body`.
void verifySaved(const DownloadJob &job, const Run &run, const QString &target, const QByteArray &body)
{
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(readFile(target), body);
    QCOMPARE(job.sha256(), sha256Hex(body));
    QVERIFY(!QFileInfo::exists(partPath(target)));
}

// The run failed once because `target` could not be written, and says so.
void verifyWriteError(const DownloadJob &job, const Run &run, const QString &target)
{
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QVERIFY2(job.errorText().startsWith(QDir::toNativeSeparators(target) + QStringLiteral(" could not be written: ")),
             qPrintable(job.errorText()));
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class DownloadJobTest : public DownloadTestCase
{
    Q_OBJECT

    // Starts `url`, saves to `target` as soon as the headers arrive, and waits
    // for the end.
    Run download(DownloadJob &job, const QUrl &url, const QString &target)
    {
        Run run;
        watch(job, run);
        connect(&job, &DownloadJob::metaDataReady, this, [&job, target] { job.saveTo(target); });
        job.start(url);
        if (!QTest::qWaitFor([&] { return run.finishedCount > 0; }, kDownloadWaitMs))
            qWarning("the download did not end in time");
        // A second finished() would show up in the events that follow.
        QTest::qWait(20);
        job.disconnect(this);
        return run;
    }

    void watch(DownloadJob &job, Run &run)
    {
        connect(&job, &DownloadJob::finished, this, [&run](bool ok) {
            ++run.finishedCount;
            run.ok = ok;
        });
        connect(&job, &DownloadJob::metaDataReady, this, [&run](const QString &name, qint64 total) {
            ++run.metaDataCount;
            run.suggested = name;
            run.announced = total;
        });
        connect(&job, &DownloadJob::progress, this, [&run](qint64 received, qint64 total) {
            run.lastReceived = received;
            run.lastTotal = total;
        });
    }

    // Sets up the server (and the job's time limits) so that the download
    // fails the given way; returns the address to ask.
    QUrl arrangeFailure(Failure failure, DownloadJob &job)
    {
        switch (failure) {
        case Failure::NotFound:
            break; // no route: 404
        case Failure::ServerError:
            m_server->serveStatus(QStringLiteral("/busy"), 503, "<html>later</html>", "Try Again Later");
            m_server->redirect(QStringLiteral("/to-busy"), QStringLiteral("/busy"));
            return m_server->url(QStringLiteral("/to-busy"));
        case Failure::Refused:
            return QUrl(QStringLiteral("http://127.0.0.1:%1/x.bin").arg(deadPort()));
        case Failure::Cut:
            m_server->cutAfter(QStringLiteral("/cut.iso"), sampleBytes(300000, 9), 100000);
            return m_server->url(QStringLiteral("/cut.iso"));
        case Failure::ShortBody:
            m_server->shortBody(QStringLiteral("/short.bin"), sampleBytes(3000, 4), 5000);
            return m_server->url(QStringLiteral("/short.bin"));
        case Failure::StallBeforeAnswer:
            m_server->stallBeforeHeaders(QStringLiteral("/silent"));
            job.setConnectTimeout(300);
            return m_server->url(QStringLiteral("/silent"));
        case Failure::StallMidBody:
            m_server->stallAfter(QStringLiteral("/stuck.bin"), sampleBytes(200000, 6), 50000);
            job.setIdleTimeout(300);
            return m_server->url(QStringLiteral("/stuck.bin"));
        case Failure::TooManyRedirects:
            m_server->serveBytes(QStringLiteral("/end.bin"), sampleBytes(100, 2));
            m_server->redirectChain(QStringLiteral("/eleven"), 11, QStringLiteral("/end.bin"));
            return m_server->url(QStringLiteral("/eleven/0"));
        case Failure::OtherScheme:
            m_server->redirect(QStringLiteral("/to-ftp"), QStringLiteral("ftp://127.0.0.1/file.bin"));
            return m_server->url(QStringLiteral("/to-ftp"));
        }
        return m_server->url(QStringLiteral("/missing.exe"));
    }

private Q_SLOTS:
    void savesFileWithItsHash()
    {
        // Larger than what the reply holds before the save-as answer, so the body
        // has to flow through the file, not sit in memory.
        const QByteArray body = sampleBytes(300 * 1024);
        m_server->serveBytes(QStringLiteral("/files/setup.exe"), body);

        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("setup.exe"));
        const Run run = download(job, m_server->url(QStringLiteral("/files/setup.exe")), target);

        verifySaved(job, run, target, body);
        QCOMPARE(run.metaDataCount, 1);
        QCOMPARE(run.suggested, QStringLiteral("setup.exe"));
        QCOMPARE(run.announced, qint64(body.size()));
        QCOMPARE(run.lastReceived, qint64(body.size()));
        QCOMPARE(run.lastTotal, qint64(body.size()));
        QCOMPARE(job.state(), DownloadJob::State::Succeeded);
        QCOMPARE(job.errorText(), QString());
        QCOMPARE(job.targetPath(), target);
        QCOMPARE(m_server->requestCount(QStringLiteral("/files/setup.exe")), 1);

        // The server is told who asks and that the file must come as published.
        const auto headers = m_server->lastRequestHeaders(QStringLiteral("/files/setup.exe"));
        QVERIFY(headers.value("user-agent").startsWith("Fetchora/"));
        QCOMPARE(headers.value("accept-encoding"), QByteArray("identity"));
    }

    void largeBodyStreamedIntact()
    {
        const qint64 size = 24 * 1024 * 1024 + 123;
        m_server->serveGenerated(QStringLiteral("/big.bin"), size);
        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("big.bin"));
        const Run run = download(job, m_server->url(QStringLiteral("/big.bin")), target);

        QVERIFY2(run.ok, qPrintable(job.errorText()));
        QCOMPARE(QFileInfo(target).size(), size);
        const QByteArray expected = HttpTestServer::generatedSha256Hex(size);
        QCOMPARE(job.sha256(), expected);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCryptographicHash onDisk(QCryptographicHash::Sha256);
        QVERIFY(onDisk.addData(&saved));
        QCOMPARE(onDisk.result().toHex(), expected);
    }

    void hashOfAwkwardLengths_data()
    {
        // Lengths around the 64-byte blocks of SHA-256 and its 56-byte padding edge,
        // and a body arriving in pieces that split blocks.
        QTest::addColumn<int>("size");
        for (int size : {0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 65536 + 7, 333333})
            QTest::addRow("length %d", size) << size;
    }

    void hashOfAwkwardLengths()
    {
        QFETCH(int, size);
        const QByteArray body = sampleBytes(size, size + 100);
        m_server->serveBytes(QStringLiteral("/len"), body);
        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("len.bin"));
        verifySaved(job, download(job, m_server->url(QStringLiteral("/len")), target), target, body);
        QVERIFY(QFileInfo(target).isFile());
    }

    void bodyWithoutLengthSavedWhole()
    {
        const QByteArray body = sampleBytes(90000, 7);
        serveBody(*m_server, QStringLiteral("/stream"), body, false);

        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("stream.bin"));
        const Run run = download(job, m_server->url(QStringLiteral("/stream")), target);
        verifySaved(job, run, target, body);
        QCOMPARE(run.announced, qint64(-1));
        QCOMPARE(job.totalBytes(), qint64(-1));
    }

    void waitsForTheUsersChoice_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("idleTimeout"); // 0: the default
        QTest::addColumn<int>("pause");       // how long the user takes to answer
        QTest::addColumn<bool>("cancel");     // the answer: cancel, or where to save

        // The whole reply has arrived before the user answers; nothing is lost and
        // nothing is written until then.
        QTest::newRow("small body, arrived whole") << 2000 << 0 << 200 << false;
        // The user's pause must not count as a stalled server.
        QTest::newRow("6 MB, pause longer than the idle timeout") << 6 * 1024 * 1024 << 400 << 700 << false;
        QTest::newRow("4 MB, cancelled") << 4 * 1024 * 1024 << 0 << 0 << true;
    }

    void waitsForTheUsersChoice()
    {
        QFETCH(int, size);
        QFETCH(int, idleTimeout);
        QFETCH(int, pause);
        QFETCH(bool, cancel);

        const QString route = QStringLiteral("/wait.bin");
        const bool generated = size > 1024 * 1024;
        const QByteArray body = generated ? QByteArray() : sampleBytes(size, 3);
        if (generated)
            m_server->serveGenerated(route, size);
        else
            m_server->serveBytes(route, body, "text/plain");
        DownloadJob job(m_nam.get());
        if (idleTimeout > 0)
            job.setIdleTimeout(idleTimeout);
        Run run;
        watch(job, run);
        job.start(m_server->url(route));
        QVERIFY(QTest::qWaitFor([&] { return run.metaDataCount == 1; }, kDownloadWaitMs));
        QTest::qWait(pause);
        QCOMPARE(job.state(), DownloadJob::State::AwaitingTarget);
        QCOMPARE(run.finishedCount, 0);
        QCOMPARE(job.receivedBytes(), qint64(0));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());

        if (cancel) {
            job.cancel();
            QCOMPARE(run.finishedCount, 1); // before cancel() returned
            QVERIFY(!run.ok);
            QCOMPARE(job.state(), DownloadJob::State::Cancelled);
            QTest::qWait(50);
            QCOMPARE(run.finishedCount, 1);
            QCOMPARE(folderEntries(m_dir->path()), QStringList());
            return;
        }
        const QString target = path(QStringLiteral("wait.bin"));
        job.saveTo(target);
        QVERIFY(QTest::qWaitFor([&] { return run.finishedCount == 1; }, kDownloadWaitMs));
        QVERIFY2(run.ok, qPrintable(job.errorText()));
        QCOMPARE(QFileInfo(target).size(), qint64(size));
        QCOMPARE(job.sha256(), generated ? HttpTestServer::generatedSha256Hex(size) : sha256Hex(body));
        if (!generated)
            QCOMPARE(readFile(target), body);
    }

    void followsRedirects_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("final");
        QTest::addColumn<int>("redirects");

        QTest::newRow("chain of three") << "/hop/0" << "/final/tool.zip" << 3;
        QTest::newRow("relative, 301") << "/dir/sub/latest" << "/dir/real.msi" << 1;
        QTest::newRow("ten, the most allowed") << "/ten/0" << "/end.bin" << 10;
    }

    void followsRedirects()
    {
        QFETCH(QString, start);
        QFETCH(QString, final);
        QFETCH(int, redirects);

        const QByteArray body = sampleBytes(5000, 11);
        m_server->serveBytes(final, body);
        m_server->redirectChain(QStringLiteral("/hop"), 3, QStringLiteral("/final/tool.zip"));
        m_server->redirect(QStringLiteral("/dir/sub/latest"), QStringLiteral("../real.msi"), 301);
        m_server->redirectChain(QStringLiteral("/ten"), 10, QStringLiteral("/end.bin"));

        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("saved.bin"));
        const Run run = download(job, m_server->url(start), target);
        verifySaved(job, run, target, body);
        QCOMPARE(job.redirectCount(), redirects);
        QCOMPARE(job.url(), m_server->url(start));
        QCOMPARE(job.finalUrl(), m_server->url(final));
        // The name comes from where the file really is, not from the first address.
        QCOMPARE(run.suggested, QUrl(final).fileName());
        // Every hop and the file itself were asked for exactly once.
        QCOMPARE(m_server->requestCount(final), 1);
        QCOMPARE(m_server->totalRequests(), redirects + 1);
    }

    void redirectPolicy_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https to http") << "https://a.example/x" << "http://a.example/x" << false;
        QTest::newRow("https to http other host") << "https://a.example/x" << "http://b.example/y" << false;
        QTest::newRow("HTTPS to http, any case") << "HTTPS://a.example/x" << "http://a.example/x" << false;
        QTest::newRow("https to https") << "https://a.example/x" << "https://cdn.example/x" << true;
        QTest::newRow("http to https") << "http://a.example/x" << "https://a.example/x" << true;
        QTest::newRow("http to http") << "http://a.example/x" << "http://b.example/x" << true;
        QTest::newRow("http to ftp") << "http://a.example/x" << "ftp://a.example/x" << false;
        QTest::newRow("https to file") << "https://a.example/x" << "file:///etc/passwd" << false;
        QTest::newRow("http to javascript") << "http://a.example/x" << "javascript:alert(1)" << false;
        QTest::newRow("to no host") << "http://a.example/x" << "http:///x" << false;
    }

    void redirectPolicy()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, allowed);
        QCOMPARE(DownloadJob::redirectAllowed(QUrl(from), QUrl(to)), allowed);
    }

    void failureIsExplained_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("error");    // "@" stands for the test server, http://127.0.0.1:PORT
        QTest::addColumn<bool>("whole");       // the whole text, or how it starts
        QTest::addColumn<qint64>("announced"); // the size metaDataReady() gave; -2: no answer to save
        QTest::addColumn<qint64>("received");
        QTest::addColumn<int>("requests");     // every address is asked once; nothing beyond

        QTest::newRow("404") << Failure::NotFound << "The server answered 404 Not Found for @/missing.exe." << true
                             << qint64(-2) << qint64(0) << 1;
        // The address named is the one that answered.
        QTest::newRow("503 after a redirect") << Failure::ServerError
                                              << "The server answered 503 Try Again Later for @/busy." << true
                                              << qint64(-2) << qint64(0) << 2;
        QTest::newRow("refused") << Failure::Refused << "The connection to 127.0.0.1 was refused." << true << qint64(-2)
                                 << qint64(0) << 0;
        QTest::newRow("cut mid-body") << Failure::Cut
                                      << "The download of cut.iso was cut off after 100000 of 300000 bytes" << false
                                      << qint64(300000) << qint64(100000) << 1;
        QTest::newRow("body shorter than announced")
            << Failure::ShortBody << "The download of short.bin was cut off after 3000 of 5000 bytes" << false
            << qint64(5000) << qint64(3000) << 1;
        QTest::newRow("stall before the answer") << Failure::StallBeforeAnswer
                                                 << "The server 127.0.0.1 did not answer for 0.3 seconds." << true
                                                 << qint64(-2) << qint64(0) << 1;
        QTest::newRow("stall mid-body") << Failure::StallMidBody
                                        << "The server 127.0.0.1 sent nothing for 0.3 seconds; the download of stuck.bin "
                                           "was stopped after 50000 of 200000 bytes."
                                        << true << qint64(200000) << qint64(50000) << 1;
        // The eleventh redirect is not followed.
        QTest::newRow("eleven redirects") << Failure::TooManyRedirects
                                          << "Too many redirections: @/eleven/0 was redirected" << false << qint64(-2)
                                          << qint64(0) << 11;
        QTest::newRow("redirect to ftp") << Failure::OtherScheme
                                         << "The download was redirected to ftp://127.0.0.1/file.bin, which is not a "
                                            "web address"
                                         << false << qint64(-2) << qint64(0) << 1;
    }

    void failureIsExplained()
    {
        QFETCH(Failure, failure);
        QFETCH(QString, error);
        QFETCH(bool, whole);
        QFETCH(qint64, announced);
        QFETCH(qint64, received);
        QFETCH(int, requests);

        DownloadJob job(m_nam.get());
        const QUrl url = arrangeFailure(failure, job);
        const QString target = path(url.fileName());
        const Run run = download(job, url, target);
        QVERIFY(!run.ok);
        QCOMPARE(run.finishedCount, 1);
        QCOMPARE(job.state(), DownloadJob::State::Failed);
        QCOMPARE(run.metaDataCount, announced == -2 ? 0 : 1);
        QCOMPARE(run.announced, announced);
        QCOMPARE(job.receivedBytes(), received);
        if (received > 0)
            QCOMPARE(run.lastReceived, received);
        error.replace(QLatin1Char('@'), m_server->url(QStringLiteral("/")).toString().chopped(1));
        if (whole)
            QCOMPARE(job.errorText(), error);
        else
            QVERIFY2(job.errorText().startsWith(error), qPrintable(job.errorText()));
        verifyNothingLeft(target);
        QVERIFY(job.sha256().isEmpty());
        QCOMPARE(m_server->totalRequests(), requests);
    }

    void cancelMidBody()
    {
        m_server->stallAfter(QStringLiteral("/slow.bin"), sampleBytes(200000, 8), 70000);
        DownloadJob job(m_nam.get());
        Run run;
        watch(job, run);
        const QString target = path(QStringLiteral("slow.bin"));
        connect(&job, &DownloadJob::metaDataReady, this, [&] { job.saveTo(target); });
        job.start(m_server->url(QStringLiteral("/slow.bin")));
        QVERIFY(QTest::qWaitFor([&] { return run.lastReceived == 70000; }, kDownloadWaitMs));
        QVERIFY(QFileInfo::exists(partPath(target)));
        QVERIFY(!QFileInfo::exists(target));

        job.cancel();
        QCOMPARE(run.finishedCount, 1); // before cancel() returned
        QVERIFY(!run.ok);
        QCOMPARE(job.state(), DownloadJob::State::Cancelled);
        QCOMPARE(job.errorText(), QStringLiteral("The download of slow.bin was cancelled."));
        verifyNothingLeft(target);
        job.cancel(); // a second cancel is nothing
        QTest::qWait(50);
        QCOMPARE(run.finishedCount, 1);
    }

    void notAWebAddress_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("ftp") << "ftp://127.0.0.1/file.zip";
        QTest::newRow("file") << "file:///etc/hostname";
        QTest::newRow("no host") << "http:///file.zip";
        QTest::newRow("empty") << "";
    }

    void notAWebAddress()
    {
        QFETCH(QString, link);
        DownloadJob job(m_nam.get());
        Run run;
        watch(job, run);
        job.start(QUrl(link));
        QTest::qWait(20);
        QCOMPARE(run.finishedCount, 1);
        QVERIFY(!run.ok);
        QCOMPARE(job.state(), DownloadJob::State::Failed);
        if (link.isEmpty())
            QCOMPARE(job.errorText(), QStringLiteral("There is no address to download."));
        else
            QCOMPARE(job.errorText(), QUrl(link).toDisplayString()
                                          + QStringLiteral(" is not a web address (http or https) that can be downloaded."));
        QCOMPARE(m_server->totalRequests(), 0);
    }

    void contentDispositionNames_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("name");
        QTest::newRow("quoted") << QByteArray("attachment; filename=\"Setup 1.2.exe\"") << "Setup 1.2.exe";
        QTest::newRow("token") << QByteArray("attachment; filename=setup.exe") << "setup.exe";
        QTest::newRow("extended preferred after")
            << QByteArray("attachment; filename=\"fallback.exe\"; filename*=UTF-8''Caf%C3%A9%20Setup.exe")
            << QString::fromUtf8("Café Setup.exe");
        QTest::newRow("extended preferred before")
            << QByteArray("attachment; filename*=utf-8'en'%E2%82%AC.zip; filename=\"EUR.zip\"")
            << QString::fromUtf8("€.zip");
        QTest::newRow("extended latin1") << QByteArray("attachment; filename*=ISO-8859-1''na%EFve.txt")
                                         << QString::fromUtf8("naïve.txt");
        QTest::newRow("bad extended falls back")
            << QByteArray("attachment; filename*=UTF-8''%FF%FE.bin; filename=\"ok.bin\"") << "ok.bin";
        QTest::newRow("semicolon in quotes") << QByteArray("attachment; filename=\"a;b.txt\"") << "a;b.txt";
        QTest::newRow("escaped quote") << QByteArray("attachment; filename=\"say \\\"hi\\\".txt\"")
                                       << "say \"hi\".txt";
        QTest::newRow("case of parameter") << QByteArray("Attachment; FILENAME=\"Upper.EXE\"") << "Upper.EXE";
        QTest::newRow("utf-8 raw bytes") << QByteArray("attachment; filename=\"\xc3\xbc.txt\"")
                                         << QString::fromUtf8("ü.txt");
        QTest::newRow("latin1 raw bytes") << QByteArray("attachment; filename=\"\xfc.txt\"")
                                          << QString::fromUtf8("ü.txt");
        QTest::newRow("no name") << QByteArray("inline") << "";
        QTest::newRow("empty") << QByteArray() << "";
    }

    void contentDispositionNames()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, name);
        QCOMPARE(DownloadJob::fileNameFromContentDisposition(header), name);
    }

    void suggestedName_data()
    {
        // A path is downloaded from the test server; a full address is only named.
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("name");

        QTest::newRow("from the server") << "/get"
                                         << QByteArray("attachment; filename=\"old.exe\"; filename*=UTF-8''New%20Tool%20v2.exe")
                                         << "New Tool v2.exe";
        // A server names a file; it does not pick the folder.
        QTest::newRow("server name with a path")
            << "/evil" << QByteArray("attachment; filename=\"..\\\\..\\\\Windows\\\\system32\\\\evil:name.dll\"")
            << "evil_name.dll";
        // A name with nothing usable in it gives way to the address.
        QTest::newRow("unusable server name") << "/dots/setup.exe" << QByteArray("attachment; filename=\"...\"")
                                              << "setup.exe";
        QTest::newRow("percent-encoded path") << "/files/My Setup (x64).exe" << QByteArray() << "My Setup (x64).exe";
        QTest::newRow("host of an empty path") << "/" << QByteArray() << "127.0.0.1";
        QTest::newRow("encoded separators") << "https://h.example/a/b%3Fc%2Fd.zip?x=1" << QByteArray() << "b_c_d.zip";
        QTest::newRow("encoded non-ASCII") << "https://h.example/dl/%E2%82%AC%20tool.exe" << QByteArray()
                                           << QString::fromUtf8("€ tool.exe");
        QTest::newRow("host, no path") << "https://www.example.com" << QByteArray() << "www.example.com";
        QTest::newRow("host, folder path") << "https://www.example.com/folder/" << QByteArray() << "www.example.com";
    }

    void suggestedName()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, disposition);
        QFETCH(QString, name);

        if (!address.startsWith(QLatin1Char('/'))) {
            QCOMPARE(DownloadJob::suggestFileName(disposition, QUrl(address)), name);
            return;
        }
        m_server->serveBytes(address, "data", "application/octet-stream", disposition);
        const QUrl url = m_server->url(address);
        if (address.contains(QLatin1Char(' ')))
            QVERIFY(url.toEncoded().contains("My%20Setup"));
        DownloadJob job(m_nam.get());
        const Run run = download(job, url, path(QStringLiteral("a")));
        QVERIFY2(run.ok, qPrintable(job.errorText()));
        QCOMPARE(run.suggested, name);
        QCOMPARE(job.suggestedFileName(), name);
    }

    void safeFileNames_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "setup.exe" << "setup.exe";
        QTest::newRow("forbidden characters") << "a/b\\c:d*e?f\"g<h>i|j.txt" << "a_b_c_d_e_f_g_h_i_j.txt";
        QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x01" "d.txt") << "a_b_c_d.txt";
        QTest::newRow("leading dots and blanks") << " ..hidden.txt" << "hidden.txt";
        QTest::newRow("trailing dots and blanks") << "name.exe. . " << "name.exe";
        QTest::newRow("device name") << "CON" << "_CON";
        QTest::newRow("device name lower with extension") << "nul.txt" << "_nul.txt";
        QTest::newRow("com port") << "COM1.log" << "_COM1.log";
        QTest::newRow("lpt port") << "lpt9" << "_lpt9";
        QTest::newRow("not a device") << "CONSOLE.txt" << "CONSOLE.txt";
        QTest::newRow("com0 is allowed") << "COM0" << "COM0";
        QTest::newRow("empty") << "" << "download";
        QTest::newRow("only dots") << "..." << "download";
        QTest::newRow("only blanks") << "   " << "download";
        QTest::newRow("only forbidden") << "???" << "download";
        QTest::newRow("unicode kept") << QString::fromUtf8("Ünïcødé 工具.zip") << QString::fromUtf8("Ünïcødé 工具.zip");
    }

    void safeFileNames()
    {
        QFETCH(QString, raw);
        QFETCH(QString, safe);
        QCOMPARE(DownloadJob::safeFileName(raw), safe);
    }

    void existingTargetReplacedOnlyWhenComplete_data()
    {
        QTest::addColumn<bool>("complete");
        QTest::newRow("complete: replaced") << true;
        QTest::newRow("cut off: kept") << false;
    }

    void existingTargetReplacedOnlyWhenComplete()
    {
        QFETCH(bool, complete);
        const QString target = path(QStringLiteral("tool.exe"));
        const QByteArray old = "the version the user already has";
        QVERIFY(writeFile(target, old));
        const QByteArray body = sampleBytes(complete ? 4000 : 100000, complete ? 12 : 13);
        if (complete)
            m_server->serveBytes(QStringLiteral("/tool.exe"), body);
        else
            m_server->cutAfter(QStringLiteral("/tool.exe"), body, 40000);
        DownloadJob job(m_nam.get());
        const Run run = download(job, m_server->url(QStringLiteral("/tool.exe")), target);
        QCOMPARE(run.ok, complete);
        QCOMPARE(readFile(target), complete ? body : old);
        QVERIFY(!QFileInfo::exists(partPath(target)));
    }

    void missingFolderIsAWriteError()
    {
        m_server->serveBytes(QStringLiteral("/f.bin"), sampleBytes(1000));
        const QString target = path(QStringLiteral("gone/f.bin"));
        DownloadJob job(m_nam.get());
        verifyWriteError(job, download(job, m_server->url(QStringLiteral("/f.bin")), target), target);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("gone"))));
    }

    void fullDiskIsAWriteError()
    {
    #ifdef Q_OS_LINUX
        // The .part file leads to /dev/full, where every write fails as on a full disk.
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("this system has no /dev/full");
        const QString target = path(QStringLiteral("full.bin"));
        const QByteArray old = "kept";
        QVERIFY(writeFile(target, old));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), partPath(target)));
        m_server->serveBytes(QStringLiteral("/full.bin"), sampleBytes(50000));
        DownloadJob job(m_nam.get());
        verifyWriteError(job, download(job, m_server->url(QStringLiteral("/full.bin")), target), target);
        QVERIFY2(job.errorText().contains(QStringLiteral("space"), Qt::CaseInsensitive), qPrintable(job.errorText()));
        QCOMPARE(readFile(target), old);
        QVERIFY(!QFileInfo(partPath(target)).isSymLink());
        QVERIFY(!QFileInfo::exists(partPath(target)));
    #else
        QSKIP("needs /dev/full");
    #endif
    }

    void folderRemovedWhileDownloading()
    {
        const qint64 size = 8 * 1024 * 1024;
        m_server->serveGenerated(QStringLiteral("/moving.bin"), size);
        const QString folder = path(QStringLiteral("sub"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/moving.bin");

        DownloadJob job(m_nam.get());
        bool removed = false;
        connect(&job, &DownloadJob::progress, this, [&](qint64 received, qint64) {
            if (!removed && received > 0 && received < size) {
                removed = true;
                QDir(folder).removeRecursively();
            }
        });
        verifyWriteError(job, download(job, m_server->url(QStringLiteral("/moving.bin")), target), target);
        QVERIFY(removed);
        QVERIFY(!QFileInfo::exists(folder));
    }

    void restartAfterFailure()
    {
        const QByteArray body = sampleBytes(20000, 21);
        m_server->cutAfter(QStringLiteral("/flaky.bin"), body, 5000);
        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("flaky.bin"));
        QVERIFY(!download(job, m_server->url(QStringLiteral("/flaky.bin")), target).ok);

        m_server->serveBytes(QStringLiteral("/flaky.bin"), body);
        verifySaved(job, download(job, m_server->url(QStringLiteral("/flaky.bin")), target), target, body);
        QCOMPARE(job.errorText(), QString());
        QCOMPARE(m_server->requestCount(QStringLiteral("/flaky.bin")), 2);
    }
};

QTEST_GUILESS_MAIN(DownloadJobTest)
#include "tst_downloadjob.moc"
