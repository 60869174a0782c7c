#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace fetchora {

class Sha256;

// One download of a catalogue link to a file on disk.
//
//   start(url)            asks the server; redirects are followed (at most
//                         kMaxRedirects, never from https to http)
//   metaDataReady(...)    the server answered 2xx: a file name to offer and
//                         the size, when it announced one
//   saveTo(path)          the body goes into PATH.part, hashed on the way
//   finished(ok)          once per start(): true when PATH holds the whole
//                         body; false on any failure or cancel(), with
//                         errorText() saying why
//
// Until saveTo() the reply keeps only a small read buffer, so a user taking
// their time over the save-as question holds the connection, not the file,
// in memory. While saving, the body is written out as it arrives through a
// few fixed buffers, on a thread of the job's own that also computes the
// SHA-256: memory use does not grow with the file, and a slow disk does not
// hold up the window. Signals come in the job's own thread.
//
// PATH appears only when the download is complete (PATH.part is renamed over
// it, replacing an older PATH in one step where the system allows); after a
// failure or a cancel neither PATH.part nor a partial PATH is left, and an
// older PATH is untouched.
class DownloadJob : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Requesting, AwaitingTarget, Saving, Succeeded, Failed, Cancelled };

    static constexpr int kMaxRedirects = 10;
    static constexpr int kDefaultTimeoutMs = 30000;

    DownloadJob(QNetworkAccessManager *manager, QObject *parent = nullptr);
    ~DownloadJob() override; // a running download is cancelled

    // Time allowed for the server to answer a request with its headers (each
    // redirect is a new request), and for the body to go on after a pause.
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    int connectTimeout() const { return m_connectTimeoutMs; }
    int idleTimeout() const { return m_idleTimeoutMs; }

    // Starts (or starts again after the end of an earlier run). Only http and
    // https addresses are downloaded.
    void start(const QUrl &url);
    // Only in AwaitingTarget. The folder must exist; an existing file there is
    // replaced only once the whole body has arrived.
    void saveTo(const QString &targetPath);
    // Stops at any time; finished(false) is emitted before this returns when
    // something was running.
    void cancel();

    State state() const { return m_state; }
    bool isRunning() const
    {
        return m_state == State::Requesting || m_state == State::AwaitingTarget || m_state == State::Saving;
    }
    QUrl url() const { return m_url; }
    QUrl finalUrl() const { return m_currentUrl; } // after redirects
    int redirectCount() const { return m_redirects; }
    QString suggestedFileName() const { return m_suggestedName; }
    qint64 totalBytes() const { return m_total; } // -1 while unknown
    qint64 receivedBytes() const { return m_received; }
    QString targetPath() const { return m_target; }
    QString partPath() const { return m_target.isEmpty() ? QString() : m_target + QStringLiteral(".part"); }
    QString errorText() const { return m_error; }
    // Lower-case hex SHA-256 of the saved file; empty until it succeeded.
    QByteArray sha256() const { return m_sha256; }

    // Whether a redirect may be followed: only to http or https, and never from
    // a secure address to an insecure one.
    static bool redirectAllowed(const QUrl &from, const QUrl &to);
    // The name a Content-Disposition header gives (filename*= preferred over
    // filename=), unchecked; empty when it gives none.
    static QString fileNameFromContentDisposition(const QByteArray &header);
    // A name that is a valid plain file name on Windows and Linux; "download"
    // when nothing usable is left.
    static QString safeFileName(const QString &name);
    // Content-Disposition, else the last path segment, else the host; made safe.
    static QString suggestFileName(const QByteArray &contentDisposition, const QUrl &finalUrl);

Q_SIGNALS:
    void metaDataReady(const QString &suggestedFileName, qint64 totalBytes);
    void progress(qint64 received, qint64 total);
    void finished(bool ok);

private:
    void sendRequest(const QUrl &url);
    void onMetaData();
    void onReadyRead();
    void onReplyFinished();
    void onWatchdog();
    bool handleHeaders(); // false when the reply was replaced or the job failed
    void pump();
    bool readAvailable();
    void onWriterWake();
    void complete();
    QString writeErrorText(const QString &reason) const;
    void fail(const QString &text);
    void dropReply();
    void removePart();
    QString networkErrorText() const;
    QString displayName() const;
    QString host() const;

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    State m_state = State::Idle;
    QUrl m_url;
    QUrl m_currentUrl;
    int m_redirects = 0;
    bool m_headersHandled = false;
    bool m_replyDone = false;
    QString m_suggestedName;
    qint64 m_total = -1;
    qint64 m_received = 0;
    QString m_target;
    bool m_partCreated = false; // PATH.part is ours to remove
    QFile m_file;
    std::unique_ptr<Sha256> m_hash; // fed as the body is written
    QByteArray m_sha256;
    class DiskWriter;
    std::unique_ptr<DiskWriter> m_writer; // while saving
    bool m_finishing = false;             // all read; waiting for the writer
    QString m_error;
    QList<QString> m_sslErrors;

    int m_connectTimeoutMs = kDefaultTimeoutMs;
    int m_idleTimeoutMs = kDefaultTimeoutMs;
    QTimer m_watchdog;
    QElapsedTimer m_sinceActivity; // since the request went out or data last came
};

} // namespace fetchora
