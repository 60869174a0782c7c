#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "update/FileDownload.h"

#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <tuple>

using namespace fetchora;
using namespace fetchora::test;

namespace {

// Stalls must end quickly; nothing in these tests waits for a real network.
FetchLimits shortLimits()
{
    FetchLimits limits;
    limits.connectTimeoutMs = 500;
    limits.idleTimeoutMs = 500;
    return limits;
}

// A fetch that failed returns nothing of the answer and says why.
void verifyFailed(const FetchResult &result)
{
    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
    QVERIFY(!result.error.isEmpty());
}

enum class Failure {
    Status, // an error status, with a page that looks like a good file
    Cut,
    ShortBody,
    StallBeforeHeaders,
    StallMidBody,
    TooLargeWithLength,
    TooLargeWithoutLength,
    TooManyRedirects,
    Unreachable,
    NoAddress,
    NoScheme,
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class FileDownloadTest : public DownloadTestCase
{
    Q_OBJECT

    // Sets up the server so that `path` fails the given way; returns the address
    // to ask and the limits to ask with. `n` is the status, the bytes sent before
    // a cut or the size of a body too large.
    QUrl arrangeFailure(Failure failure, const QString &path, FetchLimits &limits, int n)
    {
        const QByteArray body = sampleBytes(5000, 7);
        switch (failure) {
        case Failure::Status:
            m_server->serveStatus(path, n, "[Signature]\r\nVersion=9999.99.99\r\n<html>error page</html>");
            break;
        case Failure::Cut:
            m_server->cutAfter(path, body, n);
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
        case Failure::TooLargeWithoutLength:
            limits.maxBytes = 1000;
            serveBody(*m_server, path, sampleBytes(n, 9), failure == Failure::TooLargeWithLength);
            break;
        case Failure::TooManyRedirects:
            limits.maxRedirects = 2;
            m_server->serveBytes(QStringLiteral("/landing"), body);
            m_server->redirectChain(path, 3, QStringLiteral("/landing"));
            return m_server->url(path + QStringLiteral("/0"));
        case Failure::Unreachable:
            return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(deadPort()).arg(path));
        case Failure::NoAddress:
            return QUrl();
        case Failure::NoScheme:
            return QUrl(path.mid(1));
        }
        return m_server->url(path);
    }

private Q_SLOTS:
    void bodyReturnedWhole_data()
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

    void bodyReturnedWhole()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, announceLength);
        serveBody(*m_server, QStringLiteral("/FOApps.def"), body, announceLength);

        const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/FOApps.def")));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.status, 200);
        QCOMPARE(result.body.size(), body.size());
        QVERIFY(result.body == body);
        QVERIFY(result.error.isEmpty());
        QCOMPARE(m_server->requestCount(QStringLiteral("/FOApps.def")), 1);
    }

    void redirectLimit_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<int>("maxRedirects");
        QTest::addColumn<bool>("ok");

        QTest::newRow("3 hops, 3 allowed") << 3 << 3 << true;
        QTest::newRow("3 hops, default limit") << 3 << FetchLimits{}.maxRedirects << true;
        QTest::newRow("3 hops, 2 allowed") << 3 << 2 << false;
        QTest::newRow("10 hops, default limit") << 10 << FetchLimits{}.maxRedirects << true;
        QTest::newRow("11 hops, default limit") << 11 << FetchLimits{}.maxRedirects << false;
        QTest::newRow("1 hop, none allowed") << 1 << 0 << false;
    }

    void redirectLimit()
    {
        QFETCH(int, hops);
        QFETCH(int, maxRedirects);
        QFETCH(bool, ok);

        const QByteArray body = sampleBytes(20000, 5);
        m_server->serveBytes(QStringLiteral("/files/FOApps.def"), body);
        m_server->redirectChain(QStringLiteral("/hop"), hops, QStringLiteral("/files/FOApps.def"));

        FetchLimits limits;
        limits.maxRedirects = maxRedirects;
        const FetchResult result = fetchUrl(*m_nam, m_server->url(QStringLiteral("/hop/0")), limits);
        if (!ok) {
            verifyFailed(result);
            // Refused before the end of the chain: the file itself was never asked for.
            QCOMPARE(m_server->requestCount(QStringLiteral("/files/FOApps.def")), 0);
            return;
        }
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.status, 200);
        QVERIFY(result.body == body);
        // Every hop was really taken. (Qt's own redirect handling now and then
        // sends one hop twice when the server closes each connection, so the
        // exact number is not the point here.)
        for (int hop = 0; hop < hops; ++hop)
            QVERIFY(m_server->requestCount(QStringLiteral("/hop/%1").arg(hop)) >= 1);
        QVERIFY(m_server->requestCount(QStringLiteral("/files/FOApps.def")) >= 1);
    }

    // Every way a fetch can fail: nothing of the answer comes back, the reason
    // names the server and what went wrong, and no connection is left open.
    void fetchFails_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<int>("n"); // see arrangeFailure()
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QStringList>("mentions");

        const QString server = QStringLiteral("127.0.0.1");
        for (int status : {404, 500, 403, 503})
            QTest::addRow("%d", status) << Failure::Status << status << status << 1
                                        << QStringList{QString::number(status), server};
        // Refusal, not a time-out: the time-out wording would send the user to
        // wait for a server that is not there.
        QTest::newRow("unreachable") << Failure::Unreachable << 0 << 0 << 0 << QStringList{server};
        QTest::newRow("no address") << Failure::NoAddress << 0 << 0 << 0 << QStringList();
        QTest::newRow("no scheme") << Failure::NoScheme << 0 << 0 << 0 << QStringList();
        QTest::newRow("never answers") << Failure::StallBeforeHeaders << 0 << -1 << 1
                                       << QStringList{QStringLiteral("did not answer"), server};
        QTest::newRow("goes silent mid-body") << Failure::StallMidBody << 0 << -1 << 1
                                              << QStringList{QStringLiteral("did not answer"), server};
        QTest::newRow("5000 with Content-Length") << Failure::TooLargeWithLength << 5000 << -1 << 1 << QStringList();
        QTest::newRow("5000 without Content-Length") << Failure::TooLargeWithoutLength << 5000 << -1 << 1 << QStringList();
        QTest::newRow("one byte over, with Content-Length") << Failure::TooLargeWithLength << 1001 << -1 << 1
                                                            << QStringList();
        QTest::newRow("one byte over, without Content-Length") << Failure::TooLargeWithoutLength << 1001 << -1 << 1
                                                               << QStringList();
        QTest::newRow("1 MB without Content-Length") << Failure::TooLargeWithoutLength << 1024 * 1024 << -1 << 1
                                                     << QStringList();
        // Announced as 5000 bytes: fewer must never be taken for the file.
        QTest::newRow("cut after 1000 of 5000") << Failure::Cut << 1000 << -1 << 1 << QStringList();
        QTest::newRow("cut before the body") << Failure::Cut << 0 << -1 << 1 << QStringList();
        QTest::newRow("cut one byte short") << Failure::Cut << 4999 << -1 << 1 << QStringList();
    }

    void fetchFails()
    {
        QFETCH(Failure, failure);
        QFETCH(int, n);
        QFETCH(int, status);
        QFETCH(int, requests);
        QFETCH(QStringList, mentions);

        FetchLimits limits;
        const QUrl url = arrangeFailure(failure, QStringLiteral("/FOVersion.ini"), limits, n);
        if (failure == Failure::Unreachable)
            QVERIFY(url.port() > 0);
        const FetchResult result = fetchUrl(*m_nam, url, limits);
        verifyFailed(result);
        if (status >= 0)
            QCOMPARE(result.status, status);
        for (const QString &part : mentions)
            QVERIFY2(result.error.contains(part), qPrintable(result.error));
        const bool stalled = failure == Failure::StallBeforeHeaders || failure == Failure::StallMidBody;
        QVERIFY2(result.error.contains(QStringLiteral("did not answer")) == stalled, qPrintable(result.error));
        QCOMPARE(m_server->totalRequests(), requests);
        // The abandoned connection is closed, not left hanging on the server.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnections(), 0, 5000);
    }

    void answerAtTheLimitAccepted()
    {
        const QByteArray body = sampleBytes(1000, 10);
        serveBody(*m_server, QStringLiteral("/with"), body, true);
        serveBody(*m_server, QStringLiteral("/without"), body, false);

        FetchLimits limits;
        limits.maxBytes = 1000;
        for (const QString &path : {QStringLiteral("/with"), QStringLiteral("/without")}) {
            const FetchResult result = fetchUrl(*m_nam, m_server->url(path), limits);
            QVERIFY2(result.ok, qPrintable(path + QStringLiteral(": ") + result.error));
            QVERIFY(result.body == body);
        }
    }

    void eventLoopKeepsRunningWhileWaiting()
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

    void downloadWritesTarget_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("old"); // empty: there is no such file yet
        QTest::addColumn<QByteArray>("fresh");

        QTest::newRow("replaces the old copy")
            << "FOApps.def" << QByteArray("[Old]\r\nentry=1\r\n")
            << QByteArray("[Browsers]\r\nFirefox=https://example.org/ff.exe\r\n" + sampleBytes(40000, 12));
        QTest::newRow("creates a missing file")
            << "FOPortable.def" << QByteArray()
            << QByteArray("[Office]\r\nLibreOffice Portable=https://example.org/lo.paf.exe\r\n");
    }

    void downloadWritesTarget()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, fresh);

        const QString target = path(name);
        if (!old.isEmpty())
            QVERIFY(writeFile(target, old));
        m_server->serveBytes(QLatin1Char('/') + name, fresh);

        QString error;
        QVERIFY2(FileDownload(*m_nam, m_server->url(QLatin1Char('/') + name), target, &error), qPrintable(error));
        QVERIFY(readFile(target) == fresh);
        QCOMPARE(folderEntries(m_dir->path()), QStringList{name});
    }

    void failedDownloadChangesNothing_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("targetExists");

        const QList<std::tuple<const char *, Failure, int>> failures = {
            {"404", Failure::Status, 404},
            {"500", Failure::Status, 500},
            {"connection cut", Failure::Cut, 1000},
            {"body shorter than announced", Failure::ShortBody, 0},
            {"stalled before headers", Failure::StallBeforeHeaders, 0},
            {"stalled mid-body", Failure::StallMidBody, 0},
            {"too large, announced", Failure::TooLargeWithLength, 5000},
            {"too large, not announced", Failure::TooLargeWithoutLength, 5000},
            {"too many redirects", Failure::TooManyRedirects, 0},
            {"unreachable", Failure::Unreachable, 0},
        };
        for (const auto &[name, failure, n] : failures) {
            QTest::addRow("%s, old copy kept", name) << failure << n << true;
            QTest::addRow("%s, nothing created", name) << failure << n << false;
        }
    }

    void failedDownloadChangesNothing()
    {
        QFETCH(Failure, failure);
        QFETCH(int, n);
        QFETCH(bool, targetExists);

        const QString target = path(QStringLiteral("FOSlim.def"));
        // Windows line ends, a comment and non-ASCII bytes: all must survive as they are.
        const QByteArray old = "; kept by hand\r\n[Tools]\r\n7-Zip=https://example.org/7z.exe\r\n\xe9t\xe9=1\r\n";
        if (targetExists)
            QVERIFY(writeFile(target, old));
        const QStringList before = folderEntries(m_dir->path());

        FetchLimits limits;
        const QUrl url = arrangeFailure(failure, QStringLiteral("/FOSlim.def"), limits, n);
        QString error;
        QVERIFY(!FileDownload(*m_nam, url, target, &error, limits));
        QVERIFY(!error.isEmpty());
        // Without an old copy not even an empty file: a later start would take it for a catalogue.
        QCOMPARE(QFileInfo::exists(target), targetExists);
        if (targetExists)
            QVERIFY(readFile(target) == old);
        QCOMPARE(folderEntries(m_dir->path()), before);
    }

    void unwritableTargetReported()
    {
        m_server->serveBytes(QStringLiteral("/FOApps.def"), "[Browsers]\r\nx=1\r\n");
        const QString target = path(QStringLiteral("missing-folder/FOApps.def"));

        QString error;
        QVERIFY(!FileDownload(*m_nam, m_server->url(QStringLiteral("/FOApps.def")), target, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(folderEntries(m_dir->path()), QStringList());
    }
};

QTEST_GUILESS_MAIN(FileDownloadTest)
#include "tst_filedownload.moc"
