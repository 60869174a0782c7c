// Tests for the INI engine behind the definition files, the lists, the settings and
// the version file. People edit these files by hand, so every case uses a real file
// in a temporary folder and writes are checked byte for byte.

#include "TestSupport.h"
#include "platform/ProfileEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace fetchora;
using fetchora::test::readFile;
using fetchora::test::writeFile;
using PW = fetchora::ProfileWrite;
using Changes = QList<fetchora::ProfileWrite>;

Q_DECLARE_METATYPE(fetchora::ProfileWrite)

#define B(s) QByteArray((s), qsizetype(sizeof(s) - 1))

namespace {

// A moment well in the past, so any rewrite of a file shows in its time.
const QDateTime kOld(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);

bool setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray utf16(QStringView text, QStringConverter::Encoding order = QStringConverter::Utf16LE)
{
    return QStringEncoder(order, QStringConverter::Flag::WriteBom)(text);
}

} // namespace

class TestProfileEngine : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name = "t.ini") const { return m_dir->filePath(name); }
    QString given(const QByteArray &bytes, const QString &name = "t.ini") const
    {
        if (!writeFile(path(name), bytes))
            qFatal("cannot write %s", qPrintable(path(name)));
        return path(name);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // What a lookup returns, as the Windows profile functions would; "?" is the
    // default handed in and stands for "not found".
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &file, const char *section, const char *key,
                            const char *expected) {
            // clang-format off
            QTest::newRow(name) << file << QString(section) << QString(key) << QString(expected);
            // clang-format on
        };
        const QByteArray mixed = B("[A]\r\nk=1\nj=2\rl=3\r\n[B]\rm=4");
        row("mixed ends: LF line", mixed, "A", "j", "2");
        row("mixed ends: CR line", mixed, "A", "l", "3");
        row("a section ends at the next header", mixed, "A", "m", "?");
        row("blanks around names and values", B(" \t[ A ] \n \t k \t = \t v x \t \n"), "a", "K", "v x");
        row("[ without ] is a key line", B("[A]\n[B=1\n"), "A", "[B", "1");
        row("keys before any header", B("k=1\n[A]\nj=2"), "A", "k", "?");
        row("UTF-8 names in other case", B("[\xC3\x84RGER]\nSCHL\xC3\x9CSSEL=1"), "ärger", "schlüssel", "1");
        row("Windows-1252 names in other case", B("[\xC4RGER]\nk=caf\xE9"), "ärger", "K", "café");
        row("first of duplicate sections", B("[A]\nk=1\n[a]\nk=2\nj=3\n"), "A", "k", "1");
        row("later duplicate never reached", B("[A]\nk=1\n[a]\nj=3\n"), "a", "j", "?");
        row("first of duplicate keys", B("[A]\nk=1\nK=2\n"), "A", "k", "1");
        row("split at the first =", B("[A]\nSome=Name=x"), "A", "Some", "Name=x");
        row("line without = is no key", B("[A]\nJustAName\n"), "A", "JustAName", "?");
        row("blank value is found empty", B("[A]\nk= \t\n"), "A", "k", "");
        row("missing section", B("[A]\nk=1\n"), "Z", "k", "?");
        row("double quotes off, blanks inside kept", B("[A]\nk=  \" a b \" "), "A", "k", " a b ");
        row("single quotes off", B("[A]\nk='abc'"), "A", "k", "abc");
        row("mismatched quotes kept", B("[A]\nk=\"abc'"), "A", "k", "\"abc'");
        row("lone quote kept", B("[A]\nk=\""), "A", "k", "\"");
        row("comment does not hide the key", B("[A]\n;k=0\nk=1\n"), "A", "k", "1");
        row("commented header is no header", B("[A]\n;[B]\nj=2"), "A", "j", "2");
        row("one Windows-1252 byte decides", B("[A]\nk=caf\xC3\xA9\nz=\xE9\n"), "A", "k", "cafÃ©");
        row("zero-filled tail is no content", B("[A]\nk=1\0\0\0"), "A", "k", "1");
    }

    void lookup()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        ProfileEngine engine;
        QCOMPARE(engine.readString(given(file), section, key, "?"), expected);
    }

    void sectionReads()
    {
        const QString file = given(B("[Other]\no=1\n [S] x\r\n  Key  =  value  \r\n;c=1\n  ;c\n\nQ = \"q v\" \n"
                                     "NoEquals\nEmpty=\n#hash=1\nSome=Name=x\n[Empty]\n\n;c\n[]\n[s]\n[S\n[T"));
        ProfileEngine engine;
        // Empty names and a "[" without "]" open no section; a repeated one is listed again.
        QCOMPARE(engine.sectionNames(file), QStringList({"Other", "S", "Empty", "s"}));
        // Lines without "=" belong to a section read but name no key; quotes stay.
        QCOMPARE(engine.sectionText(file, "s"),
                 QStringList({"Key=value", "Q=\"q v\"", "NoEquals", "Empty=", "#hash=1", "Some=Name=x"}));
        QCOMPARE(engine.keyNames(file, "S"), QStringList({"Key", "Q", "Empty", "#hash", "Some"}));
        QVERIFY(engine.hasSection(file, "EMPTY") && engine.sectionText(file, "Empty").isEmpty());
        QVERIFY(!engine.hasSection(file, "Missing") && engine.keyNames(file, "Missing").isEmpty());
        QCOMPARE(engine.sectionText(given(B("[A]\nk=1\n\0\0"), "nul.ini"), "A"), QStringList{"k=1"});
    }

    // Every change leaves the bytes it need not touch as they were, writes in the
    // file's own encoding and line ends, and reads back as written.
    void edit_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &file, const Changes &changes,
                            const QByteArray &expected) {
            // clang-format off
            QTest::newRow(name) << file << changes << expected;
            // clang-format on
        };
        const Changes addJ{PW::set("A", "j", "2")}, addB{PW::set("B", "x", "1")};
        row("value replaced, spacing kept", B("[A]\r\n Key = v \r\n;c\r\n"), {PW::set("a", "KEY", "é")},
            B("[A]\r\n Key = \xC3\xA9 \r\n;c\r\n"));
        row("CR, last line emptied", B("[A]\rk=1\rj='x'"), {PW::set("A", "j", "")}, B("[A]\rk=1\rj="));
        row("new key before blank lines", B("[A]\r\nk=1\r\n;c\r\n\r\n[B]\r\n"), addJ,
            B("[A]\r\nk=1\r\n;c\r\nj=2\r\n\r\n[B]\r\n"));
        row("new key, CR", B("[A]\rk=1\r\r[B]\r"), addJ, B("[A]\rk=1\rj=2\r\r[B]\r"));
        row("new key in an empty section", B("[A]\n[B]\n"), addJ, B("[A]\nj=2\n[B]\n"));
        row("new key, no final line end", B("[A]\nk=1"), addJ, B("[A]\nk=1\nj=2"));
        // A lone CR in front of the blank line's LF would merge with it into one CRLF.
        row("new key ends as the line before", B("[A]\rk=1\n\n[B]\n"), addJ, B("[A]\rk=1\nj=2\n\n[B]\n"));
        row("new key in the first of two", B("[A]\nk=1\n[a]\n"), addJ, B("[A]\nk=1\nj=2\n[a]\n"));
        row("new section, no final line end", B("[A]\r\nk=1"), addB, B("[A]\r\nk=1\r\n[B]\r\nx=1\r\n"));
        row("new section, empty file", QByteArray(), addB, B("[B]\r\nx=1\r\n"));
        row("delete key of its own section", B("[A]\r\nk=1\r\n[B]\r\n;n\r\nk=2\r\nj=2\r\n"), {PW::removeKey("b", "K")},
            B("[A]\r\nk=1\r\n[B]\r\n;n\r\nj=2\r\n"));
        row("delete section with its lines", B("[A]\nk=1\n[B]\n;c\nj=2\nflag\n[C]\n"), {PW::removeSection("b")},
            B("[A]\nk=1\n[C]\n"));
        row("delete first section, mark kept", B("\xEF\xBB\xBF[A]\nk=1\n[B]\n"), {PW::removeSection("A")},
            B("\xEF\xBB\xBF[B]\n"));
        row("Windows-1252 stays so", B("[\xC4rger]\r\nk=caf\xE9\r\n"), {PW::set("ärger", "new", "thé €")},
            B("[\xC4rger]\r\nk=caf\xE9\r\nnew=th\xE9 \x80\r\n"));
        row("UTF-8 with mark stays so", B("\xEF\xBB\xBF[A]\r\nk=1\r\n"), {PW::set("A", "k", "é 漢")},
            B("\xEF\xBB\xBF[A]\r\nk=\xC3\xA9 \xE6\xBC\xA2\r\n"));
        row("UTF-16 stays so", utf16(u"[A]\r\nk=1\r\n"), {PW::set("A", "k", "é 漢 😀"), PW::set("B", "x", "1")},
            utf16(u"[A]\r\nk=é 漢 😀\r\n[B]\r\nx=1\r\n"));
        row("UTF-16 big-endian, lone halves kept", utf16(u"[A]\nz=\xDC00 \xD800\n[B]\n", QStringConverter::Utf16BE),
            addB, utf16(u"[A]\nz=\xDC00 \xD800\n[B]\nx=1\n", QStringConverter::Utf16BE));
        row("new key before a zero-filled tail", B("[A]\nk=1\n\0\0"), addJ, B("[A]\nk=1\nj=2\n\0\0"));
        row("new section before a zero-filled tail", B("[A]\nk=1\0"), addB, B("[A]\nk=1\n[B]\nx=1\n\0"));
        row("odd bytes elsewhere kept", B("[A]\nk=a\0b\n\0x\0=\0\n[B]\nx=1\n"), {PW::set("B", "x", "2")},
            B("[A]\nk=a\0b\n\0x\0=\0\n[B]\nx=2\n"));
        // Values a reader would change are stored in one more pair of quotes.
        row("blanks at the ends", B("[A]\n"), {PW::set("A", "k", " padded\t")}, B("[A]\nk=\" padded\t\"\n"));
        row("wholly quoted", B("[A]\n"), {PW::set("A", "k", "'q'")}, B("[A]\nk=\"'q'\"\n"));
        row("batch in order", B("[A]\nk=1\n[B]\nx=1\n"),
            {PW::set("A", "k", "2"), PW::set("A", "k", "3"), PW::removeKey("B", "x"), PW::set("B", "x", "b"),
             PW::set("E", "z", "1"), PW::removeSection("E")},
            B("[A]\nk=3\n[B]\nx=b\n"));
        row("batch: a removed first section uncovers the next", B("[A]\nk=1\n[B]\n[a]\nk=2\n"),
            {PW::removeSection("A"), PW::set("A", "k", "3")}, B("[B]\n[a]\nk=3\n"));
        row("batch: keys into a new section", B("[A]\nk=1"),
            {PW::set("B", "x", "1"), PW::set("B", "y", "2"), PW::set("A", "j", "2"), PW::removeKey("B", "x")},
            B("[A]\nk=1\nj=2\n[B]\ny=2\n"));
        row("batch: line end of what is left", B("[A]\nk=1\r\n[B]\r\n"),
            {PW::removeSection("A"), PW::set("C", "x", "1")}, B("[B]\r\n[C]\r\nx=1\r\n"));
        // Nothing to change: the file is not even rewritten.
        row("same value, quoted", B("[A]\n Key = 'a b' \n"), {PW::set("a", "KEY", "a b")}, B("[A]\n Key = 'a b' \n"));
        row("same value, Windows-1252", B("[A]\nk=caf\xE9"), {PW::set("A", "k", "café")}, B("[A]\nk=caf\xE9"));
        row("delete what is not there", B("[A]\nk=1\n;j=0\n"),
            {PW::removeKey("A", "j"), PW::removeKey("Z", "k"), PW::removeSection("Z")}, B("[A]\nk=1\n;j=0\n"));
    }

    void edit()
    {
        QFETCH(QByteArray, file);
        QFETCH(Changes, changes);
        QFETCH(QByteArray, expected);
        const QString p = given(file);
        QVERIFY(setModified(p, kOld));
        ProfileEngine engine;
        QString error;
        QVERIFY2(engine.write(p, changes, &error), qPrintable(error));
        QCOMPARE(readFile(p), expected);
        QCOMPARE(QFileInfo(p).lastModified() == kOld, expected == file);
        const PW &last = changes.last();
        if (last.kind == PW::Kind::SetValue)
            QCOMPARE(ProfileEngine().readString(p, last.section, last.key, "?"), last.value);
        // A batch gives the bytes its changes give one at a time.
        const QString single = given(file, "one.ini");
        for (const PW &w : changes)
            QVERIFY(engine.write(single, {w}));
        QCOMPARE(readFile(single), expected);
        QCOMPARE(entries(m_dir->path()), QStringList({"one.ini", "t.ini"}));
    }

    // A change that would break a line, or that the file's encoding cannot hold,
    // refuses the whole batch with a reason and leaves the file as it was.
    void refused_data()
    {
        QTest::addColumn<bool>("windows1252");
        QTest::addColumn<PW>("bad");
        // clang-format off
        QTest::newRow("LF in value") << false << PW::set("A", "k", "two\nlines");
        QTest::newRow("line break in section") << false << PW::set("A\rB", "k", "v");
        QTest::newRow("= in key") << false << PW::set("A", "a=b", "v");
        QTest::newRow("key starts with [") << false << PW::set("A", " [x", "v");
        QTest::newRow("key starts with ;") << false << PW::set("A", ";x", "v");
        QTest::newRow("blank key") << false << PW::set("A", " \t", "v");
        QTest::newRow("Windows-1252: value") << true << PW::set("A", "k", "漢");
        QTest::newRow("Windows-1252: new section") << true << PW::set("Ā", "k", "1");
        // clang-format on
    }

    void refused()
    {
        QFETCH(bool, windows1252);
        QFETCH(PW, bad);
        const QByteArray file = windows1252 ? B("[A]\nk=caf\xE9\n[B]\n") : B("[A]\nk=1\n[B]\n");
        const QString p = given(file);
        QVERIFY(setModified(p, kOld));
        ProfileEngine engine;
        QString error;
        QVERIFY(!engine.write(p, {PW::set("A", "k", "changed"), PW::removeSection("B"), bad}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(p), file);
        QCOMPARE(QFileInfo(p).lastModified(), kOld);
        // A new file is UTF-8 and holds any character, but no broken line.
        if (!windows1252)
            QVERIFY(!engine.writeString(path("new.ini"), bad.section, bad.key, bad.value));
    }

    void missingAndUnusablePaths()
    {
        ProfileEngine engine;
        const QString missing = path("missing.ini");
        QVERIFY(engine.deleteKey(missing, "A", "k") && engine.deleteSection(missing, "A"));
        QVERIFY(!QFileInfo::exists(missing));
        // The first write creates the file: UTF-8 without a mark, Windows line ends.
        QVERIFY(engine.writeString(missing, "Général", "k", "漢"));
        QCOMPARE(readFile(missing), B("[G\xC3\xA9n\xC3\xA9ral]\r\nk=\xE6\xBC\xA2\r\n"));

        // A folder where the file should be reads as empty and is never replaced,
        // and nothing is created below a plain file.
        const QString folder = QFileInfo(given("keep", "folder.ini/inside.txt")).path();
        QVERIFY(engine.sectionNames(folder).isEmpty());
        QString error;
        QVERIFY(!engine.writeString(folder, "A", "k", "1", &error));
        QVERIFY(error.contains("folder.ini"));
        QVERIFY(!engine.writeString(missing + "/sub.ini", "A", "k", "1"));
        QCOMPARE(readFile(folder + "/inside.txt"), QByteArray("keep"));
        QCOMPARE(entries(m_dir->path()), QStringList({"folder.ini", "missing.ini"}));
    }

    // Writes from two processes at once all arrive: each is one whole read-modify-write.
    void concurrentWritersLoseNothing()
    {
        const QString p = path();
        {
            QLockFile held(p + ".lock");
            QVERIFY(held.tryLock());
            QString error;
            QVERIFY(!ProfileEngine().writeString(p, "S", "k", "1", &error));
            QVERIFY2(error.contains("is in use by another program; try again."), qPrintable(error));
            QVERIFY(!QFileInfo::exists(p));
        }
        QProcess writers[2];
        for (int i = 0; i < 2; ++i)
            writers[i].start(QCoreApplication::applicationFilePath(), {"--write-keys", p, QString(QChar('a' + i))});
        for (QProcess &w : writers)
            QVERIFY2(w.waitForFinished(-1) && w.exitCode() == 0, w.readAllStandardError().constData());
        QCOMPARE(ProfileEngine().keyNames(p, "S").size(), 2000);
    }

    // Rewrites that keep size and time and only swap the sections: every value
    // read is one that was written, never bytes of one layout read by the other.
    void readsWhileAnotherRewrites()
    {
#ifdef Q_OS_UNIX
        const QByteArray layouts[2] = {B("[A]\nk=a1\n[B]\nk=b1\n"), B("[B]\nk=b2\n[A]\nk=a2\n")};
        const QString p = given(layouts[0]), next = path("next.ini");
        std::atomic<bool> stop = false;
        std::thread writer([&] {
            for (int i = 1; !stop; ++i)
                if (!writeFile(next, layouts[i % 2]) || !setModified(next, kOld)
                    || std::rename(QFile::encodeName(next), QFile::encodeName(p)) != 0)
                    qFatal("the rewriting thread failed");
        });
        const auto joined = qScopeGuard([&] {
            stop = true;
            writer.join();
        });
        ProfileEngine engine;
        for (int i = 0; i < 20000; ++i) {
            const QString a = engine.readString(p, "A", "k"), b = engine.readString(p, "B", "k");
            QVERIFY2((a == "a1" || a == "a2") && (b == "b1" || b == "b2"), qPrintable(a + " " + b));
        }
#else
        QSKIP("atomic rewrites by a second writer are tested on Unix");
#endif
    }

    // A write killed half-way leaves its temporary file; the next write removes
    // such leftovers of its own file once they are old, and nothing else.
    void oldTemporaryFilesRemoved()
    {
        const QString p = given(B("[A]\nk=1\n"));
        const QStringList old = {"t.ini.fetchora-0a1b2c3d.tmp", "t.ini.backup", "u.ini.fetchora-0a1b2c3d.tmp",
                                 "t.ini.fetchora-0a1b2c3d.tmp.txt"};
        for (const QString &name : old)
            QVERIFY(setModified(given("x", name), QDateTime::currentDateTime().addSecs(-600)));
        given("x", "t.ini.fetchora-9f8e7d6c.tmp"); // may belong to a write in progress
        QVERIFY(ProfileEngine().writeString(p, "A", "k", "2"));
        QCOMPARE(entries(m_dir->path()),
                 QStringList({"t.ini", "t.ini.backup", "t.ini.fetchora-0a1b2c3d.tmp.txt", "t.ini.fetchora-9f8e7d6c.tmp",
                              "u.ini.fetchora-0a1b2c3d.tmp"}));
    }

    void writeKeepsTheFileItself()
    {
#ifdef Q_OS_UNIX
        // A settings file kept private stays private; a link stays a link.
        const QString real = given(B("[A]\nk=1\n"), "real.ini");
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
            | QFileDevice::WriteUser;
        QVERIFY(QFile::setPermissions(real, mode) && QFile::link(real, path("link.ini")));
        QVERIFY(ProfileEngine().writeString(path("link.ini"), "A", "k", "2"));
        QVERIFY(QFileInfo(path("link.ini")).isSymLink());
        QCOMPARE(readFile(real), B("[A]\nk=2\n"));
        QCOMPARE(QFileInfo(real).permissions(), mode);
#else
        QSKIP("file modes and links are tested on Unix");
#endif
    }

    void parseKeptUntilTheFileChanges()
    {
        const QString p = given(B("[A]\nk=1\n[B]\nx=1\n"));
        QVERIFY(setModified(p, kOld));
        ProfileEngine engine;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(engine.readString(p, "A", "k"), "1");
            QCOMPARE(engine.keyNames(p, "B"), QStringList{"x"});
        }
        QCOMPARE(engine.parseCount(), 1);
        // Another program rewrites it: a new size at the old time, then the old size at a new time.
        QVERIFY(writeFile(p, B("[A]\nk=22\n[B]\ny=1\n")) && setModified(p, kOld));
        QCOMPARE(engine.readString(p, "A", "k"), "22");
        QCOMPARE(engine.keyNames(p, "B"), QStringList{"y"});
        QVERIFY(writeFile(p, B("[A]\nk=33\n[B]\ny=1\n")) && setModified(p, kOld.addSecs(60)));
        QCOMPARE(engine.readString(p, "A", "k"), "33");
        QCOMPARE(engine.parseCount(), 3);
        // Another file put in its place with the same size and time, the sections swapped.
        QVERIFY(writeFile(path("new.ini"), B("[C]\ny=1\n[A]\nk=44\n"))
                && setModified(path("new.ini"), kOld.addSecs(60)));
        QVERIFY(QFile::remove(p) && QFile::rename(path("new.ini"), p));
        QCOMPARE(engine.readString(p, "A", "k"), "44");
        // A write always starts from the bytes on disk, whatever the kept parse says.
        QVERIFY(writeFile(p, B("[A]\nk=55\n[B]\ny=1\n")) && setModified(p, kOld.addSecs(60)));
        QVERIFY(engine.writeString(p, "B", "z", "2"));
        QCOMPARE(readFile(p), B("[A]\nk=55\n[B]\ny=1\nz=2\n"));
        QVERIFY(QFile::remove(p));
        QCOMPARE(engine.readString(p, "A", "k", "?"), "?");
    }

    // Every byte of a Windows-1252 file reads as a character of its own and is
    // written back as itself, so a value read and stored again loses nothing.
    void windows1252KeepsEveryByte()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = decodeText(all, TextEncoding::Windows1252);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
        QCOMPARE(decodeText(B("\x80\x93\x94\x9F\xE9"), TextEncoding::Windows1252), "€“”Ÿé");
        QByteArray back;
        QVERIFY(encodeText(text, TextEncoding::Windows1252, &back));
        QCOMPARE(back, all);
    }

    // Large files are read in pieces. Sections padded so that headers, line ends
    // and a two-byte character fall on every offset around a piece's edge, a line
    // longer than a piece and a section of many entries all come back whole.
    void largeFilesComeBackWhole_data()
    {
        QTest::addColumn<QByteArray>("eol");
        // clang-format off
        QTest::newRow("CRLF") << B("\r\n");
        QTest::newRow("LF") << B("\n");
        QTest::newRow("CR") << B("\r");
        // clang-format on
    }

    void largeFilesComeBackWhole()
    {
        QFETCH(QByteArray, eol);
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += "[S" + QByteArray::number(i) + "]" + eol + "Key=caf\xC3\xA9-" + QByteArray(i % 97, 'x') + eol
                + "Pad=" + QByteArray(1 + (i * 7919) % 1500, 'p') + eol;
        bytes += "[Long]" + eol + "v=" + QByteArray(3 << 20, 'v') + eol + "[Many]" + eol;
        for (int i = 0; i < 20000; ++i)
            bytes += "Entry " + QByteArray::number(i) + "=" + QByteArray::number(i) + eol;
        const QString p = given(bytes);
        ProfileEngine engine;
        const QStringList names = engine.sectionNames(p);
        QCOMPARE(names.size(), 3002);
        for (int i = 0; i < 3000; ++i) {
            QCOMPARE(names[i], QStringLiteral("S%1").arg(i));
            QCOMPARE(engine.readString(p, names[i], "Key"), "café-" + QString(i % 97, 'x'));
            QCOMPARE(engine.readString(p, names[i], "Pad").size(), 1 + (i * 7919) % 1500);
        }
        QCOMPARE(engine.readString(p, "Long", "v").size(), 3 << 20);
        QCOMPARE(engine.keyNames(p, "Many").size(), 20000);
        QCOMPARE(engine.readString(p, "Many", "Entry 19999"), "19999");

        QVERIFY(engine.writeString(p, "S1000", "Key", QString(300, 'c')));
        const QByteArray old = "[S1000]" + eol + "Key=caf\xC3\xA9-" + QByteArray(1000 % 97, 'x') + eol;
        QCOMPARE(readFile(p), bytes.replace(old, "[S1000]" + eol + "Key=" + QByteArray(300, 'c') + eol));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // One of the writers of concurrentWritersLoseNothing: 1,000 keys, one write each.
    if (argc == 4 && qstrcmp(argv[1], "--write-keys") == 0) {
        ProfileEngine engine;
        QString error;
        for (int i = 0; i < 1000; ++i)
            if (!engine.writeString(QString::fromLocal8Bit(argv[2]), "S", argv[3] + QString::number(i), "v", &error))
                return std::fputs(qPrintable(error), stderr), 1;
        return 0;
    }
    TestProfileEngine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_profileengine.moc"
