#pragma once

#include "net/HttpRequest.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace fetchora {

struct FetchLimits
{
    int connectTimeoutMs = 30000; // until the server answers at all
    int idleTimeoutMs = 30000;    // between two pieces of the answer
    qint64 maxBytes = 64 * 1024 * 1024;
    int maxRedirects = 10;
    // A mirror that only trickles is given up, as every fetch is.
    int lowSpeedBytesPerSecond = HttpRequest::Limits().lowSpeedBytesPerSecond;
    int lowSpeedTimeMs = HttpRequest::Limits().lowSpeedTimeMs;
};

struct FetchResult
{
    bool ok = false;
    QByteArray body;
    QString error; // plain words, naming the address
    int status = 0;
    bool cancelled = false; // stopped by the user; error says so
};

// The user's way to stop an update: cancel() stops the fetch that is running at
// once, and every later fetch given the same object fails before it starts.
class FetchCancel : public QObject
{
    Q_OBJECT
public:
    void cancel();
    bool isCancelled() const { return m_cancelled; }

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};

// Fetches an update file whole over the program's HTTP layer (HttpRequest:
// redirects, time-outs, failure texts). The event loop keeps running meanwhile,
// user input included, so the user can cancel: a caller keeps itself from being
// started again while it waits here. Only a complete 2xx answer counts, and an
// answer larger than the limit is refused.
FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits = {},
                     FetchCancel *cancel = nullptr);

// Replaces a file with new contents in one step: a crash or a full disk leaves
// the old file as it was.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Moves a file over another in one step (both in one folder tree on one disk):
// the target is whole, old or new, whatever happens meanwhile.
bool moveFileOver(const QString &from, const QString &to, QString *error = nullptr);

} // namespace fetchora
