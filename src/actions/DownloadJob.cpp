#include "DownloadJob.h"

#include "platform/Sha256.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QVariant>
#if QT_CONFIG(ssl)
#include <QSslError>
#endif

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <cstdio>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace fetchora {

namespace {

// While the user is still choosing where to save, the reply may hold this much;
// the rest waits in the network (TCP flow control) instead of in memory.
constexpr qint64 kWaitingReadBuffer = 64 * 1024;
// While saving: enough that the network thread hands over large pieces and
// keeps receiving while this thread reads; still a fixed amount.
constexpr qint64 kSavingReadBuffer = 4 * 1024 * 1024;
// One read from the reply and one write to the file.
constexpr qsizetype kChunk = 1024 * 1024;
// A name longer than this (in UTF-8 bytes) is shortened, leaving room for
// ".part" and for file systems that count 255 bytes.
constexpr qsizetype kMaxNameBytes = 200;

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString secondsText(int ms)
{
    if (ms % 1000 == 0)
        return ms == 1000 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(ms / 1000);
    return QStringLiteral("%1 seconds").arg(QString::number(ms / 1000.0, 'g', 3));
}

// "reason" without a full stop of its own, so it can end a sentence.
QString clause(QString reason)
{
    reason = reason.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason.isEmpty() ? QStringLiteral("unknown reason") : reason;
}

// Splits "a; b=c; d=\"e;f\"" at the semicolons outside quotes.
QList<QByteArray> splitParameters(const QByteArray &header)
{
    QList<QByteArray> parts;
    QByteArray current;
    bool quoted = false;
    for (qsizetype i = 0; i < header.size(); ++i) {
        const char ch = header.at(i);
        if (quoted && ch == '\\' && i + 1 < header.size()) {
            current += ch;
            current += header.at(++i);
            continue;
        }
        if (ch == '"')
            quoted = !quoted;
        if (ch == ';' && !quoted) {
            parts.append(current.trimmed());
            current.clear();
            continue;
        }
        current += ch;
    }
    parts.append(current.trimmed());
    return parts;
}

QByteArray unquote(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        QByteArray out;
        for (qsizetype i = 1; i + 1 < value.size(); ++i) {
            if (value.at(i) == '\\' && i + 2 < value.size())
                ++i;
            out += value.at(i);
        }
        return out;
    }
    return value;
}

// Raw header bytes: UTF-8 when they are valid UTF-8, else Latin-1, as browsers read them.
QString headerText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

// RFC 5987 ext-value: charset'language'percent-encoded.
QString decodeExtValue(const QByteArray &raw)
{
    const QByteArray value = unquote(raw);
    const qsizetype first = value.indexOf('\'');
    const qsizetype second = first < 0 ? -1 : value.indexOf('\'', first + 1);
    if (second < 0)
        return {};
    const QByteArray charset = value.left(first).trimmed().toLower();
    const QByteArray bytes = QByteArray::fromPercentEncoding(value.mid(second + 1));
    if (charset == "utf-8") {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(bytes);
        return utf8.hasError() ? QString() : text;
    }
    if (charset == "iso-8859-1" || charset == "latin1")
        return QString::fromLatin1(bytes);
    return {};
}

// Whatever directory a name carries is dropped: a server names a file, it
// does not choose the folder.
QString lastPathPart(const QString &name)
{
    const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? name : name.mid(cut + 1);
}

// The last segment of the address's path, percent-decoded only after it was
// cut out, so an encoded "/" stays part of the name.
QString lastSegment(const QUrl &url)
{
    const QString encoded = url.path(QUrl::FullyEncoded);
    const QString segment = encoded.mid(encoded.lastIndexOf(QLatin1Char('/')) + 1);
    return headerText(QByteArray::fromPercentEncoding(segment.toLatin1()));
}

bool isReservedDeviceName(const QString &name)
{
    // Windows refuses these as file names with any extension ("con.txt" too).
    QString stem = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL"), QStringLiteral("CONIN$"),
                                      QStringLiteral("CONOUT$")};
    if (fixed.contains(stem))
        return true;
    if (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))) {
        const QChar digit = stem.at(3);
        return digit >= QLatin1Char('1') && digit <= QLatin1Char('9');
    }
    return false;
}

// Shortens a name to `maxBytes` of UTF-8, keeping a short extension.
QString shortenName(const QString &name, qsizetype maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    QString stem = name;
    QString ext;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.size() - dot <= 16) {
        stem = name.left(dot);
        ext = name.mid(dot);
    }
    while (!stem.isEmpty() && (stem + ext).toUtf8().size() > maxBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem + ext;
}

// The name with everything Windows or Linux would refuse or mangle replaced
// or removed; empty when nothing is left.
QString sanitizedName(const QString &name)
{
    // Windows drops trailing dots and blanks, and a leading dot hides a file on
    // Linux; neither is what the user expects of a downloaded file.
    auto strippable = [](QChar ch) { return ch == QLatin1Char('.') || ch.isSpace(); };
    QString out;
    out.reserve(name.size());
    bool kept = false; // a character of the name itself survives
    for (const QChar ch : name) {
        const char16_t u = ch.unicode();
        const bool bad = u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0)
            || QStringView(u"/\\:*?\"<>|").contains(ch);
        out += bad ? QLatin1Char('_') : ch;
        kept = kept || (!bad && !strippable(ch));
    }
    // Nothing but replaced characters is no name either.
    if (!kept)
        return {};
    auto trim = [&] {
        while (!out.isEmpty() && strippable(out.front()))
            out.remove(0, 1);
        while (!out.isEmpty() && strippable(out.back()))
            out.chop(1);
    };
    trim();
    out = shortenName(out, kMaxNameBytes);
    trim();
    if (!out.isEmpty() && isReservedDeviceName(out))
        out.prepend(QLatin1Char('_'));
    return out;
}

} // namespace

// Writes and hashes the body on a thread of its own, so neither a slow disk nor
// the hash holds up the window or the network. The reply is read into a small
// fixed set of buffers; when all of them wait for the disk, reading pauses and
// the unread body stays in the network (the reply's bounded buffer, then TCP),
// so memory stays the same whatever the file's size.
class DownloadJob::DiskWriter
{
public:
    static constexpr int kBuffers = 4;

    // `wake` runs on the writer's thread: after a buffer came free while the
    // reader waited for one, after a failed write, and once all is written
    // after finish().
    DiskWriter(QFile &file, Sha256 &hash, std::function<void()> wake)
        : m_file(file), m_hash(hash), m_wake(std::move(wake))
    {
        for (int i = 0; i < kBuffers; ++i) {
            m_buffers[i].resize(kChunk);
            m_free.push_back(i);
        }
        m_thread = std::thread([this] { run(); });
    }

    ~DiskWriter()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

    // A buffer to read into, or -1 when all are in use (the writer wakes the
    // reader when one comes free).
    int takeBuffer()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.empty()) {
            m_readerWaiting = true;
            return -1;
        }
        const int index = m_free.front();
        m_free.pop_front();
        return index;
    }
    char *data(int index) { return m_buffers[index].data(); }
    void giveBack(int index)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(index);
    }

    void submit(int index, qint64 size)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back({index, size});
        }
        m_cv.notify_all();
    }

    void finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finishing = true;
        }
        m_cv.notify_all();
    }

    bool drained() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_drained;
    }

    QString error() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_stop || !m_queue.empty() || (m_finishing && !m_drained); });
            if (m_stop)
                return;
            if (m_queue.empty()) {
                m_drained = true; // finishing, and everything is on disk
                lock.unlock();
                m_wake();
                lock.lock();
                continue;
            }
            const auto [index, size] = m_queue.front();
            m_queue.pop_front();
            const bool failed = !m_error.isEmpty();
            lock.unlock();

            QString error;
            if (!failed) {
                const char *bytes = m_buffers[index].constData();
                if (m_file.write(bytes, size) == size)
                    m_hash.addData(QByteArrayView(bytes, qsizetype(size)));
                else
                    error = m_file.errorString();
            }

            lock.lock();
            m_free.push_back(index);
            bool wake = m_readerWaiting;
            m_readerWaiting = false;
            if (!error.isEmpty() && m_error.isEmpty()) {
                m_error = error;
                wake = true;
            }
            if (wake) {
                lock.unlock();
                m_wake();
                lock.lock();
            }
        }
    }

    QFile &m_file;
    Sha256 &m_hash;
    std::function<void()> m_wake;
    QByteArray m_buffers[kBuffers];

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<int> m_free;
    std::deque<std::pair<int, qint64>> m_queue;
    bool m_readerWaiting = false;
    bool m_finishing = false;
    bool m_drained = false;
    bool m_stop = false;
    QString m_error;
    std::thread m_thread;
};

DownloadJob::DownloadJob(QNetworkAccessManager *manager, QObject *parent)
    : QObject(parent), m_manager(manager), m_hash(std::make_unique<Sha256>())
{
    connect(&m_watchdog, &QTimer::timeout, this, &DownloadJob::onWatchdog);
}

DownloadJob::~DownloadJob()
{
    // Cleaned up quietly: a receiver must not hear from a job being destroyed.
    m_watchdog.stop();
    dropReply();
    removePart();
}

void DownloadJob::start(const QUrl &url)
{
    if (isRunning())
        cancel();
    m_url = url;
    m_currentUrl = url;
    m_redirects = 0;
    m_headersHandled = false;
    m_replyDone = false;
    m_finishing = false;
    m_suggestedName.clear();
    m_total = -1;
    m_received = 0;
    m_target.clear();
    m_partCreated = false;
    m_hash->reset();
    m_sha256.clear();
    m_error.clear();
    m_sslErrors.clear();
    m_state = State::Requesting;

    if (url.isEmpty()) {
        fail(QStringLiteral("There is no address to download."));
        return;
    }
    if (!url.isValid() || !isWebScheme(url.scheme()) || url.host().isEmpty()) {
        fail(QStringLiteral("%1 is not a web address (http or https) that can be downloaded.")
                 .arg(url.toDisplayString()));
        return;
    }
    const int shortest = std::max(1, std::min(m_connectTimeoutMs, m_idleTimeoutMs));
    m_watchdog.start(std::clamp(shortest / 10, 10, 1000));
    sendRequest(url);
}

void DownloadJob::sendRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    // Redirects are followed here, so every hop is counted and checked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The file exactly as the vendor published it: no transfer compression that
    // would make the announced length and the saved bytes disagree.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Fetchora/%1.%2.%3")
                          .arg(FETCHORA_VERSION_MAJOR)
                          .arg(FETCHORA_VERSION_MINOR)
                          .arg(FETCHORA_VERSION_PATCH));

    m_headersHandled = false;
    m_replyDone = false;
    m_sinceActivity.start();
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    reply->setReadBufferSize(kWaitingReadBuffer);
    connect(reply, &QNetworkReply::metaDataChanged, this, &DownloadJob::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &DownloadJob::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &DownloadJob::onReplyFinished);
#if QT_CONFIG(ssl)
    connect(reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors.append(e.errorString());
    });
#endif
}

void DownloadJob::onMetaData()
{
    if (sender() != m_reply || m_headersHandled)
        return;
    handleHeaders();
}

bool DownloadJob::handleHeaders()
{
    m_headersHandled = true;
    const QVariant statusValue = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid())
        return true; // no answer at all: the finished reply tells why
    const int status = statusValue.toInt();
    m_sinceActivity.restart();

    const QByteArray location = m_reply->rawHeader("Location");
    if (isRedirectStatus(status) && !location.isEmpty()) {
        const QUrl next = m_currentUrl.resolved(QUrl(QString::fromUtf8(location)));
        if (m_redirects >= kMaxRedirects) {
            fail(QStringLiteral("Too many redirections: %1 was redirected more than %2 times.")
                     .arg(m_url.toDisplayString())
                     .arg(kMaxRedirects));
            return false;
        }
        if (!redirectAllowed(m_currentUrl, next)) {
            if (m_currentUrl.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"))
                fail(QStringLiteral("The download was redirected from a secure (https) address to an "
                                    "insecure (http) one and was stopped: %1")
                         .arg(next.toDisplayString()));
            else
                fail(QStringLiteral("The download was redirected to %1, which is not a web address, "
                                    "and was stopped.")
                         .arg(next.toDisplayString()));
            return false;
        }
        ++m_redirects;
        dropReply();
        m_currentUrl = next;
        sendRequest(next);
        return false;
    }

    if (status < 200 || status > 299) {
        const QString reason =
            m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
        const QString answer = reason.isEmpty() ? QString::number(status)
                                                : QString::number(status) + QLatin1Char(' ') + reason;
        fail(QStringLiteral("The server answered %1 for %2.").arg(answer, m_currentUrl.toDisplayString()));
        return false;
    }

    bool known = false;
    const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    m_total = known && length >= 0 ? length : -1;
    m_suggestedName = suggestFileName(m_reply->rawHeader("Content-Disposition"), m_currentUrl);
    m_state = State::AwaitingTarget;
    Q_EMIT metaDataReady(m_suggestedName, m_total);
    return true;
}

void DownloadJob::saveTo(const QString &targetPath)
{
    if (m_state != State::AwaitingTarget || !m_reply) {
        qWarning("DownloadJob::saveTo: no download is waiting for a file");
        return;
    }
    m_target = targetPath;
    m_file.setFileName(partPath());
    // Unbuffered: every write is already a large piece, and a full disk must
    // show at the write that hit it, not at a later flush.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        fail(writeErrorText(m_file.errorString()));
        return;
    }
    m_partCreated = true;
    m_state = State::Saving;
    m_finishing = false;
    m_writer = std::make_unique<DiskWriter>(m_file, *m_hash, [this] {
        // From the writer's thread; runs in this object's thread. A job that
        // is gone has stopped its writer first, and drops what is still posted.
        QMetaObject::invokeMethod(this, &DownloadJob::onWriterWake, Qt::QueuedConnection);
    });
    m_reply->setReadBufferSize(kSavingReadBuffer);
    m_sinceActivity.restart();
    pump();
}

void DownloadJob::onReadyRead()
{
    if (sender() != m_reply || m_state != State::Saving)
        return;
    pump();
}

void DownloadJob::onWriterWake()
{
    if (m_state != State::Saving || !m_writer)
        return;
    const QString error = m_writer->error();
    if (!error.isEmpty()) {
        fail(writeErrorText(error));
        return;
    }
    if (m_finishing) {
        if (m_writer->drained())
            complete();
        return;
    }
    pump();
}

void DownloadJob::pump()
{
    if (!readAvailable())
        return;
    if (!m_replyDone || m_finishing || !m_reply || m_reply->bytesAvailable() > 0)
        return;
    // The whole answer is read: judge it before the file is given its name.
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(networkErrorText());
        return;
    }
    if (m_total >= 0 && m_received < m_total) {
        fail(QStringLiteral("The download of %1 was cut off after %2 of %3 bytes.")
                 .arg(displayName())
                 .arg(m_received)
                 .arg(m_total));
        return;
    }
    m_finishing = true;
    m_watchdog.stop();
    dropReply();
    m_writer->finish(); // complete() follows once the writer has written everything
}

bool DownloadJob::readAvailable()
{
    bool any = false;
    while (m_reply && m_reply->bytesAvailable() > 0) {
        const QString error = m_writer->error();
        if (!error.isEmpty()) {
            fail(writeErrorText(error));
            return false;
        }
        const int buffer = m_writer->takeBuffer();
        if (buffer < 0)
            break; // every buffer waits for the disk; the writer wakes us
        const qint64 n = m_reply->read(m_writer->data(buffer), kChunk);
        if (n <= 0) {
            m_writer->giveBack(buffer);
            break;
        }
        m_writer->submit(buffer, n);
        m_received += n;
        any = true;
    }
    if (any) {
        m_sinceActivity.restart();
        Q_EMIT progress(m_received, m_total);
    }
    return m_state == State::Saving; // a receiver may have cancelled
}

void DownloadJob::onReplyFinished()
{
    if (sender() != m_reply)
        return;
    if (!m_headersHandled && !handleHeaders())
        return;
    switch (m_state) {
    case State::Requesting:
        fail(networkErrorText()); // never came to a usable answer
        return;
    case State::AwaitingTarget:
        m_replyDone = true; // judged once saveTo() is called
        return;
    case State::Saving:
        m_replyDone = true;
        pump();
        return;
    default:
        return;
    }
}

void DownloadJob::complete()
{
    const QString writeError = m_writer->error();
    m_writer.reset();
    m_file.close();
    if (!writeError.isEmpty() || m_file.error() != QFileDevice::NoError) {
        fail(writeErrorText(writeError.isEmpty() ? m_file.errorString() : writeError));
        return;
    }

    // One step from the finished .part to the name the user chose: an older
    // file of that name is either still whole or already replaced.
    const QString part = partPath();
    QString renameError;
#ifdef Q_OS_WIN
    if (!MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(part).utf16()),
                     reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(m_target).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        renameError = qt_error_string(int(GetLastError()));
#else
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(m_target).constData()) != 0)
        renameError = qt_error_string(errno);
#endif
    if (!renameError.isEmpty()) {
        fail(writeErrorText(renameError));
        return;
    }
    m_partCreated = false;
    m_sha256 = m_hash->hex();
    m_state = State::Succeeded;
    Q_EMIT finished(true);
}

QString DownloadJob::writeErrorText(const QString &reason) const
{
    return QStringLiteral("%1 could not be written: %2.").arg(QDir::toNativeSeparators(m_target), clause(reason));
}

void DownloadJob::cancel()
{
    if (!isRunning())
        return;
    m_error = QStringLiteral("The download of %1 was cancelled.").arg(displayName());
    m_state = State::Cancelled;
    m_watchdog.stop();
    dropReply();
    removePart();
    Q_EMIT finished(false);
}

void DownloadJob::onWatchdog()
{
    if (m_state == State::Requesting && m_sinceActivity.elapsed() >= m_connectTimeoutMs) {
        fail(QStringLiteral("The server %1 did not answer for %2.").arg(host(), secondsText(m_connectTimeoutMs)));
    } else if (m_state == State::Saving && m_sinceActivity.elapsed() >= m_idleTimeoutMs) {
        const QString of = m_total >= 0 ? QStringLiteral("%1 of %2").arg(m_received).arg(m_total)
                                        : QString::number(m_received);
        fail(QStringLiteral("The server %1 sent nothing for %2; the download of %3 was stopped after %4 bytes.")
                 .arg(host(), secondsText(m_idleTimeoutMs), displayName(), of));
    }
}

void DownloadJob::fail(const QString &text)
{
    m_error = text;
    m_state = State::Failed;
    m_watchdog.stop();
    dropReply();
    removePart();
    Q_EMIT finished(false);
}

void DownloadJob::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Aborted from the event loop, not here: this may run inside one of the
    // reply's own signals, in the middle of its own error handling.
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
    reply->deleteLater();
}

void DownloadJob::removePart()
{
    m_writer.reset(); // stops the writer before its file goes
    if (m_file.isOpen())
        m_file.close();
    if (m_partCreated) {
        QFile::remove(partPath());
        m_partCreated = false;
    }
}

QString DownloadJob::host() const
{
    return m_currentUrl.host();
}

QString DownloadJob::displayName() const
{
    if (!m_target.isEmpty())
        return QFileInfo(m_target).fileName();
    if (!m_suggestedName.isEmpty())
        return m_suggestedName;
    return m_currentUrl.toDisplayString();
}

QString DownloadJob::networkErrorText() const
{
    const QString h = host();
    const QString reason = m_reply ? m_reply->errorString() : QString();
    const QNetworkReply::NetworkError error = m_reply ? m_reply->error() : QNetworkReply::UnknownNetworkError;
    if (!m_sslErrors.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
        const QString why = m_sslErrors.isEmpty() ? reason : m_sslErrors.join(QStringLiteral("; "));
        return QStringLiteral("A secure connection to %1 could not be established: %2.").arg(h, clause(why));
    }
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The server %1 could not be found.").arg(h);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("The connection to %1 was refused.").arg(h);
    case QNetworkReply::RemoteHostClosedError:
        if (m_state == State::Saving) {
            if (m_total >= 0)
                return QStringLiteral("The download of %1 was cut off after %2 of %3 bytes.")
                    .arg(displayName())
                    .arg(m_received)
                    .arg(m_total);
            return QStringLiteral("The connection to %1 was closed before %2 was complete (%3 bytes received).")
                .arg(h, displayName())
                .arg(m_received);
        }
        return QStringLiteral("The server %1 closed the connection without answering.").arg(h);
    case QNetworkReply::TimeoutError:
        return QStringLiteral("The server %1 did not answer in time.").arg(h);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("The network is not available: %1.").arg(clause(reason));
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("The proxy server could not be used to reach %1: %2.").arg(h, clause(reason));
    default:
        if (m_state == State::Saving && m_total >= 0)
            return QStringLiteral("The download of %1 was cut off after %2 of %3 bytes: %4.")
                .arg(displayName())
                .arg(m_received)
                .arg(m_total)
                .arg(clause(reason));
        return QStringLiteral("The download from %1 failed: %2.")
            .arg(m_currentUrl.toDisplayString(), clause(reason));
    }
}

bool DownloadJob::redirectAllowed(const QUrl &from, const QUrl &to)
{
    if (!to.isValid() || !isWebScheme(to.scheme()) || to.host().isEmpty())
        return false;
    return !(from.scheme() == QLatin1String("https") && to.scheme() == QLatin1String("http"));
}

QString DownloadJob::fileNameFromContentDisposition(const QByteArray &header)
{
    QString plain;
    QString extended;
    const QList<QByteArray> parts = splitParameters(header);
    for (const QByteArray &part : parts) {
        const qsizetype eq = part.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray name = part.left(eq).trimmed().toLower();
        const QByteArray value = part.mid(eq + 1).trimmed();
        if (name == "filename*" && extended.isEmpty())
            extended = decodeExtValue(value);
        else if (name == "filename" && plain.isEmpty())
            plain = headerText(unquote(value));
    }
    return extended.isEmpty() ? plain : extended;
}

QString DownloadJob::safeFileName(const QString &name)
{
    const QString safe = sanitizedName(name);
    return safe.isEmpty() ? QStringLiteral("download") : safe;
}

QString DownloadJob::suggestFileName(const QByteArray &contentDisposition, const QUrl &finalUrl)
{
    // The first source that leaves a usable name wins.
    const QString candidates[] = {lastPathPart(fileNameFromContentDisposition(contentDisposition)),
                                  lastSegment(finalUrl), finalUrl.host()};
    for (const QString &candidate : candidates) {
        const QString safe = sanitizedName(candidate);
        if (!safe.isEmpty())
            return safe;
    }
    return QStringLiteral("download");
}

} // namespace fetchora
