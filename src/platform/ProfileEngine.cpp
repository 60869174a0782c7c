#include "ProfileEngine.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fetchora {

namespace {

// How long a write waits for another program's write of the same file.
constexpr int kLockWaitMs = 5000;
// How often a read starts over when the file keeps changing under it.
constexpr int kReadAttempts = 20;
// Files whose parse is kept (on Unix each keeps its file open).
constexpr qsizetype kKeptFiles = 64;
// A temporary file of a write older than this is left over from a write that died.
constexpr int kStaleTemporarySeconds = 60;

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// Which file a path names right now, and its state: a rewrite of any kind gives
// another stamp, however it keeps the size and the modification time.
struct FileStamp
{
    quint64 device = 0;
    quint64 id = 0;
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds on Unix, 100 ns ticks on Windows
    qint64 changed = 0;  // the file's status change time, which no one can set back
    bool operator==(const FileStamp &) const = default;

    // Whether an open file still holds the bytes it held: removing or replacing
    // its name changes its status time, not its bytes.
    bool sameBytes(const std::optional<FileStamp> &now) const
    {
        return now && now->device == device && now->id == id && now->size == size && now->modified == modified;
    }
};

#ifdef Q_OS_WIN
std::optional<FileStamp> stampOfPath(const QString &path)
{
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()),
                                 FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    const bool ok = GetFileInformationByHandle(h, &info)
        && GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.id = quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    stamp.size = qint64(quint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    stamp.modified = basic.LastWriteTime.QuadPart;
    stamp.changed = basic.ChangeTime.QuadPart;
    return stamp;
}

// Windows lets no one replace or remove a file the program holds open, so
// while it is open its path names it.
std::optional<FileStamp> stampOf(QFile &file)
{
    return stampOfPath(file.fileName());
}

bool syncToDisk(QFile &file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != 0;
}

bool renameOver(const QString &from, const QString &to, QString *why)
{
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *why = qt_error_string(int(GetLastError()));
    return false;
}
#else
std::optional<FileStamp> fromStat(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    FileStamp stamp;
    stamp.device = quint64(st.st_dev);
    stamp.id = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

std::optional<FileStamp> stampOfPath(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? fromStat(st) : std::nullopt;
}

std::optional<FileStamp> stampOf(QFile &file)
{
    struct stat st;
    return ::fstat(file.handle(), &st) == 0 ? fromStat(st) : std::nullopt;
}

bool syncToDisk(QFile &file)
{
    return ::fsync(file.handle()) == 0;
}

bool renameOver(const QString &from, const QString &to, QString *why)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *why = qt_error_string(errno);
    return false;
}
#endif

// The text of a UTF-16 file as the bytes the engine scans and edits: UTF-8,
// with a surrogate that has no partner stored as its own three bytes, so that
// the file's code units come back exactly, however odd they are.
QByteArray toImage(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (c < 0x800) {
            out += char(0xC0 | c >> 6);
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
        }
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// The reverse of toImage. The bytes are its output with UTF-8 edits spliced
// in at line and "=" boundaries, so every sequence is whole.
QString fromImage(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = lead & (0xFF >> (length == 1 ? 1 : length + 1));
        for (int k = 1; k < length && i + k < bytes.size(); ++k)
            c = c << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    }
    return out;
}

// Where the content of a file ends: a run of NUL bytes at its very end (the
// zero-filled tail an interrupted copy leaves) is no text, as the Windows
// profile functions see it.
qsizetype withoutZeroTail(const QByteArray &bytes, qsizetype start)
{
    qsizetype end = bytes.size();
    while (end > start && bytes[end - 1] == '\0')
        --end;
    return end;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Span
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

// Offsets are positions in the file; `data` holds the bytes from `origin` on.
struct Bytes
{
    const char *data = nullptr;
    qsizetype origin = 0;

    char at(qsizetype offset) const { return data[offset - origin]; }
    const char *ptr(qsizetype offset) const { return data + (offset - origin); }
};

Span trimmed(Bytes b, qsizetype begin, qsizetype end)
{
    while (begin < end && isBlank(b.at(begin)))
        ++begin;
    while (end > begin && isBlank(b.at(end - 1)))
        --end;
    return {begin, end};
}

// One physical line: [start, contentEnd) is its text, next is where the
// following line starts (after CR, LF or CRLF, or the end of the range).
struct RawLine
{
    qsizetype start;
    qsizetype contentEnd;
    qsizetype next;
};

// Walks the lines of a byte range. The next CR and the next LF are each found
// with memchr and remembered, so a range is scanned once however its lines end.
class LineScanner
{
public:
    LineScanner(Bytes bytes, qsizetype limit) : m_bytes(bytes), m_limit(limit) { }

    RawLine lineAt(qsizetype start)
    {
        const qsizetype lf = nextOf('\n', start, m_nextLf);
        const qsizetype cr = nextOf('\r', start, m_nextCr);
        const qsizetype end = std::min(lf, cr);
        qsizetype next = end;
        if (end < m_limit)
            next = (m_bytes.at(end) == '\r' && end + 1 < m_limit && m_bytes.at(end + 1) == '\n') ? end + 2 : end + 1;
        return {start, end, next};
    }

private:
    qsizetype nextOf(char c, qsizetype from, qsizetype &cached) const
    {
        if (cached < from) {
            const void *hit = std::memchr(m_bytes.ptr(from), c, size_t(m_limit - from));
            cached = hit ? m_bytes.origin + (static_cast<const char *>(hit) - m_bytes.data) : m_limit;
        }
        return cached;
    }

    Bytes m_bytes;
    qsizetype m_limit;
    qsizetype m_nextLf = -1;
    qsizetype m_nextCr = -1;
};

// What a pass over a file collects: where the headers are, whether the text is
// UTF-8, and how its first line ends.
struct ScanState
{
    struct Header
    {
        QByteArray name; // raw bytes, decoded once the encoding is known
        qsizetype headerStart;
        qsizetype bodyStart;
    };
    std::vector<Header> headers;
    bool utf8 = true;
    bool bom = false;
    bool eolSeen = false;
    QByteArray eol = "\r\n";
};

// Handles the complete lines of [from, limit); a last line without an end is
// handled only when `atEnd`. Returns where the unhandled rest begins.
qsizetype scanLines(Bytes b, qsizetype from, qsizetype limit, bool atEnd, ScanState &st)
{
    LineScanner scanner(b, limit);
    qsizetype pos = from;
    while (pos < limit) {
        const RawLine line = scanner.lineAt(pos);
        const bool ended = line.next > line.contentEnd;
        // A CR at the end of the bytes at hand may be the first half of a CRLF.
        if ((!ended || (line.next == limit && b.at(line.contentEnd) == '\r')) && !atEnd)
            break;
        if (!st.eolSeen && ended) {
            st.eol = QByteArray(b.ptr(line.contentEnd), line.next - line.contentEnd);
            st.eolSeen = true;
        }
        const Span t = trimmed(b, line.start, line.contentEnd);
        if (t.end > t.begin && b.at(t.begin) == '[') {
            for (qsizetype i = t.end - 1; i > t.begin; --i) {
                if (b.at(i) == ']') {
                    const Span nm = trimmed(b, t.begin + 1, i);
                    st.headers.push_back({QByteArray(b.ptr(nm.begin), nm.end - nm.begin), line.start, line.next});
                    break;
                }
            }
        }
        pos = line.next;
    }
    // Whole lines only: a line end never falls inside a multi-byte character.
    if (st.utf8 && !QByteArrayView(b.ptr(from), pos - from).isValidUtf8())
        st.utf8 = false;
    return pos;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

bool isWhollyQuoted(QStringView v)
{
    return v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
}

QString unquoted(const QString &v)
{
    return isWhollyQuoted(v) ? v.mid(1, v.size() - 2) : v;
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

// A value that would not read back as written (blanks at its ends are trimmed
// by every reader, enclosing quotes are removed) is stored inside one more pair
// of quotes, which readers take off again.
QString storedForm(const QString &value)
{
    const bool blankEdge = !value.isEmpty()
        && (value.front() == u' ' || value.front() == u'\t' || value.back() == u' ' || value.back() == u'\t');
    if (blankEdge || isWhollyQuoted(value))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

// Where a non-blank line of a section lies; text is decoded only when asked for.
struct Line
{
    RawLine raw{};
    qsizetype nameStart = 0, nameEnd = 0;
    qsizetype valueStart = 0, valueEnd = 0; // trimmed, quotes kept
    bool hasValue = false;
    bool comment = false;
    bool asciiName = true;
};

// Calls f(line) for each non-blank line of [begin, end) until f returns false.
template<class F> void forEachLine(Bytes b, qsizetype begin, qsizetype end, F f)
{
    LineScanner scanner(b, end);
    qsizetype pos = begin;
    while (pos < end) {
        const RawLine raw = scanner.lineAt(pos);
        pos = raw.next;
        const Span t = trimmed(b, raw.start, raw.contentEnd);
        if (t.end == t.begin)
            continue;
        Line line;
        line.raw = raw;
        line.comment = b.at(t.begin) == ';';
        const void *eqHit = std::memchr(b.ptr(t.begin), '=', size_t(t.end - t.begin));
        if (!eqHit) {
            line.nameStart = t.begin;
            line.nameEnd = t.end;
            line.valueStart = line.valueEnd = t.end;
        } else {
            const qsizetype eq = t.begin + (static_cast<const char *>(eqHit) - b.ptr(t.begin));
            const Span nm = trimmed(b, t.begin, eq);
            const Span val = trimmed(b, eq + 1, t.end);
            line.nameStart = nm.begin;
            line.nameEnd = nm.end;
            line.valueStart = val.begin;
            line.valueEnd = val.end;
            line.hasValue = true;
        }
        for (qsizetype i = line.nameStart; i < line.nameEnd; ++i) {
            if (static_cast<unsigned char>(b.at(i)) >= 0x80) {
                line.asciiName = false;
                break;
            }
        }
        if (!f(line))
            return;
    }
}

QString decoded(Bytes b, qsizetype begin, qsizetype end, TextEncoding encoding)
{
    return decodeText(QByteArrayView(b.ptr(begin), end - begin), encoding);
}

// Compares a line's name with a key without regard to case. ASCII names are
// compared on their bytes, so a lookup decodes nothing it passes over.
class KeyMatcher
{
public:
    KeyMatcher(const QString &key, TextEncoding encoding) : m_wanted(trimBlanks(key)), m_encoding(encoding)
    {
        for (QChar c : m_wanted) {
            if (c.unicode() >= 0x80) {
                m_ascii = false;
                return;
            }
        }
        m_bytes = m_wanted.toLatin1();
    }

    bool matches(Bytes b, const Line &line) const
    {
        if (!line.hasValue)
            return false;
        const qsizetype length = line.nameEnd - line.nameStart;
        if (m_ascii && line.asciiName)
            return length == m_bytes.size()
                && qstrnicmp(b.ptr(line.nameStart), m_bytes.constData(), size_t(length)) == 0;
        return decoded(b, line.nameStart, line.nameEnd, m_encoding).compare(m_wanted, Qt::CaseInsensitive) == 0;
    }

    // The first line of [begin, end) that holds the key.
    std::optional<Line> find(Bytes b, qsizetype begin, qsizetype end) const
    {
        std::optional<Line> found;
        forEachLine(b, begin, end, [&](const Line &line) {
            if (!matches(b, line))
                return true;
            found = line;
            return false;
        });
        return found;
    }

private:
    QString m_wanted;
    QByteArray m_bytes;
    TextEncoding m_encoding;
    bool m_ascii = true;
};

} // namespace

struct ProfileEngine::Parsed
{
    struct Section
    {
        QString name;
        qsizetype headerStart = 0;
        qsizetype bodyStart = 0; // first byte after the header line
        qsizetype bodyEnd = 0;   // start of the next header, or end of the content
        // Built on first use and kept with the parse, so a re-read of an
        // unchanged file costs nothing.
        mutable std::optional<QList<ProfileLine>> visible;
        mutable std::optional<QStringList> keys;
    };

    // A file read for looking things up keeps only its headers; a section's
    // bytes are read when it is first used. A file being edited, and a UTF-16
    // file (held as UTF-8), are held whole.
    QString path;
    std::optional<QByteArray> whole;
    TextEncoding encoding = TextEncoding::Utf8; // the file's
    QByteArray eol = "\r\n";
    FileStamp stamp;
    // On Unix the file that was scanned stays open: its bytes are the ones the
    // offsets describe even after the path is given to a new file, and while
    // it is open its identity cannot pass to another file.
    mutable std::unique_ptr<QFile> file;
    std::vector<Section> sections;
    QHash<QString, int> firstSection; // case-folded name -> index of first header
    QStringList names;                // listed section names in file order

    // What the bytes the offsets point into are: a UTF-16 file is held as UTF-8.
    TextEncoding textEncoding() const { return isUtf16(encoding) ? TextEncoding::Utf8 : encoding; }

    static std::shared_ptr<Parsed> fromScan(ScanState &st, qsizetype contentEnd)
    {
        auto p = std::make_shared<Parsed>();
        p->encoding = !st.utf8 ? TextEncoding::Windows1252 : (st.bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8);
        p->eol = st.eol;
        p->sections.reserve(st.headers.size());
        for (std::size_t i = 0; i < st.headers.size(); ++i) {
            Section sec;
            sec.name = decodeText(st.headers[i].name, p->encoding);
            sec.headerStart = st.headers[i].headerStart;
            sec.bodyStart = st.headers[i].bodyStart;
            sec.bodyEnd = i + 1 < st.headers.size() ? st.headers[i + 1].headerStart : contentEnd;
            const int index = int(p->sections.size());
            if (!sec.name.isEmpty()) {
                p->names.append(sec.name);
                // A later header of the same name is listed but never reached.
                const QString folded = sec.name.toCaseFolded();
                if (!p->firstSection.contains(folded))
                    p->firstSection.insert(folded, index);
            }
            p->sections.push_back(std::move(sec));
        }
        return p;
    }

    // The whole file in memory; [start, end) is its content (after any mark,
    // before any zero-filled tail).
    static std::shared_ptr<Parsed> parse(const QByteArray &data, qsizetype start, qsizetype end)
    {
        ScanState st;
        st.bom = start > 0;
        scanLines({data.constData(), 0}, start, end, true, st);
        auto p = fromScan(st, end);
        p->whole = data;
        return p;
    }

    static std::shared_ptr<Parsed> fromUtf16(const QByteArray &raw, TextEncoding encoding)
    {
        const QByteArray image = toImage(
            decodeText(QByteArrayView(raw).sliced(qMin<qsizetype>(2, raw.size())), encoding));
        auto p = parse(image, 0, withoutZeroTail(image, 0));
        p->encoding = encoding;
        return p;
    }

    // For looking up: one pass through a small reused buffer, so even a very
    // large catalogue costs no more memory than its headers at start-up.
    static std::shared_ptr<Parsed> scan(QFile &file, qint64 fileSize)
    {
        ScanState st;
        QByteArray buffer(qMin<qint64>(qMax<qint64>(fileSize, 16), 256 * 1024), Qt::Uninitialized);
        qsizetype held = 0;        // bytes in the buffer
        qsizetype bufferStart = 0; // file offset of buffer[0]
        bool first = true;
        for (;;) {
            if (held == buffer.size())
                buffer.resize(buffer.size() * 2); // one line longer than the buffer
            const qint64 got = file.read(buffer.data() + held, buffer.size() - held);
            if (got < 0)
                return nullptr;
            held += qsizetype(got);
            const bool atEnd = got == 0;
            // A zero-filled tail holds no line end, so it is all in the unscanned rest.
            while (atEnd && held > 0 && buffer[held - 1] == '\0')
                --held;
            qsizetype from = bufferStart;
            if (first && (held >= 3 || atEnd)) {
                st.bom = QByteArrayView(buffer.constData(), held).startsWith(kUtf8Mark);
                from += st.bom ? 3 : 0;
                first = false;
            } else if (first) {
                continue;
            }
            const qsizetype rest = scanLines({buffer.constData(), bufferStart}, from, bufferStart + held, atEnd, st);
            if (atEnd)
                return fromScan(st, bufferStart + held);
            const qsizetype used = rest - bufferStart;
            std::memmove(buffer.data(), buffer.constData() + used, size_t(held - used));
            held -= used;
            bufferStart = rest;
        }
    }

    static std::shared_ptr<Parsed> read(QFile &file, qint64 fileSize)
    {
        char mark[2] = {};
        const TextEncoding marked = file.read(mark, 2) == 2 ? detectEncoding(QByteArrayView(mark, 2))
                                                            : TextEncoding::Utf8;
        if (!file.seek(0))
            return nullptr;
        if (!isUtf16(marked))
            return scan(file, fileSize);
        const QByteArray raw = file.readAll();
        return file.error() == QFileDevice::NoError ? fromUtf16(raw, marked) : nullptr;
    }

    // The bytes of a section: from memory for a file held whole, else read from
    // the file this parse was made from. False when that file changed since,
    // so that the parse no longer describes it.
    bool bytesOf(const Section &s, QByteArray &scratch, Bytes *out) const
    {
        if (whole) {
            *out = {whole->constData(), 0};
            return true;
        }
        const qsizetype length = s.bodyEnd - s.bodyStart;
        if (scratch.size() < length)
            scratch.resize(length);
        QFile reopened(path);
        QFile *from = file.get();
        if (!from) {
            if (!reopened.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !stamp.sameBytes(stampOf(reopened)))
                return false;
            from = &reopened;
        }
        if (!from->seek(s.bodyStart) || from->read(scratch.data(), length) != length
            || !stamp.sameBytes(stampOf(*from)))
            return false;
        *out = {scratch.constData(), s.bodyStart};
        return true;
    }

    QString decode(Bytes b, qsizetype begin, qsizetype end) const { return decoded(b, begin, end, textEncoding()); }

    const Section *find(const QString &section) const
    {
        const QString key = trimBlanks(section);
        if (key.isEmpty())
            return nullptr;
        auto it = firstSection.constFind(key.toCaseFolded());
        return it == firstSection.constEnd() ? nullptr : &sections[*it];
    }
};

// A file's parse and one section of it, with the section's bytes once read.
struct ProfileEngine::Located
{
    std::shared_ptr<const Parsed> parse;
    const Parsed::Section *section = nullptr;
    Bytes bytes;
};

namespace {

// A batch of changes applied to one parse of a file. A section a change reaches
// has its body copied out and edited on its own; untouched sections stay where
// they are in the file's bytes, and the file is put together once at the end.
// Each change sees the file as the changes before it left it.
class EditDocument
{
public:
    // [start, end) of `image` is the content: after any mark, before any
    // zero-filled tail. UTF-16 files come as their UTF-8 image.
    // `shown` names the file in messages.
    EditDocument(const QByteArray &image, qsizetype start, qsizetype end, bool utf16, const QString &shown)
        : m_image(image), m_start(start), m_end(end), m_parse(ProfileEngine::Parsed::parse(image, start, end)),
          m_encoding(utf16 ? TextEncoding::Utf8 : m_parse->encoding), m_shown(shown)
    { }

    // An empty string, or why the change cannot be stored.
    QString apply(const ProfileWrite &w)
    {
        const QString sectionName = trimBlanks(w.section);
        const QString keyName = trimBlanks(w.key);
        const Ref ref = find(sectionName);
        switch (w.kind) {
        case ProfileWrite::Kind::DeleteSection:
            if (ref.original >= 0)
                m_touched[ref.original] = {std::nullopt, true};
            else if (ref.added >= 0)
                m_added[std::size_t(ref.added)].removed = true;
            return {};
        case ProfileWrite::Kind::DeleteKey:
            if (ref.found()) {
                QByteArray &body = bodyOf(ref);
                if (const auto line = KeyMatcher(keyName, m_encoding).find({body.constData(), 0}, 0, body.size()))
                    body.remove(line->raw.start, line->raw.next - line->raw.start);
            }
            return {};
        case ProfileWrite::Kind::SetValue: break;
        }
        QByteArray value, key, section;
        if (!encodeText(storedForm(w.value), m_encoding, &value) || !encodeText(keyName, m_encoding, &key)
            || !encodeText(sectionName, m_encoding, &section))
            return QStringLiteral("\"%1\" holds characters that cannot be stored in %2, "
                                  "which is not a UTF-8 file. Nothing was written.")
                .arg(keyName, m_shown);
        const QByteArray entry = key + '=' + value;
        if (!ref.found()) {
            const QByteArray eol = firstLineEnd();
            endLastLine(eol);
            m_added.push_back({sectionName.toCaseFolded(), '[' + section + ']' + eol, entry + eol, false});
            return {};
        }
        QByteArray &body = bodyOf(ref);
        const Bytes b{body.constData(), 0};
        if (const auto line = KeyMatcher(keyName, m_encoding).find(b, 0, body.size())) {
            if (unquoted(decoded(b, line->valueStart, line->valueEnd, m_encoding)) != w.value)
                body.replace(line->valueStart, line->valueEnd - line->valueStart, value);
            return {};
        }
        // After the last non-blank line of the section (or its header).
        std::optional<RawLine> last;
        forEachLine(b, 0, body.size(), [&](const Line &line) {
            last = line.raw;
            return true;
        });
        if (!last) {
            const QByteArray ending = headerEnding(ref);
            // A header without a line end is the file's last line.
            body.insert(0, ending.isEmpty() ? firstLineEnd() + entry : entry + ending);
        } else if (last->next == last->contentEnd) { // last line of a file without a final line end
            body.insert(last->next, firstLineEnd() + entry);
        } else {
            // End the new line as the line before it ends: a lone CR put in
            // front of an LF would merge with it into one CRLF.
            body.insert(last->next, entry + body.mid(last->contentEnd, last->next - last->contentEnd));
        }
        return {};
    }

    // The content as the changes left it.
    QByteArray result() const
    {
        QByteArray out;
        out.reserve(m_end + 4096);
        out += QByteArrayView(m_image).first(m_start);
        out += preamble();
        std::vector<int> touched;
        touched.reserve(m_touched.size());
        for (const auto &[index, state] : m_touched)
            touched.push_back(index);
        std::sort(touched.begin(), touched.end());
        const auto &sections = m_parse->sections;
        qsizetype copied = sections.empty() ? m_end : sections.front().headerStart;
        for (int i : touched) {
            out += slice(copied, sections[std::size_t(i)].headerStart);
            if (!removed(i)) {
                out += header(i);
                out += body(i);
            }
            copied = sections[std::size_t(i)].bodyEnd;
        }
        out += slice(copied, m_end);
        for (const Added &a : m_added) {
            if (!a.removed)
                out += a.header + a.body;
        }
        return out;
    }

private:
    using Parsed = ProfileEngine::Parsed;

    // A section of the file (original) or one this batch added.
    struct Ref
    {
        int original = -1;
        int added = -1;
        bool found() const { return original >= 0 || added >= 0; }
    };
    struct Added
    {
        QString folded;
        QByteArray header, body;
        bool removed = false;
    };
    struct Touched
    {
        std::optional<QByteArray> body;
        bool removed = false;
    };

    QByteArrayView slice(qsizetype begin, qsizetype end) const
    {
        return QByteArrayView(m_image).sliced(begin, end - begin);
    }
    bool removed(int i) const
    {
        const auto it = m_touched.find(i);
        return it != m_touched.end() && it->second.removed;
    }
    QByteArrayView preamble() const
    {
        if (m_preamble)
            return *m_preamble;
        return slice(m_start, m_parse->sections.empty() ? m_end : m_parse->sections.front().headerStart);
    }
    QByteArrayView header(int i) const
    {
        const Parsed::Section &s = m_parse->sections[std::size_t(i)];
        return slice(s.headerStart, s.bodyStart);
    }
    QByteArrayView body(int i) const
    {
        const auto it = m_touched.find(i);
        if (it != m_touched.end() && it->second.body)
            return *it->second.body;
        const Parsed::Section &s = m_parse->sections[std::size_t(i)];
        return slice(s.bodyStart, s.bodyEnd);
    }
    QByteArray &bodyOf(const Ref &ref)
    {
        if (ref.added >= 0)
            return m_added[std::size_t(ref.added)].body;
        Touched &t = m_touched[ref.original];
        if (!t.body)
            t.body = body(ref.original).toByteArray();
        return *t.body;
    }
    QByteArray headerEnding(const Ref &ref) const
    {
        QByteArrayView h = ref.added >= 0 ? QByteArrayView(m_added[std::size_t(ref.added)].header)
                                          : header(ref.original);
        qsizetype content = h.size();
        while (content > 0 && (h[content - 1] == '\n' || h[content - 1] == '\r'))
            --content;
        return h.sliced(content).toByteArray();
    }

    // The first section of that name still there: a removed one uncovers the
    // next of its name, and sections this batch added come after the file's.
    Ref find(const QString &name)
    {
        const QString folded = name.toCaseFolded();
        auto it = m_first.find(folded);
        int i = it != m_first.end() ? *it : m_parse->firstSection.value(folded, -1);
        const auto &sections = m_parse->sections;
        while (i >= 0 && removed(i)) {
            const int from = i;
            i = -1;
            for (std::size_t j = std::size_t(from) + 1; j < sections.size() && i < 0; ++j) {
                if (!sections[j].name.isEmpty() && sections[j].name.toCaseFolded() == folded)
                    i = int(j);
            }
        }
        m_first.insert(folded, i);
        if (i >= 0)
            return {i, -1};
        for (std::size_t j = 0; j < m_added.size(); ++j) {
            if (!m_added[j].removed && m_added[j].folded == folded)
                return {-1, int(j)};
        }
        return {};
    }

    // Calls f(bytes) for the pieces of the content in order until f returns false.
    template<class F> void forEachPiece(F f) const
    {
        if (!f(preamble()))
            return;
        for (std::size_t i = 0; i < m_parse->sections.size(); ++i) {
            if (!removed(int(i)) && (!f(header(int(i))) || !f(body(int(i)))))
                return;
        }
        for (const Added &a : m_added) {
            if (!a.removed && (!f(QByteArrayView(a.header)) || !f(QByteArrayView(a.body))))
                return;
        }
    }

    // New lines end as the first line of the content does (CRLF when none ends).
    QByteArray firstLineEnd() const
    {
        QByteArray found;
        bool afterCr = false;
        forEachPiece([&](QByteArrayView piece) {
            for (const char c : piece) {
                if (afterCr || c == '\n') {
                    found = !afterCr ? "\n" : c == '\n' ? "\r\n" : "\r";
                    return false;
                }
                afterCr = c == '\r';
            }
            return true;
        });
        return !found.isEmpty() ? found : afterCr ? QByteArray("\r") : QByteArray("\r\n");
    }

    // Before a section is added at the end: a last line without a line end gets one.
    void endLastLine(const QByteArray &eol)
    {
        const auto ended = [](QByteArrayView text) { return text.endsWith('\n') || text.endsWith('\r'); };
        for (auto a = m_added.rbegin(); a != m_added.rend(); ++a) {
            if (!a->removed) {
                if (!ended(a->body.isEmpty() ? a->header : a->body))
                    a->body += eol;
                return;
            }
        }
        for (int i = int(m_parse->sections.size()) - 1; i >= 0; --i) {
            if (!removed(i)) {
                if (!ended(body(i).isEmpty() ? header(i) : body(i)))
                    bodyOf({i, -1}) += eol;
                return;
            }
        }
        if (!preamble().isEmpty() && !ended(preamble())) {
            const QByteArray text = preamble().toByteArray();
            m_preamble = text + eol;
        }
    }

    const QByteArray &m_image;
    qsizetype m_start, m_end;
    std::shared_ptr<Parsed> m_parse;
    TextEncoding m_encoding;
    QString m_shown;
    std::unordered_map<int, Touched> m_touched; // references into it stay valid as it grows
    QHash<QString, int> m_first;                // first live section of a name, once a search was made
    std::vector<Added> m_added;
    std::optional<QByteArray> m_preamble;
};

} // namespace

ProfileEngine::ProfileEngine() = default;
ProfileEngine::~ProfileEngine() = default;

static QString cacheKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::shared_ptr<const ProfileEngine::Parsed> ProfileEngine::load(const QString &path)
{
    const QString key = cacheKey(path);
    const std::optional<FileStamp> now = stampOfPath(key);
    if (auto it = m_cache.find(key); it != m_cache.end()) {
        if (now && (*it)->stamp == *now)
            return *it;
        m_cache.erase(it);
    }
    if (!now)
        return nullptr;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        auto file = std::make_unique<QFile>(key);
        if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return nullptr;
        const std::optional<FileStamp> before = stampOf(*file);
        if (!before)
            return nullptr;
        std::shared_ptr<Parsed> parsed = Parsed::read(*file, before->size);
        if (!parsed)
            return nullptr;
        if (!before->sameBytes(stampOf(*file)))
            continue; // rewritten in place while it was read
        parsed->path = key;
        parsed->stamp = *before;
#ifndef Q_OS_WIN
        parsed->file = std::move(file);
#endif
        ++m_parseCount;
        if (m_cache.size() >= kKeptFiles)
            m_cache.erase(m_cache.begin());
        m_cache.insert(key, parsed);
        return parsed;
    }
    return nullptr;
}

bool ProfileEngine::locate(const QString &path, const QString &section, Located &at)
{
    at.parse = load(path);
    at.section = at.parse ? at.parse->find(section) : nullptr;
    return at.section;
}

bool ProfileEngine::readBytes(const QString &path, const QString &section, Located &at)
{
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (at.parse->bytesOf(*at.section, m_scratch, &at.bytes))
            return true;
        // The file changed since it was parsed: parse what is there now.
        forget(path);
        if (!locate(path, section, at))
            return false;
    }
    return false;
}

QStringList ProfileEngine::sectionNames(const QString &path)
{
    const auto p = load(path);
    return p ? p->names : QStringList();
}

bool ProfileEngine::hasSection(const QString &path, const QString &section)
{
    const auto p = load(path);
    return p && p->find(section);
}

QList<ProfileLine> ProfileEngine::sectionLines(const QString &path, const QString &section)
{
    Located at;
    if (!locate(path, section, at))
        return {};
    if (!at.section->visible) {
        if (!readBytes(path, section, at))
            return {};
        QList<ProfileLine> out;
        const Parsed &p = *at.parse;
        const Bytes b = at.bytes;
        forEachLine(b, at.section->bodyStart, at.section->bodyEnd, [&](const Line &line) {
            if (!line.comment)
                out.append({p.decode(b, line.nameStart, line.nameEnd),
                            line.hasValue ? p.decode(b, line.valueStart, line.valueEnd) : QString(), line.hasValue});
            return true;
        });
        at.section->visible = std::move(out);
    }
    return *at.section->visible;
}

QStringList ProfileEngine::sectionText(const QString &path, const QString &section)
{
    QStringList out;
    for (const ProfileLine &line : sectionLines(path, section))
        out.append(line.hasValue ? line.name + QLatin1Char('=') + line.value : line.name);
    return out;
}

QStringList ProfileEngine::keyNames(const QString &path, const QString &section)
{
    Located at;
    if (!locate(path, section, at))
        return {};
    if (!at.section->keys) {
        if (!readBytes(path, section, at))
            return {};
        // Listing a category needs the names only; values are decoded when an
        // entry is selected.
        QStringList names;
        const Bytes b = at.bytes;
        forEachLine(b, at.section->bodyStart, at.section->bodyEnd, [&](const Line &line) {
            if (line.hasValue && !line.comment)
                names.append(at.parse->decode(b, line.nameStart, line.nameEnd));
            return true;
        });
        at.section->keys = std::move(names);
    }
    return *at.section->keys;
}

std::optional<QString> ProfileEngine::value(const QString &path, const QString &section, const QString &key)
{
    Located at;
    if (!locate(path, section, at) || !readBytes(path, section, at))
        return std::nullopt;
    const auto line =
        KeyMatcher(key, at.parse->textEncoding()).find(at.bytes, at.section->bodyStart, at.section->bodyEnd);
    if (!line)
        return std::nullopt;
    return unquoted(at.parse->decode(at.bytes, line->valueStart, line->valueEnd));
}

QString ProfileEngine::readString(const QString &path, const QString &section, const QString &key,
                                  const QString &defaultValue)
{
    return value(path, section, key).value_or(defaultValue);
}

TextEncoding ProfileEngine::fileEncoding(const QString &path)
{
    const auto p = load(path);
    return p ? p->encoding : TextEncoding::Utf8;
}

void ProfileEngine::forget(const QString &path)
{
    m_cache.remove(cacheKey(path));
}

void ProfileEngine::clear()
{
    m_cache.clear();
}

namespace {

QString validate(const ProfileWrite &w)
{
    if (hasLineBreak(w.section))
        return QStringLiteral("The section name \"%1\" contains a line break.").arg(w.section.simplified());
    if (trimBlanks(w.section).isEmpty())
        return QStringLiteral("The section name is empty.");
    if (w.kind == ProfileWrite::Kind::DeleteSection)
        return {};
    const QString key = trimBlanks(w.key);
    if (hasLineBreak(w.key))
        return QStringLiteral("The name \"%1\" contains a line break.").arg(w.key.simplified());
    if (key.isEmpty())
        return QStringLiteral("The name is empty.");
    if (key.contains(QLatin1Char('=')))
        return QStringLiteral("The name \"%1\" contains \"=\".").arg(key);
    if (key.startsWith(QLatin1Char('[')) || key.startsWith(QLatin1Char(';')))
        return QStringLiteral("The name \"%1\" may not start with \"%2\".").arg(key, key.left(1));
    if (w.kind == ProfileWrite::Kind::SetValue && hasLineBreak(w.value))
        return QStringLiteral("The value for \"%1\" contains a line break.").arg(key);
    return {};
}

// The file a write replaces: through a symbolic link, the file it points to,
// so that the link stays a link.
QString writeTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// Writes are short, so a write waits for another program's by trying often
// rather than sleeping long: a busy writer elsewhere does not starve it.
bool lockWithin(QLockFile &lock, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
}

// A write's temporary file is "<file name>.fetchora-<8 hex digits>.tmp" beside its target.
QString temporaryName(const QString &target)
{
    return target
        + QStringLiteral(".fetchora-%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

QRegularExpression temporaryNames(const QString &target)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(QFileInfo(target).fileName()) + QStringLiteral("\\.fetchora-[0-9a-f]{8}\\.tmp")));
}

// A write that was killed leaves its temporary file beside the target. Only
// files of the program's own name pattern for this target are removed, and
// only once old: the lock keeps other Fetchora writes of it out, the age any
// other program that might still be writing one.
void removeStaleTemporaries(const QString &target)
{
    const QFileInfo info(target);
    const QRegularExpression own = temporaryNames(target);
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-kStaleTemporarySeconds);
    const QFileInfoList found = info.dir().entryInfoList({QStringLiteral("*.fetchora-*.tmp")},
                                                         QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &candidate : found) {
        if (own.match(candidate.fileName()).hasMatch() && candidate.lastModified() < cutoff)
            QFile::remove(candidate.filePath());
    }
}

// Replaces `target` with `bytes` as a whole: they go to a new file beside it,
// reach the disk, and then take its place, so a crash leaves the old file or
// the new one and never a part of either.
bool replaceFile(const QString &target, const QByteArray &bytes, QString *why)
{
    const QFileInfo info(target);
    QFile temp;
    for (int attempt = 0; attempt < 8 && !temp.isOpen(); ++attempt) {
        temp.setFileName(temporaryName(target));
        // Created new, never an existing file or link; private until it holds
        // everything and takes the permissions of the file it replaces.
        const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly;
        if (info.exists() ? temp.open(mode, QFileDevice::ReadOwner | QFileDevice::WriteOwner) : temp.open(mode))
            break;
        if (!QFileInfo::exists(temp.fileName()))
            break;
    }
    if (!temp.isOpen()) {
        *why = temp.errorString();
        return false;
    }
    bool ok = temp.write(bytes) == bytes.size() && temp.flush() && syncToDisk(temp)
        && (!info.exists() || temp.setPermissions(info.permissions()));
    if (!ok)
        *why = temp.errorString();
    temp.close();
    ok = ok && renameOver(temp.fileName(), target, why);
    if (!ok)
        QFile::remove(temp.fileName());
    return ok;
}

} // namespace

bool ProfileEngine::write(const QString &path, const QList<ProfileWrite> &changes, QString *error)
{
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    for (const ProfileWrite &w : changes) {
        const QString problem = validate(w);
        if (!problem.isEmpty())
            return fail(problem + QStringLiteral(" Nothing was written to %1.").arg(QDir::toNativeSeparators(path)));
    }

    const QString key = cacheKey(path);
    const QString shown = QDir::toNativeSeparators(key);
    const QString target = writeTarget(key);
    if (const QFileInfo info(target); info.exists() && !info.isFile())
        return fail(QStringLiteral("%1 is not a file.").arg(shown));

    // The whole read-modify-write is one step for every Fetchora that writes
    // this file, or two programs would each write back what they read and
    // lose what the other wrote in between.
    QLockFile lock(target + QStringLiteral(".lock"));
    if (!lockWithin(lock, kLockWaitMs)) {
        if (lock.error() == QLockFile::LockFailedError)
            return fail(QStringLiteral("%1 is in use by another program; try again.").arg(shown));
        return fail(QStringLiteral("%1 could not be written: its lock file could not be created.").arg(shown));
    }
    removeStaleTemporaries(target);
    m_cache.remove(key);

    // Edits start from the file's bytes as they are on disk now.
    QByteArray original;
    const bool existed = QFileInfo::exists(target);
    if (existed) {
        QFile in(target);
        // Never replace a file whose contents could not be read: that would lose them.
        if (!in.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1 could not be read: %2").arg(shown, in.errorString()));
        original = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return fail(QStringLiteral("%1 could not be read: %2").arg(shown, in.errorString()));
    }

    // UTF-16 text is edited as its UTF-8 image and written back unit for unit;
    // the common 8-bit files are edited on their own bytes.
    const TextEncoding marked = detectEncoding(QByteArrayView(original).first(qMin<qsizetype>(2, original.size())));
    const bool utf16 = isUtf16(marked);
    const QByteArray image = utf16 ? toImage(decodeText(QByteArrayView(original).sliced(2), marked)) : original;
    const qsizetype start = utf16 || !original.startsWith(kUtf8Mark) ? 0 : kUtf8Mark.size();
    const qsizetype end = withoutZeroTail(image, start);
    EditDocument doc(image, start, end, utf16, shown);
    for (const ProfileWrite &w : changes) {
        const QString problem = doc.apply(w);
        if (!problem.isEmpty())
            return fail(problem);
    }
    // A zero-filled tail stays where it is, behind every line.
    QByteArray bytes = doc.result();
    bytes += QByteArrayView(image).sliced(end);
    if (utf16) {
        QByteArray units;
        encodeText(fromImage(bytes), marked, &units);
        bytes = byteOrderMark(marked).toByteArray() + units + original.right(original.size() % 2);
    }

    // Nothing to change (or only deletions of what is not there): leave the
    // file, or its absence, as it is.
    if (bytes == original && (existed || bytes.isEmpty()))
        return true;
    QString why;
    if (!replaceFile(target, bytes, &why))
        return fail(QStringLiteral("%1 could not be written: %2").arg(shown, why));
    return true;
}

bool ProfileEngine::writeString(const QString &path, const QString &section, const QString &key, const QString &value,
                                QString *error)
{
    return write(path, {ProfileWrite::set(section, key, value)}, error);
}

bool ProfileEngine::deleteKey(const QString &path, const QString &section, const QString &key, QString *error)
{
    return write(path, {ProfileWrite::removeKey(section, key)}, error);
}

bool ProfileEngine::deleteSection(const QString &path, const QString &section, QString *error)
{
    return write(path, {ProfileWrite::removeSection(section)}, error);
}

} // namespace fetchora
