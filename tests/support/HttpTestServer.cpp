#include "HttpTestServer.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstring>

namespace fetchora::test {

namespace {

// A request head larger than this is not something a test client sends.
constexpr qsizetype kMaxRequestHead = 64 * 1024;
// Generated bodies are produced in pieces of this size, and a new piece is
// queued only while less than kHighWater is waiting in the socket, so a large
// body never sits in memory.
constexpr qint64 kPiece = 256 * 1024;
constexpr qint64 kHighWater = 1024 * 1024;

constexpr quint64 kGeneratorFactor = 0x9E3779B97F4A7C15ull;

// Fills `out` with bytes [offset, offset + length) of the generated stream: the
// little-endian bytes of (i * factor) for each 8-byte word index i.
void generateInto(char *out, qint64 offset, qint64 length)
{
    qint64 pos = offset;
    const qint64 end = offset + length;
    while (pos < end) {
        const quint64 word = quint64(pos / 8) * kGeneratorFactor;
        unsigned char bytes[8];
        for (int b = 0; b < 8; ++b)
            bytes[b] = static_cast<unsigned char>(word >> (8 * b));
        const qint64 inWord = pos % 8;
        const qint64 take = std::min<qint64>(8 - inWord, end - pos);
        std::memcpy(out, bytes + inWord, size_t(take));
        out += take;
        pos += take;
    }
}

} // namespace

struct HttpTestServer::Connection
{
    QTcpSocket *socket = nullptr;
    QByteArray head;
    bool answered = false; // the request was read; later bytes are ignored
    Route route;
    qint64 sent = 0;       // body bytes queued so far
    qint64 toSend = 0;     // body bytes to queue in all
    bool bodyDone = false; // `after` was acted on
    bool headOnly = false; // HEAD request
};

HttpTestServer::HttpTestServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer()
{
    close();
}

bool HttpTestServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

void HttpTestServer::close()
{
    m_server->close();
    const auto sockets = m_connections.keys();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        delete m_connections.take(socket);
        socket->deleteLater();
    }
}

quint16 HttpTestServer::port() const
{
    return m_server->serverPort();
}

QUrl HttpTestServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port());
    url.setPath(path);
    return url;
}

void HttpTestServer::setRoute(const QString &path, const Route &route)
{
    m_routes.insert(path, route);
}

void HttpTestServer::removeRoute(const QString &path)
{
    m_routes.remove(path);
}

void HttpTestServer::serveBytes(const QString &path, const QByteArray &body,
                                const QByteArray &contentType, const QByteArray &contentDisposition)
{
    Route r;
    r.body = body;
    if (!contentType.isEmpty())
        r.headers.append({"Content-Type", contentType});
    if (!contentDisposition.isEmpty())
        r.headers.append({"Content-Disposition", contentDisposition});
    setRoute(path, r);
}

void HttpTestServer::serveGenerated(const QString &path, qint64 size)
{
    Route r;
    r.kind = Route::Kind::Generated;
    r.generatedSize = size;
    r.headers.append(std::make_pair(QByteArray("Content-Type"), QByteArray("application/octet-stream")));
    setRoute(path, r);
}

void HttpTestServer::redirect(const QString &path, const QString &location, int status)
{
    Route r;
    r.status = status;
    r.headers.append({"Location", location.toUtf8()});
    r.body = "<html><body>Moved</body></html>";
    r.headers.append(std::make_pair(QByteArray("Content-Type"), QByteArray("text/html")));
    setRoute(path, r);
}

void HttpTestServer::redirectChain(const QString &prefix, int hops, const QString &target, int status)
{
    for (int i = 0; i < hops; ++i) {
        const QString next = i + 1 < hops ? prefix + QLatin1Char('/') + QString::number(i + 1) : target;
        redirect(prefix + QLatin1Char('/') + QString::number(i), next, status);
    }
}

void HttpTestServer::serveStatus(const QString &path, int status, const QByteArray &body,
                                 const QByteArray &reason)
{
    Route r;
    r.status = status;
    r.reason = reason;
    r.body = body;
    r.headers.append(std::make_pair(QByteArray("Content-Type"), QByteArray("text/html")));
    setRoute(path, r);
}

void HttpTestServer::cutAfter(const QString &path, const QByteArray &body, qint64 bytes)
{
    Route r;
    r.body = body;
    r.sendLimit = bytes;
    setRoute(path, r);
}

void HttpTestServer::shortBody(const QString &path, const QByteArray &body, qint64 announcedLength)
{
    Route r;
    r.body = body;
    r.contentLength = announcedLength;
    setRoute(path, r);
}

void HttpTestServer::stallBeforeHeaders(const QString &path)
{
    Route r;
    r.kind = Route::Kind::StallHeaders;
    setRoute(path, r);
}

void HttpTestServer::stallAfter(const QString &path, const QByteArray &body, qint64 bytes)
{
    Route r;
    r.body = body;
    r.sendLimit = bytes;
    r.after = Route::After::Stall;
    setRoute(path, r);
}

int HttpTestServer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_statsLock);
    return m_counts.value(path);
}

int HttpTestServer::totalRequests() const
{
    QMutexLocker lock(&m_statsLock);
    return m_total;
}

QHash<QByteArray, QByteArray> HttpTestServer::lastRequestHeaders(const QString &path) const
{
    QMutexLocker lock(&m_statsLock);
    return m_lastHeaders.value(path);
}

QByteArray HttpTestServer::lastRequestMethod(const QString &path) const
{
    QMutexLocker lock(&m_statsLock);
    return m_lastMethod.value(path);
}

int HttpTestServer::openConnections() const
{
    return int(m_connections.size());
}

QByteArray HttpTestServer::generatedBytes(qint64 offset, qint64 length)
{
    QByteArray out(qsizetype(length), Qt::Uninitialized);
    generateInto(out.data(), offset, length);
    return out;
}

QByteArray HttpTestServer::generatedSha256Hex(qint64 size)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray piece(qsizetype(kPiece), Qt::Uninitialized);
    for (qint64 pos = 0; pos < size; pos += kPiece) {
        const qint64 n = std::min(kPiece, size - pos);
        generateInto(piece.data(), pos, n);
        hash.addData(QByteArrayView(piece.constData(), qsizetype(n)));
    }
    return hash.result().toHex();
}

QByteArray HttpTestServer::reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 300: return "Multiple Choices";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 410: return "Gone";
    case 416: return "Range Not Satisfiable";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *c = new Connection;
        c->socket = socket;
        m_connections.insert(socket, c);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { onBytesWritten(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropConnection(socket); });
        // Bytes may already be waiting.
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void HttpTestServer::dropConnection(QTcpSocket *socket)
{
    Connection *c = m_connections.take(socket);
    if (!c)
        return;
    socket->disconnect(this);
    delete c;
    socket->deleteLater();
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    Connection *c = m_connections.value(socket);
    if (!c)
        return;
    if (c->answered) {
        socket->readAll(); // a client's leftovers; one request per connection
        return;
    }
    c->head += socket->readAll();
    const qsizetype end = c->head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (c->head.size() > kMaxRequestHead) {
            c->answered = true;
            socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        }
        return;
    }
    c->answered = true;

    const QList<QByteArray> lines = c->head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QByteArray method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    QHash<QByteArray, QByteArray> headers;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const QString path = QUrl(QString::fromUtf8(target)).path();
    {
        QMutexLocker lock(&m_statsLock);
        ++m_counts[path];
        ++m_total;
        m_lastHeaders.insert(path, headers);
        m_lastMethod.insert(path, method);
    }
    respond(*c, method, path);
}

void HttpTestServer::respond(Connection &c, const QByteArray &method, const QString &path)
{
    auto it = m_routes.constFind(path);
    if (it == m_routes.constEnd()) {
        Route notFound;
        notFound.status = 404;
        notFound.body = "<html><body>Not here</body></html>";
        notFound.headers.append(std::make_pair(QByteArray("Content-Type"), QByteArray("text/html")));
        c.route = notFound;
    } else {
        c.route = *it;
    }
    const Route &r = c.route;
    if (r.kind == Route::Kind::StallHeaders)
        return;

    c.headOnly = method == "HEAD";
    const qint64 bodySize = r.kind == Route::Kind::Generated ? r.generatedSize : r.body.size();
    c.toSend = r.sendLimit >= 0 ? std::min(r.sendLimit, bodySize) : bodySize;
    if (c.headOnly)
        c.toSend = 0;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' '
        + (r.reason.isEmpty() ? reasonPhrase(r.status) : r.reason) + "\r\n";
    for (const auto &h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    if (r.contentLength == -1)
        head += "Content-Length: " + QByteArray::number(bodySize) + "\r\n";
    else if (r.contentLength >= 0)
        head += "Content-Length: " + QByteArray::number(r.contentLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    c.socket->write(head);
    pump(c);
}

void HttpTestServer::onBytesWritten(QTcpSocket *socket)
{
    if (Connection *c = m_connections.value(socket))
        pump(*c);
}

void HttpTestServer::pump(Connection &c)
{
    if (c.bodyDone || !c.answered || c.route.kind == Route::Kind::StallHeaders)
        return;
    if (c.route.kind == Route::Kind::Bytes) {
        if (c.sent < c.toSend) {
            c.socket->write(c.route.body.constData() + c.sent, c.toSend - c.sent);
            c.sent = c.toSend;
        }
    } else {
        while (c.sent < c.toSend && c.socket->bytesToWrite() < kHighWater) {
            const qint64 n = std::min(kPiece, c.toSend - c.sent);
            QByteArray piece(qsizetype(n), Qt::Uninitialized);
            generateInto(piece.data(), c.sent, n);
            c.socket->write(piece);
            c.sent += n;
        }
    }
    if (c.sent < c.toSend)
        return;
    c.bodyDone = true;
    if (c.route.after == Route::After::Close)
        c.socket->disconnectFromHost(); // after what is queued has gone out
}

// ------------------------------------------------------------------ threaded --

ThreadedHttpTestServer::ThreadedHttpTestServer(std::function<void(HttpTestServer &)> setup)
    : m_setup(std::move(setup))
{
}

ThreadedHttpTestServer::~ThreadedHttpTestServer()
{
    stop();
}

bool ThreadedHttpTestServer::start()
{
    if (m_thread.isRunning())
        return m_port != 0;
    // A context object living in the server thread, so the set-up and the
    // tear-down run there; the thread deletes it on its way out.
    m_anchor = new QObject;
    m_anchor->moveToThread(&m_thread);
    m_thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(m_anchor, [this, &ok] {
        m_server = new HttpTestServer;
        m_setup(*m_server);
        ok = m_server->listen();
        m_port = ok ? m_server->port() : 0;
    }, Qt::BlockingQueuedConnection);
    if (!ok)
        stop();
    return ok;
}

void ThreadedHttpTestServer::stop()
{
    if (!m_thread.isRunning())
        return;
    HttpTestServer *server = m_server;
    QMetaObject::invokeMethod(m_anchor, [this, server] {
        m_server = nullptr;
        delete server;
    }, Qt::BlockingQueuedConnection);
    m_anchor->deleteLater();
    m_anchor = nullptr;
    m_thread.quit();
    m_thread.wait();
    m_port = 0;
}

QUrl ThreadedHttpTestServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    url.setPath(path);
    return url;
}

int ThreadedHttpTestServer::requestCount(const QString &path) const
{
    return m_server ? m_server->requestCount(path) : 0;
}

int ThreadedHttpTestServer::totalRequests() const
{
    return m_server ? m_server->totalRequests() : 0;
}

} // namespace fetchora::test
