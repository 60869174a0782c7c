#include "TestSupport.h"
#include "catalogue/Browsing.h"
#include "catalogue/ProtectionLists.h"
#include "platform/ProfileEngine.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;

class TestBrowsing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFilesKeepEveryLineAsWritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("FOBlacklist.def");
        test::writeFile(path, "abc\r\n  padded  \r\n\r\nlast-cr\rlf-only\nfinal");
        QCOMPARE(readListFile(path), QStringList({"abc", "  padded  ", "", "last-cr", "lf-only", "final"}));
        // A last line end adds no item.
        test::writeFile(path, "one\r\ntwo\r\n");
        QCOMPARE(readListFile(path), QStringList({"one", "two"}));
        test::writeFile(path, "");
        QVERIFY(readListFile(path).isEmpty());
        // Windows-1252 and UTF-8 both read as text.
        test::writeFile(path, "caf\xE9\r\n");
        QCOMPARE(readListFile(path), QStringList({QString::fromUtf8("caf\xC3\xA9")}));
        test::writeFile(path, "\xEF\xBB\xBFna\xC3\xAFve\r\n");
        QCOMPARE(readListFile(path), QStringList({QString::fromUtf8("na\xC3\xAFve")}));
    }

    void missingAndUnreadableListFiles()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(readListFile(dir.filePath("missing.def"), &error).isEmpty());
        QVERIFY(error.isEmpty());
        // A folder where the file should be is reported, not silently ignored.
        QDir(dir.path()).mkdir("FOAdware.def");
        QStringList errors;
        const ProtectionLists lists = loadProtectionLists(dir.path(), &errors);
        QVERIFY(lists.adware.isEmpty());
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains("FOAdware.def"));
    }

    void containmentIsCaseSensitiveAndEmptyItemsMatchEverything()
    {
        ProtectionLists lists;
        QVERIFY(!lists.isBarred("https://example.org/abc/setup.exe"));
        lists.blacklist = {"abc"};
        QVERIFY(lists.isBarred("https://abc.example.org/setup.exe"));
        QVERIFY(lists.isBarred("https://example.org/xabcx/setup.exe"));
        QVERIFY(!lists.isBarred("https://example.org/ABC/setup.exe"));
        lists.blacklist = {"nothing", ""};
        QVERIFY(lists.isBarred("https://example.org/anything"));
        lists.adware = {"Toolbar", "Ask"};
        QCOMPARE(lists.adwareItemIn("Great Toolbar Edition"), 0);
        QCOMPARE(lists.adwareItemIn("Ask Search"), 1);
        QCOMPARE(lists.adwareItemIn("toolbar free"), -1);
        QCOMPARE(firstContainedItem("x", {}), -1);
    }

    void selectingAnEntry()
    {
        QTemporaryDir dir;
        test::writeFile(dir.filePath("FOApps.def"),
                        "[Tools]\r\nCCleaner Free=https://bad.example/ccleaner.exe\r\n"
                        "Clean=https://good.example/clean.exe\r\nNoValue=\r\n");
        test::writeFile(dir.filePath("FOPortable.def"), "[P]\r\nCCleaner Portable=https://good.example/p.zip\r\n");
        ProfileEngine engine;
        Catalogue catalogue(engine, dir.path());
        ProtectionLists lists;
        lists.blacklist = {"bad.example"};
        lists.adware = {"CCleaner"};

        EntrySelection s = selectEntry(catalogue, Database::Apps, "Tools", "CCleaner Free", lists, true);
        QVERIFY(s.hasLink);
        QCOMPARE(s.link, QString("https://bad.example/ccleaner.exe"));
        QVERIFY(!s.directDownload);
        QCOMPARE(s.warning, EntrySelection::Warning::Show);
        QCOMPARE(s.warningCaption, QString("Fetchora - CCleaner Free"));

        s = selectEntry(catalogue, Database::Apps, "Tools", "Clean", lists, true);
        QVERIFY(s.directDownload);
        QCOMPARE(s.warning, EntrySelection::Warning::Close);

        // No value: nothing changes for link and buttons, the warning still follows the name.
        s = selectEntry(catalogue, Database::Apps, "Tools", "NoValue", lists, true);
        QVERIFY(!s.hasLink);
        QCOMPARE(s.warning, EntrySelection::Warning::Close);

        // Option off, an empty list, or a database without the check: untouched.
        QCOMPARE(selectEntry(catalogue, Database::Apps, "Tools", "CCleaner Free", lists, false).warning,
                 EntrySelection::Warning::Untouched);
        QCOMPARE(selectEntry(catalogue, Database::Portable, "P", "CCleaner Portable", lists, true).warning,
                 EntrySelection::Warning::Untouched);
        lists.adware.clear();
        QCOMPARE(selectEntry(catalogue, Database::Apps, "Tools", "Clean", lists, true).warning,
                 EntrySelection::Warning::Untouched);
    }

    void commandEntries()
    {
        QVERIFY(isCommandEntry("Defrag (cmd)"));
        QVERIFY(!isCommandEntry("Command Prompt"));
        QVERIFY(!isCommandEntry("CMD tools"));
        QVERIFY(warnsAboutAdware(Database::Slim));
        QVERIFY(!warnsAboutAdware(Database::Special));
    }

    void sortingByCharacterCode()
    {
        QCOMPARE(sortedByCharacterCode({"beta", "Alpha", "alpha"}), QStringList({"Alpha", "alpha", "beta"}));
        QCOMPARE(sortedByCharacterCode({"a", "Z", "_", "1"}), QStringList({"1", "Z", "_", "a"}));
        // Items holding what used to be the join separator stay whole.
        const QString odd = QString::fromUtf8("x\xC2\xA6\xC2\xA6y");
        QCOMPARE(sortedByCharacterCode({odd, "a"}), QStringList({"a", odd}));
        QCOMPARE(sortedByCharacterCode({}), QStringList());
    }

    void findNextSequences()
    {
        const QStringList names = {"Firefox", "Firebird", "Thunderbird"};
        FindNextResult r = findNext(names, "fire", -1);
        QCOMPARE(r.match, 0);
        QCOMPARE(r.nextPosition, 0);
        r = findNext(names, "fire", r.nextPosition);
        QCOMPARE(r.match, 1);
        QCOMPARE(r.nextPosition, 1);
        r = findNext(names, "fire", r.nextPosition);
        QCOMPARE(r.match, -1);
        QCOMPARE(r.nextPosition, -1);
        r = findNext(names, "fire", r.nextPosition);
        QCOMPARE(r.match, 0);

        // A match on the last entry starts the next search at the top.
        r = findNext(names, "  BIRD ", -1);
        QCOMPARE(r.match, 1);
        r = findNext(names, "bird", r.nextPosition);
        QCOMPARE(r.match, 2);
        QCOMPARE(r.nextPosition, -1);

        // An empty text matches every name in turn.
        QCOMPARE(findNext(names, "", 0).match, 1);
        QCOMPARE(findNext({}, "x", -1).match, -1);
        QCOMPARE(findNext({}, "x", -1).nextPosition, -1);
        // A position past the end (the list changed) finds nothing and restarts.
        QCOMPARE(findNext(names, "fire", 10).nextPosition, -1);
    }
};

QTEST_GUILESS_MAIN(TestBrowsing)
#include "tst_browsing.moc"
