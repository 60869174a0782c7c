#include "FileDownload.h"

#include <QDir>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>

namespace fetchora {

namespace {

QString describeError(QNetworkReply *reply, const QUrl &url)
{
    const QString host = url.host().isEmpty() ? url.toDisplayString() : url.host();
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The server %1 could not be found.").arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("The server %1 refused the connection.").arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The server %1 closed the connection before the answer was complete.").arg(host);
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("A secure connection to %1 could not be established: %2")
            .arg(host, reply->errorString());
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("The server %1 redirected too many times.").arg(host);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("The server %1 redirected from a secure (https) address to an insecure one.")
            .arg(host);
    default:
        return QStringLiteral("%1 could not be downloaded: %2").arg(url.toDisplayString(), reply->errorString());
    }
}

} // namespace

// One request, redirects not followed: a redirect comes back in `redirect`.
FetchResult fetchOnce(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits,
                      QUrl *redirect)
{
    FetchResult result;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    QPointer<QNetworkReply> reply = network.get(request);
    QEventLoop loop;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QString abortReason;
    bool answered = false;
    const QString host = url.host();

    auto tooLarge = [&] {
        return QStringLiteral("The answer from %1 is larger than %2 and was refused.")
            .arg(url.toDisplayString(), QLocale::c().formattedDataSize(limits.maxBytes));
    };
    auto abortWith = [&](const QString &reason) {
        if (abortReason.isEmpty())
            abortReason = reason;
        if (reply)
            reply->abort();
    };
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        const int ms = answered ? limits.idleTimeoutMs : limits.connectTimeoutMs;
        abortWith(QStringLiteral("The server %1 did not answer for %2 seconds.")
                      .arg(host)
                      .arg(ms / 1000.0, 0, 'g', 3));
    });
    auto progressed = [&] {
        answered = true;
        watchdog.start(limits.idleTimeoutMs);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        progressed();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 200 && status < 300 && length.isValid() && length.toLongLong() > limits.maxBytes)
            abortWith(tooLarge());
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        progressed();
        result.body += reply->readAll();
        if (result.body.size() > limits.maxBytes)
            abortWith(tooLarge());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    watchdog.start(limits.connectTimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    watchdog.stop();

    if (reply->bytesAvailable() > 0)
        result.body += reply->readAll();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (abortReason.isEmpty() && result.status >= 300 && result.status < 400 && location.isValid()
        && !location.isEmpty()) {
        *redirect = url.resolved(location);
        reply->deleteLater();
        result.body.clear();
        return result;
    }
    if (!abortReason.isEmpty()) {
        result.error = abortReason;
    } else if (result.status != 0 && (result.status < 200 || result.status > 299)) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.error = QStringLiteral("The server answered %1 %2 for %3.")
                           .arg(result.status)
                           .arg(reason, reply->url().toDisplayString())
                           .simplified();
    } else if (const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
               reply->error() == QNetworkReply::NoError && announced.isValid()
               && announced.toLongLong() != result.body.size()) {
        result.error = QStringLiteral("The download of %1 was cut off after %2 of %3 bytes.")
                           .arg(url.toDisplayString())
                           .arg(result.body.size())
                           .arg(announced.toLongLong());
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = describeError(reply, url);
    } else if (result.status == 0 && url.scheme().startsWith(QLatin1String("http"))) {
        result.error = QStringLiteral("The server %1 gave no answer.").arg(host);
    } else {
        result.ok = true;
    }
    if (!result.ok)
        result.body.clear();
    reply->deleteLater();
    return result;
}

FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits)
{
    FetchResult result;
    if (!url.isValid() || url.scheme().isEmpty()) {
        result.error = QStringLiteral("\"%1\" is not a valid address.").arg(url.toDisplayString());
        return result;
    }
    // Redirects are followed here, one request at a time, so that every answer
    // is judged on its own headers.
    QUrl current = url;
    for (int hops = 0;; ++hops) {
        QUrl next;
        result = fetchOnce(network, current, limits, &next);
        if (next.isEmpty())
            return result;
        if (hops >= limits.maxRedirects) {
            result.error = QStringLiteral("The server %1 redirected too many times.").arg(url.host());
            return result;
        }
        if (current.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https")) {
            result.error = QStringLiteral("The server %1 redirected from a secure (https) address to an "
                                          "insecure one; the download was stopped.")
                               .arg(current.host());
            return result;
        }
        current = next;
    }
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1 could not be written: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

bool FileDownload(QNetworkAccessManager &network, const QUrl &url, const QString &localFile,
                  QString *error, const FetchLimits &limits)
{
    const FetchResult fetched = fetchUrl(network, url, limits);
    if (!fetched.ok) {
        if (error)
            *error = fetched.error;
        return false;
    }
    return writeFileAtomically(localFile, fetched.body, error);
}

} // namespace fetchora
