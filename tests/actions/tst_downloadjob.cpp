#include "HttpTestServer.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace fetchora;
using fetchora::test::HttpTestServer;
using fetchora::test::readFile;
using fetchora::test::writeFile;

namespace {

// Every wait is bounded; a loopback download of a few megabytes takes far less.
constexpr int kWaitMs = 15000;

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Bytes that are not one value repeated, so a dropped or doubled piece shows.
QByteArray sampleBytes(int size, int seed = 1)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 12345u;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = char(x >> 16);
    }
    return out;
}

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

} // namespace

class DownloadJobTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void savesFileWithItsHash();
    void largeBodyStreamedIntact();
    void hashOfAwkwardLengths();
    void bodyWithoutLengthSavedWhole();
    void smallBodyWaitsForTheChoice();
    void bodyWaitsWhileTheUserChooses();
    void followsRedirectChain();
    void followsRelativeRedirect();
    void tenRedirectsAllowedElevenRefused();
    void redirectToOtherSchemeRefused();
    void redirectPolicy_data();
    void redirectPolicy();
    void notFoundNamesTheStatus();
    void serverErrorNamesTheStatus();
    void refusedConnection();
    void connectionCutMidBody();
    void bodyShorterThanAnnounced();
    void stallBeforeAnswerTimesOut();
    void stallMidBodyTimesOut();
    void cancelMidBody();
    void cancelWhileAwaitingTarget();
    void notAWebAddress_data();
    void notAWebAddress();
    void contentDispositionNames_data();
    void contentDispositionNames();
    void suggestedNameFromServer();
    void suggestedNameFromPercentEncodedPath();
    void suggestedNameFromHost();
    void safeFileNames_data();
    void safeFileNames();
    void existingTargetReplacedOnSuccess();
    void existingTargetKeptOnFailure();
    void missingFolderIsAWriteError();
    void fullDiskIsAWriteError();
    void folderRemovedWhileDownloading();
    void restartAfterFailure();

private:
    // Starts `url`, saves to `target` as soon as the headers arrive, and waits
    // for the end.
    Run download(DownloadJob &job, const QUrl &url, const QString &target);
    void watch(DownloadJob &job, Run &run);
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Nothing of a failed download may be left.
    void verifyNothingLeft(const QString &target);

    std::unique_ptr<QNetworkAccessManager> m_nam;
    std::unique_ptr<HttpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void DownloadJobTest::initTestCase()
{
    // Only the loopback server is ever asked, whatever the environment says.
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void DownloadJobTest::init()
{
    m_nam = std::make_unique<QNetworkAccessManager>();
    m_nam->setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<HttpTestServer>();
    QVERIFY(m_server->listen());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void DownloadJobTest::cleanup()
{
    m_server.reset();
    m_nam.reset();
    m_dir.reset();
}

void DownloadJobTest::watch(DownloadJob &job, Run &run)
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

Run DownloadJobTest::download(DownloadJob &job, const QUrl &url, const QString &target)
{
    Run run;
    watch(job, run);
    connect(&job, &DownloadJob::metaDataReady, this, [&job, target] { job.saveTo(target); });
    job.start(url);
    if (!QTest::qWaitFor([&] { return run.finishedCount > 0; }, kWaitMs))
        qWarning("the download did not end in time");
    // A second finished() would show up in the events that follow.
    QTest::qWait(20);
    job.disconnect(this);
    return run;
}

void DownloadJobTest::verifyNothingLeft(const QString &target)
{
    QVERIFY2(!QFileInfo::exists(target), qPrintable(target));
    QVERIFY2(!QFileInfo::exists(target + QStringLiteral(".part")), qPrintable(target));
}

void DownloadJobTest::savesFileWithItsHash()
{
    // Larger than what the reply holds before the save-as answer, so the body
    // has to flow through the file, not sit in memory.
    const QByteArray body = sampleBytes(300 * 1024);
    m_server->serveBytes(QStringLiteral("/files/setup.exe"), body);

    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("setup.exe"));
    const Run run = download(job, m_server->url(QStringLiteral("/files/setup.exe")), target);

    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(run.metaDataCount, 1);
    QCOMPARE(run.suggested, QStringLiteral("setup.exe"));
    QCOMPARE(run.announced, qint64(body.size()));
    QCOMPARE(run.lastReceived, qint64(body.size()));
    QCOMPARE(run.lastTotal, qint64(body.size()));
    QCOMPARE(job.state(), DownloadJob::State::Succeeded);
    QCOMPARE(job.errorText(), QString());
    QCOMPARE(job.targetPath(), target);
    QCOMPARE(readFile(target), body);
    QCOMPARE(job.sha256(), sha256Hex(body));
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
    QCOMPARE(m_server->requestCount(QStringLiteral("/files/setup.exe")), 1);

    // The server is told who asks and that the file must come as published.
    const auto headers = m_server->lastRequestHeaders(QStringLiteral("/files/setup.exe"));
    QVERIFY(headers.value("user-agent").startsWith("Fetchora/"));
    QCOMPARE(headers.value("accept-encoding"), QByteArray("identity"));
}

void DownloadJobTest::largeBodyStreamedIntact()
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

void DownloadJobTest::hashOfAwkwardLengths()
{
    // Lengths around the 64-byte blocks of SHA-256 and its 56-byte padding edge,
    // and a body arriving in pieces that split blocks.
    const QList<int> sizes = {0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 65536 + 7, 333333};
    for (int size : sizes) {
        const QByteArray body = sampleBytes(size, size + 100);
        const QString route = QStringLiteral("/len/%1").arg(size);
        m_server->serveBytes(route, body);
        DownloadJob job(m_nam.get());
        const QString target = path(QStringLiteral("len%1.bin").arg(size));
        const Run run = download(job, m_server->url(route), target);
        QVERIFY2(run.ok, qPrintable(job.errorText()));
        QVERIFY2(job.sha256() == sha256Hex(body), qPrintable(QStringLiteral("length %1").arg(size)));
        QCOMPARE(readFile(target), body);
        QVERIFY(QFileInfo(target).isFile());
    }
}

void DownloadJobTest::bodyWithoutLengthSavedWhole()
{
    HttpTestServer::Route route;
    route.body = sampleBytes(90000, 7);
    route.contentLength = -2; // the end of the connection is the end of the body
    m_server->setRoute(QStringLiteral("/stream"), route);

    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("stream.bin"));
    const Run run = download(job, m_server->url(QStringLiteral("/stream")), target);
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.announced, qint64(-1));
    QCOMPARE(job.totalBytes(), qint64(-1));
    QCOMPARE(readFile(target), route.body);
    QCOMPARE(job.sha256(), sha256Hex(route.body));
}

void DownloadJobTest::smallBodyWaitsForTheChoice()
{
    // The whole reply has arrived before the user answers; nothing is lost and
    // nothing is written until then.
    const QByteArray body = sampleBytes(2000, 3);
    m_server->serveBytes(QStringLiteral("/small.txt"), body, "text/plain");
    DownloadJob job(m_nam.get());
    Run run;
    watch(job, run);
    job.start(m_server->url(QStringLiteral("/small.txt")));
    QVERIFY(QTest::qWaitFor([&] { return run.metaDataCount == 1; }, kWaitMs));
    QTest::qWait(200);
    QCOMPARE(job.state(), DownloadJob::State::AwaitingTarget);
    QCOMPARE(run.finishedCount, 0);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());

    const QString target = path(QStringLiteral("small.txt"));
    job.saveTo(target);
    QVERIFY(QTest::qWaitFor([&] { return run.finishedCount == 1; }, kWaitMs));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(readFile(target), body);
    QCOMPARE(job.sha256(), sha256Hex(body));
}

void DownloadJobTest::bodyWaitsWhileTheUserChooses()
{
    const qint64 size = 6 * 1024 * 1024;
    m_server->serveGenerated(QStringLiteral("/wait.bin"), size);
    DownloadJob job(m_nam.get());
    job.setIdleTimeout(400); // the user's pause must not count as a stalled server
    Run run;
    watch(job, run);
    job.start(m_server->url(QStringLiteral("/wait.bin")));
    QVERIFY(QTest::qWaitFor([&] { return run.metaDataCount == 1; }, kWaitMs));
    QTest::qWait(700);
    QCOMPARE(job.state(), DownloadJob::State::AwaitingTarget);
    QCOMPARE(job.receivedBytes(), qint64(0));

    const QString target = path(QStringLiteral("wait.bin"));
    job.saveTo(target);
    QVERIFY(QTest::qWaitFor([&] { return run.finishedCount == 1; }, kWaitMs));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(QFileInfo(target).size(), size);
    QCOMPARE(job.sha256(), HttpTestServer::generatedSha256Hex(size));
}

void DownloadJobTest::followsRedirectChain()
{
    const QByteArray body = sampleBytes(5000, 11);
    m_server->serveBytes(QStringLiteral("/final/tool.zip"), body, "application/zip");
    m_server->redirectChain(QStringLiteral("/hop"), 3, QStringLiteral("/final/tool.zip"));

    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("tool.zip"));
    const Run run = download(job, m_server->url(QStringLiteral("/hop/0")), target);
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(job.redirectCount(), 3);
    QCOMPARE(job.finalUrl(), m_server->url(QStringLiteral("/final/tool.zip")));
    QCOMPARE(job.url(), m_server->url(QStringLiteral("/hop/0")));
    // The name comes from where the file really is, not from the first address.
    QCOMPARE(run.suggested, QStringLiteral("tool.zip"));
    QCOMPARE(readFile(target), body);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_server->requestCount(QStringLiteral("/hop/%1").arg(i)), 1);
    QCOMPARE(m_server->requestCount(QStringLiteral("/final/tool.zip")), 1);
}

void DownloadJobTest::followsRelativeRedirect()
{
    const QByteArray body = sampleBytes(1000, 5);
    m_server->serveBytes(QStringLiteral("/dir/real.msi"), body);
    m_server->redirect(QStringLiteral("/dir/sub/latest"), QStringLiteral("../real.msi"), 301);

    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/dir/sub/latest")), path(QStringLiteral("a.msi")));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(job.finalUrl().path(), QStringLiteral("/dir/real.msi"));
    QCOMPARE(readFile(path(QStringLiteral("a.msi"))), body);
}

void DownloadJobTest::tenRedirectsAllowedElevenRefused()
{
    const QByteArray body = sampleBytes(100, 2);
    m_server->serveBytes(QStringLiteral("/end.bin"), body);
    m_server->redirectChain(QStringLiteral("/ten"), 10, QStringLiteral("/end.bin"));
    m_server->redirectChain(QStringLiteral("/eleven"), 11, QStringLiteral("/end.bin"));

    {
        DownloadJob job(m_nam.get());
        const Run run = download(job, m_server->url(QStringLiteral("/ten/0")), path(QStringLiteral("ten.bin")));
        QVERIFY2(run.ok, qPrintable(job.errorText()));
        QCOMPARE(job.redirectCount(), 10);
        QCOMPARE(readFile(path(QStringLiteral("ten.bin"))), body);
    }
    QCOMPARE(m_server->requestCount(QStringLiteral("/end.bin")), 1);

    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("eleven.bin"));
    const Run run = download(job, m_server->url(QStringLiteral("/eleven/0")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(run.metaDataCount, 0);
    QCOMPARE(job.state(), DownloadJob::State::Failed);
    QVERIFY2(job.errorText().startsWith(QStringLiteral("Too many redirections")), qPrintable(job.errorText()));
    QVERIFY(job.errorText().contains(m_server->url(QStringLiteral("/eleven/0")).toString()));
    // The eleventh redirect is not followed.
    QCOMPARE(m_server->requestCount(QStringLiteral("/eleven/10")), 1);
    QCOMPARE(m_server->requestCount(QStringLiteral("/end.bin")), 1);
    verifyNothingLeft(target);
    QVERIFY(job.sha256().isEmpty());
}

void DownloadJobTest::redirectToOtherSchemeRefused()
{
    m_server->redirect(QStringLiteral("/to-ftp"), QStringLiteral("ftp://127.0.0.1/file.bin"));
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("file.bin"));
    const Run run = download(job, m_server->url(QStringLiteral("/to-ftp")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QVERIFY2(job.errorText().contains(QStringLiteral("ftp://127.0.0.1/file.bin")), qPrintable(job.errorText()));
    QVERIFY(job.errorText().contains(QStringLiteral("not a web address")));
    verifyNothingLeft(target);
}

void DownloadJobTest::redirectPolicy_data()
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

void DownloadJobTest::redirectPolicy()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, allowed);
    QCOMPARE(DownloadJob::redirectAllowed(QUrl(from), QUrl(to)), allowed);
}

void DownloadJobTest::notFoundNamesTheStatus()
{
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("missing.exe"));
    const QUrl url = m_server->url(QStringLiteral("/missing.exe")); // no route: 404
    const Run run = download(job, url, target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(run.metaDataCount, 0);
    QCOMPARE(job.errorText(), QStringLiteral("The server answered 404 Not Found for %1.").arg(url.toString()));
    verifyNothingLeft(target);
}

void DownloadJobTest::serverErrorNamesTheStatus()
{
    m_server->serveStatus(QStringLiteral("/busy"), 503, "<html>later</html>", "Try Again Later");
    m_server->redirect(QStringLiteral("/to-busy"), QStringLiteral("/busy"));
    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/to-busy")), path(QStringLiteral("busy")));
    QVERIFY(!run.ok);
    // The address named is the one that answered.
    QCOMPARE(job.errorText(), QStringLiteral("The server answered 503 Try Again Later for %1.")
                                  .arg(m_server->url(QStringLiteral("/busy")).toString()));
    verifyNothingLeft(path(QStringLiteral("busy")));
}

void DownloadJobTest::refusedConnection()
{
    // A port that was free a moment ago and that nobody listens on now.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("x.bin"));
    const Run run = download(job, QUrl(QStringLiteral("http://127.0.0.1:%1/x.bin").arg(port)), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(job.errorText(), QStringLiteral("The connection to 127.0.0.1 was refused."));
    verifyNothingLeft(target);
}

void DownloadJobTest::connectionCutMidBody()
{
    const QByteArray body = sampleBytes(300000, 9);
    m_server->cutAfter(QStringLiteral("/cut.iso"), body, 100000);
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("cut.iso"));
    const Run run = download(job, m_server->url(QStringLiteral("/cut.iso")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QVERIFY2(job.errorText().startsWith(
                 QStringLiteral("The download of cut.iso was cut off after 100000 of 300000 bytes")),
             qPrintable(job.errorText()));
    QCOMPARE(job.receivedBytes(), qint64(100000));
    verifyNothingLeft(target);
    QVERIFY(job.sha256().isEmpty());
}

void DownloadJobTest::bodyShorterThanAnnounced()
{
    const QByteArray body = sampleBytes(3000, 4);
    m_server->shortBody(QStringLiteral("/short.bin"), body, 5000);
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("short.bin"));
    const Run run = download(job, m_server->url(QStringLiteral("/short.bin")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.announced, qint64(5000));
    QVERIFY2(job.errorText().startsWith(
                 QStringLiteral("The download of short.bin was cut off after 3000 of 5000 bytes")),
             qPrintable(job.errorText()));
    verifyNothingLeft(target);
}

void DownloadJobTest::stallBeforeAnswerTimesOut()
{
    m_server->stallBeforeHeaders(QStringLiteral("/silent"));
    DownloadJob job(m_nam.get());
    job.setConnectTimeout(300);
    const QString target = path(QStringLiteral("silent"));
    const Run run = download(job, m_server->url(QStringLiteral("/silent")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(run.metaDataCount, 0);
    QCOMPARE(job.errorText(), QStringLiteral("The server 127.0.0.1 did not answer for 0.3 seconds."));
    QCOMPARE(m_server->requestCount(QStringLiteral("/silent")), 1);
    verifyNothingLeft(target);
}

void DownloadJobTest::stallMidBodyTimesOut()
{
    const QByteArray body = sampleBytes(200000, 6);
    m_server->stallAfter(QStringLiteral("/stuck.bin"), body, 50000);
    DownloadJob job(m_nam.get());
    job.setIdleTimeout(300);
    const QString target = path(QStringLiteral("stuck.bin"));
    const Run run = download(job, m_server->url(QStringLiteral("/stuck.bin")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(run.lastReceived, qint64(50000));
    QCOMPARE(job.errorText(),
             QStringLiteral("The server 127.0.0.1 sent nothing for 0.3 seconds; the download of stuck.bin "
                            "was stopped after 50000 of 200000 bytes."));
    verifyNothingLeft(target);
}

void DownloadJobTest::cancelMidBody()
{
    const QByteArray body = sampleBytes(200000, 8);
    m_server->stallAfter(QStringLiteral("/slow.bin"), body, 70000);
    DownloadJob job(m_nam.get());
    Run run;
    watch(job, run);
    const QString target = path(QStringLiteral("slow.bin"));
    connect(&job, &DownloadJob::metaDataReady, this, [&] { job.saveTo(target); });
    job.start(m_server->url(QStringLiteral("/slow.bin")));
    QVERIFY(QTest::qWaitFor([&] { return run.lastReceived == 70000; }, kWaitMs));
    QVERIFY(QFileInfo::exists(target + QStringLiteral(".part")));
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

void DownloadJobTest::cancelWhileAwaitingTarget()
{
    m_server->serveGenerated(QStringLiteral("/later.bin"), 4 * 1024 * 1024);
    DownloadJob job(m_nam.get());
    Run run;
    watch(job, run);
    job.start(m_server->url(QStringLiteral("/later.bin")));
    QVERIFY(QTest::qWaitFor([&] { return run.metaDataCount == 1; }, kWaitMs));
    job.cancel();
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(job.state(), DownloadJob::State::Cancelled);
    QTest::qWait(50);
    QCOMPARE(run.finishedCount, 1);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void DownloadJobTest::notAWebAddress_data()
{
    QTest::addColumn<QString>("link");
    QTest::newRow("ftp") << "ftp://127.0.0.1/file.zip";
    QTest::newRow("file") << "file:///etc/hostname";
    QTest::newRow("no host") << "http:///file.zip";
    QTest::newRow("empty") << "";
}

void DownloadJobTest::notAWebAddress()
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
        QCOMPARE(job.errorText(),
                 QUrl(link).toDisplayString() + QStringLiteral(" is not a web address (http or https) that can be downloaded."));
    QCOMPARE(m_server->totalRequests(), 0);
}

void DownloadJobTest::contentDispositionNames_data()
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

void DownloadJobTest::contentDispositionNames()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, name);
    QCOMPARE(DownloadJob::fileNameFromContentDisposition(header), name);
}

void DownloadJobTest::suggestedNameFromServer()
{
    m_server->serveBytes(QStringLiteral("/get"), "data", "application/octet-stream",
                         "attachment; filename=\"old.exe\"; filename*=UTF-8''New%20Tool%20v2.exe");
    m_server->serveBytes(QStringLiteral("/evil"), "data", "application/octet-stream",
                         "attachment; filename=\"..\\\\..\\\\Windows\\\\system32\\\\evil:name.dll\"");
    m_server->serveBytes(QStringLiteral("/dots/setup.exe"), "data", "application/octet-stream",
                         "attachment; filename=\"...\"");

    DownloadJob job(m_nam.get());
    Run run = download(job, m_server->url(QStringLiteral("/get")), path(QStringLiteral("a")));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.suggested, QStringLiteral("New Tool v2.exe"));
    QCOMPARE(job.suggestedFileName(), QStringLiteral("New Tool v2.exe"));

    // A server names a file; it does not pick the folder.
    DownloadJob evil(m_nam.get());
    run = download(evil, m_server->url(QStringLiteral("/evil")), path(QStringLiteral("b")));
    QCOMPARE(run.suggested, QStringLiteral("evil_name.dll"));

    // A name with nothing usable in it gives way to the address.
    DownloadJob dots(m_nam.get());
    run = download(dots, m_server->url(QStringLiteral("/dots/setup.exe")), path(QStringLiteral("c")));
    QCOMPARE(run.suggested, QStringLiteral("setup.exe"));
}

void DownloadJobTest::suggestedNameFromPercentEncodedPath()
{
    m_server->serveBytes(QStringLiteral("/files/My Setup (x64).exe"), "data");
    DownloadJob job(m_nam.get());
    QUrl url = m_server->url(QStringLiteral("/files/My Setup (x64).exe"));
    QVERIFY(url.toEncoded().contains("My%20Setup"));
    Run run = download(job, url, path(QStringLiteral("a")));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.suggested, QStringLiteral("My Setup (x64).exe"));

    QCOMPARE(DownloadJob::suggestFileName({}, QUrl(QStringLiteral("https://h.example/a/b%3Fc%2Fd.zip?x=1"))),
             QStringLiteral("b_c_d.zip"));
    QCOMPARE(DownloadJob::suggestFileName({}, QUrl(QStringLiteral("https://h.example/dl/%E2%82%AC%20tool.exe"))),
             QString::fromUtf8("€ tool.exe"));
}

void DownloadJobTest::suggestedNameFromHost()
{
    m_server->serveBytes(QStringLiteral("/"), "<html>home</html>", "text/html");
    DownloadJob job(m_nam.get());
    Run run = download(job, m_server->url(QStringLiteral("/")), path(QStringLiteral("a")));
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(run.suggested, QStringLiteral("127.0.0.1"));

    QCOMPARE(DownloadJob::suggestFileName({}, QUrl(QStringLiteral("https://www.example.com"))),
             QStringLiteral("www.example.com"));
    QCOMPARE(DownloadJob::suggestFileName({}, QUrl(QStringLiteral("https://www.example.com/folder/"))),
             QStringLiteral("www.example.com"));
}

void DownloadJobTest::safeFileNames_data()
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

void DownloadJobTest::safeFileNames()
{
    QFETCH(QString, raw);
    QFETCH(QString, safe);
    QCOMPARE(DownloadJob::safeFileName(raw), safe);
}

void DownloadJobTest::existingTargetReplacedOnSuccess()
{
    const QString target = path(QStringLiteral("tool.exe"));
    QVERIFY(writeFile(target, "the old version, much longer than the new one .................."));
    const QByteArray body = sampleBytes(4000, 12);
    m_server->serveBytes(QStringLiteral("/tool.exe"), body);
    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/tool.exe")), target);
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(readFile(target), body);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
}

void DownloadJobTest::existingTargetKeptOnFailure()
{
    const QString target = path(QStringLiteral("tool.exe"));
    const QByteArray old = "the version the user already has";
    QVERIFY(writeFile(target, old));
    m_server->cutAfter(QStringLiteral("/tool.exe"), sampleBytes(100000, 13), 40000);
    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/tool.exe")), target);
    QVERIFY(!run.ok);
    QCOMPARE(readFile(target), old);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
}

void DownloadJobTest::missingFolderIsAWriteError()
{
    m_server->serveBytes(QStringLiteral("/f.bin"), sampleBytes(1000));
    const QString target = path(QStringLiteral("gone/f.bin"));
    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/f.bin")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QVERIFY2(job.errorText().startsWith(QDir::toNativeSeparators(target) + QStringLiteral(" could not be written: ")),
             qPrintable(job.errorText()));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("gone"))));
}

void DownloadJobTest::fullDiskIsAWriteError()
{
#ifdef Q_OS_LINUX
    // The .part file leads to /dev/full, where every write fails as on a full disk.
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("this system has no /dev/full");
    const QString target = path(QStringLiteral("full.bin"));
    const QByteArray old = "kept";
    QVERIFY(writeFile(target, old));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), target + QStringLiteral(".part")));
    m_server->serveBytes(QStringLiteral("/full.bin"), sampleBytes(50000));
    DownloadJob job(m_nam.get());
    const Run run = download(job, m_server->url(QStringLiteral("/full.bin")), target);
    QVERIFY(!run.ok);
    QCOMPARE(run.finishedCount, 1);
    QVERIFY2(job.errorText().startsWith(QDir::toNativeSeparators(target) + QStringLiteral(" could not be written: ")),
             qPrintable(job.errorText()));
    QVERIFY2(job.errorText().contains(QStringLiteral("space"), Qt::CaseInsensitive), qPrintable(job.errorText()));
    QCOMPARE(readFile(target), old);
    QVERIFY(!QFileInfo(target + QStringLiteral(".part")).isSymLink());
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
#else
    QSKIP("needs /dev/full");
#endif
}

void DownloadJobTest::folderRemovedWhileDownloading()
{
    const qint64 size = 8 * 1024 * 1024;
    m_server->serveGenerated(QStringLiteral("/moving.bin"), size);
    const QString folder = path(QStringLiteral("sub"));
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QStringLiteral("/moving.bin");

    DownloadJob job(m_nam.get());
    Run run;
    watch(job, run);
    bool removed = false;
    connect(&job, &DownloadJob::metaDataReady, this, [&] { job.saveTo(target); });
    connect(&job, &DownloadJob::progress, this, [&](qint64 received, qint64) {
        if (!removed && received > 0 && received < size) {
            removed = true;
            QDir(folder).removeRecursively();
        }
    });
    job.start(m_server->url(QStringLiteral("/moving.bin")));
    QVERIFY(QTest::qWaitFor([&] { return run.finishedCount > 0; }, kWaitMs));
    QVERIFY(removed);
    QVERIFY(!run.ok);
    QVERIFY2(job.errorText().startsWith(QDir::toNativeSeparators(target) + QStringLiteral(" could not be written: ")),
             qPrintable(job.errorText()));
    QVERIFY(!QFileInfo::exists(folder));
}

void DownloadJobTest::restartAfterFailure()
{
    const QByteArray body = sampleBytes(20000, 21);
    m_server->cutAfter(QStringLiteral("/flaky.bin"), body, 5000);
    DownloadJob job(m_nam.get());
    const QString target = path(QStringLiteral("flaky.bin"));
    Run run = download(job, m_server->url(QStringLiteral("/flaky.bin")), target);
    QVERIFY(!run.ok);

    m_server->serveBytes(QStringLiteral("/flaky.bin"), body);
    run = download(job, m_server->url(QStringLiteral("/flaky.bin")), target);
    QVERIFY2(run.ok, qPrintable(job.errorText()));
    QCOMPARE(job.errorText(), QString());
    QCOMPARE(readFile(target), body);
    QCOMPARE(job.sha256(), sha256Hex(body));
    QCOMPARE(m_server->requestCount(QStringLiteral("/flaky.bin")), 2);
}

QTEST_GUILESS_MAIN(DownloadJobTest)
#include "tst_downloadjob.moc"
