#include "HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace fetchora::test {

static const QHash<int, QByteArray> kReasons = {
    {200, "OK"}, {301, "Moved Permanently"}, {302, "Found"}, {404, "Not Found"}};

HttpTestServer::HttpTestServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            m_heads.insert(socket, QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (m_heads.remove(socket))
                    socket->deleteLater();
            });
            onReadyRead(socket); // bytes may be waiting already
        }
    });
}

void HttpTestServer::serveBytes(const QString &path, const QByteArray &body, const QByteArray &contentType,
                                const QByteArray &contentDisposition)
{
    Route r{.headers = {{"Content-Type", contentType}}, .body = body};
    if (!contentDisposition.isEmpty())
        r.headers.append({QByteArray("Content-Disposition"), contentDisposition});
    setRoute(path, r);
}

void HttpTestServer::redirectChain(const QString &prefix, int hops, const QString &target)
{
    for (int i = 0; i < hops; ++i)
        redirect(prefix + QStringLiteral("/%1").arg(i),
                 i + 1 < hops ? prefix + QStringLiteral("/%1").arg(i + 1) : target);
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    // One request per connection: what follows the first head is read and ignored.
    auto head = m_heads.find(socket);
    const QByteArray bytes = socket->readAll();
    if (head == m_heads.end() || head->endsWith("\r\n\r\n"))
        return;
    *head += bytes;
    const qsizetype end = head->indexOf("\r\n\r\n");
    if (end < 0)
        return;
    head->truncate(end + 4);

    const QString path = QUrl(QString::fromUtf8(head->split(' ').value(1))).path();
    ++m_counts[path];
    ++m_total;
    m_lastHeads.insert(path, *head);

    const Route r = m_routes.value(path, {.status = 404, .body = "<html>Not here</html>"});
    if (r.stallHeaders)
        return;
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(r.status) + ' '
        + (r.reason.isEmpty() ? kReasons.value(r.status, "Status") : r.reason) + "\r\n";
    for (const auto &[name, value] : r.headers)
        answer += name + ": " + value + "\r\n";
    if (r.contentLength != -2)
        answer += "Content-Length: " + QByteArray::number(r.contentLength >= 0 ? r.contentLength : r.body.size())
            + "\r\n";
    answer += "Connection: close\r\n\r\n";
    const QByteArray sent = r.trickleMs > 0 ? QByteArray() : r.sendLimit >= 0 ? r.body.left(r.sendLimit) : r.body;
    socket->write(r.raw.isEmpty() ? answer + sent : r.raw);
    if (r.trickleMs > 0) { // a byte at a time, the connection open for as long as the client stays
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket,
                [socket, body = r.body, i = qsizetype(0)]() mutable { socket->write(body.mid(i++, 1)); });
        timer->start(r.trickleMs);
    } else if (!r.stall) {
        socket->disconnectFromHost(); // once what is queued has gone out
    }
}

} // namespace fetchora::test
