#pragma once

#include "net/HttpRequest.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace fetchora {

class Sha256;

// One download of a catalogue link to a file on disk, over the program's
// one HTTP layer (HttpRequest: redirects, time-outs, failure texts).
//
//   start(url)            asks the server
//   metaDataReady(...)    the server answered 2xx with a file: a name to offer
//                         and the size, when it announced one
//   saveTo(path)          the body goes into a new partial file beside PATH
//                         (PATH.XXXXXX.part), hashed on the way
//   finished(ok)          once per start(): true when PATH holds the whole
//                         body; false on any failure or cancel(), with
//                         errorText() saying why
//
// A link that answers with a web page (a vendor's download page, an error
// page served as 200) is no file: the job looks at the first bytes before it
// offers anything, and fails with failure() == WebPage instead of saving it.
//
// Until saveTo() the request keeps only a small read buffer, so a user taking
// their time over the save-as question holds the connection, not the file,
// in memory; that wait does not count as a stalled server. While saving, the
// body is written out as it arrives through a few fixed buffers, on a thread
// of the job's own that also computes the SHA-256: memory use does not grow
// with the file, and a slow disk does not hold up the window. Signals come in
// the job's own thread.
//
// PATH appears only when the download is complete (the partial file is renamed
// over it, replacing an older PATH in one step where the system allows); after
// a failure or a cancel neither the partial file nor a partial PATH is left,
// and an older PATH is untouched. The partial file is created new under a name
// nobody else chose, and creating it fails rather than open a file or link
// that is already there: whatever else lies in the folder (another program's
// PATH.part, a link placed to make the download write elsewhere) is neither
// written, renamed nor removed.
class DownloadJob : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Requesting, AwaitingTarget, Saving, Succeeded, Failed, Cancelled };

    static constexpr int kDefaultTimeoutMs = 30000;

    DownloadJob(QNetworkAccessManager *manager, QObject *parent = nullptr);
    ~DownloadJob() override; // a running download is cancelled

    // Time allowed for the server to answer a request with its headers (each
    // redirect is a new request), and for the body to go on after a pause.
    void setConnectTimeout(int ms);
    void setIdleTimeout(int ms);

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
    QUrl url() const;
    QUrl finalUrl() const; // after redirects
    int redirectCount() const;
    QString suggestedFileName() const { return m_suggestedName; }
    qint64 totalBytes() const { return m_total; } // -1 while unknown
    qint64 receivedBytes() const { return m_received; }
    QString targetPath() const { return m_target; }
    QString partPath() const { return m_partPath; } // the file being written; empty before saveTo()
    NetError::Kind failure() const { return m_error.kind; }
    QString errorText() const { return m_error.text(displayName()); }
    // Lower-case hex SHA-256 of the saved file; empty until it succeeded.
    QByteArray sha256() const { return m_sha256; }

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
    void onAnswered();
    void onRequestFinished(bool ok);
    void pump();
    bool readAvailable();
    void onWriterWake();
    void complete();
    void failWrite(const QString &reason);
    void fail(const NetError &error);
    bool createPart();
    void removePart();
    QString displayName() const;

    HttpRequest *m_request;
    State m_state = State::Idle;
    bool m_bodyArrived = false;
    QString m_suggestedName;
    qint64 m_total = -1;
    qint64 m_received = 0;
    QString m_target;
    QString m_partPath;
    bool m_partCreated = false; // m_partPath is ours to rename or remove
    QFile m_file;
    std::unique_ptr<Sha256> m_hash; // fed as the body is written
    QByteArray m_sha256;
    class DiskWriter;
    std::unique_ptr<DiskWriter> m_writer; // while saving
    bool m_finishing = false;             // all read; waiting for the writer
    NetError m_error;
};

} // namespace fetchora
