// Tests for the catalogue: the databases and their definition files, what selecting
// an entry means, find-next and sorting, and the blacklist, adware and signature
// lists. The bundled catalogue is checked as it ships.

#include "TestSupport.h"
#include "catalogue/Browsing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ProtectionLists.h"
#include "platform/ProfileEngine.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;
using Warning = EntrySelection::Warning;

#define B(s) QByteArray((s), qsizetype(sizeof(s) - 1))

class TestCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoriesAndEntries()
    {
        // The file of each database, in the order of the databases; no FOSlim.def is
        // written, so that database stays empty while the others load.
        const QStringList files{"FOApps.def", "FOPortable.def", "", "FOSpecial.def", "FOPages.def", "FInstalls.def"};
        QTemporaryDir dir;
        for (const QString &name : files)
            QVERIFY(name.isEmpty() || test::writeFile(dir.filePath(name), "[" + name.toUtf8() + "]\r\n[All]\r\n"));
        ProfileEngine engine;
        Catalogue catalogue(engine, dir.path());
        catalogue.loadCategories();
        for (Database db : kAllDatabases)
            QCOMPARE(catalogue.categories(db),
                     files[int(db)].isEmpty() ? QStringList() : QStringList({files[int(db)], "All"}));
        // Entries and values are read at each selection, categories at start-up only.
        QVERIFY(test::writeFile(catalogue.path(Database::Apps), "[All]\nOne= 1b \nTwo=22\n"));
        QCOMPARE(catalogue.entries(Database::Apps, "all"), QStringList({"One", "Two"}));
        QCOMPARE(catalogue.value(Database::Apps, "All", "ONE"), "1b");
        QCOMPARE(catalogue.categories(Database::Apps).size(), 2);
        QVERIFY(applicationPath().endsWith('/')); // the Data folder is found beside the program
    }

    // The catalogue as it ships: every database loads and has an "All" section
    // that repeats every entry, links are https (commands aside), the lists load
    // and the update list names files that exist.
    void bundledCatalogue()
    {
        const QString data = test::bundledDataDir();
        QVERIFY2(QFileInfo(data).isDir(), qPrintable(data));
        ProfileEngine engine;
        Catalogue catalogue(engine, data);
        catalogue.loadCategories();
        for (Database db : kAllDatabases) {
            QSet<QString> inCategories, inAll;
            for (const QString &category : catalogue.categories(db)) {
                for (const QString &name : catalogue.entries(db, category)) {
                    const QString link = catalogue.value(db, category, name);
                    const bool command = db == Database::Install || (db == Database::Special && isCommandEntry(name));
                    QVERIFY2(command ? !link.isEmpty() : link.startsWith("https://"), qPrintable(name + " = " + link));
                    (category == "All" ? inAll : inCategories).insert(name);
                }
            }
            QVERIFY2(inCategories.size() >= 10, qPrintable(definitionFileName(db)));
            QCOMPARE(inAll, inCategories);
        }
        QStringList errors;
        const ProtectionLists lists = loadProtectionLists(data, &errors);
        QVERIFY(errors.isEmpty());
        QVERIFY(lists.signatures.contains("FOApps.def"));
        for (const QString &name : lists.signatures)
            QVERIFY2(QFileInfo(data + "/" + name).isFile(), qPrintable(name));
    }

    void selectingAnEntry_data()
    {
        QTest::addColumn<int>("db");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("warningOption");
        QTest::addColumn<QStringList>("adware");
        QTest::addColumn<QString>("outcome"); // link state, then warning
        const auto row = [](const char *name, Database db, const char *entry, bool option, const QStringList &adware,
                            const char *outcome) {
            // clang-format off
            QTest::newRow(name) << int(db) << QString(entry) << option << adware << QString(outcome);
            // clang-format on
        };
        const QStringList cc{"CCleaner"};
        row("barred and ad-supported", Database::Apps, "CCleaner", true, cc, "barred, show");
        row("another name closes", Database::Apps, "Clean", true, cc, "direct, close");
        row("no value: only the warning", Database::Apps, "NoValue", true, cc, "no link, close");
        row("option off", Database::Apps, "CCleaner", false, cc, "barred, untouched");
        row("empty adware list", Database::Apps, "Clean", true, {}, "direct, untouched");
        row("Slim warns", Database::Slim, "CCleaner", true, cc, "barred, show");
        row("Portable never warns", Database::Portable, "CCleaner", true, cc, "barred, untouched");
        row("Special never warns", Database::Special, "CCleaner", true, cc, "barred, untouched");
    }

    void selectingAnEntry()
    {
        QFETCH(int, db);
        QFETCH(QString, entry);
        QFETCH(bool, warningOption);
        QFETCH(QStringList, adware);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        for (Database each : {Database::Apps, Database::Portable, Database::Slim, Database::Special})
            test::writeFile(dir.filePath(definitionFileName(each)),
                            "[Tools]\r\nCCleaner=https://bad.example/c.exe\r\n"
                            "Clean=  https://good.example/c.exe \r\nNoValue=\r\n");
        ProfileEngine engine;
        const ProtectionLists lists{{}, {"bad.example"}, adware};
        const EntrySelection s = selectEntry(Catalogue(engine, dir.path()), Database(db), "Tools", entry, lists,
                                             warningOption);
        const char *warnings[] = {"untouched", "show", "close"};
        const QString link = !s.hasLink ? "no link" : s.directDownload ? "direct" : "barred";
        QCOMPARE(link + ", " + warnings[int(s.warning)], outcome);
        if (s.warning == Warning::Show)
            QVERIFY(s.warningCaption.endsWith(entry));
    }

    void commandEntriesAndSorting()
    {
        QVERIFY(isCommandEntry("Defrag (cmd)"));
        QVERIFY(!isCommandEntry("Command Prompt") && !isCommandEntry("CMD tools"));
        QCOMPARE(sortedByCharacterCode({"beta", "Alpha", "alpha", "_", "Z"}),
                 QStringList({"Alpha", "Z", "_", "alpha", "beta"}));
        // An item holding what used to be the join separator stays whole.
        QCOMPARE(sortedByCharacterCode({"x¦¦y", "a"}), QStringList({"a", "x¦¦y"}));
    }

    // Successive key presses in a search box: each search goes on after the last
    // match, and starts at the top again after a miss or a match on the last name.
    void findNext()
    {
        const auto presses = [](const QStringList &names, const QString &text, int count, int position = -1) {
            QList<int> matches;
            for (int i = 0; i < count; ++i) {
                const FindNextResult r = fetchora::findNext(names, text, position);
                matches << r.match;
                position = r.nextPosition;
            }
            return matches;
        };
        const QStringList birds{"Firefox", "Firebird", "Thunderbird"};
        QCOMPARE(presses(birds, "fire", 4), QList<int>({0, 1, -1, 0}));
        QCOMPARE(presses(birds, "  BIRD ", 3), QList<int>({1, 2, 1}));
        QCOMPARE(presses(birds, "", 4), QList<int>({0, 1, 2, 0}));
        QCOMPARE(presses(birds, "fire", 2, 10), QList<int>({-1, 0}));
        QCOMPARE(presses({}, "", 1), QList<int>({-1}));
    }

    // A list file holds one item per line, exactly as written, and one that cannot be
    // read is reported; a text contains an
    // item when the item occurs in it, case significant.
    void protectionLists_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("contained"); // the first item the text contains
        const auto row = [](const char *name, const QByteArray &bytes, const QStringList &items, const char *text,
                            int contained) {
            // clang-format off
            QTest::newRow(name) << bytes << items << QString(text) << contained;
            // clang-format on
        };
        row("every line end; an empty item is in every text", B("abc\r\n  pad  \r\n\r\ncr\rlf\nend"),
            {"abc", "  pad  ", "", "cr", "lf", "end"}, "none of them", 2);
        row("a last line end adds nothing", B("one\r\ntwo\r\n"), {"one", "two"}, "twenty two", 1);
        row("in the host", B("abc"), {"abc"}, "https://abc.example.org/setup.exe", 0);
        row("case matters", B("abc"), {"abc"}, "https://x.org/ABC/setup.exe", -1);
        row("blanks belong to the item", B(" abc\n"), {" abc"}, "https://x.org/abc", -1);
        row("first contained item", B("none\nTool\nToolbar"), {"none", "Tool", "Toolbar"}, "Great Toolbar", 1);
        row("Windows-1252", B("caf\xE9\r\n"), {"café"}, "Café café", 0);
        row("UTF-8 with a mark", B("\xEF\xBB\xBFna\xC3\xAFve"), {"naïve"}, "NAÏVE", -1);
        row("UTF-16 with a mark", B("\xFF\xFEt\0o\0o\0l\0\r\0\n\0"), {"tool"}, "a tool", 0);
        row("empty file", QByteArray(), {}, "anything", -1);
    }

    void protectionLists()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QFETCH(int, contained);
        QTemporaryDir dir;
        QVERIFY(test::writeFile(blacklistPath(dir.path()), bytes) && QDir(dir.path()).mkdir("FOSignatures.ddl"));
        QStringList errors;
        const ProtectionLists lists = loadProtectionLists(dir.path(), &errors);
        // A missing list is no error; a folder in place of one is reported.
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains("FOSignatures.ddl"));
        QVERIFY(lists.signatures.isEmpty() && lists.adware.isEmpty());
        QCOMPARE(lists.blacklist, items);
        QCOMPARE(lists.isBarred(text), contained >= 0);
        QCOMPARE(ProtectionLists({{}, {}, items}).adwareItemIn(text), contained);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
