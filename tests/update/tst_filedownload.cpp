#include "HttpTestServer.h"
#include "TestSupport.h"

#include "update/FileDownload.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace fetchora;
using fetchora::test::HttpTestServer;
using fetchora::test::readFile;
using fetchora::test::writeFile;

namespace {

// Stalls must end quickly; nothing in these tests waits for a real network.
FetchLimits shortLimits()
{
    FetchLimits limits;
    limits.connectTimeoutMs = 500;
    limits.idleTimeoutMs = 500;
    return limits;
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

// Every entry of a folder, hidden ones included: a left-over temporary file
// from a failed replacement would show here.
QStringList folderEntries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    return names;
}

// A port on the loopback address on which nothing listens.
quint16 deadPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

enum class Failure {
    NotFound,
    ServerError,
    Cut,
    ShortBody,
    StallBeforeHeaders,
    StallMidBody,
    TooLargeWithLength,
    TooLargeWithoutLength,
    TooManyRedirects,
    Unreachable,
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class FileDownloadTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void bodyReturnedWhole_data();
    void bodyReturnedWhole();
    void redirectChainFollowed();
    void redirectLimit_data();
    void redirectLimit();
    void errorStatusFails_data();
    void errorStatusFails();
    void unreachableServerFails();
    void invalidAddressFails_data();
    void invalidAddressFails();
    void stalledServerGivesUp_data();
    void stalledServerGivesUp();
    void oversizedAnswerRefused_data();
    void oversizedAnswerRefused();
    void answerAtTheLimitAccepted();
    void cutConnectionFails_data();
    void cutConnectionFails();
    void eventLoopKeepsRunningWhileWaiting();

    void downloadReplacesTarget();
    void downloadCreatesMissingTarget();
    void failedDownloadKeepsTarget_data();
    void failedDownloadKeepsTarget();
    void failedDownloadCreatesNothing_data();
    void failedDownloadCreatesNothing();
    void unwritableTargetReported();

private:
    // Sets up the server so that `path` fails the given way; returns the address
    // to ask and the limits to ask with.
    QUrl arrangeFailure(Failure failure, const QString &path, FetchLimits &limits);

    std::unique_ptr<QNetworkAccessManager> m_nam;
    std::unique_ptr<HttpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void FileDownloadTest::initTestCase()
{
    // Only the loopback server is ever asked, whatever the environment says.
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void FileDownloadTest::init()
{
    m_nam = std::make_unique<QNetworkAccessManager>();
    m_nam->setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<HttpTestServer>();
    QVERIFY(m_server->listen());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void FileDownloadTest::cleanup()
{
    m_server.reset();
    m_nam.reset();
    m_dir.reset();
}

QUrl FileDownloadTest::arrangeFailure(Failure failure, const QString &path, FetchLimits &limits)
{
    const QByteArray body = sampleBytes(5000, 7);
    switch (failure) {
    case Failure::NotFound:
        m_server->serveStatus(path, 404, "<html><body>Not Found</body></html>");
        break;
    case Failure::ServerError:
        m_server->serveStatus(path, 500, "<html><body>Internal Server Error</body></html>");
        break;
    case Failure::Cut:
        m_server->cutAfter(path, body, 1000);
        break;
    case Failure::ShortBody:
        m_server->shortBody(path, body, body.size() + 3000);
        break;
    case Failure::StallBeforeHeaders:
        limits = shortLimits();
        m_server->stallBeforeHeaders(path);
        break;
    case Failure::StallMidBody:
        limits = shortLimits();
        m_server->stallAfter(path, body, 1000);
        break;
    case Failure::TooLargeWithLength:
        limits.maxBytes = 1000;
        m_server->serveBytes(path, body);
        break;
    case Failure::TooLargeWithoutLength: {
        limits.maxBytes = 1000;
        HttpTestServer::Route route;
        route.body = body;
        route.contentLength = -2;
        m_server->setRoute(path, route);
        break;
    }
    case Failure::TooManyRedirects:
        limits.maxRedirects = 2;
        m_server->serveBytes(QStringLiteral("/landing"), body);
        m_server->redirectChain(path, 3, QStringLiteral("/landing"));
        return m_server->url(path + QStringLiteral("/0"));
    case Failure::Unreachable:
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(deadPort()).arg(path));
    }
    return m_server->url(path);
}

void FileDownloadTest::bodyReturnedWhole_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("announceLength");

    QTest::newRow("ini text") << QByteArray("[Signature]\r\nVersion=2013.03.08\r\n") << true;
    QTest::newRow("binary with NUL and CR") << QByteArray("a\0b\r\n\r\nc\0", 9) << true;
    QTest::newRow("one byte") << QByteArray("x") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("300 KB in many pieces") << sampleBytes(300 * 1024, 3) << true;
    QTest::newRow("no Content-Length, ends with the connection") << sampleBytes(70000, 4) << false;
}

void FileDownloadTest::bodyReturnedWhole()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, announceLength);

    HttpTestServer::Route route;
    route.body = body;
    route.contentLength = announceLength ? -1 : -2;
    m_server->setRoute(QStringLiteral("/FOApps.def"), route);

    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/FOApps.def")));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body.size(), body.size());
    QVERIFY(result.body == body);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(m_server->requestCount(QStringLiteral("/FOApps.def")), 1);
}

void FileDownloadTest::redirectChainFollowed()
{
    const QByteArray body = sampleBytes(20000, 5);
    m_server->serveBytes(QStringLiteral("/files/FOApps.def"), body);
    m_server->redirectChain(QStringLiteral("/hop"), 3, QStringLiteral("/files/FOApps.def"));

    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/hop/0")));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.status, 200);
    QVERIFY(result.body == body);
    // Every hop was really taken. (Qt's own redirect handling now and then
    // sends one hop twice when the server closes each connection, so the
    // exact number is not the point here.)
    for (int hop = 0; hop < 3; ++hop)
        QVERIFY(m_server->requestCount(QStringLiteral("/hop/%1").arg(hop)) >= 1);
    QVERIFY(m_server->requestCount(QStringLiteral("/files/FOApps.def")) >= 1);
}

void FileDownloadTest::redirectLimit_data()
{
    QTest::addColumn<int>("hops");
    QTest::addColumn<int>("maxRedirects");
    QTest::addColumn<bool>("ok");

    QTest::newRow("3 hops, 3 allowed") << 3 << 3 << true;
    QTest::newRow("3 hops, 2 allowed") << 3 << 2 << false;
    QTest::newRow("10 hops, default limit") << 10 << FetchLimits{}.maxRedirects << true;
    QTest::newRow("11 hops, default limit") << 11 << FetchLimits{}.maxRedirects << false;
    QTest::newRow("1 hop, none allowed") << 1 << 0 << false;
}

void FileDownloadTest::redirectLimit()
{
    QFETCH(int, hops);
    QFETCH(int, maxRedirects);
    QFETCH(bool, ok);

    const QByteArray body = sampleBytes(3000, 6);
    m_server->serveBytes(QStringLiteral("/target.def"), body);
    m_server->redirectChain(QStringLiteral("/r"), hops, QStringLiteral("/target.def"));

    FetchLimits limits;
    limits.maxRedirects = maxRedirects;
    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/r/0")), limits);
    QCOMPARE(result.ok, ok);
    if (ok) {
        QVERIFY(result.body == body);
        QVERIFY(m_server->requestCount(QStringLiteral("/target.def")) >= 1);
    } else {
        QVERIFY(result.body.isEmpty());
        QVERIFY(!result.error.isEmpty());
        // Refused before the end of the chain: the file itself was never asked for.
        QCOMPARE(m_server->requestCount(QStringLiteral("/target.def")), 0);
    }
}

void FileDownloadTest::errorStatusFails_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
    QTest::newRow("403") << 403;
    QTest::newRow("503") << 503;
}

void FileDownloadTest::errorStatusFails()
{
    QFETCH(int, status);

    // Servers send a page with the error; it must never be taken for the file.
    m_server->serveStatus(QStringLiteral("/FOVersion.ini"), status,
                          "[Signature]\r\nVersion=9999.99.99\r\n<html>error page</html>");
    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/FOVersion.ini")));
    QVERIFY(!result.ok);
    QCOMPARE(result.status, status);
    QVERIFY(result.body.isEmpty());
    QVERIFY2(result.error.contains(QString::number(status)), qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("127.0.0.1")), qPrintable(result.error));
}

void FileDownloadTest::unreachableServerFails()
{
    const quint16 port = deadPort();
    QVERIFY(port != 0);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/FOVersion.ini").arg(port));

    const FetchResult result = fetchUrl(*m_nam, url, shortLimits());
    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
    QCOMPARE(result.status, 0);
    // The user is told which server could not be reached.
    QVERIFY2(result.error.contains(QStringLiteral("127.0.0.1")), qPrintable(result.error));
    // Refusal, not a time-out: the time-out wording would send the user to
    // wait for a server that is not there.
    QVERIFY2(!result.error.contains(QStringLiteral("did not answer")), qPrintable(result.error));
}

void FileDownloadTest::invalidAddressFails_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::newRow("empty") << QUrl();
    QTest::newRow("no scheme") << QUrl(QStringLiteral("FOVersion.ini"));
}

void FileDownloadTest::invalidAddressFails()
{
    QFETCH(QUrl, url);
    const FetchResult result = fetchUrl(*m_nam, url, shortLimits());
    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(m_server->totalRequests(), 0);
}

void FileDownloadTest::stalledServerGivesUp_data()
{
    QTest::addColumn<bool>("afterHeaders");
    QTest::newRow("never answers") << false;
    QTest::newRow("goes silent mid-body") << true;
}

void FileDownloadTest::stalledServerGivesUp()
{
    QFETCH(bool, afterHeaders);

    const QString path = QStringLiteral("/FOApps.def");
    if (afterHeaders)
        m_server->stallAfter(path, sampleBytes(5000, 8), 1000);
    else
        m_server->stallBeforeHeaders(path);

    const FetchResult result = fetchUrl(*m_nam, m_server->url(path), shortLimits());
    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
    QVERIFY2(result.error.contains(QStringLiteral("did not answer")), qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("127.0.0.1")), qPrintable(result.error));
    QCOMPARE(m_server->requestCount(path), 1);
    // The abandoned connection is closed, not left hanging on the server.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnections(), 0, 5000);
}

void FileDownloadTest::oversizedAnswerRefused_data()
{
    QTest::addColumn<bool>("announceLength");
    QTest::addColumn<int>("size");
    QTest::newRow("5000 with Content-Length") << true << 5000;
    QTest::newRow("5000 without Content-Length") << false << 5000;
    QTest::newRow("one byte over, with Content-Length") << true << 1001;
    QTest::newRow("one byte over, without Content-Length") << false << 1001;
    QTest::newRow("1 MB without Content-Length") << false << 1024 * 1024;
}

void FileDownloadTest::oversizedAnswerRefused()
{
    QFETCH(bool, announceLength);
    QFETCH(int, size);

    HttpTestServer::Route route;
    route.body = sampleBytes(size, 9);
    route.contentLength = announceLength ? -1 : -2;
    m_server->setRoute(QStringLiteral("/big.def"), route);

    FetchLimits limits;
    limits.maxBytes = 1000;
    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/big.def")), limits);
    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
    QVERIFY(!result.error.isEmpty());
}

void FileDownloadTest::answerAtTheLimitAccepted()
{
    const QByteArray body = sampleBytes(1000, 10);
    HttpTestServer::Route withLength;
    withLength.body = body;
    m_server->setRoute(QStringLiteral("/with"), withLength);
    HttpTestServer::Route withoutLength = withLength;
    withoutLength.contentLength = -2;
    m_server->setRoute(QStringLiteral("/without"), withoutLength);

    FetchLimits limits;
    limits.maxBytes = 1000;
    for (const QString path : {QStringLiteral("/with"), QStringLiteral("/without")}) {
        const FetchResult result = fetchUrl(*m_nam, m_server->url(path), limits);
        QVERIFY2(result.ok, qPrintable(path + QStringLiteral(": ") + result.error));
        QVERIFY(result.body == body);
    }
}

void FileDownloadTest::cutConnectionFails_data()
{
    QTest::addColumn<int>("sent");
    QTest::newRow("cut after 1000 of 5000") << 1000;
    QTest::newRow("cut before the body") << 0;
    QTest::newRow("cut one byte short") << 4999;
}

void FileDownloadTest::cutConnectionFails()
{
    QFETCH(int, sent);

    m_server->cutAfter(QStringLiteral("/FOSlim.def"), sampleBytes(5000, 11), sent);
    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/FOSlim.def")), shortLimits());
    QVERIFY2(!result.ok, "a file announced as 5000 bytes was accepted although fewer arrived");
    QVERIFY(result.body.isEmpty());
    QVERIFY(!result.error.isEmpty());
}

void FileDownloadTest::eventLoopKeepsRunningWhileWaiting()
{
    m_server->stallBeforeHeaders(QStringLiteral("/slow"));

    bool fetchReturned = false;
    bool timerRan = false;
    bool timerRanWhileWaiting = false;
    QTimer::singleShot(50, this, [&] {
        timerRan = true;
        timerRanWhileWaiting = !fetchReturned;
    });

    FetchLimits limits;
    limits.connectTimeoutMs = 1500;
    limits.idleTimeoutMs = 1500;
    const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/slow")), limits);
    fetchReturned = true;

    QVERIFY(!result.ok);
    QVERIFY2(timerRan, "the timer did not run while the program waited for the server");
    QVERIFY(timerRanWhileWaiting);
}

void FileDownloadTest::downloadReplacesTarget()
{
    const QString target = m_dir->filePath(QStringLiteral("FOApps.def"));
    QVERIFY(writeFile(target, "[Old]\r\nentry=1\r\n"));
    const QByteArray fresh = "[Browsers]\r\nFirefox=https://example.org/ff.exe\r\n" + sampleBytes(40000, 12);
    m_server->serveBytes(QStringLiteral("/FOApps.def"), fresh);

    QString error;
    QVERIFY2(FileDownload(*m_nam, m_server->url(QStringLiteral("/FOApps.def")), target, &error), qPrintable(error));
    QVERIFY(readFile(target) == fresh);
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("FOApps.def")});
}

void FileDownloadTest::downloadCreatesMissingTarget()
{
    const QString target = m_dir->filePath(QStringLiteral("FOPortable.def"));
    const QByteArray fresh = "[Office]\r\nLibreOffice Portable=https://example.org/lo.paf.exe\r\n";
    m_server->serveBytes(QStringLiteral("/FOPortable.def"), fresh);

    QString error;
    QVERIFY2(FileDownload(*m_nam, m_server->url(QStringLiteral("/FOPortable.def")), target, &error),
             qPrintable(error));
    QVERIFY(readFile(target) == fresh);
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("FOPortable.def")});
}

void FileDownloadTest::failedDownloadKeepsTarget_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::newRow("404") << Failure::NotFound;
    QTest::newRow("500") << Failure::ServerError;
    QTest::newRow("connection cut") << Failure::Cut;
    QTest::newRow("body shorter than announced") << Failure::ShortBody;
    QTest::newRow("stalled before headers") << Failure::StallBeforeHeaders;
    QTest::newRow("stalled mid-body") << Failure::StallMidBody;
    QTest::newRow("too large, announced") << Failure::TooLargeWithLength;
    QTest::newRow("too large, not announced") << Failure::TooLargeWithoutLength;
    QTest::newRow("too many redirects") << Failure::TooManyRedirects;
    QTest::newRow("unreachable") << Failure::Unreachable;
}

void FileDownloadTest::failedDownloadKeepsTarget()
{
    QFETCH(Failure, failure);

    const QString target = m_dir->filePath(QStringLiteral("FOSlim.def"));
    // Windows line ends, a comment and non-ASCII bytes: all must survive as they are.
    const QByteArray old = "; kept by hand\r\n[Tools]\r\n7-Zip=https://example.org/7z.exe\r\n\xe9t\xe9=1\r\n";
    QVERIFY(writeFile(target, old));
    const QStringList before = folderEntries(m_dir->path());

    FetchLimits limits;
    const QUrl url = arrangeFailure(failure, QStringLiteral("/FOSlim.def"), limits);
    QString error;
    QVERIFY(!FileDownload(*m_nam, url, target, &error, limits));
    QVERIFY(!error.isEmpty());
    QVERIFY(readFile(target) == old);
    QCOMPARE(folderEntries(m_dir->path()), before);
}

void FileDownloadTest::failedDownloadCreatesNothing_data()
{
    failedDownloadKeepsTarget_data();
}

void FileDownloadTest::failedDownloadCreatesNothing()
{
    QFETCH(Failure, failure);

    const QString target = m_dir->filePath(QStringLiteral("FOSlim.def"));
    FetchLimits limits;
    const QUrl url = arrangeFailure(failure, QStringLiteral("/FOSlim.def"), limits);
    QString error;
    QVERIFY(!FileDownload(*m_nam, url, target, &error, limits));
    QVERIFY(!error.isEmpty());
    // Not even an empty file: a later start would take it for a catalogue.
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(folderEntries(m_dir->path()), QStringList());
}

void FileDownloadTest::unwritableTargetReported()
{
    m_server->serveBytes(QStringLiteral("/FOApps.def"), "[Browsers]\r\nx=1\r\n");
    const QString target = m_dir->filePath(QStringLiteral("missing-folder/FOApps.def"));

    QString error;
    QVERIFY(!FileDownload(*m_nam, m_server->url(QStringLiteral("/FOApps.def")), target, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(folderEntries(m_dir->path()), QStringList());
}

QTEST_GUILESS_MAIN(FileDownloadTest)
#include "tst_filedownload.moc"
