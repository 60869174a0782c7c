#pragma once

#include <QHash>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace fetchora::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests that fetch something. It runs
// in the event loop of the thread that owns it (QTest::qWaitFor, QSignalSpy::wait
// and a fetch's own loop keep it going).
//
// Every answer is decided by the request's path (the query is ignored) through
// a route set beforehand; paths without one answer 404. Each answer says
// "Connection: close" and ends its connection, so every request is a fresh
// connection and a client never meets a half-used kept-alive socket.
//
//   HttpTestServer server;
//   QVERIFY(server.listen());
//   server.serveBytes("/setup.exe", bytes);
//   server.redirectChain("/hop", 3, "/setup.exe");   // /hop/0 -> /hop/1 -> /hop/2 -> /setup.exe
//   server.cutAfter("/cut.bin", bytes, 1000);        // announces bytes.size(), sends 1000, closes
//   ... server.requestCount("/setup.exe") ...
class HttpTestServer : public QObject
{
public:
    struct Route
    {
        int status = 200;
        QByteArray reason; // empty: the usual phrase
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        qint64 contentLength = -1; // -1 the body's length, -2 none (the close ends the body)
        qint64 sendLimit = -1;     // body bytes sent; -1 all
        bool stall = false;        // after what is sent, keep the connection open and silent
        bool stallHeaders = false; // read the request, never answer
        int trickleMs = 0;         // the body one byte at a time, this far apart
        QByteArray raw;            // when set, the whole answer as sent, instead of the fields above
    };

    explicit HttpTestServer(QObject *parent = nullptr);

    bool listen() { return m_server->listen(QHostAddress::LocalHost, 0); } // on 127.0.0.1, a free port
    quint16 port() const { return m_server->serverPort(); }
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()) + path); }

    void setRoute(const QString &path, const Route &route) { m_routes.insert(path, route); }
    // 200 with Content-Length, Content-Type and, when given, Content-Disposition.
    void serveBytes(const QString &path, const QByteArray &body,
                    const QByteArray &contentType = "application/octet-stream",
                    const QByteArray &contentDisposition = {});
    // A redirect status with Location (absolute or relative, sent as given).
    void redirect(const QString &path, const QString &location, int status = 302)
    {
        setRoute(path, {.status = status, .headers = {{"Location", location.toUtf8()}}, .body = "<html>Moved</html>"});
    }
    // PREFIX/0 -> PREFIX/1 -> ... -> PREFIX/(hops-1) -> target: `hops` redirects in all.
    void redirectChain(const QString &prefix, int hops, const QString &target);
    // Any status with an HTML body.
    void serveStatus(const QString &path, int status, const QByteArray &body = {}, const QByteArray &reason = {})
    {
        setRoute(path, {.status = status, .reason = reason, .headers = {{"Content-Type", "text/html"}}, .body = body});
    }
    // Announces body.size() but sends only the first `bytes`, then closes.
    void cutAfter(const QString &path, const QByteArray &body, qint64 bytes)
    {
        setRoute(path, {.body = body, .sendLimit = bytes});
    }
    // Reads the request and never answers.
    void stallBeforeHeaders(const QString &path) { setRoute(path, {.stallHeaders = true}); }
    // Announces body.size(), sends the first `bytes`, then goes silent with the connection open.
    void stallAfter(const QString &path, const QByteArray &body, qint64 bytes)
    {
        setRoute(path, {.body = body, .sendLimit = bytes, .stall = true});
    }

    // Requests received for a path (query ignored), whatever the answer.
    int requestCount(const QString &path) const { return m_counts.value(path); }
    int totalRequests() const { return m_total; }
    // The head of the last request for a path: request line and headers, as sent.
    QByteArray lastRequestHead(const QString &path) const { return m_lastHeads.value(path); }
    int openConnections() const { return int(m_heads.size()); }

private:
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server;
    QHash<QString, Route> m_routes;
    QHash<QTcpSocket *, QByteArray> m_heads; // open connections and what they sent so far
    QHash<QString, int> m_counts;
    QHash<QString, QByteArray> m_lastHeads;
    int m_total = 0;
};

} // namespace fetchora::test
