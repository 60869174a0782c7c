#include "FileDownload.h"

#include "net/HttpRequest.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

namespace fetchora {

namespace {

const QString kCancelled = QStringLiteral("The update was cancelled.");

} // namespace

void FetchCancel::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    Q_EMIT cancelled();
}

FetchResult fetchUrl(QNetworkAccessManager &network, const QUrl &url, const FetchLimits &limits, FetchCancel *cancel)
{
    FetchResult result;
    if (cancel && cancel->isCancelled()) {
        result.cancelled = true;
        result.error = kCancelled;
        return result;
    }

    HttpRequest request(&network);
    HttpRequest::Limits requestLimits;
    requestLimits.connectTimeoutMs = limits.connectTimeoutMs;
    requestLimits.idleTimeoutMs = limits.idleTimeoutMs;
    requestLimits.maxBytes = limits.maxBytes;
    requestLimits.maxRedirects = limits.maxRedirects;
    requestLimits.lowSpeedBytesPerSecond = limits.lowSpeedBytesPerSecond;
    requestLimits.lowSpeedTimeMs = limits.lowSpeedTimeMs;
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
    if (cancel) {
        QObject::connect(cancel, &FetchCancel::cancelled, &loop, [&] {
            request.abort(); // the connection closes now, not at a time-out
            loop.quit();
        });
    }
    request.start(url);
    if (!ended)
        loop.exec();

    result.status = request.status();
    // The loop also stops without an end of the request when the program quits.
    if (!ended || (cancel && cancel->isCancelled())) {
        result.cancelled = true;
        result.error = kCancelled;
    } else if (request.state() == HttpRequest::State::Done) {
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

bool moveFileOver(const QString &from, const QString &to, QString *error)
{
    std::error_code failure;
    std::filesystem::rename(QFileInfo(from).filesystemFilePath(), QFileInfo(to).filesystemFilePath(), failure);
    if (failure && error) {
        NetError write;
        write.kind = NetError::Kind::WriteFailed;
        write.target = to;
        write.detail = QString::fromLocal8Bit(failure.message());
        *error = write.text(to);
    }
    return !failure;
}

} // namespace fetchora
