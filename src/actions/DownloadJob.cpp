#include "DownloadJob.h"

#include "platform/Sha256.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

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
// What is looked at to tell a web page from a file before the file is offered.
constexpr qint64 kPeekBytes = 1024;
// A name longer than this (in UTF-8 bytes) is shortened, leaving room for
// ".part" and for file systems that count 255 bytes.
constexpr qsizetype kMaxNameBytes = 200;

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
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"),    QStringLiteral("AUX"),
                                      QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (fixed.contains(stem))
        return true;
    if (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))) {
        // Windows counts the superscript digits one to three as digits here.
        const QChar digit = stem.at(3);
        return (digit >= QLatin1Char('1') && digit <= QLatin1Char('9'))
            || QStringView(u"\u00B9\u00B2\u00B3").contains(digit);
    }
    return false;
}

// Shortens a name to `maxBytes` of UTF-8, keeping a short extension. One pass:
// each character's UTF-8 length is known from its code.
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
    qsizetype room = maxBytes - ext.toUtf8().size();
    qsizetype end = 0;
    while (end < stem.size()) {
        const char16_t u = stem.at(end).unicode();
        const bool pair = QChar::isHighSurrogate(u) && end + 1 < stem.size() && stem.at(end + 1).isLowSurrogate();
        const qsizetype bytes = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3; // a lone surrogate becomes U+FFFD
        if (bytes > room)
            break;
        room -= bytes;
        end += pair ? 2 : 1;
    }
    return stem.left(end) + ext;
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
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar ch = name.at(i);
        const char16_t u = ch.unicode();
        // Format characters (direction overrides, zero-width ones) change how a
        // name reads, not what it is: "invoice<U+202E>gpj.exe" shows as "invoiceexe.jpg".
        const bool pair = ch.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(ch, name.at(i + 1)) : u;
        if (QChar::category(code) == QChar::Other_Format) {
            i += pair ? 1 : 0;
            continue;
        }
        const bool bad = u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || QStringView(u"/\\:*?\"<>|").contains(ch);
        out += bad ? QLatin1Char('_') : ch;
        kept = kept || (!bad && !strippable(ch));
    }
    // Nothing but replaced characters is no name either.
    if (!kept)
        return {};
    auto trim = [&] {
        qsizetype first = 0;
        while (first < out.size() && strippable(out.at(first)))
            ++first;
        qsizetype end = out.size();
        while (end > first && strippable(out.at(end - 1)))
            --end;
        out = out.sliced(first, end - first);
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
                // A write the disk takes only in part reports no error of its own
                // ("Unknown error"); writing the rest brings the system's reason,
                // such as a full disk.
                qint64 written = 0;
                for (qint64 n = 0; written < size; written += n) {
                    if ((n = m_file.write(bytes + written, size - written)) <= 0)
                        break;
                }
                if (written == size)
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
    : QObject(parent), m_request(new HttpRequest(manager, this)), m_hash(std::make_unique<Sha256>())
{
    HttpRequest::Limits limits;
    limits.connectTimeoutMs = kDefaultTimeoutMs;
    limits.idleTimeoutMs = kDefaultTimeoutMs;
    m_request->setLimits(limits);
    m_request->setPeekSize(kPeekBytes);
    connect(m_request, &HttpRequest::answered, this, &DownloadJob::onAnswered);
    connect(m_request, &HttpRequest::readyRead, this, [this] {
        if (m_state == State::Saving)
            pump();
    });
    connect(m_request, &HttpRequest::finished, this, &DownloadJob::onRequestFinished);
}

DownloadJob::~DownloadJob()
{
    // Cleaned up quietly: a receiver must not hear from a job being destroyed.
    m_request->abort();
    removePart();
}

void DownloadJob::setConnectTimeout(int ms)
{
    HttpRequest::Limits limits = m_request->limits();
    limits.connectTimeoutMs = ms;
    m_request->setLimits(limits);
}

void DownloadJob::setIdleTimeout(int ms)
{
    HttpRequest::Limits limits = m_request->limits();
    limits.idleTimeoutMs = ms;
    m_request->setLimits(limits);
}

QUrl DownloadJob::url() const
{
    return m_request->url();
}

QUrl DownloadJob::finalUrl() const
{
    return m_request->finalUrl();
}

int DownloadJob::redirectCount() const
{
    return m_request->redirectCount();
}

void DownloadJob::start(const QUrl &url)
{
    if (isRunning())
        cancel();
    m_bodyArrived = false;
    m_finishing = false;
    m_suggestedName.clear();
    m_total = -1;
    m_received = 0;
    m_target.clear();
    m_partPath.clear();
    m_partCreated = false;
    m_hash->reset();
    m_sha256.clear();
    m_error = NetError();
    m_state = State::Requesting;
    m_request->setReadBufferSize(kWaitingReadBuffer);
    m_request->start(url); // a bad address fails at once, through onRequestFinished()
}

void DownloadJob::onAnswered()
{
    if (m_state != State::Requesting)
        return;
    // Decided before anything is offered: a page is nothing to save.
    if (looksLikeWebPage(m_request->rawHeader("Content-Type"), m_request->peek(kPeekBytes))) {
        NetError error;
        error.kind = NetError::Kind::WebPage;
        error.url = m_request->finalUrl();
        m_request->abort();
        fail(error);
        return;
    }
    m_total = m_request->contentLength();
    m_suggestedName = suggestFileName(m_request->rawHeader("Content-Disposition"), m_request->finalUrl());
    m_state = State::AwaitingTarget;
    Q_EMIT metaDataReady(m_suggestedName, m_total);
}

void DownloadJob::saveTo(const QString &targetPath)
{
    if (m_state != State::AwaitingTarget) {
        qWarning("DownloadJob::saveTo: no download is waiting for a file");
        return;
    }
    m_target = targetPath;
    if (!createPart()) {
        failWrite(m_file.errorString());
        return;
    }
    m_state = State::Saving;
    m_finishing = false;
    m_writer = std::make_unique<DiskWriter>(m_file, *m_hash, [this] {
        // From the writer's thread; runs in this object's thread. A job that
        // is gone has stopped its writer first, and drops what is still posted.
        QMetaObject::invokeMethod(this, &DownloadJob::onWriterWake, Qt::QueuedConnection);
    });
    m_request->setReadBufferSize(kSavingReadBuffer);
    pump();
}

bool DownloadJob::createPart()
{
    const QFileInfo target(m_target);
    // Room for the tag and ".part" even when the chosen name is as long as a name can be.
    const QString stem = shortenName(target.fileName(), kMaxNameBytes);
    static const char16_t letters[] = u"abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 50; ++attempt) {
        QString tag(6, Qt::Uninitialized);
        for (QChar &ch : tag)
            ch = QChar(letters[QRandomGenerator::global()->bounded(36)]);
        const QString candidate = target.dir().filePath(stem + QLatin1Char('.') + tag + QStringLiteral(".part"));
        m_file.setFileName(candidate);
        // NewOnly creates the file or fails (O_CREAT | O_EXCL, which also refuses a
        // symbolic link of that name; CREATE_NEW on Windows). Unbuffered: every
        // write is already a large piece, and a full disk must show at the write
        // that hit it, not at a later flush.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_partPath = candidate;
            m_partCreated = true;
            return true;
        }
        const QFileInfo taken(candidate);
        if (!taken.exists() && !taken.isSymLink())
            return false; // not a name taken by chance: the folder refuses the file
    }
    return false;
}

void DownloadJob::onWriterWake()
{
    if (m_state != State::Saving || !m_writer)
        return;
    const QString error = m_writer->error();
    if (!error.isEmpty()) {
        failWrite(error);
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
    if (!m_bodyArrived || m_finishing || m_request->bytesAvailable() > 0)
        return;
    // Everything is read and the request judged it whole.
    m_finishing = true;
    m_writer->finish(); // complete() follows once the writer has written everything
}

bool DownloadJob::readAvailable()
{
    bool any = false;
    while (m_request->bytesAvailable() > 0) {
        const QString error = m_writer->error();
        if (!error.isEmpty()) {
            failWrite(error);
            return false;
        }
        const int buffer = m_writer->takeBuffer();
        if (buffer < 0)
            break; // every buffer waits for the disk; the writer wakes us
        const qint64 n = m_request->read(m_writer->data(buffer), kChunk);
        if (n <= 0) {
            m_writer->giveBack(buffer);
            break;
        }
        m_writer->submit(buffer, n);
        m_received += n;
        any = true;
    }
    if (any)
        Q_EMIT progress(m_received, m_total);
    return m_state == State::Saving; // a receiver may have cancelled
}

void DownloadJob::onRequestFinished(bool ok)
{
    if (!ok) {
        if (isRunning())
            fail(m_request->error());
        return;
    }
    m_bodyArrived = true; // in AwaitingTarget, judged once saveTo() is called
    if (m_state == State::Saving)
        pump();
}

void DownloadJob::complete()
{
    const QString writeError = m_writer->error();
    m_writer.reset();
    m_file.close();
    if (!writeError.isEmpty() || m_file.error() != QFileDevice::NoError) {
        failWrite(writeError.isEmpty() ? m_file.errorString() : writeError);
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
        failWrite(renameError);
        return;
    }
    m_partCreated = false;
    m_sha256 = m_hash->hex();
    m_state = State::Succeeded;
    Q_EMIT finished(true);
}

void DownloadJob::failWrite(const QString &reason)
{
    NetError error;
    error.kind = NetError::Kind::WriteFailed;
    error.target = m_target;
    error.detail = reason;
    error.url = m_request->finalUrl();
    m_request->abort();
    fail(error);
}

void DownloadJob::cancel()
{
    if (!isRunning())
        return;
    m_request->abort();
    m_error = NetError();
    m_error.kind = NetError::Kind::Cancelled;
    m_error.url = m_request->finalUrl();
    m_state = State::Cancelled;
    removePart();
    Q_EMIT finished(false);
}

void DownloadJob::fail(const NetError &error)
{
    m_error = error;
    m_state = State::Failed;
    removePart();
    Q_EMIT finished(false);
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

QString DownloadJob::displayName() const
{
    if (!m_target.isEmpty())
        return QFileInfo(m_target).fileName();
    if (!m_suggestedName.isEmpty())
        return m_suggestedName;
    return m_request->finalUrl().toDisplayString();
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
