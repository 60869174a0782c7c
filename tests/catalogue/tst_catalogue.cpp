#include "TestSupport.h"
#include "catalogue/Catalogue.h"
#include "platform/ProfileEngine.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;
using fetchora::test::writeFile;

class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    QString writeDef(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!writeFile(path, bytes))
            qFatal("could not write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void categoriesInFileOrderPerDatabase()
    {
        QTemporaryDir dir;
        writeDef(dir, "FOApps.def", "[Browsers]\r\nFirefox=LINK1\r\n[All]\r\nFirefox=LINK1\r\n[Tools]\r\n");
        writeDef(dir, "FOPortable.def", "[P1]\n[P2]\n");
        writeDef(dir, "FOSpecial.def", "[Windows Starter Kit]\nA=b\n");
        writeDef(dir, "FOPages.def", "[Help]\n");
        writeDef(dir, "FInstalls.def", "[Setups]\n");
        // No FOSlim.def: that database stays empty, the others load.
        ProfileEngine engine;
        Catalogue catalogue(engine, dir.path());
        catalogue.loadCategories();
        QCOMPARE(catalogue.categories(Database::Apps), QStringList({"Browsers", "All", "Tools"}));
        QCOMPARE(catalogue.categories(Database::Portable), QStringList({"P1", "P2"}));
        QVERIFY(catalogue.categories(Database::Slim).isEmpty());
        QCOMPARE(catalogue.categories(Database::Special), QStringList({"Windows Starter Kit"}));
        QCOMPARE(catalogue.categories(Database::Pages), QStringList({"Help"}));
        QCOMPARE(catalogue.categories(Database::Install), QStringList({"Setups"}));
        QCOMPARE(QFileInfo(catalogue.path(Database::Install)).fileName(), QString("FInstalls.def"));
        QCOMPARE(QFileInfo(catalogue.path(Database::Slim)).absolutePath(), QDir(dir.path()).absolutePath());
    }

    void missingDataFolderGivesEmptyCatalogue()
    {
        ProfileEngine engine;
        Catalogue catalogue(engine, QStringLiteral("/nonexistent/fetchora/Data"));
        catalogue.loadCategories();
        for (Database db : kAllDatabases)
            QVERIFY(catalogue.categories(db).isEmpty());
        QVERIFY(catalogue.entries(Database::Apps, "Browsers").isEmpty());
        QCOMPARE(catalogue.value(Database::Apps, "Browsers", "Firefox"), QString());
    }

    void entryNamesFollowTheLineRules()
    {
        QTemporaryDir dir;
        const QString path = writeDef(dir, "FOApps.def",
                                      "[Tools]\r\n"
                                      "Firefox=LINK1\r\n"
                                      "no equals sign here\r\n"
                                      "Some=Name=x\r\n"
                                      "; a comment=not an entry\r\n"
                                      "=nameless\r\n"
                                      "  Spaced Name  =  spaced value  \r\n"
                                      "Firefox=LINK2\r\n"
                                      "\r\n"
                                      "Last=z");
        ProfileEngine engine;
        QCOMPARE(readCategoryEntries(engine, path, "Tools"),
                 QStringList({"Firefox", "Some", "", "Spaced Name", "Firefox", "Last"}));
        QCOMPARE(readEntryValue(engine, path, "Tools", "Firefox"), QString("LINK1"));
        QCOMPARE(readEntryValue(engine, path, "Tools", "Some"), QString("Name=x"));
        QCOMPARE(readEntryValue(engine, path, "Tools", "Spaced Name"), QString("spaced value"));
        QCOMPARE(readEntryValue(engine, path, "tools", "FIREFOX"), QString("LINK1"));
        QCOMPARE(readEntryValue(engine, path, "Tools", "no equals sign here"), QString());
        QCOMPARE(readEntryValue(engine, path, "Tools", "Missing"), QString());
        QCOMPARE(readEntryValue(engine, path, "Nowhere", "Firefox"), QString());
        QVERIFY(readCategoryEntries(engine, path, "Nowhere").isEmpty());
    }

    void valuesAndListsComeBackWhole()
    {
        // Long links, many entries and many categories used to be cut by
        // fixed buffers; every one must come back complete.
        QTemporaryDir dir;
        const QString longLink = "https://example.org/" + QString(300, 'a') + "/setup.exe";
        QByteArray bytes = "[Big]\r\nLong=" + longLink.toUtf8() + "\r\n";
        for (int i = 0; i < 20000; ++i)
            bytes += "Entry " + QByteArray::number(i) + "=https://example.org/" + QByteArray::number(i) + "\r\n";
        for (int i = 0; i < 2000; ++i)
            bytes += "[A rather long category name number " + QByteArray::number(i) + "]\r\n";
        const QString path = writeDef(dir, "FOApps.def", bytes);
        ProfileEngine engine;
        QCOMPARE(readEntryValue(engine, path, "Big", "Long"), longLink);
        const QStringList names = readCategoryEntries(engine, path, "Big");
        QCOMPARE(names.size(), 20001);
        QCOMPARE(names.last(), QString("Entry 19999"));
        Catalogue catalogue(engine, dir.path());
        catalogue.loadCategories();
        QCOMPARE(catalogue.categories(Database::Apps).size(), 2001);
        QCOMPARE(catalogue.categories(Database::Apps).last(), QString("A rather long category name number 1999"));
    }

    void everySelectionSeesTheFileAsItIsNow()
    {
        QTemporaryDir dir;
        const QString path = writeDef(dir, "FOApps.def", "[Tools]\nOne=1\n");
        ProfileEngine engine;
        Catalogue catalogue(engine, dir.path());
        catalogue.loadCategories();
        QCOMPARE(catalogue.entries(Database::Apps, "Tools"), QStringList({"One"}));
        writeFile(path, "[Tools]\nOne=1b\nTwo=2\n");
        QCOMPARE(catalogue.entries(Database::Apps, "Tools"), QStringList({"One", "Two"}));
        QCOMPARE(catalogue.value(Database::Apps, "Tools", "One"), QString("1b"));
        QFile::remove(path);
        QVERIFY(catalogue.entries(Database::Apps, "Tools").isEmpty());
        // Categories are read at start-up only.
        QCOMPARE(catalogue.categories(Database::Apps), QStringList({"Tools"}));
    }

    void filesAndAssociatedPrograms()
    {
        QTemporaryDir dir;
        const QString path = writeDef(dir, "FOBlacklist.def", "host\n");
        QVERIFY(fileExists(path));
        QVERIFY(fileExists(dir.path()));
        QVERIFY(!fileExists(dir.filePath("nothing.def")));
        QVERIFY(!fileExists(QString()));

        test::RecordingShell shell;
        QVERIFY(openWithAssociatedProgram(shell, path));
        QCOMPARE(shell.opened.size(), 1);
        QCOMPARE(shell.opened.first(), QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        shell.result = false;
        QVERIFY(!openWithAssociatedProgram(shell, path));
    }

    void applicationPathEndsInSeparator()
    {
        QVERIFY(applicationPath().endsWith('/'));
        QVERIFY(!applicationPath().endsWith("//"));
    }

    // The catalogue that ships with the program: every database loads, the All
    // sections repeat every entry, and links are https or commands.
    void bundledCatalogueIsComplete()
    {
        const QString data = test::bundledDataDir();
        QVERIFY2(QFileInfo(data).isDir(), qPrintable(data));
        ProfileEngine engine;
        Catalogue catalogue(engine, data);
        catalogue.loadCategories();
        const std::pair<Database, int> minimum[] = {
            {Database::Apps, 150}, {Database::Portable, 40}, {Database::Slim, 20},
            {Database::Special, 10}, {Database::Pages, 10}, {Database::Install, 10}};
        for (const auto &[db, least] : minimum) {
            const QStringList cats = catalogue.categories(db);
            QVERIFY2(cats.contains("All"), qPrintable(definitionFileName(db)));
            QSet<QString> inCategories;
            QSet<QString> inAll;
            for (const QString &cat : cats) {
                for (const QString &name : catalogue.entries(db, cat)) {
                    const QString link = catalogue.value(db, cat, name);
                    QVERIFY2(!link.isEmpty(), qPrintable(name));
                    const bool command = db == Database::Install
                        || (db == Database::Special && name.contains(QLatin1String("cmd")));
                    if (!command)
                        QVERIFY2(link.startsWith("https://"), qPrintable(name + " = " + link));
                    (cat == "All" ? inAll : inCategories).insert(name);
                }
            }
            QVERIFY2(inCategories.size() >= least, qPrintable(definitionFileName(db)));
            QCOMPARE(inAll, inCategories);
        }
        QVERIFY(catalogue.categories(Database::Apps).size() >= 16);
        QVERIFY(catalogue.categories(Database::Special).contains("Windows Starter Kit"));
        // The update list names files that exist.
        for (const QString &name : QString::fromUtf8(test::readFile(data + "/FOSignatures.ddl"))
                                       .split(QRegularExpression("[\r\n]+"), Qt::SkipEmptyParts))
            QVERIFY2(QFileInfo::exists(data + "/" + name.trimmed()), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
