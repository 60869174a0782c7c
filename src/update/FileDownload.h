#pragma once

#include <QByteArray>
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
};

struct FetchResult
{
    bool ok = false;
    QByteArray body;
    QString error; // plain words, naming the address
    int status = 0;
};

// Fetches an update file whole over the program's HTTP layer (HttpRequest:
// redirects, time-outs, failure texts). The event loop keeps running meanwhile,
// so the windows stay painted, but user input waits; only a complete 2xx answer
// counts, and an answer larger than the limit is refused.
FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits = {});

// Replaces a file with new contents in one step: a crash or a full disk leaves
// the old file as it was.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace fetchora
