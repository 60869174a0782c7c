#pragma once

#include "net/NetError.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace fetchora {

// Sends the program's requests through the system's proxy settings. Called
// once at start-up, before the first request.
void useSystemProxy();

// Whether an answer is a web page rather than a file: its Content-Type says
// HTML, or its first bytes open an HTML document.
bool looksLikeWebPage(const QByteArray &contentType, const QByteArray &firstBytes);

// One GET over HTTP or HTTPS, the way every part of the program fetches:
//
//   start(url)     sends the request as Fetchora/VERSION, uncached, asking for
//                  the bytes exactly as published (no transfer compression).
//                  Redirects are followed here, each one checked: at most
//                  `maxRedirects`, only to http or https, never from https to
//                  http, a relative Location taken from the address that sent it.
//   answered()     a 2xx answer's headers have arrived and, when a peek size is
//                  set, the first bytes of the body too (or all of it, when it is
//                  shorter); peek() shows them without taking them.
//   readyRead()    more of the body can be read.
//   finished(ok)   once per start(): true when the whole body arrived (what is
//                  still unread stays readable), false with error() saying why.
//
// The server has `connectTimeoutMs` to answer each request with its headers,
// and the body may pause for `idleTimeoutMs`; a body that keeps coming, but
// on average slower than `lowSpeedBytesPerSecond` over `lowSpeedTimeMs`, is
// stopped too (a byte now and then never trips the idle time). Both count only
// while the program waits for the server: body bytes that arrived and wait for
// the reader (someone still choosing where to save, a slow disk) stop the
// clocks. A body larger than `maxBytes`, announced or sent, is refused.
//
// Only a whole file counts as an answer: 204 and 205 (no body by definition),
// 206 (a part, though no range is ever asked for) and Content-Length headers
// that disagree are failures, as is a body shorter than announced.
class HttpRequest : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        int connectTimeoutMs = 30000;
        int idleTimeoutMs = 30000;
        qint64 maxBytes = -1; // -1: any size
        int maxRedirects = 10;
        // The slowest of real connections (a poor mobile link) still moves
        // kilobytes a second; 256 bytes a second for a whole minute is a server
        // that only pretends to send. 0 in either: no such rule.
        int lowSpeedBytesPerSecond = 256;
        int lowSpeedTimeMs = 60000;
    };
    enum class State { Idle, Requesting, Receiving, Done, Failed };

    explicit HttpRequest(QNetworkAccessManager *manager, QObject *parent = nullptr);
    ~HttpRequest() override; // stops quietly

    void setLimits(const Limits &limits) { m_limits = limits; }
    const Limits &limits() const { return m_limits; }
    // The most the request holds unread; the rest waits in the network. 0: no
    // bound. At least the peek size.
    void setReadBufferSize(qint64 bytes);
    // How much of the body answered() waits for.
    void setPeekSize(qint64 bytes) { m_peekSize = bytes; }

    // Starts, or starts over. A bad address fails before this returns.
    void start(const QUrl &url);
    // Stops without a signal; the connection is closed.
    void abort();

    State state() const { return m_state; }
    bool isRunning() const { return m_state == State::Requesting || m_state == State::Receiving; }
    QUrl url() const { return m_url; }
    QUrl finalUrl() const { return m_currentUrl; }
    int redirectCount() const { return m_redirects; }
    int status() const { return m_status; }                  // of the last answer; 0 before one
    QByteArray rawHeader(const QByteArray &name) const;      // of the answer being read
    qint64 contentLength() const { return m_contentLength; } // -1 when not announced
    const NetError &error() const { return m_error; }

    qint64 bytesAvailable() const;
    QByteArray peek(qint64 maxBytes) const;
    qint64 read(char *data, qint64 maxBytes);
    QByteArray readAll();
    qint64 bytesRead() const { return m_read; }

    static QString userAgent();
    static bool redirectAllowed(const QUrl &from, const QUrl &to);

Q_SIGNALS:
    void answered();
    void readyRead();
    void finished(bool ok);

private:
    void send(const QUrl &url);
    bool handleHeaders();
    void announceWhenPeekable();
    void onReadyRead();
    void onReplyFinished();
    void onWatchdog();
    void fail(NetError::Kind kind);
    void fail(NetError error);
    NetError replyError() const;
    void dropReply();
    qint64 arrived() const;
    bool tooSlow();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    Limits m_limits;
    qint64 m_readBufferSize = 0;
    qint64 m_peekSize = 0;
    State m_state = State::Idle;
    quint64 m_run = 0; // changes at every start() and abort(), so a handler sees it was replaced
    QUrl m_url;
    QUrl m_currentUrl;
    int m_redirects = 0;
    bool m_headersHandled = false;
    bool m_announcePending = false;
    int m_status = 0;
    qint64 m_contentLength = -1;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_read = 0;
    NetError m_error;
    QStringList m_sslErrors;
    QTimer m_watchdog;
    QElapsedTimer m_sinceServer;                // since the server last did something we were waiting for
    QList<QPair<qint64, qint64>> m_rateSamples; // (ms of m_sinceStart, bytes arrived) of the last lowSpeedTimeMs
    QElapsedTimer m_sinceStart;
};

} // namespace fetchora
