#include "DownloadTestSupport.h"

#include "net/HttpRequest.h"
#include "update/FileDownload.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace fetchora;
using namespace fetchora::test;

class HttpRequestTest : public DownloadTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void fetchesTheWholeBody_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("redirects");
        // clang-format off
        QTest::newRow("announced") << true << qint64(-1) << "/f" << 0;
        QTest::newRow("no Content-Length, ends with the connection") << false << qint64(-1) << "/f" << 0;
        QTest::newRow("exactly the size cap, announced") << true << qint64(70000) << "/f" << 0;
        QTest::newRow("exactly the size cap, not announced") << false << qint64(70000) << "/f" << 0;
        QTest::newRow("chain of three") << true << qint64(-1) << "/hop/0" << 3;
        QTest::newRow("relative, 301") << true << qint64(-1) << "/dir/sub/latest" << 1;
        QTest::newRow("ten, the most allowed") << true << qint64(-1) << "/ten/0" << 10;
        // clang-format on
    }

    void fetchesTheWholeBody()
    {
        QFETCH(bool, announced);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, start);
        QFETCH(int, redirects);
        const QByteArray body = sampleBytes(70000, 4);
        serveBody(*m_server, QStringLiteral("/f"), body, announced);
        m_server->redirectChain(QStringLiteral("/hop"), 3, QStringLiteral("/f"));
        m_server->redirect(QStringLiteral("/dir/sub/latest"), QStringLiteral("../../f"), 301);
        m_server->redirectChain(QStringLiteral("/ten"), 10, QStringLiteral("/f"));
        const FetchResult fetched = fetchUrl(*m_nam, m_server->url(start), {.maxBytes = maxBytes});
        QVERIFY2(fetched.ok && fetched.body == body && fetched.status == 200, qPrintable(fetched.error));
        // Every hop is asked once, the file too. HTTP lets a client send an idempotent GET
        // again when the connection closes under it, and Qt does so now and then
        // when the close is what ends the body: an unannounced body may be asked twice.
        const int requests = m_server->totalRequests() - redirects;
        QVERIFY2(announced ? requests == 1 : requests >= 1 && requests <= 2, qPrintable(QString::number(requests)));
        if (redirects > 0) // one hop more than allowed is refused
            QVERIFY(!fetchUrl(*m_nam, m_server->url(start), {.maxRedirects = redirects - 1}).ok);
        const QString head = QString::fromLatin1(m_server->lastRequestHead(QStringLiteral("/f")));
        QVERIFY2(head.contains(QRegularExpression(QStringLiteral("\r\nUser-Agent: Fetchora/\\d+\\.\\d+\\.\\d+\r\n")))
                     && head.contains(QStringLiteral("\r\nAccept-Encoding: identity\r\n")),
                 qPrintable(head));
    }

    void redirectPolicy()
    {
        // Secure to insecure is refused (anything but a web address: see failureIsExplained).
        QVERIFY(!HttpRequest::redirectAllowed(QUrl("HTTPS://a.example/x"), QUrl("http://a.example/x")));
        QVERIFY(HttpRequest::redirectAllowed(QUrl("http://a.example/x"), QUrl("https://a.example/x")));
    }

    void failureIsExplained_data()
    {
        QTest::addColumn<QString>("address");   // a path on the test server, or a whole address
        QTest::addColumn<QByteArray>("answer"); // when given, the server's whole answer to that path
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("text"); // "@" stands for http://127.0.0.1:PORT, THING for the address asked
        const QByteArray ok = "HTTP/1.1 200 OK\r\n", none, body = sampleBytes(900, 3), big = sampleBytes(1001);
        // clang-format off
        QTest::newRow("404") << "/x" << none << 1 << "The server answered 404 Not Found for @/x.";
        QTest::newRow("503 after a redirect, naming who answered") << "/to-busy" << none << 2 << "The server answered 503 Try Again Later for @/busy.";
        QTest::newRow("refused") << "dead" << none << 0 << "The connection to 127.0.0.1 was refused.";
        QTest::newRow("no answer") << "/silent" << none << 1 << "The server 127.0.0.1 did not answer for 0.3 seconds.";
        QTest::newRow("silent mid-body") << "/stall" << none << 1 << "The server 127.0.0.1 sent nothing for 0.3 seconds; the download of THING was stopped after 100 of 900 bytes.";
        QTest::newRow("cut") << "/f" << ok + "Content-Length: 900\r\n\r\n" + body.left(899) << 1 << "The download of THING was cut off after 899 of 900 bytes.";
        QTest::newRow("cut before the body") << "/f" << ok + "Content-Length: 900\r\n\r\n" << 1 << "The download of THING was cut off after 0 of 900 bytes.";
        QTest::newRow("too large, announced, nothing sent") << "/f" << ok + "Content-Length: 1001\r\n\r\n" << 1 << "The download of THING was stopped: it is larger than 1000 bytes.";
        QTest::newRow("too large, sent") << "/bigger" << ok + "\r\n" + big << 1 << "The download of THING was stopped: it is larger than 1000 bytes.";
        QTest::newRow("eleven redirects") << "/eleven/0" << none << 11 << "The download of THING was redirected more than 10 times and was stopped.";
        // Only http and https are followed: a mirror must not hand over a local file.
        for (const char *to : {"ftp://127.0.0.1/x", "file:///etc/passwd", "data:text/plain,root"})
            QTest::addRow("redirect to %s", to) << "/away" << "HTTP/1.1 302 Found\r\nLocation: " + QByteArray(to) + "\r\n\r\n" << 1 << QStringLiteral("The download of THING was redirected to %1, which is not a web address, and was stopped.").arg(to);
        // Answers that are no whole file.
        QTest::newRow("206 not asked for") << "/f" << "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99/900\r\nContent-Length: 100\r\n\r\n" + body.left(100) << 1 << "The server sent only a part of THING (206 Partial Content), although the whole file was asked for; the download was stopped.";
        QTest::newRow("two lengths") << "/f" << ok + "Content-Length: 100\r\nContent-Length: 900\r\n\r\n" + body << 1 << "The server 127.0.0.1 announced different sizes for THING (Content-Length: 100, 900); the download was stopped.";
        QTest::newRow("204") << "/f" << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << 1 << "The server answered 204 No Content for @/f, without a file.";
        QTest::newRow("205") << "/f" << QByteArray("HTTP/1.1 205 Reset Content\r\nContent-Length: 0\r\n\r\n") << 1 << "The server answered 205 Reset Content for @/f, without a file.";
        QTest::newRow("ftp") << "ftp://127.0.0.1/x" << none << 0 << "ftp://127.0.0.1/x is not a web address (http or https) that can be downloaded.";
        QTest::newRow("empty") << "" << none << 0 << "There is no address to download.";
        // clang-format on
    }

    void failureIsExplained()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, answer);
        QFETCH(int, requests);
        QFETCH(QString, text);
        const QByteArray body = sampleBytes(900, 3);
        m_server->serveStatus(QStringLiteral("/busy"), 503, "<html>later</html>", "Try Again Later");
        m_server->redirect(QStringLiteral("/to-busy"), QStringLiteral("/busy"));
        m_server->stallBeforeHeaders(QStringLiteral("/silent"));
        m_server->stallAfter(QStringLiteral("/stall"), body, 100);
        m_server->redirectChain(QStringLiteral("/eleven"), 11, QStringLiteral("/end"));
        if (!answer.isEmpty())
            m_server->setRoute(address, {.raw = answer});
        const QUrl url = address.startsWith(QLatin1Char('/')) ? m_server->url(address)
            : address == QLatin1String("dead") ? QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(deadPort()))
                                               : QUrl(address);
        const FetchResult fetched = fetchUrl(*m_nam, url,
                                             {.connectTimeoutMs = 300, .idleTimeoutMs = 300, .maxBytes = 1000});
        QVERIFY(!fetched.ok && fetched.body.isEmpty());
        QCOMPARE(fetched.error,
                 text.replace(QStringLiteral("THING"), url.toDisplayString())
                     .replace(QLatin1Char('@'), m_server->url(QString()).toString()));
        // An unannounced body ends with the connection: see fetchesTheWholeBody.
        const int extra = m_server->totalRequests() - requests;
        QVERIFY2(extra == 0 || (extra == 1 && address == QLatin1String("/bigger")), qPrintable(QString::number(extra)));
        // An abandoned connection is closed, not left hanging on the server.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnections(), 0, kDownloadWaitMs);
    }

    void slowServersStopButSlowReadersDoNot()
    {
        // Far more than the request may hold: the rest waits in the network
        // while nobody reads, as while the user chooses where to save.
        const QByteArray body = sampleBytes(4 * 1024 * 1024, 8);
        m_server->serveBytes(QStringLiteral("/big"), body);
        HttpRequest request(m_nam.get());
        request.setLimits({.idleTimeoutMs = 200, .lowSpeedBytesPerSecond = 1, .lowSpeedTimeMs = 200});
        request.setReadBufferSize(64 * 1024);
        request.start(m_server->url(QStringLiteral("/big")));
        QVERIFY(QTest::qWaitFor([&] { return request.bytesAvailable() > 0; }, kDownloadWaitMs));
        QTest::qWait(800); // four idle and low-speed times without reading
        QCOMPARE(request.state(), HttpRequest::State::Receiving);
        QByteArray got;
        QVERIFY(QTest::qWaitFor([&] { return (got += request.readAll()).size() == body.size(); }, kDownloadWaitMs));
        QVERIFY(QTest::qWaitFor([&] { return request.state() == HttpRequest::State::Done; }, kDownloadWaitMs));
        QVERIFY(got == body);
        // A byte every 50 ms never trips the idle time; far too slow on average, it is stopped.
        m_server->setRoute(QStringLiteral("/drip"), {.body = body.left(1000), .trickleMs = 50});
        connect(&request, &HttpRequest::readyRead, &request, &HttpRequest::readAll);
        request.setLimits({.idleTimeoutMs = 5000, .lowSpeedBytesPerSecond = 100, .lowSpeedTimeMs = 500});
        request.start(m_server->url(QStringLiteral("/drip")));
        QVERIFY(QTest::qWaitFor([&] { return !request.isRunning(); }, kDownloadWaitMs));
        QCOMPARE(request.error().text("drip"),
                 "The server 127.0.0.1 sent less than 100 bytes per second for 0.5 "
                 "seconds; the download of drip was stopped.");
        // An update fetch is held to the same rule.
        const FetchResult update = fetchUrl(*m_nam, m_server->url(QStringLiteral("/drip")),
                                            {.lowSpeedBytesPerSecond = 100, .lowSpeedTimeMs = 500});
        QVERIFY2(!update.ok && update.error.contains(QStringLiteral("bytes per second")), qPrintable(update.error));
    }

    void updateFetchWaitsInAnEventLoopAndReportsWriteFailures()
    {
        m_server->stallBeforeHeaders(QStringLiteral("/slow"));
        bool timerRan = false;
        QTimer::singleShot(50, this, [&] { timerRan = true; });
        QVERIFY(!fetchUrl(*m_nam, m_server->url(QStringLiteral("/slow")), {.connectTimeoutMs = 1000}).ok);
        QVERIFY(timerRan); // while the fetch waited: nothing else ran the event loop since
        QString error;
        QVERIFY(!writeFileAtomically(path(QStringLiteral("gone/FOApps.def")), "[Apps]", &error));
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(path(QStringLiteral("gone/FOApps.def")))
                                  + " could not be written: "),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(HttpRequestTest)
#include "tst_httprequest.moc"
