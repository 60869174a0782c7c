#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThread>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace fetchora::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests that download something. It
// runs in the event loop of the thread that owns it (QTest::qWaitFor and
// QSignalSpy::wait keep it going); ThreadedHttpTestServer runs one in a thread
// of its own, for callers that block or need the full speed of both ends.
//
// Every answer is decided by the request's path (the query is ignored) through
// a route set beforehand. Paths without a route answer 404. Each response ends
// the connection ("Connection: close"), so every request is a fresh connection
// and a client never sees a half-used keep-alive socket.
//
//   HttpTestServer server;
//   QVERIFY(server.listen());
//   server.serveBytes("/setup.exe", bytes);
//   server.redirectChain("/hop", 3, "/setup.exe");   // /hop/0 -> /hop/1 -> /hop/2 -> /setup.exe
//   server.cutAfter("/cut.bin", bytes, 1000);          // announces bytes.size(), sends 1000, closes
//   QUrl url = server.url("/hop/0");
//   ... server.requestCount("/setup.exe") ...
//
// Routes may be set or replaced at any time from the owning thread.
class HttpTestServer : public QObject
{
public:
    struct Route
    {
        enum class Kind {
            Bytes,        // status, headers and the body
            Generated,    // status, headers and generatedSize bytes of generatedBytes()
            StallHeaders, // read the request, never answer (the connection stays open)
        };
        Kind kind = Kind::Bytes;
        int status = 200;
        QByteArray reason;                           // empty: the usual phrase for the status
        QList<QPair<QByteArray, QByteArray>> headers; // sent as given, after the status line
        QByteArray body;
        qint64 generatedSize = 0;
        // Content-Length header: -1 the real body length, -2 none (the end of the
        // body is the end of the connection), otherwise this number.
        qint64 contentLength = -1;
        // Body bytes to send before acting on `after`; -1 the whole body.
        qint64 sendLimit = -1;
        enum class After {
            Close, // close the connection once everything given is sent
            Stall  // keep the connection open and send nothing more
        };
        After after = After::Close;
    };

    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    // Listens on 127.0.0.1; port 0 picks a free one.
    bool listen(quint16 port = 0);
    void close();
    quint16 port() const;
    // http://127.0.0.1:PORT/path
    QUrl url(const QString &path) const;

    void setRoute(const QString &path, const Route &route);
    void removeRoute(const QString &path);

    // 200 with Content-Length, Content-Type and, when given, Content-Disposition.
    void serveBytes(const QString &path, const QByteArray &body,
                    const QByteArray &contentType = "application/octet-stream",
                    const QByteArray &contentDisposition = {});
    // `size` bytes of generatedBytes(), produced as they are sent, never held whole.
    void serveGenerated(const QString &path, qint64 size);
    // A redirect status with Location (absolute or relative, sent as given).
    void redirect(const QString &path, const QString &location, int status = 302);
    // PREFIX/0 -> PREFIX/1 -> ... -> PREFIX/(hops-1) -> target: `hops` redirects in all.
    void redirectChain(const QString &prefix, int hops, const QString &target, int status = 302);
    // Any status with an optional body (e.g. 404 with an HTML page).
    void serveStatus(const QString &path, int status, const QByteArray &body = {},
                     const QByteArray &reason = {});
    // Announces body.size() but sends only the first `bytes` of it, then closes.
    void cutAfter(const QString &path, const QByteArray &body, qint64 bytes);
    // Announces `announcedLength` (more than body.size()), sends the body, closes.
    void shortBody(const QString &path, const QByteArray &body, qint64 announcedLength);
    // Accepts the connection and reads the request but never answers.
    void stallBeforeHeaders(const QString &path);
    // Sends the headers (announcing body.size()) and the first `bytes`, then
    // goes silent with the connection open.
    void stallAfter(const QString &path, const QByteArray &body, qint64 bytes);

    // Requests received for a path (query ignored), whatever the answer.
    int requestCount(const QString &path) const;
    int totalRequests() const;
    // The headers of the last request for a path, names in lower case.
    QHash<QByteArray, QByteArray> lastRequestHeaders(const QString &path) const;
    // The method of the last request for a path ("GET", "HEAD", ...).
    QByteArray lastRequestMethod(const QString &path) const;
    // Connections currently open (stalled ones included).
    int openConnections() const;

    // The content of generated bodies: byte i of every generated body is the same
    // function of i, so a test can rebuild or hash what it was sent.
    static QByteArray generatedBytes(qint64 offset, qint64 length);
    static QByteArray generatedSha256Hex(qint64 size);

    static QByteArray reasonPhrase(int status);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void onBytesWritten(QTcpSocket *socket);
    void respond(Connection &c, const QByteArray &method, const QString &path);
    void pump(Connection &c);
    void dropConnection(QTcpSocket *socket);

    QTcpServer *m_server;
    QHash<QString, Route> m_routes;
    QHash<QTcpSocket *, Connection *> m_connections;

    mutable QMutex m_statsLock; // requestCount() may be asked from another thread
    QHash<QString, int> m_counts;
    QHash<QString, QHash<QByteArray, QByteArray>> m_lastHeaders;
    QHash<QString, QByteArray> m_lastMethod;
    int m_total = 0;
};

// An HttpTestServer living in a thread of its own. The routes are set by the
// setup function, which runs in that thread before it starts listening.
// requestCount() and totalRequests() may be asked from any thread.
class ThreadedHttpTestServer
{
public:
    explicit ThreadedHttpTestServer(std::function<void(HttpTestServer &)> setup);
    ~ThreadedHttpTestServer(); // stops the thread

    // False when the server could not listen.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QUrl url(const QString &path) const;
    int requestCount(const QString &path) const;
    int totalRequests() const;

private:
    std::function<void(HttpTestServer &)> m_setup;
    QThread m_thread;
    QObject *m_anchor = nullptr;
    HttpTestServer *m_server = nullptr;
    quint16 m_port = 0;
};

} // namespace fetchora::test
