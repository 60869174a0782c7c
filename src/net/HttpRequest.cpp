#include "HttpRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVariant>
#if QT_CONFIG(ssl)
#include <QSslError>
#endif

#include <algorithm>
#include <cstring>

namespace fetchora {

namespace {

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isWebAddress(const QUrl &url)
{
    return url.isValid() && isWebScheme(url.scheme()) && !url.host().isEmpty();
}

} // namespace

void useSystemProxy()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

bool looksLikeWebPage(const QByteArray &contentType, const QByteArray &firstBytes)
{
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    if (type == "text/html" || type == "application/xhtml+xml")
        return true;
    QByteArrayView rest(firstBytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    while (!rest.isEmpty() && std::strchr(" \t\r\n\f", rest.front()) != nullptr)
        rest = rest.sliced(1);
    const QByteArray start = rest.first(std::min<qsizetype>(rest.size(), 14)).toByteArray().toLower();
    for (const char *opening : {"<!doctype html", "<html", "<head", "<body"}) {
        if (start.startsWith(opening))
            return true;
    }
    return false;
}

HttpRequest::HttpRequest(QNetworkAccessManager *manager, QObject *parent) : QObject(parent), m_manager(manager)
{
    connect(&m_watchdog, &QTimer::timeout, this, &HttpRequest::onWatchdog);
}

HttpRequest::~HttpRequest()
{
    m_watchdog.stop();
    dropReply();
}

QString HttpRequest::userAgent()
{
    return QStringLiteral("Fetchora/%1.%2.%3")
        .arg(FETCHORA_VERSION_MAJOR)
        .arg(FETCHORA_VERSION_MINOR)
        .arg(FETCHORA_VERSION_PATCH);
}

bool HttpRequest::redirectAllowed(const QUrl &from, const QUrl &to)
{
    if (!isWebAddress(to))
        return false;
    return !(from.scheme() == QLatin1String("https") && to.scheme() == QLatin1String("http"));
}

void HttpRequest::setReadBufferSize(qint64 bytes)
{
    m_readBufferSize = bytes;
    if (m_reply)
        m_reply->setReadBufferSize(bytes);
}

void HttpRequest::start(const QUrl &url)
{
    abort();
    m_url = url;
    m_currentUrl = url;
    m_redirects = 0;
    m_status = 0;
    m_contentLength = -1;
    m_headers.clear();
    m_read = 0;
    m_error = NetError();
    m_state = State::Requesting;
    if (url.isEmpty()) {
        fail(NetError::Kind::NoAddress);
        return;
    }
    if (!isWebAddress(url)) {
        fail(NetError::Kind::NotWebAddress);
        return;
    }
    m_sinceStart.start();
    int shortest = std::max(1, std::min(m_limits.connectTimeoutMs, m_limits.idleTimeoutMs));
    if (m_limits.lowSpeedBytesPerSecond > 0 && m_limits.lowSpeedTimeMs > 0)
        shortest = std::min(shortest, m_limits.lowSpeedTimeMs);
    m_watchdog.start(std::clamp(shortest / 10, 10, 1000));
    send(url);
}

void HttpRequest::abort()
{
    ++m_run;
    m_watchdog.stop();
    dropReply();
    if (isRunning())
        m_state = State::Idle;
}

void HttpRequest::send(const QUrl &url)
{
    QNetworkRequest request(url);
    // Redirects are followed here, so every hop is counted and checked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The bytes exactly as published: no transfer compression that would make
    // the announced length and the bytes read disagree.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());

    m_headersHandled = false;
    m_announcePending = false;
    m_sslErrors.clear();
    m_sinceServer.start();
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    if (m_readBufferSize > 0)
        reply->setReadBufferSize(std::max(m_readBufferSize, m_peekSize));
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (sender() == m_reply && !m_headersHandled)
            handleHeaders();
    });
    connect(reply, &QNetworkReply::readyRead, this, &HttpRequest::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &HttpRequest::onReplyFinished);
#if QT_CONFIG(ssl)
    connect(reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors.append(e.errorString());
    });
#endif
}

// False when the answer was not a body to read: a redirect was followed, or
// the request failed.
bool HttpRequest::handleHeaders()
{
    m_headersHandled = true;
    const QVariant statusValue = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid())
        return true; // no answer at all: the finished reply tells why
    m_status = statusValue.toInt();
    m_sinceServer.restart();

    const QByteArray location = m_reply->rawHeader("Location");
    if (isRedirectStatus(m_status) && !location.isEmpty()) {
        const QUrl next = m_currentUrl.resolved(QUrl(QString::fromUtf8(location)));
        NetError error;
        error.redirectTo = next;
        error.limit = m_limits.maxRedirects;
        if (m_redirects >= m_limits.maxRedirects)
            error.kind = NetError::Kind::TooManyRedirects;
        else if (!redirectAllowed(m_currentUrl, next))
            error.kind = m_currentUrl.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http")
                ? NetError::Kind::InsecureRedirect
                : NetError::Kind::NotWebRedirect;
        if (error.failed()) {
            fail(error);
            return false;
        }
        ++m_redirects;
        dropReply();
        m_currentUrl = next;
        send(next);
        return false;
    }

    const bool noContent = m_status == 204 || m_status == 205;
    if (m_status < 200 || m_status > 299 || noContent || m_status == 206) {
        NetError error;
        error.kind = noContent ? NetError::Kind::NoContent
            : m_status == 206  ? NetError::Kind::UnaskedPart
                               : NetError::Kind::HttpStatus;
        error.status = m_status;
        error.reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(error);
        return false;
    }

    m_headers = m_reply->rawHeaderPairs();
    // Several Content-Length headers, or one listing several values, must all
    // agree: which one frames the body is anyone's guess otherwise.
    QList<QByteArray> lengths;
    for (const auto &[name, value] : std::as_const(m_headers)) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &part : value.split(',')) {
            if (!lengths.contains(part.trimmed()))
                lengths.append(part.trimmed());
        }
    }
    if (lengths.size() > 1) {
        NetError error;
        error.kind = NetError::Kind::ConflictingSizes;
        error.detail = QString::fromLatin1(lengths.join(", "));
        fail(error);
        return false;
    }
    bool known = false;
    const qint64 length = lengths.value(0).toLongLong(&known);
    m_contentLength = known && length >= 0 ? length : -1;
    m_rateSamples.clear();
    if (m_limits.maxBytes >= 0 && m_contentLength > m_limits.maxBytes) {
        fail(NetError::Kind::TooLarge);
        return false;
    }
    m_state = State::Receiving;
    m_announcePending = true;
    const quint64 run = m_run;
    announceWhenPeekable();
    return run == m_run && m_state == State::Receiving;
}

void HttpRequest::announceWhenPeekable()
{
    if (!m_announcePending || !m_reply)
        return;
    if (m_peekSize > 0 && m_reply->bytesAvailable() < m_peekSize && !m_reply->isFinished())
        return;
    m_announcePending = false;
    Q_EMIT answered();
}

void HttpRequest::onReadyRead()
{
    if (sender() != m_reply)
        return;
    if (!m_headersHandled && !handleHeaders())
        return;
    if (m_state != State::Receiving)
        return;
    m_sinceServer.restart();
    if (m_limits.maxBytes >= 0 && arrived() > m_limits.maxBytes) {
        fail(NetError::Kind::TooLarge);
        return;
    }
    if (m_announcePending) {
        announceWhenPeekable();
        return;
    }
    Q_EMIT readyRead();
}

void HttpRequest::onReplyFinished()
{
    if (sender() != m_reply)
        return;
    if (!m_headersHandled && !handleHeaders())
        return;
    if (m_state == State::Requesting) {
        fail(replyError()); // never came to an answer
        return;
    }
    if (m_state != State::Receiving)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(replyError());
        return;
    }
    if (m_contentLength >= 0 && arrived() < m_contentLength) {
        fail(NetError::Kind::ShortBody);
        return;
    }
    if (m_limits.maxBytes >= 0 && arrived() > m_limits.maxBytes) {
        fail(NetError::Kind::TooLarge);
        return;
    }
    m_watchdog.stop();
    m_state = State::Done;
    const quint64 run = m_run;
    announceWhenPeekable();
    if (run == m_run)
        Q_EMIT finished(true);
}

void HttpRequest::onWatchdog()
{
    if (m_state == State::Requesting) {
        if (m_sinceServer.elapsed() >= m_limits.connectTimeoutMs)
            fail(NetError::Kind::ConnectTimeout);
        return;
    }
    if (m_state != State::Receiving || !m_reply)
        return;
    // Bytes that wait for the reader are not the server's delay.
    if (!m_announcePending && m_reply->bytesAvailable() > 0) {
        m_sinceServer.restart();
        m_rateSamples.clear();
    } else if (m_sinceServer.elapsed() >= m_limits.idleTimeoutMs) {
        fail(NetError::Kind::IdleTimeout);
    } else if (tooSlow()) {
        NetError error;
        error.kind = NetError::Kind::TooSlow;
        error.limit = m_limits.lowSpeedTimeMs;
        error.perSecond = m_limits.lowSpeedBytesPerSecond;
        fail(error);
    }
}

// Whether the body came slower than the low-speed limit on average over the
// last lowSpeedTimeMs the program spent waiting for it.
bool HttpRequest::tooSlow()
{
    if (m_limits.lowSpeedBytesPerSecond <= 0 || m_limits.lowSpeedTimeMs <= 0)
        return false;
    const qint64 now = m_sinceStart.elapsed();
    m_rateSamples.append({now, arrived()});
    // The oldest sample kept is the newest one at least lowSpeedTimeMs old.
    while (m_rateSamples.size() > 1 && now - m_rateSamples.at(1).first >= m_limits.lowSpeedTimeMs)
        m_rateSamples.removeFirst();
    const auto [then, bytes] = m_rateSamples.constFirst();
    return now - then >= m_limits.lowSpeedTimeMs
        && (arrived() - bytes) * 1000 < qint64(m_limits.lowSpeedBytesPerSecond) * (now - then);
}

qint64 HttpRequest::arrived() const
{
    return m_read + (m_reply ? m_reply->bytesAvailable() : 0);
}

qint64 HttpRequest::bytesAvailable() const
{
    return m_reply ? m_reply->bytesAvailable() : 0;
}

QByteArray HttpRequest::peek(qint64 maxBytes) const
{
    return m_reply ? m_reply->peek(maxBytes) : QByteArray();
}

qint64 HttpRequest::read(char *data, qint64 maxBytes)
{
    if (!m_reply)
        return 0;
    const qint64 n = m_reply->read(data, maxBytes);
    if (n > 0)
        m_read += n;
    return n;
}

QByteArray HttpRequest::readAll()
{
    if (!m_reply)
        return {};
    const QByteArray bytes = m_reply->readAll();
    m_read += bytes.size();
    return bytes;
}

QByteArray HttpRequest::rawHeader(const QByteArray &name) const
{
    for (const auto &[key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

void HttpRequest::fail(NetError::Kind kind)
{
    NetError error;
    error.kind = kind;
    fail(error);
}

void HttpRequest::fail(NetError error)
{
    error.url = m_currentUrl;
    error.received = m_reply ? arrived() : m_read;
    error.total = m_contentLength;
    if (error.limit == 0) {
        if (error.kind == NetError::Kind::ConnectTimeout)
            error.limit = m_limits.connectTimeoutMs;
        else if (error.kind == NetError::Kind::IdleTimeout)
            error.limit = m_limits.idleTimeoutMs;
        else if (error.kind == NetError::Kind::TooLarge)
            error.limit = m_limits.maxBytes;
    }
    m_error = error;
    m_state = State::Failed;
    ++m_run;
    m_watchdog.stop();
    dropReply();
    Q_EMIT finished(false);
}

NetError HttpRequest::replyError() const
{
    NetError error;
    const QNetworkReply::NetworkError code = m_reply->error();
    error.detail = m_reply->errorString();
    if (!m_sslErrors.isEmpty() || code == QNetworkReply::SslHandshakeFailedError) {
        error.kind = NetError::Kind::SecureConnection;
        if (!m_sslErrors.isEmpty())
            error.detail = m_sslErrors.join(QStringLiteral("; "));
        return error;
    }
    switch (code) {
    case QNetworkReply::HostNotFoundError: error.kind = NetError::Kind::HostNotFound; break;
    case QNetworkReply::ConnectionRefusedError: error.kind = NetError::Kind::Refused; break;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError: error.kind = NetError::Kind::Proxy; break;
    default:
        if (m_state == State::Requesting)
            error.kind = code == QNetworkReply::RemoteHostClosedError ? NetError::Kind::NoAnswer
                                                                      : NetError::Kind::Other;
        else
            error.kind = m_contentLength >= 0 ? NetError::Kind::ShortBody : NetError::Kind::ClosedEarly;
        break;
    }
    return error;
}

void HttpRequest::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Inside one of the reply's own signals (in the middle of its own error
    // handling) it is aborted from the event loop; otherwise at once, so the
    // connection is closed even when no event loop runs again soon.
    if (sender() == reply)
        QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
    else
        reply->abort();
    reply->deleteLater();
}

} // namespace fetchora
