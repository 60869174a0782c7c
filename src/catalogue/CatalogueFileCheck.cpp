#include "CatalogueFileCheck.h"

#include "platform/TextCodec.h"

#include <QStringList>

namespace fetchora {

namespace {

QStringView trimBlanks(QStringView s)
{
    while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
        s = s.sliced(1);
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t'))
        s.chop(1);
    return s;
}

bool isControl(char16_t c)
{
    if (c < 0x20)
        return c != u'\t' && c != u'\n' && c != u'\r';
    // DEL, and the C1 range: in Windows-1252 that is where its five undefined
    // bytes decode to, in UTF-8 nobody writes them in a text file.
    return c >= 0x7F && c <= 0x9F;
}

// True when some line in a named section is an entry: not a comment, a "="
// with a name before it.
bool holdsAnEntry(QStringView text)
{
    bool inNamedSection = false;
    for (QStringView raw : text.tokenize(u'\n')) {
        for (QStringView part : raw.tokenize(u'\r')) {
            const QStringView line = trimBlanks(part);
            if (line.startsWith(u'[')) {
                const qsizetype close = line.lastIndexOf(u']');
                if (close > 0) {
                    inNamedSection = !trimBlanks(line.sliced(1, close - 1)).isEmpty();
                    continue;
                }
            }
            if (!inNamedSection || line.startsWith(u';'))
                continue;
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0 && !trimBlanks(line.first(eq)).isEmpty())
                return true;
        }
    }
    return false;
}

} // namespace

CatalogueFileKind catalogueFileKind(const QString &fileName)
{
    for (const char *list : {"FOBlacklist.def", "FOAdware.def", "FOSignatures.ddl"}) {
        if (fileName.compare(QLatin1String(list), Qt::CaseInsensitive) == 0)
            return CatalogueFileKind::PlainList;
    }
    return CatalogueFileKind::Definitions;
}

QString catalogueFileProblem(QByteArrayView bytes, CatalogueFileKind kind)
{
    if (bytes.isEmpty())
        return QStringLiteral("it is empty.");
    const TextEncoding encoding = detectEncoding(bytes);
    const QString text = decodeText(encoding == TextEncoding::Utf8Bom ? bytes.sliced(3) : bytes, encoding);
    qsizetype line = 1;
    for (QChar c : text) {
        if (c == u'\n')
            ++line;
        else if (isControl(c.unicode()))
            return QStringLiteral("it is not a text file (line %1 holds the control character U+%2).")
                .arg(line)
                .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    if (kind == CatalogueFileKind::Definitions && !holdsAnEntry(text))
        return QStringLiteral("it holds no category with an entry.");
    return {};
}

} // namespace fetchora
