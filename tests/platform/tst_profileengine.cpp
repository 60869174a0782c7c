// Tests for the INI engine that reads and writes the files Fetchora shares with the
// people who edit them by hand: definition files, protection lists, settings and
// the version file. Every case uses a real file in a temporary folder, and writes
// are checked byte for byte, because a hand-edited file must come back exactly as
// it was apart from the one thing the program changed.

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

namespace {

#define BYTES(s) QByteArray((s), int(sizeof(s) - 1))

QString S(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = f.write(data) == data.size();
    f.close();
    return ok;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
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

} // namespace

Q_DECLARE_METATYPE(fetchora::TextEncoding)

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

class TestProfileEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Reading
    void lookup_data();
    void lookup();
    void sectionNames_data();
    void sectionNames();
    void hasSection();
    void readStringDefaults();
    void sectionReads();
    void sectionReadsOfDuplicateEmptyAndMissingSections();
    void quotesKeptBySectionReads();
    void longValuesReturnedWhole_data();
    void longValuesReturnedWhole();

    // Writing
    void changeValueKeepsEveryOtherByte_data();
    void changeValueKeepsEveryOtherByte();
    void newKeyAfterLastNonBlankLine_data();
    void newKeyAfterLastNonBlankLine();
    void newKeyInFileWithoutFinalLineEnd_data();
    void newKeyInFileWithoutFinalLineEnd();
    void newSectionAppended_data();
    void newSectionAppended();
    void newKeyKeepsBlankLineAfterIt_data();
    void newKeyKeepsBlankLineAfterIt();
    void addThenDeleteGivesBackTheFile_data();
    void addThenDeleteGivesBackTheFile();
    void newFileIsUtf8WithoutBom();
    void writeFindsNamesWithoutRegardToCase();
    void writtenValuesReadBack_data();
    void writtenValuesReadBack();
    void unchangedValueLeavesFileAlone_data();
    void unchangedValueLeavesFileAlone();
    void deleteKey_data();
    void deleteKey();
    void deleteSection_data();
    void deleteSection();
    void deletingWhatIsNotThereLeavesFileAlone();
    void refusedWrites_data();
    void refusedWrites();
    void batchWrite();
    void batchWriteAppliesChangesInOrder();
    void batchWriteIsAllOrNothing();
    void noTemporaryFilesLeftBehind();

    // Failure paths of the atomic replace
    void writeIntoReadOnlyFolderFails();
    void writeBelowAPlainFileFails();
    void writeOntoDirectoryFails();
    void writeKeepsFilePermissions();
    void writeThroughSymlinkChangesTarget();

    // Keeping the parse
    void parseKeptWhileFileUnchanged();
    void changeByAnotherWriterIsSeen();
    void writeAfterAnotherWriterKeepsTheirChange();
    void forgetAndClearDropTheParse();
    void deletedFileIsSeen();

    // Encodings
    void fileEncoding_data();
    void fileEncoding();
    void windows1252FileReadAndWritten();
    void utf8FileWritten();
    void bomKeptOnWrite();
    void unstorableCharacterRefusedInWindows1252File_data();
    void unstorableCharacterRefusedInWindows1252File();
    void wholeFileDecidesTheEncoding();

    // Bad input
    void missingFile();
    void folderInPlaceOfFile();
    void unreadableFile();
    void nulBytesInsideLines();
    void megabyteLine();
    void fiftyMegabyteFile();
    void randomBinaryBytes_data();
    void randomBinaryBytes();
    void randomIniLikeBytes();

private:
    QString path(const QString &name = QStringLiteral("test.ini")) const
    {
        return m_dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProfileEngine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestProfileEngine::cleanup()
{
    m_dir.reset();
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

void TestProfileEngine::lookup_data()
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
}

void TestProfileEngine::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, expected);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    const std::optional<QString> got = engine.value(path(), section, key);
    if (found) {
        COMPARE_VALUE(got, expected);
        // A found value, even an empty one, wins over the default.
        QCOMPARE(engine.readString(path(), section, key, QStringLiteral("<default>")), expected);
    } else {
        VERIFY_NOT_FOUND(got);
        QCOMPARE(engine.readString(path(), section, key, QStringLiteral("<default>")), QStringLiteral("<default>"));
    }
    // Reading never changes the file.
    COMPARE_BYTES(readBytes(path()), file);
}

void TestProfileEngine::sectionNames_data()
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
}

void TestProfileEngine::sectionNames()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QCOMPARE(engine.sectionNames(path()), expected);
}

void TestProfileEngine::hasSection()
{
    QVERIFY(writeBytes(path(), BYTES("k=0\n[General]\n[Empty]\n[]\nx=1\n[\xC3\x84rger]\n")));
    ProfileEngine engine;
    QVERIFY(engine.hasSection(path(), S("General")));
    QVERIFY(engine.hasSection(path(), S("GENERAL")));
    QVERIFY(engine.hasSection(path(), S("empty")));
    QVERIFY(engine.hasSection(path(), S("ÄRGER")));
    QVERIFY(!engine.hasSection(path(), S("Missing")));
    QVERIFY(!engine.hasSection(path(), S("")));
    QVERIFY(!engine.hasSection(path(), S("Gener")));
    QVERIFY(!engine.hasSection(path(QStringLiteral("missing.ini")), S("General")));
}

void TestProfileEngine::readStringDefaults()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nempty=\nnoequals\nk=v\n")));
    ProfileEngine engine;
    QCOMPARE(engine.readString(path(), S("A"), S("k"), S("def")), S("v"));
    QCOMPARE(engine.readString(path(), S("A"), S("empty"), S("def")), S(""));
    QCOMPARE(engine.readString(path(), S("A"), S("noequals"), S("def")), S("def"));
    QCOMPARE(engine.readString(path(), S("A"), S("missing"), S("def")), S("def"));
    QCOMPARE(engine.readString(path(), S("B"), S("k"), S("def")), S("def"));
    QCOMPARE(engine.readString(path(QStringLiteral("nofile.ini")), S("A"), S("k"), S("def")), S("def"));
    QCOMPARE(engine.readString(path(), S("A"), S("missing")), QString());
}

void TestProfileEngine::sectionReads()
{
    const QByteArray file = BYTES("; file comment\n"
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
                                  "t=1\n");
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;

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

void TestProfileEngine::sectionReadsOfDuplicateEmptyAndMissingSections()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n[Empty]\n\n;only a comment\n[a]\nj=2\n[B]\nx=1\n")));
    ProfileEngine engine;
    // Only the first section of a name is read.
    QCOMPARE(engine.sectionText(path(), S("a")), QStringList{S("k=1")});
    QCOMPARE(engine.keyNames(path(), S("A")), QStringList{S("k")});
    QCOMPARE(engine.sectionLines(path(), S("A")).size(), 1);

    QVERIFY(engine.hasSection(path(), S("Empty")));
    QVERIFY(engine.sectionLines(path(), S("Empty")).isEmpty());
    QVERIFY(engine.sectionText(path(), S("Empty")).isEmpty());
    QVERIFY(engine.keyNames(path(), S("Empty")).isEmpty());

    QVERIFY(engine.sectionLines(path(), S("Missing")).isEmpty());
    QVERIFY(engine.sectionText(path(), S("Missing")).isEmpty());
    QVERIFY(engine.keyNames(path(), S("Missing")).isEmpty());
    QVERIFY(engine.sectionText(path(), S("")).isEmpty());
}

void TestProfileEngine::quotesKeptBySectionReads()
{
    QVERIFY(writeBytes(path(), BYTES("[Q]\nd=\"abc\"\ns='abc'\nm=\"abc'\n")));
    ProfileEngine engine;
    QCOMPARE(engine.sectionText(path(), S("Q")),
             (QStringList{S("d=\"abc\""), S("s='abc'"), S("m=\"abc'")}));
    COMPARE_VALUE(engine.value(path(), S("Q"), S("d")), S("abc"));
    COMPARE_VALUE(engine.value(path(), S("Q"), S("s")), S("abc"));
    COMPARE_VALUE(engine.value(path(), S("Q"), S("m")), S("\"abc'"));
}

void TestProfileEngine::longValuesReturnedWhole_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("300") << 300;
    QTest::newRow("65536") << 65536;
    QTest::newRow("100000") << 100000;
}

void TestProfileEngine::longValuesReturnedWhole()
{
    QFETCH(int, length);
    QByteArray value;
    for (int i = 0; i < length; ++i)
        value.append(char('a' + (i * 7) % 26));
    value[length - 1] = 'Z'; // the last character must arrive as well

    QVERIFY(writeBytes(path(), "[Long]\r\nv=" + value + "\r\nafter=1\r\n"));
    ProfileEngine engine;
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
    QVERIFY(readBytes(path()).contains("\r\nw=" + value));
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

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

} // namespace

void TestProfileEngine::changeValueKeepsEveryOtherByte_data()
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

void TestProfileEngine::changeValueKeepsEveryOtherByte()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, oldLine);
    QFETCH(QByteArray, newLine);

    QVERIFY(kHandWritten.count(oldLine) == 1);
    QByteArray expected = kHandWritten;
    expected.replace(oldLine, newLine);

    QVERIFY(writeBytes(path(), kHandWritten));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), section, key, value, &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), expected);
    COMPARE_VALUE(engine.value(path(), section, key), value);
    // The untouched lines still read as before.
    COMPARE_VALUE(engine.value(path(), S("General"), S("Quoted")), S("keep me"));
    COMPARE_VALUE(engine.value(path(), S("General"), S(";Disabled")), S("1"));
    QCOMPARE(engine.sectionNames(path()), (QStringList{S("General"), S("Other")}));

    // A second engine, reading the file fresh, agrees.
    ProfileEngine fresh;
    COMPARE_VALUE(fresh.value(path(), section, key), value);
}

void TestProfileEngine::newKeyAfterLastNonBlankLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("LF, before blank lines and next section")
        << BYTES("[A]\nk=1\n\n\n[B]\nx=2\n") << S("A") << BYTES("[A]\nk=1\nj=2\n\n\n[B]\nx=2\n");
    QTest::newRow("CRLF, before blank lines and next section")
        << BYTES("[A]\r\nk=1\r\n\r\n  \r\n[B]\r\nx=2\r\n") << S("A")
        << BYTES("[A]\r\nk=1\r\nj=2\r\n\r\n  \r\n[B]\r\nx=2\r\n");
    QTest::newRow("CR, before blank line and next section")
        << BYTES("[A]\rk=1\r\r[B]\r") << S("A") << BYTES("[A]\rk=1\rj=2\r\r[B]\r");
    QTest::newRow("last line of section is a comment")
        << BYTES("[A]\nk=1\n;note\n\n[B]\n") << S("A") << BYTES("[A]\nk=1\n;note\nj=2\n\n[B]\n");
    QTest::newRow("empty section before another")
        << BYTES("[A]\n[B]\nx=1\n") << S("A") << BYTES("[A]\nj=2\n[B]\nx=1\n");
    QTest::newRow("empty section before blank line")
        << BYTES("[A]\n\n[B]\n") << S("A") << BYTES("[A]\nj=2\n\n[B]\n");
    QTest::newRow("last section") << BYTES("[A]\nk=1\n") << S("A") << BYTES("[A]\nk=1\nj=2\n");
    QTest::newRow("last section, blank lines at end of file")
        << BYTES("[A]\nk=1\n\n\n") << S("A") << BYTES("[A]\nk=1\nj=2\n\n\n");
    QTest::newRow("middle section, other case")
        << BYTES("[X]\nq=1\n[A]\nk=1\n[Y]\n") << S("a") << BYTES("[X]\nq=1\n[A]\nk=1\nj=2\n[Y]\n");
    QTest::newRow("first of duplicate sections")
        << BYTES("[A]\nk=1\n[A]\nm=2\n") << S("A") << BYTES("[A]\nk=1\nj=2\n[A]\nm=2\n");
    QTest::newRow("header with trailing text")
        << BYTES("[A] x\nk=1\n[B]\n") << S("A") << BYTES("[A] x\nk=1\nj=2\n[B]\n");
    QTest::newRow("trailing spaces of the last line kept")
        << BYTES("[A]\nk=1  \n[B]\n") << S("A") << BYTES("[A]\nk=1  \nj=2\n[B]\n");
    QTest::newRow("line without = is the last line")
        << BYTES("[A]\nk=1\nflag\n\n[B]\n") << S("A") << BYTES("[A]\nk=1\nflag\nj=2\n\n[B]\n");
    QTest::newRow("only a commented key of that name")
        << BYTES("[A]\n;j=0\n[B]\n") << S("A") << BYTES("[A]\n;j=0\nj=2\n[B]\n");
    QTest::newRow("bom and CRLF")
        << BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\n\r\n[B]\r\n") << S("A")
        << BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\nj=2\r\n\r\n[B]\r\n");
}

void TestProfileEngine::newKeyAfterLastNonBlankLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QByteArray, expected);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), section, S("j"), S("2"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), expected);
    COMPARE_VALUE(engine.value(path(), section, S("j")), S("2"));
}

void TestProfileEngine::newKeyInFileWithoutFinalLineEnd_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("allowed");

    QTest::newRow("LF") << BYTES("[A]\nk=1")
                        << QByteArrayList{BYTES("[A]\nk=1\nj=2"), BYTES("[A]\nk=1\nj=2\n")};
    QTest::newRow("CRLF") << BYTES("[A]\r\nk=1")
                          << QByteArrayList{BYTES("[A]\r\nk=1\r\nj=2"), BYTES("[A]\r\nk=1\r\nj=2\r\n")};
    QTest::newRow("CR") << BYTES("[A]\rk=1")
                        << QByteArrayList{BYTES("[A]\rk=1\rj=2"), BYTES("[A]\rk=1\rj=2\r")};
    QTest::newRow("trailing blanks on the last line")
        << BYTES("[A]\nk=1  ") << QByteArrayList{BYTES("[A]\nk=1  \nj=2"), BYTES("[A]\nk=1  \nj=2\n")};
    // Nothing in the file says which line end to use; either common one will do.
    QTest::newRow("header only") << BYTES("[A]")
                                 << QByteArrayList{BYTES("[A]\nj=2"), BYTES("[A]\nj=2\n"),
                                                   BYTES("[A]\r\nj=2"), BYTES("[A]\r\nj=2\r\n")};
}

void TestProfileEngine::newKeyInFileWithoutFinalLineEnd()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, allowed);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("j"), S("2"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(allowed.contains(got), ("got: " + shown(got)).constData());
    COMPARE_VALUE(engine.value(path(), S("A"), S("j")), S("2"));
    if (file.contains("k=1"))
        COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
}

namespace {

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

void TestProfileEngine::newSectionAppended_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("allowed");

    QTest::newRow("LF") << BYTES("[A]\nk=1\n") << appendedVariants(BYTES("[A]\nk=1\n"), "\n", "[B]\nx=1\n");
    QTest::newRow("CRLF") << BYTES("[A]\r\nk=1\r\n")
                          << appendedVariants(BYTES("[A]\r\nk=1\r\n"), "\r\n", "[B]\r\nx=1\r\n");
    QTest::newRow("CR") << BYTES("[A]\rk=1\r") << appendedVariants(BYTES("[A]\rk=1\r"), "\r", "[B]\rx=1\r");
    QTest::newRow("no final line end") << BYTES("[A]\nk=1")
                                       << appendedVariants(BYTES("[A]\nk=1"), "\n", "[B]\nx=1\n");
    QTest::newRow("comment at the end") << BYTES("[A]\nk=1\n; end of file\n")
                                        << appendedVariants(BYTES("[A]\nk=1\n; end of file\n"), "\n", "[B]\nx=1\n");
    QByteArrayList blankEnd = appendedVariants(BYTES("[A]\nk=1\n\n"), "\n", "[B]\nx=1\n");
    blankEnd << BYTES("[A]\nk=1\n[B]\nx=1\n"); // reusing the blank line is acceptable too
    QTest::newRow("blank line at the end") << BYTES("[A]\nk=1\n\n") << blankEnd;
    QByteArrayList empty = appendedVariants(QByteArray(), "\n", "[B]\nx=1\n");
    empty << appendedVariants(QByteArray(), "\r\n", "[B]\r\nx=1\r\n");
    QTest::newRow("empty file") << QByteArray() << empty;
    QTest::newRow("similar names only") << BYTES("[B2]\n[AB]\n")
                                        << appendedVariants(BYTES("[B2]\n[AB]\n"), "\n", "[B]\nx=1\n");
}

void TestProfileEngine::newSectionAppended()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, allowed);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    const QStringList before = engine.sectionNames(path());
    QString error;
    QVERIFY2(engine.writeString(path(), S("B"), S("x"), S("1"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(allowed.contains(got), ("got: " + shown(got)).constData());
    QCOMPARE(engine.sectionNames(path()), before + QStringList{S("B")});
    COMPARE_VALUE(engine.value(path(), S("B"), S("x")), S("1"));
}

void TestProfileEngine::newKeyKeepsBlankLineAfterIt_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("allowed");

    // The new line's end must not join with the blank line that follows into one
    // CR LF, which would silently remove that blank line from the file.
    QTest::newRow("first line end CR, section ends in LF")
        << BYTES("[A]\rk=1\n\n[B]\n")
        << QByteArrayList{BYTES("[A]\rk=1\nj=2\n\n[B]\n"), BYTES("[A]\rk=1\nj=2\r\n\n[B]\n")};
    QTest::newRow("first line end CR, two blank lines")
        << BYTES("[A]\rk=1\n\n\n[B]\n")
        << QByteArrayList{BYTES("[A]\rk=1\nj=2\n\n\n[B]\n"), BYTES("[A]\rk=1\nj=2\r\n\n\n[B]\n")};
    QTest::newRow("first line end CR, section ends in CR LF")
        << BYTES("[A]\rk=1\r\n\n[B]\r\n")
        << QByteArrayList{BYTES("[A]\rk=1\r\nj=2\r\n\n[B]\r\n"), BYTES("[A]\rk=1\r\nj=2\n\n[B]\r\n")};
}

void TestProfileEngine::newKeyKeepsBlankLineAfterIt()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, allowed);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("j"), S("2"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(allowed.contains(got), ("got: " + shown(got)).constData());
}

void TestProfileEngine::addThenDeleteGivesBackTheFile_data()
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

void TestProfileEngine::addThenDeleteGivesBackTheFile()
{
    QFETCH(QByteArray, file);
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("added"), S("1"), &error), qPrintable(error));
    QVERIFY2(engine.deleteKey(path(), S("A"), S("added"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), file);

    QVERIFY2(engine.writeString(path(), S("Added"), S("k"), S("1"), &error), qPrintable(error));
    QVERIFY2(engine.deleteSection(path(), S("Added"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    // A blank line put in front of the new section may stay behind.
    QVERIFY2(got == file || got == file + "\n" || got == file + "\r\n" || got == file + "\r",
             ("got: " + shown(got)).constData());
}

void TestProfileEngine::newFileIsUtf8WithoutBom()
{
    const QString file = path(QStringLiteral("new.ini"));
    QVERIFY(!QFile::exists(file));
    ProfileEngine engine;
    QCOMPARE(engine.fileEncoding(file), TextEncoding::Utf8);
    QString error;
    QVERIFY2(engine.writeString(file, S("Général"), S("clé"), S("café 漢"), &error), qPrintable(error));
    const QByteArray bytes = readBytes(file);
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

void TestProfileEngine::writeFindsNamesWithoutRegardToCase()
{
    QVERIFY(writeBytes(path(), BYTES("[Section]\nMyKey=1\n[\xC3\x84rger]\nSchl\xC3\xBCssel=a\n")));
    ProfileEngine engine;
    QVERIFY(engine.writeString(path(), S("SECTION"), S("mykey"), S("2")));
    QVERIFY(engine.writeString(path(), S("ärger"), S("SCHLÜSSEL"), S("b")));
    // The names keep the spelling the file had; no second key or section appears.
    COMPARE_BYTES(readBytes(path()), BYTES("[Section]\nMyKey=2\n[\xC3\x84rger]\nSchl\xC3\xBCssel=b\n"));
}

void TestProfileEngine::writtenValuesReadBack_data()
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

void TestProfileEngine::writtenValuesReadBack()
{
    QFETCH(QString, value);
    QFETCH(QByteArrayList, storedLines);

    QVERIFY(writeBytes(path(), BYTES("[A]\nother=1\n")));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("k"), value, &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    bool matched = false;
    for (const QByteArray &line : storedLines)
        matched = matched || got == "[A]\nother=1\n" + line + "\n";
    QVERIFY2(matched, ("got: " + shown(got)).constData());
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), value);
    COMPARE_VALUE(engine.value(path(), S("A"), S("other")), S("1"));
    ProfileEngine fresh;
    COMPARE_VALUE(fresh.value(path(), S("a"), S("K")), value);

    // Writing it again is no change at all.
    QVERIFY(setModified(path(), oldTime()));
    QVERIFY(engine.writeString(path(), S("A"), S("k"), value));
    QCOMPARE(modified(path()), oldTime());
    COMPARE_BYTES(readBytes(path()), got);
}

void TestProfileEngine::unchangedValueLeavesFileAlone_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("same value") << BYTES("[A]\nk=1\n") << S("A") << S("k") << S("1");
    QTest::newRow("names in other case") << BYTES("[A]\nKey=1\n") << S("a") << S("KEY") << S("1");
    QTest::newRow("spaced line") << BYTES("[A]\r\n  k  =  1  \r\n") << S("A") << S("k") << S("1");
    QTest::newRow("empty value") << BYTES("[A]\nk=\n") << S("A") << S("k") << S("");
    QTest::newRow("stored in double quotes") << BYTES("[A]\nk=\"abc\"\n") << S("A") << S("k") << S("abc");
    QTest::newRow("stored in single quotes") << BYTES("[A]\nk = 'a b' \n") << S("A") << S("k") << S("a b");
    QTest::newRow("cp1252 value") << BYTES("[A]\nk=caf\xE9\n") << S("A") << S("k") << S("café");
    QTest::newRow("utf-8 value with bom") << BYTES("\xEF\xBB\xBF[A]\nk=caf\xC3\xA9") << S("A") << S("k") << S("café");
}

void TestProfileEngine::unchangedValueLeavesFileAlone()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    QVERIFY(writeBytes(path(), file));
    QVERIFY(setModified(path(), oldTime()));
    QCOMPARE(modified(path()), oldTime());

    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), section, key, value, &error), qPrintable(error));
    QVERIFY2(engine.write(path(), {ProfileWrite::set(section, key, value), ProfileWrite::set(section, key, value)},
                          &error),
             qPrintable(error));
    COMPARE_BYTES(readBytes(path()), file);
    QCOMPARE(modified(path()), oldTime());
}

void TestProfileEngine::deleteKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("LF") << BYTES("[A]\nk=1\nj=2\n") << S("A") << S("k") << BYTES("[A]\nj=2\n");
    QTest::newRow("CRLF, comment kept") << BYTES("[A]\r\n;note\r\nk=1\r\nj=2\r\n") << S("A") << S("k")
                                        << BYTES("[A]\r\n;note\r\nj=2\r\n");
    QTest::newRow("CR") << BYTES("[A]\rk=1\rj=2\r") << S("A") << S("j") << BYTES("[A]\rk=1\r");
    QTest::newRow("other case, spaced") << BYTES("[A]\n  Key = 1  \nj=2\n") << S("a") << S("KEY") << BYTES("[A]\nj=2\n");
    QTest::newRow("only in its own section") << BYTES("[A]\nk=1\n[B]\nk=2\n") << S("B") << S("k")
                                             << BYTES("[A]\nk=1\n[B]\n");
    QTest::newRow("blank lines kept") << BYTES("[A]\nk=1\n\nj=2\n\n[B]\n") << S("A") << S("j")
                                      << BYTES("[A]\nk=1\n\n\n[B]\n");
    QTest::newRow("bom kept") << BYTES("\xEF\xBB\xBF[A]\nk=1\nj=2\n") << S("A") << S("k") << BYTES("\xEF\xBB\xBF[A]\nj=2\n");
    QTest::newRow("cp1252 kept") << BYTES("[A]\nk=1\nj=caf\xE9\n") << S("A") << S("k") << BYTES("[A]\nj=caf\xE9\n");
}

void TestProfileEngine::deleteKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, expected);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QVERIFY(engine.value(path(), section, key).has_value());
    QString error;
    QVERIFY2(engine.deleteKey(path(), section, key, &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), expected);
    VERIFY_NOT_FOUND(engine.value(path(), section, key));
}

void TestProfileEngine::deleteSection_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("first") << BYTES("[A]\nk=1\n[B]\nj=2\n") << S("A") << BYTES("[B]\nj=2\n");
    QTest::newRow("middle, with its comments") << BYTES("[A]\nk=1\n[B]\n;about B\nj=2\nflag\n[C]\nm=3\n") << S("b")
                                               << BYTES("[A]\nk=1\n[C]\nm=3\n");
    QTest::newRow("last, no final line end") << BYTES("[A]\nk=1\n[B]\nj=2") << S("B") << BYTES("[A]\nk=1\n");
    QTest::newRow("CRLF") << BYTES("[A]\r\nk=1\r\n[B]\r\nj=2\r\n[C]\r\n") << S("B") << BYTES("[A]\r\nk=1\r\n[C]\r\n");
    QTest::newRow("header with trailing text") << BYTES("[A] old\nk=1\n[B]\n") << S("A") << BYTES("[B]\n");
    QTest::newRow("leading comment of file kept") << BYTES("; top\n[A]\nk=1\n") << S("A") << BYTES("; top\n");
    QTest::newRow("bom kept") << BYTES("\xEF\xBB\xBF[A]\nk=1\n[B]\n") << S("A") << BYTES("\xEF\xBB\xBF[B]\n");
}

void TestProfileEngine::deleteSection()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QByteArray, expected);

    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QVERIFY(engine.hasSection(path(), section));
    QString error;
    QVERIFY2(engine.deleteSection(path(), section, &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), expected);
    QVERIFY(!engine.hasSection(path(), section));
}

void TestProfileEngine::deletingWhatIsNotThereLeavesFileAlone()
{
    const QByteArray file = BYTES("[A]\nk=1\n;j=0\nflag\n");
    QVERIFY(writeBytes(path(), file));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;
    engine.deleteKey(path(), S("A"), S("missing"));
    engine.deleteKey(path(), S("A"), S("j"));
    engine.deleteKey(path(), S("Missing"), S("k"));
    engine.deleteSection(path(), S("Missing"));
    engine.write(path(), {});
    COMPARE_BYTES(readBytes(path()), file);
    QCOMPARE(modified(path()), oldTime());

    // Nor is a missing file created by deleting from it.
    const QString missing = path(QStringLiteral("missing.ini"));
    engine.deleteKey(missing, S("A"), S("k"));
    engine.deleteSection(missing, S("A"));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestProfileEngine::refusedWrites_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("LF in value") << S("A") << S("k") << S("two\nlines");
    QTest::newRow("CR in value") << S("A") << S("k") << S("two\rlines");
    QTest::newRow("CRLF in value") << S("A") << S("k") << S("two\r\nlines");
    QTest::newRow("LF at end of value") << S("A") << S("k") << S("v\n");
    QTest::newRow("LF in key") << S("A") << S("a\nb") << S("v");
    QTest::newRow("CR in key") << S("A") << S("a\rb") << S("v");
    QTest::newRow("LF in section") << S("A\nB") << S("k") << S("v");
    QTest::newRow("CR in section") << S("A\rB") << S("k") << S("v");
    QTest::newRow("= in key") << S("A") << S("a=b") << S("v");
    QTest::newRow("key starts with [") << S("A") << S("[x") << S("v");
    QTest::newRow("key starts with ;") << S("A") << S(";x") << S("v");
    QTest::newRow("new key with LF in value") << S("A") << S("new") << S("a\nb");
    QTest::newRow("new section with LF in value") << S("New") << S("new") << S("a\nb");
}

void TestProfileEngine::refusedWrites()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const QByteArray file = BYTES("[A]\nk=1\n");
    QVERIFY(writeBytes(path(), file));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;

    QString error;
    QVERIFY(!engine.writeString(path(), section, key, value, &error));
    QVERIFY(!error.isEmpty());

    QString batchError;
    QVERIFY(!engine.write(path(), {ProfileWrite::set(section, key, value)}, &batchError));
    QVERIFY(!batchError.isEmpty());

    // Without a place for the reason the answer is the same.
    QVERIFY(!engine.writeString(path(), section, key, value));

    COMPARE_BYTES(readBytes(path()), file);
    QCOMPARE(modified(path()), oldTime());
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));

    // Refused for a file that does not exist yet, too, which stays absent.
    const QString missing = path(QStringLiteral("missing.ini"));
    QString missingError;
    QVERIFY(!engine.writeString(missing, section, key, value, &missingError));
    QVERIFY(!missingError.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("test.ini")});
}

void TestProfileEngine::batchWrite()
{
    QVERIFY(writeBytes(path(), BYTES("; top\n[A]\nk=1\nj=2\n[B]\nx=1\n[C]\ny=1\n")));
    ProfileEngine engine;
    QString error;
    const QList<ProfileWrite> changes = {
        ProfileWrite::set(S("A"), S("k"), S("10")),
        ProfileWrite::removeKey(S("A"), S("j")),
        ProfileWrite::set(S("B"), S("new"), S("5")),
        ProfileWrite::removeSection(S("C")),
        ProfileWrite::set(S("D"), S("d"), S("1")),
        ProfileWrite::set(S("D"), S("e"), S("2")),
    };
    QVERIFY2(engine.write(path(), changes, &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    const QByteArray kept = BYTES("; top\n[A]\nk=10\n[B]\nx=1\nnew=5\n");
    QVERIFY2(got == kept + "[D]\nd=1\ne=2\n" || got == kept + "\n[D]\nd=1\ne=2\n",
             ("got: " + shown(got)).constData());
    QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B"), S("D")}));
    COMPARE_VALUE(engine.value(path(), S("D"), S("e")), S("2"));
}

void TestProfileEngine::batchWriteAppliesChangesInOrder()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n[B]\nx=1\n")));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.write(path(),
                          {
                              ProfileWrite::set(S("A"), S("k"), S("2")),
                              ProfileWrite::set(S("A"), S("k"), S("3")),
                              ProfileWrite::removeKey(S("B"), S("x")),
                              ProfileWrite::set(S("B"), S("x"), S("back")),
                              ProfileWrite::set(S("E"), S("z"), S("1")),
                              ProfileWrite::removeSection(S("E")),
                          },
                          &error),
             qPrintable(error));
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("3"));
    COMPARE_VALUE(engine.value(path(), S("B"), S("x")), S("back"));
    QVERIFY(!engine.hasSection(path(), S("E")));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=3\n[B]\nx=back\n"));
}

void TestProfileEngine::batchWriteIsAllOrNothing()
{
    const QByteArray file = BYTES("[A]\nk=1\n[B]\nx=1\n");
    QVERIFY(writeBytes(path(), file));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;

    const QList<QList<ProfileWrite>> batches = {
        {ProfileWrite::set(S("A"), S("k"), S("changed")), ProfileWrite::set(S("A"), S("bad=key"), S("1"))},
        {ProfileWrite::removeSection(S("B")), ProfileWrite::set(S("A"), S("x"), S("line\nbreak"))},
        {ProfileWrite::set(S("New"), S("n"), S("1")), ProfileWrite::removeKey(S("A"), S("k")),
         ProfileWrite::set(S("A"), S(";c"), S("1"))},
        {ProfileWrite::set(S("A\nB"), S("k"), S("1")), ProfileWrite::set(S("A"), S("k"), S("2"))},
    };
    for (const auto &batch : batches) {
        QString error;
        QVERIFY(!engine.write(path(), batch, &error));
        QVERIFY(!error.isEmpty());
        COMPARE_BYTES(readBytes(path()), file);
        QCOMPARE(modified(path()), oldTime());
    }
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
    QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B")}));
}

void TestProfileEngine::noTemporaryFilesLeftBehind()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    ProfileEngine engine;
    QVERIFY(engine.writeString(path(), S("A"), S("k"), S("2")));
    QVERIFY(engine.writeString(path(), S("B"), S("k"), S("2")));
    QVERIFY(engine.deleteKey(path(), S("A"), S("k")));
    QVERIFY(engine.deleteSection(path(), S("A")));
    QVERIFY(!engine.writeString(path(), S("A"), S("a=b"), S("2")));
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("test.ini")});
}

// ---------------------------------------------------------------------------
// Failure paths of the atomic replace
// ---------------------------------------------------------------------------

void TestProfileEngine::writeIntoReadOnlyFolderFails()
{
    if (runningAsRoot())
        QSKIP("running as root: folder permissions do not stop writing");

    const QString folder = m_dir->filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/settings.ini");
    const QByteArray original = BYTES("[A]\nk=1\n");
    QVERIFY(writeBytes(file, original));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });

    ProfileEngine engine;
    QString error;
    QVERIFY(!engine.writeString(file, S("A"), S("k"), S("2"), &error));
    QVERIFY(!error.isEmpty());
    COMPARE_BYTES(readBytes(file), original);
    COMPARE_VALUE(engine.value(file, S("A"), S("k")), S("1"));

    QString newError;
    const QString newFile = folder + QStringLiteral("/new.ini");
    QVERIFY(!engine.writeString(newFile, S("A"), S("k"), S("2"), &newError));
    QVERIFY(!newError.isEmpty());
    QVERIFY(!QFileInfo::exists(newFile));
    QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("settings.ini")});
}

void TestProfileEngine::writeBelowAPlainFileFails()
{
    // A folder that cannot hold anything, even for root: its "parent" is a file.
    const QByteArray original = BYTES("[A]\nk=1\n");
    QVERIFY(writeBytes(path(QStringLiteral("plain")), original));
    const QString file = path(QStringLiteral("plain")) + QStringLiteral("/settings.ini");
    ProfileEngine engine;
    QString error;
    QVERIFY(!engine.writeString(file, S("A"), S("k"), S("2"), &error));
    QVERIFY(!error.isEmpty());
    COMPARE_BYTES(readBytes(path(QStringLiteral("plain"))), original);
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("plain")});
}

void TestProfileEngine::writeOntoDirectoryFails()
{
    const QString folder = path(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeBytes(folder + QStringLiteral("/inside.txt"), "keep"));

    ProfileEngine engine;
    QString error;
    QVERIFY(!engine.writeString(folder, S("A"), S("k"), S("1"), &error));
    QVERIFY(!error.isEmpty());
    QString batchError;
    QVERIFY(!engine.write(folder, {ProfileWrite::set(S("A"), S("k"), S("1"))}, &batchError));
    QVERIFY(!batchError.isEmpty());

    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(readBytes(folder + QStringLiteral("/inside.txt")), QByteArray("keep"));
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("folder.ini")});
}

void TestProfileEngine::writeKeepsFilePermissions()
{
#ifdef Q_OS_UNIX
    // A settings file kept private by its owner must stay private after a save.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    const auto privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
        | QFileDevice::WriteUser;
    QVERIFY(QFile::setPermissions(path(), privateMode));
    ProfileEngine engine;
    QVERIFY(engine.writeString(path(), S("A"), S("k"), S("2")));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=2\n"));
    QCOMPARE(QFileInfo(path()).permissions(), privateMode);
#else
    QSKIP("file modes are a Unix matter");
#endif
}

void TestProfileEngine::writeThroughSymlinkChangesTarget()
{
#ifdef Q_OS_UNIX
    const QString target = path(QStringLiteral("real.ini"));
    const QString link = path(QStringLiteral("link.ini"));
    QVERIFY(writeBytes(target, BYTES("[A]\nk=1\n")));
    QVERIFY(QFile::link(target, link));
    ProfileEngine engine;
    COMPARE_VALUE(engine.value(link, S("A"), S("k")), S("1"));
    QString error;
    QVERIFY2(engine.writeString(link, S("A"), S("k"), S("2"), &error), qPrintable(error));
    QVERIFY(QFileInfo(link).isSymLink());
    COMPARE_BYTES(readBytes(target), BYTES("[A]\nk=2\n"));
    COMPARE_VALUE(engine.value(target, S("A"), S("k")), S("2"));
    COMPARE_VALUE(engine.value(link, S("A"), S("k")), S("2"));
#else
    QSKIP("symbolic links are a Unix matter here");
#endif
}

// ---------------------------------------------------------------------------
// Keeping the parse
// ---------------------------------------------------------------------------

void TestProfileEngine::parseKeptWhileFileUnchanged()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\nj=2\n[B]\nx=1\n")));
    QVERIFY(writeBytes(path(QStringLiteral("other.ini")), BYTES("[O]\no=1\n")));
    ProfileEngine engine;
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

void TestProfileEngine::changeByAnotherWriterIsSeen()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
    int count = engine.parseCount();

    // Different size, same time.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=22\n")));
    QVERIFY(setModified(path(), oldTime()));
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("22"));
    QCOMPARE(engine.parseCount(), count + 1);
    count = engine.parseCount();
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("22"));
    QCOMPARE(engine.parseCount(), count);

    // Same size, different time.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=33\n")));
    QVERIFY(setModified(path(), oldTime().addSecs(60)));
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("33"));
    QCOMPARE(engine.parseCount(), count + 1);
    count = engine.parseCount();

    // A new section added by hand shows in every kind of read.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=33\n[Hand]\nh=1\n")));
    QVERIFY(engine.hasSection(path(), S("Hand")));
    QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("Hand")}));
    QCOMPARE(engine.keyNames(path(), S("Hand")), QStringList{S("h")});
    QCOMPARE(engine.parseCount(), count + 1);

    // A change of encoding by the other writer is seen too.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=caf\xE9\n")));
    QVERIFY(setModified(path(), oldTime().addSecs(120)));
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("café"));
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
}

void TestProfileEngine::writeAfterAnotherWriterKeepsTheirChange()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));

    // Someone edits the file (same size, new time) between the read and the write.
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=9\n")));
    QVERIFY(setModified(path(), oldTime().addSecs(30)));
    QVERIFY(engine.writeString(path(), S("A"), S("j"), S("2")));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=9\nj=2\n"));

    // And again with a different size and the time the engine last wrote.
    const QDateTime stamp = modified(path());
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=9\nj=2\n[Hand]\nh=1\n")));
    QVERIFY(setModified(path(), stamp));
    QVERIFY(engine.writeString(path(), S("A"), S("j"), S("3")));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=9\nj=3\n[Hand]\nh=1\n"));
}

void TestProfileEngine::forgetAndClearDropTheParse()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    ProfileEngine engine;
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

void TestProfileEngine::deletedFileIsSeen()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    ProfileEngine engine;
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("1"));
    QVERIFY(QFile::remove(path()));
    VERIFY_NOT_FOUND(engine.value(path(), S("A"), S("k")));
    QVERIFY(engine.sectionNames(path()).isEmpty());
    QVERIFY(!engine.hasSection(path(), S("A")));

    QVERIFY(writeBytes(path(), BYTES("[A]\nk=2\n")));
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("2"));
}

// ---------------------------------------------------------------------------
// Encodings
// ---------------------------------------------------------------------------

void TestProfileEngine::fileEncoding_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<TextEncoding>("expected");
    QTest::newRow("ascii") << BYTES("[A]\nk=1\n") << TextEncoding::Utf8;
    QTest::newRow("utf-8") << BYTES("[A]\nk=caf\xC3\xA9\n") << TextEncoding::Utf8;
    QTest::newRow("utf-8 with bom") << BYTES("\xEF\xBB\xBF[A]\nk=1\n") << TextEncoding::Utf8Bom;
    QTest::newRow("cp1252") << BYTES("[A]\nk=caf\xE9\n") << TextEncoding::Windows1252;
    QTest::newRow("empty") << QByteArray() << TextEncoding::Utf8;
}

void TestProfileEngine::fileEncoding()
{
    QFETCH(QByteArray, file);
    QFETCH(TextEncoding, expected);
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QCOMPARE(engine.fileEncoding(path()), expected);
    QCOMPARE(engine.fileEncoding(path(QStringLiteral("missing.ini"))), TextEncoding::Utf8);
}

void TestProfileEngine::windows1252FileReadAndWritten()
{
    const QByteArray file = BYTES("[\xC4rger]\r\nk=caf\xE9\r\neuro=\x80\r\nq=\x93quoted\x94\r\n");
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
    QCOMPARE(engine.sectionNames(path()), QStringList{S("Ärger")});
    COMPARE_VALUE(engine.value(path(), S("ÄRGER"), S("k")), S("café"));
    COMPARE_VALUE(engine.value(path(), S("ärger"), S("euro")), S("€"));
    COMPARE_VALUE(engine.value(path(), S("Ärger"), S("q")), S("“quoted”"));

    QString error;
    QVERIFY2(engine.writeString(path(), S("Ärger"), S("new"), S("thé €"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), file + BYTES("new=th\xE9 \x80\r\n"));

    QVERIFY2(engine.writeString(path(), S("Ärger"), S("k"), S("crème"), &error), qPrintable(error));
    QByteArray expected = file + BYTES("new=th\xE9 \x80\r\n");
    expected.replace(BYTES("k=caf\xE9"), BYTES("k=cr\xE8me"));
    COMPARE_BYTES(readBytes(path()), expected);

    QVERIFY2(engine.writeString(path(), S("Neu"), S("Schlüssel"), S("Größe"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(got == expected + BYTES("[Neu]\r\nSchl\xFCssel=Gr\xF6\xDF" "e\r\n")
                 || got == expected + BYTES("\r\n[Neu]\r\nSchl\xFCssel=Gr\xF6\xDF" "e\r\n"),
             ("got: " + shown(got)).constData());
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
    COMPARE_VALUE(engine.value(path(), S("NEU"), S("SCHLÜSSEL")), S("Größe"));
}

void TestProfileEngine::utf8FileWritten()
{
    QVERIFY(writeBytes(path(), BYTES("[A]\nk=1\n")));
    ProfileEngine engine;
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("new"), S("café"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=1\nnew=caf\xC3\xA9\n"));
    QVERIFY2(engine.writeString(path(), S("A"), S("k"), S("漢字 😀"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=\xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80\nnew=caf\xC3\xA9\n"));
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8);
    ProfileEngine fresh;
    COMPARE_VALUE(fresh.value(path(), S("a"), S("K")), S("漢字 😀"));
}

void TestProfileEngine::bomKeptOnWrite()
{
    QVERIFY(writeBytes(path(), BYTES("\xEF\xBB\xBF[A]\r\nk=1\r\n")));
    ProfileEngine engine;
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8Bom);
    QString error;
    QVERIFY2(engine.writeString(path(), S("A"), S("k"), S("é"), &error), qPrintable(error));
    COMPARE_BYTES(readBytes(path()), BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n"));

    QVERIFY2(engine.writeString(path(), S("B"), S("x"), S("1"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(got == BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n[B]\r\nx=1\r\n")
                 || got == BYTES("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n\r\n[B]\r\nx=1\r\n"),
             ("got: " + shown(got)).constData());

    // Deleting the first section must not take the mark with it.
    QVERIFY2(engine.deleteSection(path(), S("A"), &error), qPrintable(error));
    QVERIFY(readBytes(path()).startsWith("\xEF\xBB\xBF"));
    QCOMPARE(readBytes(path()).count("\xEF\xBB\xBF"), 1);
    QCOMPARE(engine.sectionNames(path()), QStringList{S("B")});
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Utf8Bom);
}

void TestProfileEngine::unstorableCharacterRefusedInWindows1252File_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("value") << S("A") << S("k") << S("漢");
    QTest::newRow("value, new key") << S("A") << S("new") << S("café 漢");
    QTest::newRow("key") << S("A") << S("漢") << S("1");
    QTest::newRow("section") << S("漢") << S("k") << S("1");
    QTest::newRow("emoji") << S("A") << S("k") << S("😀");
}

void TestProfileEngine::unstorableCharacterRefusedInWindows1252File()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const QByteArray file = BYTES("[A]\nk=caf\xE9\n");
    QVERIFY(writeBytes(path(), file));
    QVERIFY(setModified(path(), oldTime()));
    ProfileEngine engine;
    QString error;
    QVERIFY(!engine.writeString(path(), section, key, value, &error));
    QVERIFY(!error.isEmpty());
    COMPARE_BYTES(readBytes(path()), file);
    QCOMPARE(modified(path()), oldTime());
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("café"));
    QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("test.ini")});
}

void TestProfileEngine::wholeFileDecidesTheEncoding()
{
    // Valid UTF-8 up to one Windows-1252 byte near the end: the whole file is
    // Windows-1252, so the earlier two bytes are two characters.
    const QByteArray file = BYTES("[A]\nk=caf\xC3\xA9\nz=\xE9\n");
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    QCOMPARE(engine.fileEncoding(path()), TextEncoding::Windows1252);
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), S("cafÃ©"));
    COMPARE_VALUE(engine.value(path(), S("A"), S("z")), S("é"));
    QVERIFY(engine.writeString(path(), S("A"), S("z"), S("è")));
    COMPARE_BYTES(readBytes(path()), BYTES("[A]\nk=caf\xC3\xA9\nz=\xE8\n"));
}

// ---------------------------------------------------------------------------
// Bad input
// ---------------------------------------------------------------------------

void TestProfileEngine::missingFile()
{
    const QString missing = path(QStringLiteral("missing.ini"));
    ProfileEngine engine;
    QVERIFY(engine.sectionNames(missing).isEmpty());
    QVERIFY(!engine.hasSection(missing, S("A")));
    QVERIFY(engine.sectionLines(missing, S("A")).isEmpty());
    QVERIFY(engine.sectionText(missing, S("A")).isEmpty());
    QVERIFY(engine.keyNames(missing, S("A")).isEmpty());
    VERIFY_NOT_FOUND(engine.value(missing, S("A"), S("k")));
    QCOMPARE(engine.readString(missing, S("A"), S("k"), S("def")), S("def"));
    QVERIFY(!QFileInfo::exists(missing));

    // The first write creates it.
    QVERIFY(engine.writeString(missing, S("A"), S("k"), S("1")));
    COMPARE_VALUE(engine.value(missing, S("A"), S("k")), S("1"));

    // A file in a folder that does not exist reads as empty as well.
    VERIFY_NOT_FOUND(engine.value(path(QStringLiteral("nofolder/x.ini")), S("A"), S("k")));
}

void TestProfileEngine::folderInPlaceOfFile()
{
    const QString folder = path(QStringLiteral("settings.ini"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
    ProfileEngine engine;
    QVERIFY(engine.sectionNames(folder).isEmpty());
    QVERIFY(!engine.hasSection(folder, S("A")));
    QVERIFY(engine.sectionText(folder, S("A")).isEmpty());
    VERIFY_NOT_FOUND(engine.value(folder, S("A"), S("k")));
    QCOMPARE(engine.readString(folder, S("A"), S("k"), S("def")), S("def"));
    QString error;
    QVERIFY(!engine.writeString(folder, S("A"), S("k"), S("1"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(folder + QStringLiteral("/sub")).isDir());
}

void TestProfileEngine::unreadableFile()
{
    if (runningAsRoot())
        QSKIP("running as root: file permissions do not stop reading");

    const QByteArray original = BYTES("[A]\nk=1\n");
    QVERIFY(writeBytes(path(), original));
    QVERIFY(QFile::setPermissions(path(), QFileDevice::Permissions()));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    });

    ProfileEngine engine;
    QVERIFY(engine.sectionNames(path()).isEmpty());
    VERIFY_NOT_FOUND(engine.value(path(), S("A"), S("k")));
    QCOMPARE(engine.readString(path(), S("A"), S("k"), S("def")), S("def"));

    // The program cannot see what is in the file, so it must not replace it.
    QString error;
    QVERIFY(!engine.writeString(path(), S("B"), S("x"), S("1"), &error));
    QVERIFY(!error.isEmpty());
    restore.dismiss();
    QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    COMPARE_BYTES(readBytes(path()), original);
}

void TestProfileEngine::nulBytesInsideLines()
{
    const QByteArray file = BYTES("[A]\nk=a\0b\n\0junk\0=\0\nj=2\n[B]\nx=1\n");
    QVERIFY(writeBytes(path(), file));
    ProfileEngine engine;
    COMPARE_VALUE(engine.value(path(), S("A"), S("k")), QString::fromUtf8("a\0b", 3));
    COMPARE_VALUE(engine.value(path(), S("A"), S("j")), S("2"));
    QCOMPARE(engine.sectionNames(path()), (QStringList{S("A"), S("B")}));

    QString error;
    QVERIFY2(engine.writeString(path(), S("B"), S("x"), S("2"), &error), qPrintable(error));
    QByteArray expected = file;
    expected.replace(BYTES("x=1"), BYTES("x=2"));
    COMPARE_BYTES(readBytes(path()), expected);
}

void TestProfileEngine::megabyteLine()
{
    QByteArray big;
    big.reserve(1 << 20);
    for (int i = 0; i < (1 << 20); ++i)
        big.append(char('0' + i % 10));
    big.append("END");
    const QByteArray file = "[A]\r\nbig=" + big + "\r\nafter=1\r\n[B]\r\nx=1\r\n";
    QVERIFY(writeBytes(path(), file));

    ProfileEngine engine;
    const auto got = engine.value(path(), S("A"), S("big"));
    QVERIFY(got.has_value());
    QCOMPARE(got->size(), big.size());
    QVERIFY(*got == QString::fromLatin1(big));
    COMPARE_VALUE(engine.value(path(), S("A"), S("after")), S("1"));

    QVERIFY(engine.writeString(path(), S("B"), S("x"), S("2")));
    QByteArray expected = file;
    expected.replace(BYTES("x=1"), BYTES("x=2"));
    QVERIFY(readBytes(path()) == expected);
}

void TestProfileEngine::fiftyMegabyteFile()
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
    QVERIFY(writeBytes(path(), data));
    QVERIFY(QFileInfo(path()).size() >= target);

    ProfileEngine engine;
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
    const QByteArray got = readBytes(path());
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    COMPARE_VALUE(engine.value(path(), S("First"), S("key")), S("first value"));
}

void TestProfileEngine::randomBinaryBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("size");
    QTest::newRow("seed 1, 64 KiB") << quint32(1) << 64 * 1024;
    QTest::newRow("seed 2, 1 KiB") << quint32(2) << 1024;
    QTest::newRow("seed 3, 256 KiB") << quint32(3) << 256 * 1024;
    QTest::newRow("seed 4, 7 bytes") << quint32(4) << 7;
}

void TestProfileEngine::randomBinaryBytes()
{
    QFETCH(quint32, seed);
    QFETCH(int, size);
    QRandomGenerator gen(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(gen.bounded(256));
    QVERIFY(writeBytes(path(), data));

    ProfileEngine engine;
    const QStringList names = engine.sectionNames(path());
    QList<std::tuple<QString, QString, QString>> before;
    for (const QString &name : names) {
        engine.sectionLines(path(), name);
        engine.sectionText(path(), name);
        for (const QString &key : engine.keyNames(path(), name)) {
            if (const auto v = engine.value(path(), name, key))
                before.append({name, key, *v});
        }
    }
    engine.value(path(), S("A"), S("k"));

    QString error;
    QVERIFY2(engine.writeString(path(), S("Fetchora"), S("Key"), S("Value"), &error), qPrintable(error));
    const QByteArray got = readBytes(path());
    QVERIFY2(got.startsWith(data), "the bytes that were there are no longer intact");
    QVERIFY(got.size() > data.size());
    COMPARE_VALUE(engine.value(path(), S("Fetchora"), S("Key")), S("Value"));
    QCOMPARE(engine.sectionNames(path()), names + QStringList{S("Fetchora")});

    ProfileEngine fresh;
    for (const auto &[name, key, value] : before)
        COMPARE_VALUE(fresh.value(path(), name, key), value);
}

void TestProfileEngine::randomIniLikeBytes()
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
        QVERIFY(writeBytes(file, data));

        ProfileEngine engine;
        const QStringList names = engine.sectionNames(file);
        QList<std::tuple<QString, QString, QString>> known;
        for (const QString &name : names) {
            for (const QString &key : engine.keyNames(file, name)) {
                const auto v = engine.value(file, name, key);
                if (v)
                    known.append({name, key, *v});
            }
        }

        const QString where = QStringLiteral("round %1, file: %2").arg(round).arg(QString::fromLatin1(shown(data)));
        QString error;
        if (!names.isEmpty()) {
            QVERIFY2(engine.writeString(file, names.first(), S("Fetchora"), S("fuzz"), &error),
                     qPrintable(where + QStringLiteral(" error: ") + error));
            const QByteArray got = readBytes(file);
            const qsizetype at = got.indexOf("Fetchora=fuzz");
            QVERIFY2(at >= 0, qPrintable(where));
            // Taking out the added line and one line end (after it, or before it
            // at the very end of the file) must give back the original bytes.
            const QByteArray prefix = got.left(at);
            const QByteArray suffix = got.mid(at + qsizetype(sizeof("Fetchora=fuzz") - 1));
            bool restored = false;
            for (const QByteArray eol : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
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

QTEST_APPLESS_MAIN(TestProfileEngine)

#include "tst_profileengine.moc"
