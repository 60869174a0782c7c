#include "ProfileEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace fetchora {

namespace {

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

} // namespace

struct ProfileEngine::Parsed
{
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

    struct Section
    {
        QString name;
        qsizetype headerStart = 0;
        qsizetype bodyStart = 0; // first byte after the header line
        qsizetype bodyEnd = 0;   // start of the next header, or end of file
        // Built on first use and kept with the parse, so a re-read of an
        // unchanged file costs nothing.
        mutable std::optional<std::vector<Line>> lines;
        mutable std::optional<QList<ProfileLine>> visible;
        mutable std::optional<QStringList> keys;
    };

    // A file read for looking things up keeps only its headers; a section's
    // bytes are read when it is first used. A file being edited is held whole.
    QString path;
    std::optional<QByteArray> whole;
    TextEncoding encoding = TextEncoding::Utf8;
    QByteArray eol = "\r\n";
    qint64 size = -1;
    QDateTime modified;
    std::vector<Section> sections;
    QHash<QString, int> firstSection; // case-folded name -> index of first header
    QStringList names;                // listed section names in file order

    static std::shared_ptr<Parsed> fromScan(ScanState &st, qsizetype fileSize)
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
            sec.bodyEnd = i + 1 < st.headers.size() ? st.headers[i + 1].headerStart : fileSize;
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

    // For editing: the whole file in memory.
    static std::shared_ptr<Parsed> parse(const QByteArray &data)
    {
        ScanState st;
        st.bom = data.startsWith("\xEF\xBB\xBF");
        scanLines({data.constData(), 0}, st.bom ? 3 : 0, data.size(), true, st);
        auto p = fromScan(st, data.size());
        p->whole = data;
        return p;
    }

    // For looking up: one pass through a small reused buffer, so even a very
    // large catalogue costs no more memory than its headers at start-up.
    static std::shared_ptr<Parsed> scan(QFile &file, qint64 fileSize, bool *ok)
    {
        ScanState st;
        QByteArray buffer(qMin<qint64>(qMax<qint64>(fileSize, 16), 256 * 1024), Qt::Uninitialized);
        qsizetype held = 0;        // bytes in the buffer
        qsizetype bufferStart = 0; // file offset of buffer[0]
        bool first = true;
        *ok = true;
        for (;;) {
            if (held == buffer.size())
                buffer.resize(buffer.size() * 2); // one line longer than the buffer
            const qint64 got = file.read(buffer.data() + held, buffer.size() - held);
            if (got < 0) {
                *ok = false;
                return nullptr;
            }
            held += qsizetype(got);
            const bool atEnd = got == 0;
            qsizetype from = bufferStart;
            if (first && (held >= 3 || atEnd)) {
                st.bom = QByteArrayView(buffer.constData(), held).startsWith("\xEF\xBB\xBF");
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
        return fromScan(st, bufferStart + held);
    }

    // The bytes of a section: from memory for a file being edited, else read
    // from the file into the caller's reused buffer, whose pages stay warm.
    Bytes bytesOf(const Section &s, QByteArray *scratch) const
    {
        if (whole)
            return {whole->constData(), 0};
        const qsizetype length = s.bodyEnd - s.bodyStart;
        if (scratch->size() < length)
            scratch->resize(length);
        qint64 got = -1;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.seek(s.bodyStart))
            got = file.read(scratch->data(), length);
        // A file cut short under our feet yields what is still there.
        if (got < length)
            std::memset(scratch->data() + qMax<qint64>(got, 0), '\n', size_t(length - qMax<qint64>(got, 0)));
        return {scratch->constData(), s.bodyStart};
    }

    QString decode(Bytes b, qsizetype begin, qsizetype end) const
    {
        return decodeText(QByteArrayView(b.ptr(begin), end - begin), encoding);
    }

    const Section *find(const QString &section) const
    {
        const QString key = trimBlanks(section);
        if (key.isEmpty())
            return nullptr;
        auto it = firstSection.constFind(key.toCaseFolded());
        return it == firstSection.constEnd() ? nullptr : &sections[*it];
    }

    // Calls f(line) for each non-blank line of the section until f returns false.
    template<class F> static void forEachLine(Bytes b, const Section &s, F f)
    {
        LineScanner scanner(b, s.bodyEnd);
        qsizetype pos = s.bodyStart;
        while (pos < s.bodyEnd) {
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

    // For edits (the whole file is in memory): every line of a section.
    const std::vector<Line> &linesOf(const Section &s) const
    {
        if (!s.lines) {
            std::vector<Line> out;
            forEachLine(bytesOf(s, nullptr), s, [&](const Line &line) {
                out.push_back(line);
                return true;
            });
            s.lines = std::move(out);
        }
        return *s.lines;
    }

    // Compares a line's name with a key without regard to case. ASCII names
    // are compared on their bytes, so a lookup decodes nothing it passes over.
    class KeyMatcher
    {
    public:
        explicit KeyMatcher(const QString &key) : m_wanted(trimBlanks(key))
        {
            for (QChar c : m_wanted) {
                if (c.unicode() >= 0x80) {
                    m_ascii = false;
                    return;
                }
            }
            m_bytes = m_wanted.toLatin1();
        }

        bool matches(const Parsed &p, Bytes b, const Line &line) const
        {
            if (!line.hasValue)
                return false;
            const qsizetype length = line.nameEnd - line.nameStart;
            if (m_ascii && line.asciiName)
                return length == m_bytes.size()
                    && qstrnicmp(b.ptr(line.nameStart), m_bytes.constData(), size_t(length)) == 0;
            return p.decode(b, line.nameStart, line.nameEnd).compare(m_wanted, Qt::CaseInsensitive) == 0;
        }

    private:
        QString m_wanted;
        QByteArray m_bytes;
        bool m_ascii = true;
    };

    const Line *findKey(const Section &s, const QString &key) const
    {
        const KeyMatcher matcher(key);
        const Bytes b = bytesOf(s, nullptr);
        for (const Line &line : linesOf(s)) {
            if (matcher.matches(*this, b, line))
                return &line;
        }
        return nullptr;
    }

    QString valueOf(const Section &s, const Line &line) const
    {
        return decode(bytesOf(s, nullptr), line.valueStart, line.valueEnd);
    }

    // For lookups: the first matching key's value, trimmed, quotes kept.
    std::optional<QString> lookup(const Section &s, const QString &key, QByteArray &scratch) const
    {
        const KeyMatcher matcher(key);
        const Bytes b = bytesOf(s, &scratch);
        std::optional<QString> found;
        forEachLine(b, s, [&](const Line &line) {
            if (!matcher.matches(*this, b, line))
                return true;
            found = decode(b, line.valueStart, line.valueEnd);
            return false;
        });
        return found;
    }
};

ProfileEngine::ProfileEngine() = default;
ProfileEngine::~ProfileEngine() = default;

static QString cacheKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::shared_ptr<const ProfileEngine::Parsed> ProfileEngine::load(const QString &path)
{
    const QString key = cacheKey(path);
    QFileInfo info(key);
    if (!info.exists() || !info.isFile()) {
        m_cache.remove(key);
        return nullptr;
    }
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    auto it = m_cache.constFind(key);
    if (it != m_cache.constEnd() && (*it)->size == size && (*it)->modified == modified)
        return *it;

    QFile file(key);
    bool ok = file.open(QIODevice::ReadOnly);
    std::shared_ptr<Parsed> parsed = ok ? Parsed::scan(file, size, &ok) : nullptr;
    if (!ok || !parsed) {
        m_cache.remove(key);
        return nullptr;
    }
    parsed->path = key;
    parsed->size = size;
    parsed->modified = modified;
    ++m_parseCount;
    m_cache.insert(key, parsed);
    return parsed;
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
    const auto p = load(path);
    const Parsed::Section *s = p ? p->find(section) : nullptr;
    if (!s)
        return {};
    if (!s->visible) {
        QList<ProfileLine> out;
        const Bytes b = p->bytesOf(*s, &m_scratch);
        Parsed::forEachLine(b, *s, [&](const Parsed::Line &line) {
            if (!line.comment)
                out.append({p->decode(b, line.nameStart, line.nameEnd),
                            line.hasValue ? p->decode(b, line.valueStart, line.valueEnd) : QString(), line.hasValue});
            return true;
        });
        s->visible = std::move(out);
    }
    return *s->visible;
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
    const auto p = load(path);
    const Parsed::Section *s = p ? p->find(section) : nullptr;
    if (!s)
        return {};
    if (!s->keys) {
        // Listing a category needs the names only; values are decoded when an
        // entry is selected.
        QStringList names;
        const Bytes b = p->bytesOf(*s, &m_scratch);
        Parsed::forEachLine(b, *s, [&](const Parsed::Line &line) {
            if (line.hasValue && !line.comment)
                names.append(p->decode(b, line.nameStart, line.nameEnd));
            return true;
        });
        s->keys = std::move(names);
    }
    return *s->keys;
}

std::optional<QString> ProfileEngine::value(const QString &path, const QString &section, const QString &key)
{
    const auto p = load(path);
    const Parsed::Section *s = p ? p->find(section) : nullptr;
    if (!s)
        return std::nullopt;
    const std::optional<QString> found = p->lookup(*s, key, m_scratch);
    if (!found)
        return std::nullopt;
    return unquoted(*found);
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
    const QFileInfo info(key);
    const QString shown = QDir::toNativeSeparators(key);
    // Edits start from the file's bytes as they are on disk now.
    QByteArray original;
    const bool existed = info.exists();
    if (existed) {
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a file.").arg(shown));
        QFile in(key);
        // Never replace a file whose contents could not be read: that would lose them.
        if (!in.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1 could not be read: %2").arg(shown, in.errorString()));
        original = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return fail(QStringLiteral("%1 could not be read: %2").arg(shown, in.errorString()));
    }
    std::shared_ptr<const Parsed> work = Parsed::parse(original);
    QByteArray bytes = original;

    for (const ProfileWrite &w : changes) {
        const Parsed::Section *s = work->find(w.section);
        const QString sectionName = trimBlanks(w.section);
        const QString keyName = trimBlanks(w.key);
        QByteArray edited = bytes;
        switch (w.kind) {
        case ProfileWrite::Kind::DeleteSection:
            if (!s)
                continue;
            edited.remove(s->headerStart, s->bodyEnd - s->headerStart);
            break;
        case ProfileWrite::Kind::DeleteKey: {
            const Parsed::Line *line = s ? work->findKey(*s, keyName) : nullptr;
            if (!line)
                continue;
            edited.remove(line->raw.start, line->raw.next - line->raw.start);
            break;
        }
        case ProfileWrite::Kind::SetValue: {
            QByteArray encodedValue, encodedKey, encodedSection;
            if (!encodeText(storedForm(w.value), work->encoding, &encodedValue)
                || !encodeText(keyName, work->encoding, &encodedKey)
                || !encodeText(sectionName, work->encoding, &encodedSection))
                return fail(QStringLiteral("\"%1\" holds characters that cannot be stored in %2, "
                                           "which is not a UTF-8 file. Nothing was written.")
                                .arg(keyName, shown));
            const QByteArray &eol = work->eol;
            if (s) {
                if (const Parsed::Line *line = work->findKey(*s, keyName)) {
                    if (unquoted(work->valueOf(*s, *line)) == w.value)
                        continue;
                    edited.replace(line->valueStart, line->valueEnd - line->valueStart, encodedValue);
                    break;
                }
                // After the last non-blank line of the section (or its header).
                RawLine last = LineScanner({bytes.constData(), 0}, bytes.size()).lineAt(s->headerStart);
                for (const auto &line : work->linesOf(*s))
                    last = line.raw;
                const QByteArray entry = encodedKey + '=' + encodedValue;
                if (last.next == last.contentEnd) { // last line of a file without a final line end
                    edited.insert(last.next, eol + entry);
                } else {
                    // End the new line as the line before it ends: a lone CR put
                    // in front of an LF would merge with it into one CRLF.
                    const QByteArray ending = bytes.mid(last.contentEnd, last.next - last.contentEnd);
                    edited.insert(last.next, entry + ending);
                }
                break;
            }
            QByteArray block;
            if (!edited.isEmpty() && !edited.endsWith('\n') && !edited.endsWith('\r'))
                block += eol;
            block += '[' + encodedSection + ']' + eol + encodedKey + '=' + encodedValue + eol;
            edited += block;
            break;
        }
        }
        bytes = edited;
        auto reparsed = Parsed::parse(bytes);
        // Keep the file's own encoding even if an edit made the bytes look different.
        reparsed->encoding = work->encoding;
        work = reparsed;
    }

    // Nothing to change (or only deletions of what is not there): leave the
    // file, or its absence, as it is.
    if (bytes == original && (existed || bytes.isEmpty()))
        return true;

    QSaveFile out(key);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1 could not be written: %2").arg(shown, out.errorString()));
    if (out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("%1 could not be written: %2").arg(shown, out.errorString()));
    m_cache.remove(key);
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
