#include "ProfileEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace fetchora {

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

struct Span
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

Span trimmed(const QByteArray &bytes, qsizetype begin, qsizetype end)
{
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return {begin, end};
}

// One physical line: [start, contentEnd) is its text, next is where the
// following line starts (after CR, LF or CRLF, or the end of the file).
struct RawLine
{
    qsizetype start;
    qsizetype contentEnd;
    qsizetype next;
};

RawLine lineAt(const QByteArray &bytes, qsizetype start, qsizetype limit)
{
    const char *data = bytes.constData();
    qsizetype i = start;
    while (i < limit && data[i] != '\n' && data[i] != '\r')
        ++i;
    const qsizetype contentEnd = i;
    if (i < limit) {
        if (data[i] == '\r' && i + 1 < limit && data[i + 1] == '\n')
            i += 2;
        else
            ++i;
    }
    return {start, contentEnd, i};
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
        && (value.front() == u' ' || value.front() == u'\t' || value.back() == u' '
            || value.back() == u'\t');
    if (blankEdge || isWhollyQuoted(value))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

} // namespace

struct ProfileEngine::Parsed
{
    struct Line
    {
        QString name;
        QString value; // trimmed, quotes kept
        bool hasValue = false;
        bool comment = false;
        RawLine raw{};
        qsizetype valueStart = 0;
        qsizetype valueEnd = 0;
    };

    struct Section
    {
        QString name;
        qsizetype headerStart = 0;
        qsizetype bodyStart = 0; // first byte after the header line
        qsizetype bodyEnd = 0;   // start of the next header, or end of file
        mutable std::optional<std::vector<Line>> lines;
        mutable std::optional<QList<ProfileLine>> visible;
    };

    QByteArray bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    QByteArray eol = "\r\n";
    qint64 size = -1;
    QDateTime modified;
    std::vector<Section> sections;
    QHash<QString, int> firstSection; // case-folded name -> index of first header
    QStringList names;                // listed section names in file order

    QString decode(qsizetype begin, qsizetype end) const
    {
        return decodeText(QByteArrayView(bytes.constData() + begin, end - begin), encoding);
    }

    static std::shared_ptr<Parsed> parse(QByteArray data)
    {
        auto p = std::make_shared<Parsed>();
        p->bytes = std::move(data);
        p->encoding = detectEncoding(p->bytes);
        const QByteArray &b = p->bytes;
        const qsizetype n = b.size();
        qsizetype pos = p->encoding == TextEncoding::Utf8Bom ? 3 : 0;
        bool eolSeen = false;
        while (pos < n) {
            const RawLine line = lineAt(b, pos, n);
            if (!eolSeen && line.next > line.contentEnd) {
                p->eol = b.mid(line.contentEnd, line.next - line.contentEnd);
                eolSeen = true;
            }
            const Span t = trimmed(b, line.start, line.contentEnd);
            if (t.end > t.begin && b[t.begin] == '[') {
                qsizetype close = -1;
                for (qsizetype i = t.end - 1; i > t.begin; --i) {
                    if (b[i] == ']') {
                        close = i;
                        break;
                    }
                }
                if (close > 0) {
                    if (!p->sections.empty())
                        p->sections.back().bodyEnd = line.start;
                    Section s;
                    const Span nm = trimmed(b, t.begin + 1, close);
                    s.name = p->decode(nm.begin, nm.end);
                    s.headerStart = line.start;
                    s.bodyStart = line.next;
                    s.bodyEnd = n;
                    const int index = int(p->sections.size());
                    if (!s.name.isEmpty()) {
                        p->names.append(s.name);
                        // A later header of the same name is listed but never reached.
                        const QString folded = s.name.toCaseFolded();
                        if (!p->firstSection.contains(folded))
                            p->firstSection.insert(folded, index);
                    }
                    p->sections.push_back(std::move(s));
                }
            }
            pos = line.next;
        }
        return p;
    }

    const Section *find(const QString &section) const
    {
        const QString key = trimBlanks(section);
        if (key.isEmpty())
            return nullptr;
        auto it = firstSection.constFind(key.toCaseFolded());
        return it == firstSection.constEnd() ? nullptr : &sections[*it];
    }

    const std::vector<Line> &linesOf(const Section &s) const
    {
        if (s.lines)
            return *s.lines;
        std::vector<Line> out;
        qsizetype pos = s.bodyStart;
        while (pos < s.bodyEnd) {
            const RawLine raw = lineAt(bytes, pos, s.bodyEnd);
            pos = raw.next;
            const Span t = trimmed(bytes, raw.start, raw.contentEnd);
            if (t.end == t.begin)
                continue;
            Line line;
            line.raw = raw;
            line.comment = bytes[t.begin] == ';';
            const qsizetype eq = bytes.indexOf('=', t.begin);
            if (eq < 0 || eq >= t.end) {
                line.name = decode(t.begin, t.end);
                line.valueStart = line.valueEnd = t.end;
            } else {
                const Span nm = trimmed(bytes, t.begin, eq);
                const Span val = trimmed(bytes, eq + 1, t.end);
                line.name = decode(nm.begin, nm.end);
                line.value = decode(val.begin, val.end);
                line.hasValue = true;
                line.valueStart = val.begin;
                line.valueEnd = val.end;
            }
            out.push_back(std::move(line));
        }
        s.lines = std::move(out);
        return *s.lines;
    }

    const Line *findKey(const Section &s, const QString &key) const
    {
        const QString k = trimBlanks(key);
        for (const Line &line : linesOf(s)) {
            if (line.hasValue && line.name.compare(k, Qt::CaseInsensitive) == 0)
                return &line;
        }
        return nullptr;
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
    if (!file.open(QIODevice::ReadOnly)) {
        m_cache.remove(key);
        return nullptr;
    }
    auto parsed = Parsed::parse(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        m_cache.remove(key);
        return nullptr;
    }
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
        const auto &lines = p->linesOf(*s);
        out.reserve(qsizetype(lines.size()));
        for (const auto &line : lines) {
            if (!line.comment)
                out.append({line.name, line.value, line.hasValue});
        }
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
    QStringList out;
    for (const ProfileLine &line : sectionLines(path, section)) {
        if (line.hasValue)
            out.append(line.name);
    }
    return out;
}

std::optional<QString> ProfileEngine::value(const QString &path, const QString &section,
                                            const QString &key)
{
    const auto p = load(path);
    const Parsed::Section *s = p ? p->find(section) : nullptr;
    if (!s)
        return std::nullopt;
    const Parsed::Line *line = p->findKey(*s, key);
    if (!line)
        return std::nullopt;
    return unquoted(line->value);
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
            return fail(problem + QStringLiteral(" Nothing was written to %1.")
                                      .arg(QDir::toNativeSeparators(path)));
    }

    const QString key = cacheKey(path);
    const QFileInfo info(key);
    const QString shown = QDir::toNativeSeparators(key);
    std::shared_ptr<const Parsed> current;
    if (info.exists()) {
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a file.").arg(shown));
        current = load(key);
        // Never replace a file whose contents could not be read: that would lose them.
        if (!current)
            return fail(QStringLiteral("%1 could not be read.").arg(shown));
    }
    const QByteArray original = current ? current->bytes : QByteArray();
    std::shared_ptr<const Parsed> work = current ? current : Parsed::parse(QByteArray());
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
                    if (unquoted(line->value) == w.value)
                        continue;
                    edited.replace(line->valueStart, line->valueEnd - line->valueStart, encodedValue);
                    break;
                }
                // After the last non-blank line of the section (or its header).
                RawLine last = lineAt(bytes, s->headerStart, bytes.size());
                for (const auto &line : work->linesOf(*s))
                    last = line.raw;
                const QByteArray entry = encodedKey + '=' + encodedValue;
                if (last.next == last.contentEnd) // last line of a file without a final line end
                    edited.insert(last.next, eol + entry);
                else
                    edited.insert(last.next, entry + eol);
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

    if (current && bytes == original)
        return true;

    QSaveFile out(key);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1 could not be written: %2").arg(shown, out.errorString()));
    if (out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("%1 could not be written: %2").arg(shown, out.errorString()));
    m_cache.remove(key);
    return true;
}

bool ProfileEngine::writeString(const QString &path, const QString &section, const QString &key,
                                const QString &value, QString *error)
{
    return write(path, {ProfileWrite::set(section, key, value)}, error);
}

bool ProfileEngine::deleteKey(const QString &path, const QString &section, const QString &key,
                              QString *error)
{
    return write(path, {ProfileWrite::removeKey(section, key)}, error);
}

bool ProfileEngine::deleteSection(const QString &path, const QString &section, QString *error)
{
    return write(path, {ProfileWrite::removeSection(section)}, error);
}

} // namespace fetchora
