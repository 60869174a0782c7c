#include "FileDownload.h"

#include "net/HttpRequest.h"

#include <QEventLoop>
#include <QSaveFile>

namespace fetchora {

FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits)
{
    HttpRequest request(&network);
    HttpRequest::Limits requestLimits;
    requestLimits.connectTimeoutMs = limits.connectTimeoutMs;
    requestLimits.idleTimeoutMs = limits.idleTimeoutMs;
    requestLimits.maxBytes = limits.maxBytes;
    requestLimits.maxRedirects = limits.maxRedirects;
    request.setLimits(requestLimits);

    QByteArray body;
    QEventLoop loop;
    bool ended = false;
    const auto take = [&] { body += request.readAll(); };
    QObject::connect(&request, &HttpRequest::answered, &loop, take);
    QObject::connect(&request, &HttpRequest::readyRead, &loop, take);
    QObject::connect(&request, &HttpRequest::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    request.start(url);
    // The windows stay painted and timers run; clicks and keys wait, so nothing
    // the user does can start a second update in the middle of this one.
    if (!ended)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    FetchResult result;
    result.status = request.status();
    if (request.state() == HttpRequest::State::Done) {
        take();
        result.ok = true;
        result.body = body;
    } else {
        result.error = request.error().text(url.toDisplayString());
    }
    return result;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) {
            NetError failure;
            failure.kind = NetError::Kind::WriteFailed;
            failure.target = path;
            failure.detail = file.errorString();
            *error = failure.text(path);
        }
        return false;
    }
    return true;
}

} // namespace fetchora
