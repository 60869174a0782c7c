// Tests for the INI engine that reads and writes the files Fetchora shares with the
// people who edit them by hand: definition files, protection lists, settings and
// the version file. Every case uses a real file in a temporary folder, and writes
// are checked byte for byte, because a hand-edited file must come back exactly as
// it was apart from the one thing the program changed.

#include "TestSupport.h"
#include "platform/ProfileEngine.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <memory>
#include <optional>
#include <tuple>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace fetchora;
using fetchora::test::readFile;
using fetchora::test::writeFile;

namespace {

#define BYTES(s) QByteArray((s), int(sizeof(s) - 1))

QString S(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

bool setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    return f.setFileTime(when, QFileDevice::FileModificationTime);
}

QDateTime modified(const QString &path)
{
    return QFileInfo(path).lastModified();
}

// A moment well in the past, so that any rewrite of the file shows in its time.
QDateTime oldTime()
{
    return QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

QString describe(const std::optional<QString> &v)
{
    if (!v)
        return QStringLiteral("<not found>");
    QString shown = *v;
    if (shown.size() > 80)
        shown = shown.left(80) + QStringLiteral("...(%1 chars)").arg(v->size());
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

QByteArray shown(const QByteArray &bytes)
{
    QByteArray out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (u < 0x20 || u >= 0x7F)
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

// Every file a test leaves in its folder, hidden ones included, so a stray
// temporary file from an interrupted or failed save is noticed.
QStringList folderEntries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                            | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// Every value the engine can read from a file, as (section, key, value).
using Values = QList<std::tuple<QString, QString, QString>>;
Values readableValues(ProfileEngine &engine, const QString &file)
{
    Values known;
    for (const QString &name : engine.sectionNames(file)) {
        for (const QString &key : engine.keyNames(file, name)) {
            if (const auto v = engine.value(file, name, key))
                known.append({name, key, *v});
        }
    }
    return known;
}

// The engine call that makes one change on its own.
bool apply(ProfileEngine &engine, const QString &file, const ProfileWrite &change, QString *error)
{
    switch (change.kind) {
    case ProfileWrite::Kind::SetValue:
        return engine.writeString(file, change.section, change.key, change.value, error);
    case ProfileWrite::Kind::DeleteKey:
        return engine.deleteKey(file, change.section, change.key, error);
    case ProfileWrite::Kind::DeleteSection:
        return engine.deleteSection(file, change.section, error);
    }
    return false;
}

bool sameName(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

} // namespace

Q_DECLARE_METATYPE(fetchora::TextEncoding)
Q_DECLARE_METATYPE(fetchora::ProfileWrite)

#define COMPARE_VALUE(expr, expected)                                                              \
    do {                                                                                           \
        const std::optional<QString> got_ = (expr);                                                \
        const QString want_ = (expected);                                                          \
        QVERIFY2(got_.has_value() && *got_ == want_,                                               \
                 qPrintable(QStringLiteral("got %1, expected %2").arg(describe(got_), describe(want_)))); \
    } while (0)

#define VERIFY_NOT_FOUND(expr)                                                                     \
    do {                                                                                           \
        const std::optional<QString> got_ = (expr);                                                \
        QVERIFY2(!got_.has_value(), qPrintable(QStringLiteral("got %1, expected nothing").arg(describe(got_)))); \
    } while (0)

#define COMPARE_BYTES(got, expected)                                                               \
    do {                                                                                           \
        const QByteArray g_ = (got);                                                               \
        const QByteArray e_ = (expected);                                                          \
        QVERIFY2(g_ == e_, ("\n   got: " + shown(g_) + "\n  want: " + shown(e_)).constData());       \
    } while (0)

#define VERIFY_ONE_OF(got, allowed)                                                                \
    do {                                                                                           \
        const QByteArray g_ = (got);                                                               \
        QVERIFY2((allowed).contains(g_), ("got: " + shown(g_)).constData());                        \
    } while (0)

// An engine call given `&error` that must succeed; the engine's reason shows if not.
#define VERIFY_OK(call)                                                                            \
    do {                                                                                           \
        QString error;                                                                             \
        QVERIFY2((call), qPrintable(error));                                                       \
    } while (0)

// An engine call given `&error` that must be refused with a reason.
#define VERIFY_REFUSED(call)                                                                       \
    do {                                                                                           \
        QString error;                                                                             \
        QVERIFY(!(call));                                                                          \
        QVERIFY(!error.isEmpty());                                                                 \
    } while (0)

// Nothing can be read from a section: no lines, no keys, no values.
static void verifyNoSection(ProfileEngine &engine, const QString &file, const QString &section)
{
    QVERIFY(!engine.hasSection(file, section));
    QVERIFY(engine.sectionLines(file, section).isEmpty());
    QVERIFY(engine.sectionText(file, section).isEmpty());
    QVERIFY(engine.keyNames(file, section).isEmpty());
    VERIFY_NOT_FOUND(engine.value(file, section, S("k")));
    QCOMPARE(engine.readString(file, section, S("k"), S("def")), S("def"));
}

// A file that cannot be read reads as one without any section.
static void verifyReadsAsEmpty(ProfileEngine &engine, const QString &file)
{
    QVERIFY(engine.sectionNames(file).isEmpty());
    verifyNoSection(engine, file, S("A"));
}

namespace {

// A file as people write them: byte order mark, comments, blank lines, odd
// spacing, quotes, trailing spaces and all three kinds of line end.
const QByteArray kHandWritten = BYTES("\xEF\xBB\xBF; Fetchora settings, edited by hand\r\n"
                                      "\r\n"
                                      "[General]\r\n"
                                      "  Key  =  value  \r\n"
                                      "Quoted=\"keep me\"  \n"
                                      "Single='x'\r"
                                      ";Disabled=1\r\n"
                                      "   \t\r\n"
                                      "[Other]  trailing text\n"
                                      "Name=\xC3\x9Cn\xC3\xAF" "code\r\n"
                                      "Last=end");

// The ways a new section may be added at the end: with or without one blank line
// before it, and, where the file had no final line end, with or without one after.
QByteArrayList appendedVariants(const QByteArray &original, const QByteArray &eol, const QByteArray &lines)
{
    const bool endsWithEol = original.isEmpty() || original.endsWith('\n') || original.endsWith('\r');
    const QByteArray base = endsWithEol ? original : original + eol;
    QByteArrayList variants;
    for (const QByteArray &gap : {QByteArray(), eol}) {
        if (original.isEmpty() && !gap.isEmpty())
            continue;
        variants << base + gap + lines;
        if (!endsWithEol && lines.endsWith(eol))
            variants << base + gap + lines.chopped(eol.size());
    }
    return variants;
}

} // namespace

class TestProfileEngine : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileEngine> m_engine;

    QString path(const QString &name = QStringLiteral("test.ini")) const { return m_dir->filePath(name); }

    // Writes the test file (or `name`) and hands out a fresh engine that has not read it yet.
    ProfileEngine &given(const QByteArray &bytes, const QString &name = QStringLiteral("test.ini"))
    {
        if (!writeFile(path(name), bytes))
            QTest::qFail("the test file could not be written", __FILE__, __LINE__);
        m_engine = std::make_unique<ProfileEngine>();
        return *m_engine;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_engine.reset();
        m_dir.reset();
    }

    // ---- Reading

    void lookup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("expected");

        // Line ends
        QTest::newRow("LF") << BYTES("[A]\nk=1\nj=2\n") << S("A") << S("j") << true << S("2");
        QTest::newRow("CRLF first key") << BYTES("[A]\r\nk=1\r\nj=2\r\n") << S("A") << S("k") << true << S("1");
        QTest::newRow("CRLF last key") << BYTES("[A]\r\nk=1\r\nj=2\r\n") << S("A") << S("j") << true << S("2");
        QTest::newRow("CR only first") << BYTES("[A]\rk=1\rj=2\r") << S("A") << S("k") << true << S("1");
        QTest::newRow("CR only last") << BYTES("[A]\rk=1\rj=2\r") << S("A") << S("j") << true << S("2");
        QTest::newRow("mixed: LF line") << BYTES("[A]\r\nk=1\nj=2\rl=3\r\n[B]\rm=4") << S("A") << S("j") << true << S("2");
        QTest::newRow("mixed: CR line") << BYTES("[A]\r\nk=1\nj=2\rl=3\r\n[B]\rm=4") << S("A") << S("l") << true << S("3");
        QTest::newRow("mixed: header after CRLF, CR") << BYTES("[A]\r\nk=1\nj=2\rl=3\r\n[B]\rm=4") << S("B") << S("m") << true << S("4");
        QTest::newRow("mixed: A does not reach B") << BYTES("[A]\r\nk=1\nj=2\rl=3\r\n[B]\rm=4") << S("A") << S("m") << false << QString();
        QTest::newRow("last line without line end") << BYTES("[A]\nk=1\nlast=end") << S("A") << S("last") << true << S("end");
        QTest::newRow("only line without line end") << BYTES("[A]") << S("A") << S("k") << false << QString();
        QTest::newRow("CR CR LF is a line and a blank line") << BYTES("[A]\nk=1\r\r\nj=2\n") << S("A") << S("k") << true << S("1");
        QTest::newRow("CR CR LF, next line") << BYTES("[A]\nk=1\r\r\nj=2\n") << S("A") << S("j") << true << S("2");
        QTest::newRow("LF CR is two line ends") << BYTES("[A]\nk=1\n\rj=2") << S("A") << S("j") << true << S("2");

        // Blanks and blank lines
        QTest::newRow("blanks around everything") << BYTES("  [A]  \n \t k \t = \t v x \t \n") << S("A") << S("k") << true << S("v x");
        QTest::newRow("tab-indented header") << BYTES("\t[A]\t\nk=1") << S("A") << S("k") << true << S("1");
        QTest::newRow("blank lines everywhere") << BYTES("\n \t\n\r\n[A]\n\n\t\n   \r\nk=1\n\n") << S("A") << S("k") << true << S("1");
        QTest::newRow("key with inner blank") << BYTES("[A]\nMy Key = v\n") << S("A") << S("My Key") << true << S("v");
        QTest::newRow("value with inner blanks") << BYTES("[A]\nk=a  b\tc\n") << S("A") << S("k") << true << S("a  b\tc");

        // Headers
        QTest::newRow("header name trimmed") << BYTES("[  My Section \t]\nk=1") << S("My Section") << S("k") << true << S("1");
        QTest::newRow("text after ] ignored") << BYTES("[A] trailing ; text\nk=1") << S("A") << S("k") << true << S("1");
        QTest::newRow("header name runs to the last ]") << BYTES("[a]b]\nk=1") << S("a]b") << S("k") << true << S("1");
        QTest::newRow("text before the last ] is part of the name") << BYTES("[a]b]\nk=1") << S("a") << S("k") << false << QString();
        QTest::newRow("nested brackets") << BYTES("[[A]]\nk=1") << S("[A]") << S("k") << true << S("1");
        QTest::newRow("header followed by =") << BYTES("[A]=x\nk=1") << S("A") << S("k") << true << S("1");
        QTest::newRow("[ without ] is no header") << BYTES("[A]\nk=1\n[B\nj=2\n") << S("A") << S("j") << true << S("2");
        QTest::newRow("[ without ] opens nothing") << BYTES("[A]\nk=1\n[B\nj=2\n") << S("B") << S("j") << false << QString();
        QTest::newRow("[ without ] is a key line") << BYTES("[A]\n[B=1\n") << S("A") << S("[B") << true << S("1");
        QTest::newRow("keys after empty header unreachable by name") << BYTES("[A]\nk=1\n[]\nj=2\n") << S("") << S("j") << false << QString();
        QTest::newRow("keys after empty header not in the section before") << BYTES("[A]\nk=1\n[]\nj=2\n") << S("A") << S("j") << false << QString();
        QTest::newRow("keys after blank header unreachable") << BYTES("[ \t ]\nj=2\n") << S("") << S("j") << false << QString();
        QTest::newRow("keys before any header unreachable") << BYTES("k=1\n[A]\nj=2") << S("") << S("k") << false << QString();
        QTest::newRow("keys before any header not in the first section") << BYTES("k=1\n[A]\nj=2") << S("A") << S("k") << false << QString();
        QTest::newRow("indented header after keys") << BYTES("[A]\nk=1\n  [B]  \nk=2") << S("B") << S("k") << true << S("2");
        QTest::newRow("commented header is no header") << BYTES("[A]\nk=1\n;[B]\nj=2") << S("A") << S("j") << true << S("2");
        QTest::newRow("missing section") << BYTES("[A]\nk=1\n") << S("Z") << S("k") << false << QString();
        QTest::newRow("key of another section") << BYTES("[A]\nk=1\n[B]\nj=2\n") << S("A") << S("j") << false << QString();

        // Case
        QTest::newRow("ascii case") << BYTES("[MySection]\nMyKey=1") << S("MYSECTION") << S("mykey") << true << S("1");
        QTest::newRow("utf-8 upper in file") << BYTES("[\xC3\x84RGER]\nSCHL\xC3\x9C" "SSEL=1") << S("ärger") << S("schlüssel") << true << S("1");
        QTest::newRow("utf-8 lower in file") << BYTES("[\xC3\xA9t\xC3\xA9]\ncl\xC3\xA9=2") << S("ÉTÉ") << S("CLÉ") << true << S("2");
        QTest::newRow("cyrillic") << BYTES("[\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2]\n\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87=3")
                                  << S("привет") << S("КЛЮЧ") << true << S("3");
        QTest::newRow("greek") << BYTES("[\xCE\x91\xCE\x9B\xCE\xA6\xCE\x91]\nk=4") << S("αλφα") << S("K") << true << S("4");
        QTest::newRow("cp1252 name") << BYTES("[\xC4RGER]\nk=caf\xE9") << S("ärger") << S("K") << true << S("café");

        // Duplicates
        QTest::newRow("first of duplicate sections") << BYTES("[A]\nk=1\n[B]\nx=0\n[a]\nk=2\nj=3\n") << S("A") << S("k") << true << S("1");
        QTest::newRow("later duplicate section not reached") << BYTES("[A]\nk=1\n[B]\nx=0\n[a]\nk=2\nj=3\n") << S("a") << S("j") << false << QString();
        QTest::newRow("first of duplicate keys") << BYTES("[A]\nk=1\nK=2\n") << S("A") << S("k") << true << S("1");

        // Key lines
        QTest::newRow("split at first =") << BYTES("[A]\nSome=Name=x") << S("A") << S("Some") << true << S("Name=x");
        QTest::newRow("no key across the first =") << BYTES("[A]\nSome=Name=x") << S("A") << S("Some=Name") << false << QString();
        QTest::newRow("line without = is not found") << BYTES("[A]\nJustAName\n") << S("A") << S("JustAName") << false << QString();
        QTest::newRow("empty value is found") << BYTES("[A]\nk=\n") << S("A") << S("k") << true << S("");
        QTest::newRow("blank value is found empty") << BYTES("[A]\nk= \t \n") << S("A") << S("k") << true << S("");
        QTest::newRow("empty value, no line end") << BYTES("[A]\nk=") << S("A") << S("k") << true << S("");

        // Quotes
        QTest::newRow("double quotes removed") << BYTES("[A]\nk=\"abc\"") << S("A") << S("k") << true << S("abc");
        QTest::newRow("single quotes removed") << BYTES("[A]\nk='abc'") << S("A") << S("k") << true << S("abc");
        QTest::newRow("mismatched quotes kept") << BYTES("[A]\nk=\"abc'") << S("A") << S("k") << true << S("\"abc'");
        QTest::newRow("lone double quote kept") << BYTES("[A]\nk=\"") << S("A") << S("k") << true << S("\"");
        QTest::newRow("lone single quote kept") << BYTES("[A]\nk='") << S("A") << S("k") << true << S("'");
        QTest::newRow("empty double quotes") << BYTES("[A]\nk=\"\"") << S("A") << S("k") << true << S("");
        QTest::newRow("empty single quotes") << BYTES("[A]\nk=''") << S("A") << S("k") << true << S("");
        QTest::newRow("blanks outside quotes trimmed first") << BYTES("[A]\nk=  \"abc\" \t") << S("A") << S("k") << true << S("abc");
        QTest::newRow("blanks inside quotes kept") << BYTES("[A]\nk=\" a b \"") << S("A") << S("k") << true << S(" a b ");
        QTest::newRow("only one pair removed") << BYTES("[A]\nk='\"x\"'") << S("A") << S("k") << true << S("\"x\"");
        QTest::newRow("inner quote kept") << BYTES("[A]\nk=\"a\"b\"") << S("A") << S("k") << true << S("a\"b");
        QTest::newRow("quote at end only") << BYTES("[A]\nk=abc\"") << S("A") << S("k") << true << S("abc\"");
        QTest::newRow("quote at start only") << BYTES("[A]\nk=\"abc") << S("A") << S("k") << true << S("\"abc");
        QTest::newRow("quoted part then text") << BYTES("[A]\nk=\"ab\"c") << S("A") << S("k") << true << S("\"ab\"c");
        QTest::newRow("quotes CRLF") << BYTES("[A]\r\nk=\"abc\"\r\n") << S("A") << S("k") << true << S("abc");

        // Comments
        QTest::newRow("comment key found by exact name") << BYTES("[A]\n;old=1\n") << S("A") << S(";old") << true << S("1");
        QTest::newRow("indented comment key found") << BYTES("[A]\n  ;old=1\n") << S("A") << S(";old") << true << S("1");
        QTest::newRow("comment does not hide the real key") << BYTES("[A]\n;k=0\nk=1\n") << S("A") << S("k") << true << S("1");
        QTest::newRow("# is no comment") << BYTES("[A]\n#k=1\n") << S("A") << S("#k") << true << S("1");
        QTest::newRow("; inside a value is kept") << BYTES("[A]\nk=a ; b\n") << S("A") << S("k") << true << S("a ; b");
        QTest::newRow("# inside a value is kept") << BYTES("[A]\nk=a # b\n") << S("A") << S("k") << true << S("a # b");
        QTest::newRow("comment lines between header and key") << BYTES("[A]\n; one\n;two\nk=1") << S("A") << S("k") << true << S("1");

        // Byte order mark and odd bytes
        QTest::newRow("bom before first header") << BYTES("\xEF\xBB\xBF[A]\nk=1") << S("A") << S("k") << true << S("1");
        QTest::newRow("nul inside a value") << BYTES("[A]\nk=a\0b\nj=2\n") << S("A") << S("k") << true << QString::fromUtf8("a\0b", 3);
        QTest::newRow("line after a nul") << BYTES("[A]\nk=a\0b\nj=2\n") << S("A") << S("j") << true << S("2");
        QTest::newRow("nul bytes inside lines") << BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=1\n") << S("A") << S("k") << true << QString::fromUtf8("a\0b", 3);
        QTest::newRow("line after nul bytes inside lines") << BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=1\n") << S("A") << S("j") << true << S("2");
        // Valid UTF-8 up to one Windows-1252 byte near the end: the whole file is
        // Windows-1252, so the earlier two bytes are two characters.
        QTest::newRow("utf-8 bytes in a cp1252 file") << BYTES("[A]\nk=caf\xC3\xA9\nz=\xE9\n") << S("A") << S("k") << true << S("cafÃ©");
        QTest::newRow("the cp1252 byte that decides") << BYTES("[A]\nk=caf\xC3\xA9\nz=\xE9\n") << S("A") << S("z") << true << S("é");
    }

    void lookup()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, expected);

        ProfileEngine &engine = given(file);
        const std::optional<QString> got = engine.value(path(), section, key);
        if (found)
            COMPARE_VALUE(got, expected);
        else
            VERIFY_NOT_FOUND(got);
        // A found value, even an empty one, wins over the default.
        QCOMPARE(engine.readString(path(), section, key, QStringLiteral("<default>")),
                 found ? expected : QStringLiteral("<default>"));
        // Reading never changes the file.
        COMPARE_BYTES(readFile(path()), file);
    }

    void sectionNames_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("no headers") << BYTES("k=1\nj=2\n") << QStringList();
        QTest::newRow("mixed line ends, in order") << BYTES("[One]\n[Two]\r\n[Three]\r[Four]")
                                                   << QStringList{S("One"), S("Two"), S("Three"), S("Four")};
        QTest::newRow("trimmed, text after ] ignored") << BYTES("  [ A ] x\n\t[B]]\n")
                                                       << QStringList{S("A"), S("B]")};
        QTest::newRow("empty names left out") << BYTES("[]\n[ ]\n[A]\n[\t]\n") << QStringList{S("A")};
        QTest::newRow("[ without ] left out") << BYTES("[A\n[B]\n") << QStringList{S("B")};
        QTest::newRow("repeated header listed again") << BYTES("[A]\nk=1\n[B]\n[a]\nk=2\n")
                                                      << QStringList{S("A"), S("B"), S("a")};
        QTest::newRow("commented header left out") << BYTES(";[X]\n[Y]\n") << QStringList{S("Y")};
        QTest::newRow("# header-like line left out") << BYTES("#[X]\n[Y]\n") << QStringList{S("Y")};
        QTest::newRow("brackets inside a value") << BYTES("[A]\nk=[B]\n") << QStringList{S("A")};
        QTest::newRow("bom") << BYTES("\xEF\xBB\xBF[A]\n[B]") << QStringList{S("A"), S("B")};
        QTest::newRow("utf-8 names") << BYTES("[\xC3\x84rger]\n[\xE6\xBC\xA2]\n") << QStringList{S("Ärger"), S("漢")};
        QTest::newRow("cp1252 names") << BYTES("[Caf\xE9]\n[\x80uro]\n") << QStringList{S("Café"), S("€uro")};
        QTest::newRow("nested brackets") << BYTES("[[A]]\n") << QStringList{S("[A]")};
        QTest::newRow("nul bytes inside lines") << BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=1\n")
                                               << QStringList{S("A"), S("B")};
    }

    void sectionNames()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QCOMPARE(given(file).sectionNames(path()), expected);
    }

    void hasSection()
    {
        ProfileEngine &engine = given(BYTES("k=0\n[General]\n[Empty]\n[]\nx=1\n[\xC3\x84rger]\n"));
        QVERIFY(engine.hasSection(path(), S("General")));
        QVERIFY(engine.hasSection(path(), S("GENERAL")));
        QVERIFY(engine.hasSection(path(), S("empty")));
        QVERIFY(engine.hasSection(path(), S("ÄRGER")));
        QVERIFY(!engine.hasSection(path(), S("Missing")));
        QVERIFY(!engine.hasSection(path(), S("")));
        QVERIFY(!engine.hasSection(path(), S("Gener")));
        QVERIFY(!engine.hasSection(path(QStringLiteral("missing.ini")), S("General")));
    }

    void readStringDefaults()
    {
        ProfileEngine &engine = given(BYTES("[A]\nempty=\nnoequals\nk=v\n"));
        QCOMPARE(engine.readString(path(), S("A"), S("k"), S("def")), S("v"));
        QCOMPARE(engine.readString(path(), S("A"), S("empty"), S("def")), S(""));
        QCOMPARE(engine.readString(path(), S("A"), S("noequals"), S("def")), S("def"));
        QCOMPARE(engine.readString(path(), S("A"), S("missing"), S("def")), S("def"));
        QCOMPARE(engine.readString(path(), S("B"), S("k"), S("def")), S("def"));
        QCOMPARE(engine.readString(path(QStringLiteral("nofile.ini")), S("A"), S("k"), S("def")), S("def"));
        QCOMPARE(engine.readString(path(), S("A"), S("missing")), QString());
    }

    void sectionReads()
    {
        ProfileEngine &engine = given(BYTES("; file comment\n"
                                            "[Other]\n"
                                            "o=1\n"
                                            "[S]  the section\r\n"
                                            "  Key  =  value  \r\n"
                                            ";comment=1\n"
                                            "   ;indented comment\n"
                                            "\n"
                                            "Quoted = \"q v\" \n"
                                            "Single='s'\r"
                                            "NoEquals\n"
                                            "  Blank Name Line  \n"
                                            "Empty=\n"
                                            "#hash=1\n"
                                            "Some=Name=x\n"
                                            "\t\n"
                                            "[T]\n"
                                            "t=1\n"));
        const QList<ProfileLine> lines = engine.sectionLines(path(), S("s"));
        struct Expected
        {
            const char *name;
            const char *value;
            bool hasValue;
        };
        const Expected expected[] = {
            {"Key", "value", true},     {"Quoted", "\"q v\"", true}, {"Single", "'s'", true},
            {"NoEquals", "", false},    {"Blank Name Line", "", false}, {"Empty", "", true},
            {"#hash", "1", true},       {"Some", "Name=x", true},
        };
        QCOMPARE(lines.size(), int(std::size(expected)));
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines.at(i).name, S(expected[i].name));
            QCOMPARE(lines.at(i).hasValue, expected[i].hasValue);
            if (expected[i].hasValue)
                QCOMPARE(lines.at(i).value, S(expected[i].value));
            else
                QVERIFY(lines.at(i).value.isEmpty());
        }

        QCOMPARE(engine.sectionText(path(), S("S")),
                 (QStringList{S("Key=value"), S("Quoted=\"q v\""), S("Single='s'"), S("NoEquals"),
                              S("Blank Name Line"), S("Empty="), S("#hash=1"), S("Some=Name=x")}));
        QCOMPARE(engine.keyNames(path(), S("S")),
                 (QStringList{S("Key"), S("Quoted"), S("Single"), S("Empty"), S("#hash"), S("Some")}));

        QCOMPARE(engine.sectionText(path(), S("T")), QStringList{S("t=1")});
        QCOMPARE(engine.keyNames(path(), S("other")), QStringList{S("o")});
    }

    void sectionReadsOfDuplicateEmptyAndMissingSections()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n[Empty]\n\n;only a comment\n[a]\nj=2\n[B]\nx=1\n"));
        // Only the first section of a name is read.
        QCOMPARE(engine.sectionText(path(), S("a")), QStringList{S("k=1")});
        QCOMPARE(engine.keyNames(path(), S("A")), QStringList{S("k")});
        QCOMPARE(engine.sectionLines(path(), S("A")).size(), 1);

        QVERIFY(engine.hasSection(path(), S("Empty")));
        QVERIFY(engine.sectionLines(path(), S("Empty")).isEmpty());
        QVERIFY(engine.sectionText(path(), S("Empty")).isEmpty());
        QVERIFY(engine.keyNames(path(), S("Empty")).isEmpty());

        verifyNoSection(engine, path(), S("Missing"));
        QVERIFY(engine.sectionText(path(), S("")).isEmpty());
    }

    void quotesKeptBySectionReads()
    {
        ProfileEngine &engine = given(BYTES("[Q]\nd=\"abc\"\ns='abc'\nm=\"abc'\n"));
        QCOMPARE(engine.sectionText(path(), S("Q")), (QStringList{S("d=\"abc\""), S("s='abc'"), S("m=\"abc'")}));
        COMPARE_VALUE(engine.value(path(), S("Q"), S("d")), S("abc"));
        COMPARE_VALUE(engine.value(path(), S("Q"), S("s")), S("abc"));
        COMPARE_VALUE(engine.value(path(), S("Q"), S("m")), S("\"abc'"));
    }

    void longValuesReturnedWhole_data()
    {
        QTest::addColumn<int>("length");
        for (int length : {300, 65536, 100000})
            QTest::addRow("%d", length) << length;
    }

    void longValuesReturnedWhole()
    {
        QFETCH(int, length);
        QByteArray value;
        for (int i = 0; i < length; ++i)
            value.append(char('a' + (i * 7) % 26));
        value[length - 1] = 'Z'; // the last character must arrive as well

        ProfileEngine &engine = given("[Long]\r\nv=" + value + "\r\nafter=1\r\n");
        const auto got = engine.value(path(), S("Long"), S("v"));
        QVERIFY(got.has_value());
        QCOMPARE(got->size(), length);
        QCOMPARE(*got, QString::fromLatin1(value));
        QCOMPARE(engine.sectionText(path(), S("Long")).value(0), S("v=") + QString::fromLatin1(value));
        COMPARE_VALUE(engine.value(path(), S("Long"), S("after")), S("1"));

        // And the same length written by the program comes back whole.
        QVERIFY(engine.writeString(path(), S("Long"), S("w"), QString::fromLatin1(value)));
        const auto written = engine.value(path(), S("Long"), S("w"));
        QVERIFY(written.has_value());
        QCOMPARE(written->size(), length);
        QVERIFY(readFile(path()).contains("\r\nw=" + value));
    }

    // ---- Writing

    void changeValueKeepsEveryOtherByte_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("oldLine");
        QTest::addColumn<QByteArray>("newLine");

        QTest::newRow("spaced value, longer") << S("General") << S("Key") << S("changed")
                                              << BYTES("  Key  =  value  \r\n") << BYTES("  Key  =  changed  \r\n");
        QTest::newRow("spaced value, shorter") << S("General") << S("Key") << S("v")
                                               << BYTES("  Key  =  value  \r\n") << BYTES("  Key  =  v  \r\n");
        QTest::newRow("names in other case") << S("GENERAL") << S("kEY") << S("v2")
                                             << BYTES("  Key  =  value  \r\n") << BYTES("  Key  =  v2  \r\n");
        QTest::newRow("CR-ended line") << S("General") << S("Single") << S("yy")
                                       << BYTES("Single='x'\r") << BYTES("Single=yy\r");
        QTest::newRow("to empty") << S("General") << S("Single") << S("")
                                  << BYTES("Single='x'\r") << BYTES("Single=\r");
        QTest::newRow("utf-8 value") << S("Other") << S("Name") << S("Ärger 漢")
                                     << BYTES("Name=\xC3\x9Cn\xC3\xAF" "code\r\n")
                                     << BYTES("Name=\xC3\x84rger \xE6\xBC\xA2\r\n");
        QTest::newRow("last line without line end") << S("Other") << S("Last") << S("fin")
                                                    << BYTES("Last=end") << BYTES("Last=fin");
    }

    void changeValueKeepsEveryOtherByte()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, oldLine);
        QFETCH(QByteArray, newLine);

        QVERIFY(kHandWritten.count(oldLine) == 1);
        QByteArray expected = kHandWritten;
        expected.replace(oldLine, newLine);

        ProfileEngine &engine = given(kHandWritten);
        VERIFY_OK(engine.writeString(path(), section, key, value, &error));
        COMPARE_BYTES(readFile(path()), expected);
        COMPARE_VALUE(engine.value(path(), section, key), value);
        // The untouched lines still read as before.
        COMPARE_VALUE(engine.value(path(), S("General"), S("Quoted")), S("keep me"));
        COMPARE_VALUE(engine.value(path(), S("General"), S(";Disabled")), S("1"));
        QCOMPARE(engine.sectionNames(path()), (QStringList{S("General"), S("Other")}));

        // A second engine, reading the file fresh, agrees.
        ProfileEngine fresh;
        COMPARE_VALUE(fresh.value(path(), section, key), value);
    }

    // One change made with writeString, deleteKey or deleteSection: the file
    // becomes one of the allowed results, and everything else reads as before.
    void editChangesOnlyItsLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<ProfileWrite>("change");
        QTest::addColumn<QByteArrayList>("allowed");

        const auto addJ = [](const char *section) { return ProfileWrite::set(S(section), S("j"), S("2")); };
        const auto only = [](const QByteArray &bytes) { return QByteArrayList{bytes}; };

        // A new key goes after the last non-blank line of its section.
        QTest::newRow("LF, before blank lines and next section")
            << BYTES("[A]\nk=1\n\n\n[B]\nx=2\n") << addJ("A") << only(BYTES("[A]\nk=1\nj=2\n\n\n[B]\nx=2\n"));
        QTest::newRow("CRLF, before blank lines and next section")
            << BYTES("[A]\r\nk=1\r\n\r\n  \r\n[B]\r\nx=2\r\n") << addJ("A")
            << only(BYTES("[A]\r\nk=1\r\nj=2\r\n\r\n  \r\n[B]\r\nx=2\r\n"));
        QTest::newRow("CR, before blank line and next section")
            << BYTES("[A]\rk=1\r\r[B]\r") << addJ("A") << only(BYTES("[A]\rk=1\rj=2\r\r[B]\r"));
        QTest::newRow("last line of section is a comment")
            << BYTES("[A]\nk=1\n;note\n\n[B]\n") << addJ("A") << only(BYTES("[A]\nk=1\n;note\nj=2\n\n[B]\n"));
        QTest::newRow("empty section before another")
            << BYTES("[A]\n[B]\nx=1\n") << addJ("A") << only(BYTES("[A]\nj=2\n[B]\nx=1\n"));
        QTest::newRow("empty section before blank line")
            << BYTES("[A]\n\n[B]\n") << addJ("A") << only(BYTES("[A]\nj=2\n\n[B]\n"));
        QTest::newRow("last section") << BYTES("[A]\nk=1\n") << addJ("A") << only(BYTES("[A]\nk=1\nj=2\n"));
        QTest::newRow("last section, blank lines at end of file")
            << BYTES("[A]\nk=1\n\n\n") << addJ("A") << only(BYTES("[A]\nk=1\nj=2\n\n\n"));
        QTest::newRow("middle section, other case")
            << BYTES("[X]\nq=1\n[A]\nk=1\n[Y]\n") << addJ("a") << only(BYTES("[X]\nq=1\n[A]\nk=1\nj=2\n[Y]\n"));
        QTest::newRow("first of duplicate sections")
            << BYTES("[A]\nk=1\n[A]\nm=2\n") << addJ("A") << only(BYTES("[A]\nk=1\nj=2\n[A]\nm=2\n"));
        QTest::newRow("header with trailing text")
            << BYTES("[A] x\nk=1\n[B]\n") << addJ("A") << only(BYTES("[A] x\nk=1\nj=2\n[B]\n"));
        QTest::newRow("trailing spaces of the last line kept")
            << BYTES("[A]\nk=1  \n[B]\n") << addJ("A") << only(BYTES("[A]\nk=1  \nj=2\n[B]\n"));
        QTest::newRow("line without = is the last line")
            << BYTES("[A]\nk=1\nflag\n\n[B]\n") << addJ("A") << only(BYTES("[A]\nk=1\nflag\nj=2\n\n[B]\n"));
        QTest::newRow("only a commented key of that name")
            << BYTES("[A]\n;j=0\n[B]\n") << addJ("A") << only(BYTES("[A]\n;j=0\nj=2\n[B]\n"));
        QTest::newRow("bom and CRLF")
            << BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\n\r\n[B]\r\n") << addJ("A")
            << only(BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\nj=2\r\n\r\n[B]\r\n"));

        // In a file without a final line end.
        QTest::newRow("no final line end, LF")
            << BYTES("[A]\nk=1") << addJ("A") << QByteArrayList{BYTES("[A]\nk=1\nj=2"), BYTES("[A]\nk=1\nj=2\n")};
        QTest::newRow("no final line end, CRLF")
            << BYTES("[A]\r\nk=1") << addJ("A")
            << QByteArrayList{BYTES("[A]\r\nk=1\r\nj=2"), BYTES("[A]\r\nk=1\r\nj=2\r\n")};
        QTest::newRow("no final line end, CR")
            << BYTES("[A]\rk=1") << addJ("A") << QByteArrayList{BYTES("[A]\rk=1\rj=2"), BYTES("[A]\rk=1\rj=2\r")};
        QTest::newRow("no final line end, trailing blanks on the last line")
            << BYTES("[A]\nk=1  ") << addJ("A") << QByteArrayList{BYTES("[A]\nk=1  \nj=2"), BYTES("[A]\nk=1  \nj=2\n")};
        // Nothing in the file says which line end to use; either common one will do.
        QTest::newRow("no final line end, header only")
            << BYTES("[A]") << addJ("A")
            << QByteArrayList{BYTES("[A]\nj=2"), BYTES("[A]\nj=2\n"), BYTES("[A]\r\nj=2"), BYTES("[A]\r\nj=2\r\n")};

        // The new line's end must not join with the blank line that follows into one
        // CR LF, which would silently remove that blank line from the file.
        QTest::newRow("first line end CR, section ends in LF")
            << BYTES("[A]\rk=1\n\n[B]\n") << addJ("A")
            << QByteArrayList{BYTES("[A]\rk=1\nj=2\n\n[B]\n"), BYTES("[A]\rk=1\nj=2\r\n\n[B]\n")};
        QTest::newRow("first line end CR, two blank lines")
            << BYTES("[A]\rk=1\n\n\n[B]\n") << addJ("A")
            << QByteArrayList{BYTES("[A]\rk=1\nj=2\n\n\n[B]\n"), BYTES("[A]\rk=1\nj=2\r\n\n\n[B]\n")};
        QTest::newRow("first line end CR, section ends in CR LF")
            << BYTES("[A]\rk=1\r\n\n[B]\r\n") << addJ("A")
            << QByteArrayList{BYTES("[A]\rk=1\r\nj=2\r\n\n[B]\r\n"), BYTES("[A]\rk=1\r\nj=2\n\n[B]\r\n")};

        // A new section is appended.
        const ProfileWrite addB = ProfileWrite::set(S("B"), S("x"), S("1"));
        QTest::newRow("new section, LF")
            << BYTES("[A]\nk=1\n") << addB << appendedVariants(BYTES("[A]\nk=1\n"), "\n", "[B]\nx=1\n");
        QTest::newRow("new section, CRLF")
            << BYTES("[A]\r\nk=1\r\n") << addB << appendedVariants(BYTES("[A]\r\nk=1\r\n"), "\r\n", "[B]\r\nx=1\r\n");
        QTest::newRow("new section, CR")
            << BYTES("[A]\rk=1\r") << addB << appendedVariants(BYTES("[A]\rk=1\r"), "\r", "[B]\rx=1\r");
        QTest::newRow("new section, no final line end")
            << BYTES("[A]\nk=1") << addB << appendedVariants(BYTES("[A]\nk=1"), "\n", "[B]\nx=1\n");
        QTest::newRow("new section, comment at the end")
            << BYTES("[A]\nk=1\n; end of file\n") << addB
            << appendedVariants(BYTES("[A]\nk=1\n; end of file\n"), "\n", "[B]\nx=1\n");
        QByteArrayList blankEnd = appendedVariants(BYTES("[A]\nk=1\n\n"), "\n", "[B]\nx=1\n");
        blankEnd << BYTES("[A]\nk=1\n[B]\nx=1\n"); // reusing the blank line is acceptable too
        QTest::newRow("new section, blank line at the end") << BYTES("[A]\nk=1\n\n") << addB << blankEnd;
        QByteArrayList empty = appendedVariants(QByteArray(), "\n", "[B]\nx=1\n");
        empty << appendedVariants(QByteArray(), "\r\n", "[B]\r\nx=1\r\n");
        QTest::newRow("new section, empty file") << QByteArray() << addB << empty;
        QTest::newRow("new section, similar names only")
            << BYTES("[B2]\n[AB]\n") << addB << appendedVariants(BYTES("[B2]\n[AB]\n"), "\n", "[B]\nx=1\n");

        // Names are found without regard to case and keep the spelling the file had.
        const QByteArray mixed = BYTES("[Section]\nMyKey=1\n[\xC3\x84rger]\nSchl\xC3\xBCssel=a\n");
        QTest::newRow("ascii names in other case") << mixed << ProfileWrite::set(S("SECTION"), S("mykey"), S("2"))
                                                   << only(BYTES("[Section]\nMyKey=2\n[\xC3\x84rger]\nSchl\xC3\xBCssel=a\n"));
        QTest::newRow("utf-8 names in other case") << mixed << ProfileWrite::set(S("ärger"), S("SCHLÜSSEL"), S("b"))
                                                   << only(BYTES("[Section]\nMyKey=1\n[\xC3\x84rger]\nSchl\xC3\xBCssel=b\n"));

        // Odd bytes elsewhere in the file stay as they are.
        QTest::newRow("nul bytes inside lines")
            << BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=1\n") << ProfileWrite::set(S("B"), S("x"), S("2"))
            << only(BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=2\n"));
        QTest::newRow("cp1252 file with utf-8 bytes") << BYTES("[A]\nk=caf\xC3\xA9\nz=\xE9\n")
                                                      << ProfileWrite::set(S("A"), S("z"), S("è"))
                                                      << only(BYTES("[A]\nk=caf\xC3\xA9\nz=\xE8\n"));

        // Deleting a key takes its line and nothing else.
        const auto delKey = [](const char *section, const char *key) {
            return ProfileWrite::removeKey(S(section), S(key));
        };
        QTest::newRow("delete key, LF") << BYTES("[A]\nk=1\nj=2\n") << delKey("A", "k") << only(BYTES("[A]\nj=2\n"));
        QTest::newRow("delete key, CRLF, comment kept")
            << BYTES("[A]\r\n;note\r\nk=1\r\nj=2\r\n") << delKey("A", "k") << only(BYTES("[A]\r\n;note\r\nj=2\r\n"));
        QTest::newRow("delete key, CR") << BYTES("[A]\rk=1\rj=2\r") << delKey("A", "j") << only(BYTES("[A]\rk=1\r"));
        QTest::newRow("delete key, other case, spaced")
            << BYTES("[A]\n  Key = 1  \nj=2\n") << delKey("a", "KEY") << only(BYTES("[A]\nj=2\n"));
        QTest::newRow("delete key, only in its own section")
            << BYTES("[A]\nk=1\n[B]\nk=2\n") << delKey("B", "k") << only(BYTES("[A]\nk=1\n[B]\n"));
        QTest::newRow("delete key, blank lines kept")
            << BYTES("[A]\nk=1\n\nj=2\n\n[B]\n") << delKey("A", "j") << only(BYTES("[A]\nk=1\n\n\n[B]\n"));
        QTest::newRow("delete key, bom kept")
            << BYTES("\xEF\xBB\xBF[A]\nk=1\nj=2\n") << delKey("A", "k") << only(BYTES("\xEF\xBB\xBF[A]\nj=2\n"));
        QTest::newRow("delete key, cp1252 kept")
            << BYTES("[A]\nk=1\nj=caf\xE9\n") << delKey("A", "k") << only(BYTES("[A]\nj=caf\xE9\n"));

        // Deleting a section takes its header and lines up to the next header.
        const auto delSection = [](const char *section) { return ProfileWrite::removeSection(S(section)); };
        QTest::newRow("delete section, first")
            << BYTES("[A]\nk=1\n[B]\nj=2\n") << delSection("A") << only(BYTES("[B]\nj=2\n"));
        QTest::newRow("delete section, middle, with its comments")
            << BYTES("[A]\nk=1\n[B]\n;about B\nj=2\nflag\n[C]\nm=3\n") << delSection("b")
            << only(BYTES("[A]\nk=1\n[C]\nm=3\n"));
        QTest::newRow("delete section, last, no final line end")
            << BYTES("[A]\nk=1\n[B]\nj=2") << delSection("B") << only(BYTES("[A]\nk=1\n"));
        QTest::newRow("delete section, CRLF")
            << BYTES("[A]\r\nk=1\r\n[B]\r\nj=2\r\n[C]\r\n") << delSection("B") << only(BYTES("[A]\r\nk=1\r\n[C]\r\n"));
        QTest::newRow("delete section, header with trailing text")
            << BYTES("[A] old\nk=1\n[B]\n") << delSection("A") << only(BYTES("[B]\n"));
        QTest::newRow("delete section, leading comment of file kept")
            << BYTES("; top\n[A]\nk=1\n") << delSection("A") << only(BYTES("; top\n"));
        QTest::newRow("delete section, bom kept")
            << BYTES("\xEF\xBB\xBF[A]\nk=1\n[B]\n") << delSection("A") << only(BYTES("\xEF\xBB\xBF[B]\n"));
    }

    void editChangesOnlyItsLines()
    {
        QFETCH(QByteArray, file);
        QFETCH(ProfileWrite, change);
        QFETCH(QByteArrayList, allowed);
        using Kind = ProfileWrite::Kind;

        ProfileEngine &engine = given(file);
        const QStringList sections = engine.sectionNames(path());
        const bool hadSection = engine.hasSection(path(), change.section);
        const Values before = readableValues(engine, path());
        const TextEncoding encoding = engine.fileEncoding(path());
        if (change.kind == Kind::DeleteKey)
            QVERIFY(engine.value(path(), change.section, change.key).has_value());
        if (change.kind == Kind::DeleteSection)
            QVERIFY(hadSection);

        VERIFY_OK(apply(engine, path(), change, &error));
        if (allowed.size() == 1)
            COMPARE_BYTES(readFile(path()), allowed.first());
        else
            VERIFY_ONE_OF(readFile(path()), allowed);

        QCOMPARE(engine.fileEncoding(path()), encoding);
        ProfileEngine fresh; // reads the file anew and agrees
        switch (change.kind) {
        case Kind::SetValue:
            COMPARE_VALUE(engine.value(path(), change.section, change.key), change.value);
            COMPARE_VALUE(fresh.value(path(), change.section, change.key), change.value);
            QCOMPARE(engine.sectionNames(path()), hadSection ? sections : sections + QStringList{change.section});
            break;
        case Kind::DeleteKey:
            VERIFY_NOT_FOUND(engine.value(path(), change.section, change.key));
            VERIFY_NOT_FOUND(fresh.value(path(), change.section, change.key));
            break;
        case Kind::DeleteSection:
            QVERIFY(!engine.hasSection(path(), change.section));
            QVERIFY(!fresh.hasSection(path(), change.section));
            break;
        }
        for (const auto &[section, key, value] : before) {
            if (sameName(section, change.section) && (change.kind == Kind::DeleteSection || sameName(key, change.key)))
                continue;
            COMPARE_VALUE(engine.value(path(), section, key), value);
        }
    }

    void addThenDeleteGivesBackTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << BYTES("[A]\nk=1\n\n[B]\nx=1\n");
        QTest::newRow("CRLF") << BYTES("; c\r\n[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n");
        QTest::newRow("CR") << BYTES("[A]\rk=1\r\r[B]\rx=1\r");
        QTest::newRow("mixed, CR first") << BYTES("[A]\rk=1\n\n[B]\nx=1\n");
        QTest::newRow("mixed, LF first") << BYTES("[A]\nk=1\r\n\r\n[B]\rx=1\r");
        QTest::newRow("bom, spaced") << BYTES("\xEF\xBB\xBF  [A]  \r\n  k = 1  \r\n \t \r\n[B]\r\n");
        QTest::newRow("cp1252") << BYTES("[A]\nk=caf\xE9\n\n[B]\n");
    }

    void addThenDeleteGivesBackTheFile()
    {
        QFETCH(QByteArray, file);
        ProfileEngine &engine = given(file);
        VERIFY_OK(engine.writeString(path(), S("A"), S("added"), S("1"), &error));
        VERIFY_OK(engine.deleteKey(path(), S("A"), S("added"), &error));
        COMPARE_BYTES(readFile(path()), file);

        VERIFY_OK(engine.writeString(path(), S("Added"), S("k"), S("1"), &error));
        VERIFY_OK(engine.deleteSection(path(), S("Added"), &error));
        // A blank line put in front of the new section may stay behind.
        VERIFY_ONE_OF(readFile(path()), (QByteArrayList{file, file + "\n", file + "\r\n", file + "\r"}));
    }

    void newFileIsUtf8WithoutBom()
    {
        const QString file = path(QStringLiteral("new.ini"));
        QVERIFY(!QFile::exists(file));
        ProfileEngine engine;
        QCOMPARE(engine.fileEncoding(file), TextEncoding::Utf8);
        VERIFY_OK(engine.writeString(file, S("Général"), S("clé"), S("café 漢"), &error));
        const QByteArray bytes = readFile(file);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(isValidUtf8(bytes));
        QByteArray normal = bytes;
        normal.replace("\r\n", "\n");
        QVERIFY2(normal == BYTES("[G\xC3\xA9n\xC3\xA9ral]\ncl\xC3\xA9=caf\xC3\xA9 \xE6\xBC\xA2\n")
                     || normal == BYTES("[G\xC3\xA9n\xC3\xA9ral]\ncl\xC3\xA9=caf\xC3\xA9 \xE6\xBC\xA2"),
                 ("got: " + shown(bytes)).constData());
        QCOMPARE(engine.fileEncoding(file), TextEncoding::Utf8);

        ProfileEngine fresh;
        COMPARE_VALUE(fresh.value(file, S("GÉNÉRAL"), S("CLÉ")), S("café 漢"));
    }

    void writtenValuesReadBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArrayList>("storedLines");

        QTest::newRow("plain") << S("hello world") << QByteArrayList{BYTES("k=hello world")};
        QTest::newRow("contains =") << S("a=b=c") << QByteArrayList{BYTES("k=a=b=c")};
        QTest::newRow("contains ; and #") << S("a;b#c") << QByteArrayList{BYTES("k=a;b#c")};
        QTest::newRow("contains [ ]") << S("[x]") << QByteArrayList{BYTES("k=[x]")};
        QTest::newRow("empty") << S("") << QByteArrayList{BYTES("k=")};
        QTest::newRow("unicode") << S("Ärger € 😀") << QByteArrayList{BYTES("k=\xC3\x84rger \xE2\x82\xAC \xF0\x9F\x98\x80")};
        QTest::newRow("path") << S("C:\\Program Files\\Fetchora\\") << QByteArrayList{BYTES("k=C:\\Program Files\\Fetchora\\")};
        QTest::newRow("one quote") << S("\"") << QByteArrayList{BYTES("k=\"")};
        QTest::newRow("mismatched quotes") << S("\"a'") << QByteArrayList{BYTES("k=\"a'")};
        QTest::newRow("quote inside") << S("say \"hi\" now") << QByteArrayList{BYTES("k=say \"hi\" now")};
        // Values a reader would change (enclosing quotes taken off, blanks at the ends
        // trimmed) must still read back exactly as written, so they are stored inside
        // one more pair of quotes.
        QTest::newRow("wholly double-quoted")
            << S("\"q\"") << QByteArrayList{BYTES("k=\"\"q\"\""), BYTES("k='\"q\"'")};
        QTest::newRow("wholly single-quoted")
            << S("'q'") << QByteArrayList{BYTES("k=\"'q'\""), BYTES("k=''q''")};
        QTest::newRow("blanks at both ends")
            << S("  padded\t") << QByteArrayList{BYTES("k=\"  padded\t\""), BYTES("k='  padded\t'")};
        QTest::newRow("trailing blank") << S("x ") << QByteArrayList{BYTES("k=\"x \""), BYTES("k='x '")};
        QTest::newRow("only blanks") << S("   ") << QByteArrayList{BYTES("k=\"   \""), BYTES("k='   '")};
    }

    void writtenValuesReadBack()
    {
        QFETCH(QString, value);
        QFETCH(QByteArrayList, storedLines);

        ProfileEngine &engine = given(BYTES("[A]\nother=1\n"));
        VERIFY_OK(engine.writeString(path(), S("A"), S("k"), value, &error));
        const QByteArray got = readFile(path());
        QByteArrayList allowed;
        for (const QByteArray &line : storedLines)
            allowed << "[A]\nother=1\n" + line + "\n";
        VERIFY_ONE_OF(got, allowed);
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), value);
        COMPARE_VALUE(engine.value(path(), S("A"), S("other")), S("1"));
        ProfileEngine fresh;
        COMPARE_VALUE(fresh.value(path(), S("a"), S("K")), value);

        // Writing it again is no change at all.
        QVERIFY(setModified(path(), oldTime()));
        QVERIFY(engine.writeString(path(), S("A"), S("k"), value));
        QCOMPARE(modified(path()), oldTime());
        COMPARE_BYTES(readFile(path()), got);
    }

    // Writing a value a key already has, or deleting what is not there, leaves
    // the file alone: not a byte and not its time changes.
    void noChangeLeavesFileAlone_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<ProfileWrite>("change");

        const auto same = [](const char *section, const char *key, const char *value) {
            return ProfileWrite::set(S(section), S(key), S(value));
        };
        QTest::newRow("same value") << BYTES("[A]\nk=1\n") << same("A", "k", "1");
        QTest::newRow("names in other case") << BYTES("[A]\nKey=1\n") << same("a", "KEY", "1");
        QTest::newRow("spaced line") << BYTES("[A]\r\n  k  =  1  \r\n") << same("A", "k", "1");
        QTest::newRow("empty value") << BYTES("[A]\nk=\n") << same("A", "k", "");
        QTest::newRow("stored in double quotes") << BYTES("[A]\nk=\"abc\"\n") << same("A", "k", "abc");
        QTest::newRow("stored in single quotes") << BYTES("[A]\nk = 'a b' \n") << same("A", "k", "a b");
        QTest::newRow("cp1252 value") << BYTES("[A]\nk=caf\xE9\n") << same("A", "k", "café");
        QTest::newRow("utf-8 value with bom") << BYTES("\xEF\xBB\xBF[A]\nk=caf\xC3\xA9") << same("A", "k", "café");

        const QByteArray file = BYTES("[A]\nk=1\n;j=0\nflag\n");
        QTest::newRow("delete a missing key") << file << ProfileWrite::removeKey(S("A"), S("missing"));
        QTest::newRow("delete a key only commented out") << file << ProfileWrite::removeKey(S("A"), S("j"));
        QTest::newRow("delete a key of a missing section") << file << ProfileWrite::removeKey(S("Missing"), S("k"));
        QTest::newRow("delete a missing section") << file << ProfileWrite::removeSection(S("Missing"));
    }

    void noChangeLeavesFileAlone()
    {
        QFETCH(QByteArray, file);
        QFETCH(ProfileWrite, change);

        ProfileEngine &engine = given(file);
        QVERIFY(setModified(path(), oldTime()));
        QCOMPARE(modified(path()), oldTime());
        VERIFY_OK(apply(engine, path(), change, &error));
        VERIFY_OK(engine.write(path(), {change, change}, &error));
        VERIFY_OK(engine.write(path(), {}, &error));
        COMPARE_BYTES(readFile(path()), file);
        QCOMPARE(modified(path()), oldTime());
    }

    // Writes that would change the meaning of a line, or that the file's encoding
    // cannot hold, are refused and change nothing.
    void refusedWrites_data()
    {
        QTest::addColumn<bool>("cp1252"); // the file is "[A] k=café" in Windows-1252, else "[A] k=1"
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        QTest::newRow("LF in value") << false << S("A") << S("k") << S("two\nlines");
        QTest::newRow("CR in value") << false << S("A") << S("k") << S("two\rlines");
        QTest::newRow("CRLF in value") << false << S("A") << S("k") << S("two\r\nlines");
        QTest::newRow("LF at end of value") << false << S("A") << S("k") << S("v\n");
        QTest::newRow("LF in key") << false << S("A") << S("a\nb") << S("v");
        QTest::newRow("CR in key") << false << S("A") << S("a\rb") << S("v");
        QTest::newRow("LF in section") << false << S("A\nB") << S("k") << S("v");
        QTest::newRow("CR in section") << false << S("A\rB") << S("k") << S("v");
        QTest::newRow("= in key") << false << S("A") << S("a=b") << S("v");
        QTest::newRow("key starts with [") << false << S("A") << S("[x") << S("v");
        QTest::newRow("key starts with ;") << false << S("A") << S(";x") << S("v");
        QTest::newRow("new key with LF in value") << false << S("A") << S("new") << S("a\nb");
        QTest::newRow("new section with LF in value") << false << S("New") << S("new") << S("a\nb");
        QTest::newRow("cp1252 file, value") << true << S("A") << S("k") << S("漢");
        QTest::newRow("cp1252 file, value of a new key") << true << S("A") << S("new") << S("café 漢");
        QTest::newRow("cp1252 file, key") << true << S("A") << S("漢") << S("1");
        QTest::newRow("cp1252 file, section") << true << S("漢") << S("k") << S("1");
        QTest::newRow("cp1252 file, emoji") << true << S("A") << S("k") << S("😀");
    }

    void refusedWrites()
    {
        QFETCH(bool, cp1252);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);

        const QByteArray file = cp1252 ? BYTES("[A]\nk=caf\xE9\n") : BYTES("[A]\nk=1\n");
        ProfileEngine &engine = given(file);
        QVERIFY(setModified(path(), oldTime()));

        VERIFY_REFUSED(engine.writeString(path(), section, key, value, &error));
        VERIFY_REFUSED(engine.write(path(), {ProfileWrite::set(section, key, value)}, &error));
        // Without a place for the reason the answer is the same.
        QVERIFY(!engine.writeString(path(), section, key, value));

        COMPARE_BYTES(readFile(path()), file);
        QCOMPARE(modified(path()), oldTime());
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), cp1252 ? S("café") : S("1"));

        // A line that would break the file is refused for a file that does not
        // exist yet, too, which stays absent. (A new file is UTF-8 and holds any character.)
        if (!cp1252) {
            const QString missing = path(QStringLiteral("missing.ini"));
            VERIFY_REFUSED(engine.writeString(missing, section, key, value, &error));
            QVERIFY(!QFileInfo::exists(missing));
        }
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("test.ini")});
    }

    void batchWrite()
    {
        ProfileEngine &engine = given(BYTES("; top\n[A]\nk=1\nj=2\n[B]\nx=1\n[C]\ny=1\n"));
        const QList<ProfileWrite> changes = {
            ProfileWrite::set(S("A"), S("k"), S("10")),
            ProfileWrite::removeKey(S("A"), S("j")),
            ProfileWrite::set(S("B"), S("new"), S("5")),
            ProfileWrite::removeSection(S("C")),
            ProfileWrite::set(S("D"), S("d"), S("1")),
            ProfileWrite::set(S("D"), S("e"), S("2")),
        };
        VERIFY_OK(engine.write(path(), changes, &error));
        const QByteArray kept = BYTES("; top\n[A]\nk=10\n[B]\nx=1\nnew=5\n");
        VERIFY_ONE_OF(readFile(path()), (QByteArrayList{kept + "[D]\nd=1\ne=2\n", kept + "\n[D]\nd=1\ne=2\n"}));
        QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B"), S("D")}));
        COMPARE_VALUE(engine.value(path(), S("D"), S("e")), S("2"));
    }

    void batchWriteAppliesChangesInOrder()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n[B]\nx=1\n"));
        VERIFY_OK(engine.write(path(),
                               {
                                   ProfileWrite::set(S("A"), S("k"), S("2")),
                                   ProfileWrite::set(S("A"), S("k"), S("3")),
                                   ProfileWrite::removeKey(S("B"), S("x")),
                                   ProfileWrite::set(S("B"), S("x"), S("back")),
                                   ProfileWrite::set(S("E"), S("z"), S("1")),
                                   ProfileWrite::removeSection(S("E")),
                               },
                               &error));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("3"));
        COMPARE_VALUE(engine.value(path(), S("B"), S("x")), S("back"));
        QVERIFY(!engine.hasSection(path(), S("E")));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=3\n[B]\nx=back\n"));
    }

    void batchWriteIsAllOrNothing()
    {
        const QByteArray file = BYTES("[A]\nk=1\n[B]\nx=1\n");
        ProfileEngine &engine = given(file);
        QVERIFY(setModified(path(), oldTime()));

        const QList<QList<ProfileWrite>> batches = {
            {ProfileWrite::set(S("A"), S("k"), S("changed")), ProfileWrite::set(S("A"), S("bad=key"), S("1"))},
            {ProfileWrite::removeSection(S("B")), ProfileWrite::set(S("A"), S("x"), S("line\nbreak"))},
            {ProfileWrite::set(S("New"), S("n"), S("1")), ProfileWrite::removeKey(S("A"), S("k")),
             ProfileWrite::set(S("A"), S(";c"), S("1"))},
            {ProfileWrite::set(S("A\nB"), S("k"), S("1")), ProfileWrite::set(S("A"), S("k"), S("2"))},
        };
        for (const auto &batch : batches) {
            VERIFY_REFUSED(engine.write(path(), batch, &error));
            COMPARE_BYTES(readFile(path()), file);
            QCOMPARE(modified(path()), oldTime());
        }
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B")}));
    }

    void noTemporaryFilesLeftBehind()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        QVERIFY(engine.writeString(path(), S("A"), S("k"), S("2")));
        QVERIFY(engine.writeString(path(), S("B"), S("k"), S("2")));
        QVERIFY(engine.deleteKey(path(), S("A"), S("k")));
        QVERIFY(engine.deleteSection(path(), S("A")));
        QVERIFY(!engine.writeString(path(), S("A"), S("a=b"), S("2")));
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("test.ini")});
    }

    // ---- Failure paths of the atomic replace

    void writeIntoReadOnlyFolderFails()
    {
        if (runningAsRoot())
            QSKIP("running as root: folder permissions do not stop writing");

        const QString folder = path(QStringLiteral("locked"));
        const QString file = folder + QStringLiteral("/settings.ini");
        const QByteArray original = BYTES("[A]\nk=1\n");
        ProfileEngine &engine = given(original, QStringLiteral("locked/settings.ini"));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        auto restore = qScopeGuard([&] {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });

        VERIFY_REFUSED(engine.writeString(file, S("A"), S("k"), S("2"), &error));
        COMPARE_BYTES(readFile(file), original);
        COMPARE_VALUE(engine.value(file, S("A"), S("k")), S("1"));

        const QString newFile = folder + QStringLiteral("/new.ini");
        VERIFY_REFUSED(engine.writeString(newFile, S("A"), S("k"), S("2"), &error));
        QVERIFY(!QFileInfo::exists(newFile));
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("settings.ini")});
    }

    void writeBelowAPlainFileFails()
    {
        // A folder that cannot hold anything, even for root: its "parent" is a file.
        const QByteArray original = BYTES("[A]\nk=1\n");
        ProfileEngine &engine = given(original, QStringLiteral("plain"));
        VERIFY_REFUSED(engine.writeString(path(QStringLiteral("plain/settings.ini")), S("A"), S("k"), S("2"), &error));
        COMPARE_BYTES(readFile(path(QStringLiteral("plain"))), original);
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("plain")});
    }

    void folderInPlaceOfFile()
    {
        const QString folder = path(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        QVERIFY(writeFile(folder + QStringLiteral("/inside.txt"), "keep"));
        ProfileEngine engine;
        verifyReadsAsEmpty(engine, folder);
        VERIFY_REFUSED(engine.writeString(folder, S("A"), S("k"), S("1"), &error));
        VERIFY_REFUSED(engine.write(folder, {ProfileWrite::set(S("A"), S("k"), S("1"))}, &error));
        QVERIFY(QFileInfo(folder + QStringLiteral("/sub")).isDir());
        QCOMPARE(readFile(folder + QStringLiteral("/inside.txt")), QByteArray("keep"));
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("settings.ini")});
    }

    void writeKeepsFilePermissions()
    {
#ifdef Q_OS_UNIX
        // A settings file kept private by its owner must stay private after a save.
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        const auto privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser;
        QVERIFY(QFile::setPermissions(path(), privateMode));
        QVERIFY(engine.writeString(path(), S("A"), S("k"), S("2")));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=2\n"));
        QCOMPARE(QFileInfo(path()).permissions(), privateMode);
#else
        QSKIP("file modes are a Unix matter");
#endif
    }

    void writeThroughSymlinkChangesTarget()
    {
#ifdef Q_OS_UNIX
        const QString target = path(QStringLiteral("real.ini"));
        const QString link = path(QStringLiteral("link.ini"));
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"), QStringLiteral("real.ini"));
        QVERIFY(QFile::link(target, link));
        COMPARE_VALUE(engine.value(link, S("A"), S("k")), S("1"));
        VERIFY_OK(engine.writeString(link, S("A"), S("k"), S("2"), &error));
        QVERIFY(QFileInfo(link).isSymLink());
        COMPARE_BYTES(readFile(target), BYTES("[A]\nk=2\n"));
        COMPARE_VALUE(engine.value(target, S("A"), S("k")), S("2"));
        COMPARE_VALUE(engine.value(link, S("A"), S("k")), S("2"));
#else
        QSKIP("symbolic links are a Unix matter here");
#endif
    }

    // ---- Keeping the parse

    void parseKeptWhileFileUnchanged()
    {
        QVERIFY(writeFile(path(QStringLiteral("other.ini")), BYTES("[O]\no=1\n")));
        ProfileEngine &engine = given(BYTES("[A]\nk=1\nj=2\n[B]\nx=1\n"));
        QCOMPARE(engine.parseCount(), 0);

        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        const int afterFirst = engine.parseCount();
        QCOMPARE(afterFirst, 1);

        for (int i = 0; i < 5; ++i) {
            COMPARE_VALUE(engine.value(path(), S("A"), S("j")), S("2"));
            QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B")}));
            QVERIFY(engine.hasSection(path(), S("B")));
            QCOMPARE(engine.keyNames(path(), S("A")), (QStringList{S("k"), S("j")}));
            QCOMPARE(engine.sectionLines(path(), S("B")).size(), 1);
            QCOMPARE(engine.sectionText(path(), S("B")), QStringList{S("x=1")});
            QCOMPARE(engine.readString(path(), S("A"), S("zz"), S("d")), S("d"));
            QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8);
        }
        QCOMPARE(engine.parseCount(), afterFirst);

        // A second file has its own kept parse; switching between them parses neither again.
        COMPARE_VALUE(engine.value(path(QStringLiteral("other.ini")), S("O"), S("o")), S("1"));
        QCOMPARE(engine.parseCount(), afterFirst + 1);
        for (int i = 0; i < 3; ++i) {
            COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
            COMPARE_VALUE(engine.value(path(QStringLiteral("other.ini")), S("O"), S("o")), S("1"));
        }
        QCOMPARE(engine.parseCount(), afterFirst + 1);
    }

    void changeByAnotherWriterIsSeen()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        QVERIFY(setModified(path(), oldTime()));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        int count = engine.parseCount();

        // Different size, same time.
        QVERIFY(writeFile(path(), BYTES("[A]\nk=22\n")));
        QVERIFY(setModified(path(), oldTime()));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("22"));
        QCOMPARE(engine.parseCount(), count + 1);
        count = engine.parseCount();
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("22"));
        QCOMPARE(engine.parseCount(), count);

        // Same size, different time.
        QVERIFY(writeFile(path(), BYTES("[A]\nk=33\n")));
        QVERIFY(setModified(path(), oldTime().addSecs(60)));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("33"));
        QCOMPARE(engine.parseCount(), count + 1);
        count = engine.parseCount();

        // A new section added by hand shows in every kind of read.
        QVERIFY(writeFile(path(), BYTES("[A]\nk=33\n[Hand]\nh=1\n")));
        QVERIFY(engine.hasSection(path(), S("Hand")));
        QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("Hand")}));
        QCOMPARE(engine.keyNames(path(), S("Hand")), QStringList{S("h")});
        QCOMPARE(engine.parseCount(), count + 1);

        // A change of encoding by the other writer is seen too.
        QVERIFY(writeFile(path(), BYTES("[A]\nk=caf\xE9\n")));
        QVERIFY(setModified(path(), oldTime().addSecs(120)));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("café"));
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
    }

    void writeAfterAnotherWriterKeepsTheirChange()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        QVERIFY(setModified(path(), oldTime()));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));

        // Someone edits the file (same size, new time) between the read and the write.
        QVERIFY(writeFile(path(), BYTES("[A]\nk=9\n")));
        QVERIFY(setModified(path(), oldTime().addSecs(30)));
        QVERIFY(engine.writeString(path(), S("A"), S("j"), S("2")));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=9\nj=2\n"));

        // And again with a different size and the time the engine last wrote.
        const QDateTime stamp = modified(path());
        QVERIFY(writeFile(path(), BYTES("[A]\nk=9\nj=2\n[Hand]\nh=1\n")));
        QVERIFY(setModified(path(), stamp));
        QVERIFY(engine.writeString(path(), S("A"), S("j"), S("3")));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=9\nj=3\n[Hand]\nh=1\n"));
    }

    void forgetAndClearDropTheParse()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        const int count = engine.parseCount();

        engine.forget(path());
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        QCOMPARE(engine.parseCount(), count + 1);

        engine.forget(path(QStringLiteral("never-read.ini")));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        QCOMPARE(engine.parseCount(), count + 1);

        engine.clear();
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        QCOMPARE(engine.parseCount(), count + 2);
    }

    void deletedFileIsSeen()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
        QVERIFY(QFile::remove(path()));
        verifyReadsAsEmpty(engine, path());

        QVERIFY(writeFile(path(), BYTES("[A]\nk=2\n")));
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("2"));
    }

    // ---- Encodings

    void fileEncoding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<TextEncoding>("expected");
        QTest::newRow("ascii") << BYTES("[A]\nk=1\n") << TextEncoding::Utf8;
        QTest::newRow("utf-8") << BYTES("[A]\nk=caf\xC3\xA9\n") << TextEncoding::Utf8;
        QTest::newRow("utf-8 with bom") << BYTES("\xEF\xBB\xBF[A]\nk=1\n") << TextEncoding::Utf8Bom;
        QTest::newRow("cp1252") << BYTES("[A]\nk=caf\xE9\n") << TextEncoding::Windows1252;
        QTest::newRow("utf-8 up to one cp1252 byte at the end") << BYTES("[A]\nk=caf\xC3\xA9\nz=\xE9\n")
                                                               << TextEncoding::Windows1252;
        QTest::newRow("empty") << QByteArray() << TextEncoding::Utf8;
    }

    void fileEncoding()
    {
        QFETCH(QByteArray, file);
        QFETCH(TextEncoding, expected);
        ProfileEngine &engine = given(file);
        QCOMPARE(engine.fileEncoding(path()), expected);
        QCOMPARE(engine.fileEncoding(path(QStringLiteral("missing.ini"))), TextEncoding::Utf8);
    }

    void windows1252FileReadAndWritten()
    {
        const QByteArray file = BYTES("[\xC4rger]\r\nk=caf\xE9\r\neuro=\x80\r\nq=\x93quoted\x94\r\n");
        ProfileEngine &engine = given(file);
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
        QCOMPARE(engine.sectionNames(path()), QStringList{S("Ärger")});
        COMPARE_VALUE(engine.value(path(), S("ÄRGER"), S("k")), S("café"));
        COMPARE_VALUE(engine.value(path(), S("ärger"), S("euro")), S("€"));
        COMPARE_VALUE(engine.value(path(), S("Ärger"), S("q")), S("“quoted”"));

        VERIFY_OK(engine.writeString(path(), S("Ärger"), S("new"), S("thé €"), &error));
        COMPARE_BYTES(readFile(path()), file + BYTES("new=th\xE9 \x80\r\n"));

        VERIFY_OK(engine.writeString(path(), S("Ärger"), S("k"), S("crème"), &error));
        QByteArray expected = file + BYTES("new=th\xE9 \x80\r\n");
        expected.replace(BYTES("k=caf\xE9"), BYTES("k=cr\xE8me"));
        COMPARE_BYTES(readFile(path()), expected);

        VERIFY_OK(engine.writeString(path(), S("Neu"), S("Schlüssel"), S("Größe"), &error));
        VERIFY_ONE_OF(readFile(path()), (QByteArrayList{expected + BYTES("[Neu]\r\nSchl\xFCssel=Gr\xF6\xDF" "e\r\n"),
                                                        expected + BYTES("\r\n[Neu]\r\nSchl\xFCssel=Gr\xF6\xDF" "e\r\n")}));
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
        COMPARE_VALUE(engine.value(path(), S("NEU"), S("SCHLÜSSEL")), S("Größe"));
    }

    void utf8FileWritten()
    {
        ProfileEngine &engine = given(BYTES("[A]\nk=1\n"));
        VERIFY_OK(engine.writeString(path(), S("A"), S("new"), S("café"), &error));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=1\nnew=caf\xC3\xA9\n"));
        VERIFY_OK(engine.writeString(path(), S("A"), S("k"), S("漢字 😀"), &error));
        COMPARE_BYTES(readFile(path()), BYTES("[A]\nk=\xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80\nnew=caf\xC3\xA9\n"));
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8);
        ProfileEngine fresh;
        COMPARE_VALUE(fresh.value(path(), S("a"), S("K")), S("漢字 😀"));
    }

    void bomKeptOnWrite()
    {
        ProfileEngine &engine = given(BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\n"));
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8Bom);
        VERIFY_OK(engine.writeString(path(), S("A"), S("k"), S("é"), &error));
        COMPARE_BYTES(readFile(path()), BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n"));

        VERIFY_OK(engine.writeString(path(), S("B"), S("x"), S("1"), &error));
        VERIFY_ONE_OF(readFile(path()), (QByteArrayList{BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n[B]\r\nx=1\r\n"),
                                                        BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n\r\n[B]\r\nx=1\r\n")}));

        // Deleting the first section must not take the mark with it.
        VERIFY_OK(engine.deleteSection(path(), S("A"), &error));
        QVERIFY(readFile(path()).startsWith("\xEF\xBB\xBF"));
        QCOMPARE(readFile(path()).count("\xEF\xBB\xBF"), 1);
        QCOMPARE(engine.sectionNames(path()), QStringList{S("B")});
        QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8Bom);
    }

    // ---- Bad input

    void missingFile()
    {
        const QString missing = path(QStringLiteral("missing.ini"));
        ProfileEngine engine;
        verifyReadsAsEmpty(engine, missing);
        // Deleting from it does not create it.
        VERIFY_OK(engine.deleteKey(missing, S("A"), S("k"), &error));
        VERIFY_OK(engine.deleteSection(missing, S("A"), &error));
        QVERIFY(!QFileInfo::exists(missing));

        // The first write creates it.
        QVERIFY(engine.writeString(missing, S("A"), S("k"), S("1")));
        COMPARE_VALUE(engine.value(missing, S("A"), S("k")), S("1"));

        // A file in a folder that does not exist reads as empty as well.
        VERIFY_NOT_FOUND(engine.value(path(QStringLiteral("nofolder/x.ini")), S("A"), S("k")));
    }

    void unreadableFile()
    {
        if (runningAsRoot())
            QSKIP("running as root: file permissions do not stop reading");

        const QByteArray original = BYTES("[A]\nk=1\n");
        ProfileEngine &engine = given(original);
        QVERIFY(QFile::setPermissions(path(), QFileDevice::Permissions()));
        auto restore = qScopeGuard([&] {
            QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        });
        verifyReadsAsEmpty(engine, path());

        // The program cannot see what is in the file, so it must not replace it.
        VERIFY_REFUSED(engine.writeString(path(), S("B"), S("x"), S("1"), &error));
        restore.dismiss();
        QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        COMPARE_BYTES(readFile(path()), original);
    }

    void megabyteLine()
    {
        QByteArray big;
        big.reserve(1 << 20);
        for (int i = 0; i < (1 << 20); ++i)
            big.append(char('0' + i % 10));
        big.append("END");
        const QByteArray file = "[A]\r\nbig=" + big + "\r\nafter=1\r\n[B]\r\nx=1\r\n";
        ProfileEngine &engine = given(file);

        const auto got = engine.value(path(), S("A"), S("big"));
        QVERIFY(got.has_value());
        QCOMPARE(got->size(), big.size());
        QVERIFY(*got == QString::fromLatin1(big));
        COMPARE_VALUE(engine.value(path(), S("A"), S("after")), S("1"));

        QVERIFY(engine.writeString(path(), S("B"), S("x"), S("2")));
        QByteArray expected = file;
        expected.replace(BYTES("x=1"), BYTES("x=2"));
        QVERIFY(readFile(path()) == expected);
    }

    void fiftyMegabyteFile()
    {
        const qsizetype target = 50 * 1024 * 1024;
        QByteArray data;
        data.reserve(target + 4096);
        data += "[First]\r\nkey=first value\r\n";
        int sections = 0;
        while (data.size() < target) {
            data += "[Section" + QByteArray::number(sections) + "]\r\n";
            for (int k = 0; k < 8; ++k)
                data += "Key" + QByteArray::number(k) + "=some moderately long value to fill the file, number "
                        + QByteArray::number(sections) + "\r\n";
            ++sections;
        }
        data += "[Last]\r\nkey=last value\r\n";
        ProfileEngine &engine = given(data);
        QVERIFY(QFileInfo(path()).size() >= target);

        COMPARE_VALUE(engine.value(path(), S("First"), S("key")), S("first value"));
        COMPARE_VALUE(engine.value(path(), S("Last"), S("key")), S("last value"));
        const int middle = sections / 2;
        COMPARE_VALUE(engine.value(path(), S("section%1").arg(middle), S("KEY7")),
                      S("some moderately long value to fill the file, number %1").arg(middle));
        const QStringList names = engine.sectionNames(path());
        QCOMPARE(names.size(), sections + 2);
        QCOMPARE(names.first(), S("First"));
        QCOMPARE(names.last(), S("Last"));

        QVERIFY(engine.writeString(path(), S("Last"), S("key"), S("changed")));
        QByteArray expected = data;
        expected.chop(int(sizeof("last value\r\n") - 1));
        expected += "changed\r\n";
        const QByteArray got = readFile(path());
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);
        COMPARE_VALUE(engine.value(path(), S("First"), S("key")), S("first value"));
    }

    void randomBinaryBytes_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("size");
        QTest::newRow("seed 1, 64 KiB") << quint32(1) << 64 * 1024;
        QTest::newRow("seed 2, 1 KiB") << quint32(2) << 1024;
        QTest::newRow("seed 3, 256 KiB") << quint32(3) << 256 * 1024;
        QTest::newRow("seed 4, 7 bytes") << quint32(4) << 7;
    }

    void randomBinaryBytes()
    {
        QFETCH(quint32, seed);
        QFETCH(int, size);
        QRandomGenerator gen(seed);
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            data[i] = char(gen.bounded(256));
        ProfileEngine &engine = given(data);

        const QStringList names = engine.sectionNames(path());
        for (const QString &name : names) {
            engine.sectionLines(path(), name);
            engine.sectionText(path(), name);
        }
        const Values before = readableValues(engine, path());
        engine.value(path(), S("A"), S("k"));

        VERIFY_OK(engine.writeString(path(), S("Fetchora"), S("Key"), S("Value"), &error));
        const QByteArray got = readFile(path());
        QVERIFY2(got.startsWith(data), "the bytes that were there are no longer intact");
        QVERIFY(got.size() > data.size());
        COMPARE_VALUE(engine.value(path(), S("Fetchora"), S("Key")), S("Value"));
        QCOMPARE(engine.sectionNames(path()), names + QStringList{S("Fetchora")});

        ProfileEngine fresh;
        for (const auto &[name, key, value] : before)
            COMPARE_VALUE(fresh.value(path(), name, key), value);
    }

    void randomIniLikeBytes()
    {
        // Small files made only of the characters the parser cares about, so that
        // every odd mix of brackets, "=", ";", quotes, blanks, line ends, NUL and
        // non-ASCII bytes turns up. After adding a key to the first section and a new
        // section at the end, everything that could be read before reads the same and
        // removing the added line gives back the original bytes.
        const QByteArray pool = BYTES("[[]]==;\"' \t\r\n\n\r\nab\0\x80\xE9\xC3\xA9");
        QRandomGenerator gen(777);
        for (int round = 0; round < 200; ++round) {
            const int len = int(gen.bounded(0, 300));
            QByteArray data;
            for (int i = 0; i < len; ++i)
                data.append(pool.at(int(gen.bounded(pool.size()))));
            const QString file = path(QStringLiteral("fuzz%1.ini").arg(round));
            ProfileEngine &engine = given(data, QStringLiteral("fuzz%1.ini").arg(round));
            const QStringList names = engine.sectionNames(file);
            const Values known = readableValues(engine, file);

            const QString where = QStringLiteral("round %1, file: %2").arg(round).arg(QString::fromLatin1(shown(data)));
            QString error;
            if (!names.isEmpty()) {
                QVERIFY2(engine.writeString(file, names.first(), S("Fetchora"), S("fuzz"), &error),
                         qPrintable(where + QStringLiteral(" error: ") + error));
                const QByteArray got = readFile(file);
                const qsizetype at = got.indexOf("Fetchora=fuzz");
                QVERIFY2(at >= 0, qPrintable(where));
                // Taking out the added line and one line end (after it, or before it
                // at the very end of the file) must give back the original bytes.
                const QByteArray prefix = got.left(at);
                const QByteArray suffix = got.mid(at + qsizetype(sizeof("Fetchora=fuzz") - 1));
                bool restored = false;
                for (const QByteArray &eol : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
                    if (suffix.startsWith(eol) && prefix + suffix.mid(eol.size()) == data)
                        restored = true;
                    if (suffix.isEmpty() && prefix.endsWith(eol) && prefix.chopped(eol.size()) == data)
                        restored = true;
                }
                QVERIFY2(restored, qPrintable(where + QStringLiteral("\n got: ") + QString::fromLatin1(shown(got))));
                COMPARE_VALUE(engine.value(file, names.first(), S("Fetchora")), S("fuzz"));
                QVERIFY2(engine.sectionNames(file) == names, qPrintable(where));
            }

            QVERIFY2(engine.writeString(file, S("New"), S("k"), S("v"), &error),
                     qPrintable(where + QStringLiteral(" error: ") + error));
            QVERIFY2(engine.sectionNames(file) == names + QStringList{S("New")}, qPrintable(where));
            COMPARE_VALUE(engine.value(file, S("New"), S("k")), S("v"));

            ProfileEngine fresh;
            for (const auto &[name, key, value] : known)
                QVERIFY2(fresh.value(file, name, key) == value,
                         qPrintable(where + QStringLiteral(" [%1] %2").arg(name, key)));
            QVERIFY(QFile::remove(file));
        }
    }
};

QTEST_APPLESS_MAIN(TestProfileEngine)

#include "tst_profileengine.moc"
