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

// Fetches an update file whole. The event loop keeps running meanwhile, so the
// windows stay painted; only a 2xx answer counts, redirects are followed (never
// from https to http), and an answer larger than the limit is refused.
FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits = {});

// Replaces a file with new contents in one step: a crash or a full disk leaves
// the old file as it was.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Fetches url and, only when that worked, replaces localFile with the answer.
bool FileDownload(QNetworkAccessManager &network, const QUrl &url, const QString &localFile,
                  QString *error = nullptr, const FetchLimits &limits = {});

} // namespace fetchora
