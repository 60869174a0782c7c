#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "ProductUrls.h"
#include "catalogue/CatalogueFileCheck.h"
#include "catalogue/ProtectionLists.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "update/UpdateChecks.h"
#include "update/VersionCompare.h"
#include "update/VersionFile.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

namespace {

const QString kRule = "========================";
const QByteArray kLocalVersion = "[Fetchora]\r\nVersion=2.1.5\r\nNews=Local news\r\n"
                                 "[Signature]\r\nVersion=2013.03.01\r\nNews=Local news\r\n";
// Each file: the user's copy, then the mirror's. Comments and an empty section
// hold no entries: the user's FOApps.def counts 3. A plain list without
// categories is a valid update.
const QMap<QString, QPair<QByteArray, QByteArray>> kFiles = {
    {"FOApps.def",
     {"; catalogue\r\n[Browsers]\r\nFirefox=https://a/ff\r\n; retired\r\nOpera=https://a/op\r\n[Empty]\r\n"
      "[Office]\r\nAbiWord=https://a/abi\r\n",
      "[Browsers]\r\nFirefox=https://b/ff\r\n[Security]\r\nKeePass=https://b/kp\r\n"}},
    {"FOBlacklist.def", {"softonic.com\r\n", "softonic.com\r\nbrothersoft.com\r\n"}}};

const QString kServerVersion = "[Fetchora]\r\nVersion=%1\r\nChangelog=Program changes\r\nNews=Program news\r\n"
                               "[Signature]\r\nVersion=2013.03.08\r\n";

// Every file below a folder with its bytes: what a failed check may not change.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
}

} // namespace

class UpdateChecksTest : public DownloadTestCase
{
    Q_OBJECT

    QString m_data, m_base;
    std::unique_ptr<ProfileEngine> m_profiles;
    ScriptedPrompter m_prompter;
    QStringList m_log, m_downloads;

    // The loopback server stands in for a built-in, trusted update folder.
    UpdateContext context(const QStringList &files = kFiles.keys())
    {
        const auto log = [this](const QString &line) { m_log.append(line); };
        const auto download = [this](const QString &link) { m_downloads.append(link); };
        UpdateContext c{*m_profiles, *m_nam, m_prompter, m_data, m_base, files, "2.1.5", "2013.03.01", log, download};
        c.trustedMirrors = {m_base};
        return c;
    }
    QString data(const QString &name) const { return QDir(m_data).filePath(name); }
    // Runs the mirror script; its exit code, or -1 when it did not end by itself.
    int makeMirror(const QString &dataDir, const QString &version)
    {
        QProcess script;
        script.start("bash", {QFINDTESTDATA("../../scripts/make-mirror.sh"), dataDir, path("site"), version});
        const bool ran = script.waitForFinished(60000) && script.exitStatus() == QProcess::NormalExit;
        m_log = QString(script.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return ran ? script.exitCode() : -1;
    }

private Q_SLOTS:
    void init()
    {
        DownloadTestCase::init();
        m_data = path("Data");
        m_profiles = std::make_unique<ProfileEngine>();
        m_prompter = ScriptedPrompter();
        m_log = m_downloads = QStringList();
        m_base = m_server->url("/").toString();
        m_server->serveBytes("/FOVersion.ini", kServerVersion.arg("2.2.0").toUtf8());
        for (auto it = kFiles.cbegin(); it != kFiles.cend(); ++it) {
            QVERIFY(writeFile(data(it.key()), it.value().first));
            m_server->serveBytes('/' + it.key(), it.value().second);
        }
        QVERIFY(writeFile(versionFilePath(m_data), kLocalVersion));
    }

    // Versions compare part by part, as numbers where both parts are, else by
    // character codes; a missing part is 0 and no version is older than any.
    void programCheck_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<int>("order"); // of the server's version against the installed one
        QTest::addColumn<bool>("yes");
        // clang-format off
        QTest::newRow("newer, Yes") << "2.1.5" << QByteArray("2.2.0") << 1 << true;
        QTest::newRow("newer, No") << "2.1.5" << QByteArray("2.2.0") << 1 << false;
        QTest::newRow("2.1.10 after 2.1.9") << "2.1.9" << QByteArray("2.1.10") << 1 << false;
        QTest::newRow("lower case after upper case") << "1.0B" << QByteArray("1.0a") << 1 << false;
        QTest::newRow("a missing part is 0") << "2.1.0" << QByteArray("2.1") << 0 << false;
        QTest::newRow("no version") << "2.1.5" << QByteArray() << -1 << false;
        // clang-format on
    }

    void programCheck()
    {
        QFETCH(QString, installed);
        QFETCH(QByteArray, server);
        QFETCH(int, order);
        QFETCH(bool, yes);
        m_server->serveBytes("/FOVersion.ini", kServerVersion.arg(server).toUtf8());
        m_prompter.answers = {yes};
        UpdateContext c = context();
        c.installedVersion = installed;
        QCOMPARE(checkProgramVersion(c).newerVersion, order > 0);
        const QString offer = "Version " + server + " of Fetchora is available.";
        const QStringList expected = order > 0
            ? QStringList{offer, kRule, "Whats new in this Version?", "Program changes"}
            : order == 0 ? QStringList{kRule, "You are using the latest Version of Fetchora.", kRule, "Program news"}
                         : QStringList{kRule, "You are using an unofficial Version of Fetchora.", kRule};
        QCOMPARE(m_log, expected);
        QCOMPARE(m_prompter.messages.value(0).text, order > 0 ? offer + "\r\nDo you want to Download the Update?" : "");
        // Only a Yes hands the setup to the download dialog.
        const QString setup = QString(urls::WebSite) + "download/finish/30-fetchora/124-fetchora";
        QCOMPARE(m_downloads, yes ? QStringList{setup} : QStringList{});
    }

    // What may be installed as a catalogue file; the update refuses the rest.
    void catalogueFileCheck_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        // clang-format off
        QTest::newRow("Windows-1252") << QByteArray("[Caf\xe9]\r\nA=\x80\tx\r\n") << true;
        QTest::newRow("UTF-8 with its mark, CR") << QByteArray("\xef\xbb\xbf[A]\rB=\xc3\xa9") << true;
        QTest::newRow("comments, lines without =") << QByteArray("[A]\r\n;B=1\r\nB\r\n") << false;
        QTest::newRow("entry without a name") << QByteArray("[A]\r\n =1\r\n") << false;
        QTest::newRow("nameless category") << QByteArray("[ ]\r\nB=1\r\n") << false;
        QTest::newRow("unclosed header") << QByteArray("[A\r\nB=1\r\n") << false;
        QTest::newRow("unused Windows-1252 byte") << QByteArray("[A]\r\nB=\x81\r\n") << false;
        QTest::newRow("C1 control in UTF-8") << QByteArray("[A]\r\nB=\xc2\x85\r\n") << false;
        // clang-format on
    }

    void catalogueFileCheck()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QCOMPARE(catalogueFileProblem(bytes, CatalogueFileKind::Definitions).isEmpty(), accepted);
    }

    // One file that cannot be had whole and valid, a name in the list that is not
    // a plain file name, or a file that cannot be replaced: the update fails, says
    // why, and keeps every installed file, so it is offered again next time.
    void failureKeepsTheInstalledCatalogue_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status"); // the mirror's answer; 0: a name in the list, never asked for;
                                         // -1: a good file whose installed copy is a folder
        QTest::addColumn<QByteArray>("body");
        const QByteArray page = "<html><body>Maintenance</body></html>";
        // clang-format off
        QTest::newRow("404") << "FOBlacklist.def" << 404 << page;
        QTest::newRow("empty") << "FOBlacklist.def" << 200 << QByteArray();
        QTest::newRow("no categories") << "FOApps.def" << 200 << QByteArray("Firefox=https://b/ff\r\n");
        QTest::newRow("random bytes") << "FOApps.def" << 200 << sampleBytes(1 << 20);
        QTest::newRow("a list with a NUL") << "FOBlacklist.def" << 200 << QByteArray("a.com\r\n\0\r\n", 10);
        QTest::newRow("cannot be replaced") << "FOX.def" << -1 << QByteArray("[X]\r\nx=https://b/x\r\n");
        QTest::newRow("version file 404") << "FOVersion.ini" << 404 << page;
        QTest::newRow("version file a web page") << "FOVersion.ini" << 200 << page;
        for (const char *name : {"../x.def", "..\\x.def", "sub/x.def", "C:x.def", "/x.def", " x.def"})
            QTest::newRow(name) << name << 0 << QByteArray();
        // clang-format on
    }

    void failureKeepsTheInstalledCatalogue()
    {
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        if (status)
            m_server->setRoute('/' + file, {.status = qMax(status, 200), .body = body});
        if (status < 0)
            QVERIFY(writeFile(data(file + "/kept"), "x"));
        const auto before = snapshot(m_dir->path());
        const QStringList entries = folderEntries(m_data);
        UpdateContext c = context(status > 0 ? kFiles.keys() : kFiles.keys() << file);
        QVERIFY(updateDefinitions(c).failed);
        QCOMPARE(m_log.last(), kUpdateErrorReport);
        QVERIFY(m_prompter.messages.size() == 1 && m_prompter.messages[0].kind == "critical");
        const bool versionFile = file == "FOVersion.ini";
        QVERIFY(versionFile || m_log.join('\n').contains(file + " could not be updated: "));
        QVERIFY(!m_log.join('\n').contains("Updated successfully"));
        QCOMPARE(snapshot(m_dir->path()), before);
        QCOMPARE(folderEntries(m_data), entries);
        QCOMPARE(m_server->totalRequests(), versionFile ? 1 : 1 + int(kFiles.size()) + (status < 0));
        // Without a version file the program check cannot say anything either; with one,
        // it leaves the installed catalogue's version file alone.
        m_log.clear();
        QCOMPARE(checkProgramVersion(c).failed, versionFile);
        QCOMPARE(m_log.size() == 1, versionFile);
        QCOMPARE(readFile(versionFilePath(m_data)), kLocalVersion);
    }

    // Only the exact address of a trusted folder is asked. Anything else is a custom
    // mirror, not asked at all: both checks read the installed version file.
    void customMirrorInstallsNothing()
    {
        UpdateContext c = context();
        c.trustedMirrors = {m_base + "m/"};
        c.baseUrl = m_base + "m";
        checkProgramVersion(c);
        QVERIFY(!updateDefinitions(c).updated);
        QCOMPARE(m_log.mid(7), QStringList({kRule, "Your Signature File(s) is Up-to-Date.", kRule, "Local news"}));
        // Even with no catalogue version known, nothing comes from it.
        c.localSignatureVersion.clear();
        QVERIFY(!updateDefinitions(c).updated);
        QVERIFY(m_log.contains("This Update Source is unknown. Update feature has been disabled."));
        QCOMPARE(m_server->totalRequests(), 0);
    }

    // The shipped catalogue, published with the mirror script and served as a
    // static web server would, installs over the user's.
    void publishedCatalogueInstalls()
    {
        const QString shipped = bundledDataDir();
        const QString version = versionFilePath(shipped);
        // It names its catalogue's version, so a fresh install asks for no update.
        QVERIFY(compareVersions(m_profiles->readString(version, "Signature", "Version"), "2026") > 0);

        QVERIFY2(makeMirror(shipped, "2099.01.01") == 0, qPrintable(m_log.join('\n')));
        const auto site = snapshot(path("site"));
        for (auto it = site.cbegin(); it != site.cend(); ++it)
            m_server->serveBytes('/' + it.key(), it.value());
        m_base = m_server->url("/fetchora_latest/").toString();
        const QStringList names = readListFile(QDir(shipped).filePath("FOSignatures.ddl"));
        QVERIFY(writeFile(data(".update-staging/FOApps.def"), "left by a killed run"));
        // Blank lines and a name listed twice do not break the update.
        UpdateContext c = context(QStringList{"", " \t"} + names + names.mid(0, 1));
        QVERIFY(updateDefinitions(c).updated);
        // clang-format off
        QStringList expected = QString("3 Signatures found in FOApps.def|0 Signatures found in FOPortable.def"
            "|0 Signatures found in FOSlim.def| %1|A new Signature Version 2099.01.01 is available.| %1"
            "|Whats new in this Signature?|%2| %1|Update running ...").arg(kRule, m_profiles->readString(
                path("site/fetchora_latest/FOVersion.ini"), "Signature", "Changelog")).split('|');
        // clang-format on
        for (const QString &name : names) {
            expected << name + " Updated successfully.";
            QCOMPARE(readFile(data(name)), readFile(QDir(shipped).filePath(name)));
            for (const char *folder : {"", "de/", "fr/"})
                QCOMPARE(site.value(QString("fetchora_latest/") + folder + name), readFile(data(name)));
        }
        expected << kRule << "Signature Definitions has been Updated successfully." << kRule;
        QCOMPARE(m_log, expected << "Please Restart Fetchora.");
        QCOMPARE(readFile(versionFilePath(m_data)), site.value("fetchora_latest/FOVersion.ini"));
        // Both the shipped and the published version file name this program's version.
        for (const QString &file : {version, versionFilePath(m_data)})
            QCOMPARE(m_profiles->readString(file, "Fetchora", "Version") + " Beta", AppState::programVersion());
        c.signatureFiles.clear(); // with nothing listed, the version still advances
        QVERIFY(updateDefinitions(c).updated);
        // Nothing but the catalogue is left in the Data folder.
        for (const QString &f : folderEntries(m_data))
            QVERIFY2(names.contains(f) || kFiles.contains(f) || f == "FOVersion.ini", qPrintable(f));

        // A list or a file the program would refuse is refused before anything is published.
        QVERIFY(writeFile(data("FOBad.def"), "[Bad]\r\nx=\x01\r\n"));
        for (const char *list :
             {"FOApps.def\r\n../Data/FOApps.def", "FOApps.def\r\nFOGone.def", "FOApps.def\r\nFOBad.def", ""}) {
            QVERIFY(writeFile(data("FOSignatures.ddl"), list));
            QCOMPARE(makeMirror(m_data, "2100.01.01"), 1);
            QVERIFY2(m_log.join('\n').contains("FOSignatures.ddl"), qPrintable(m_log.join('\n')));
            QCOMPARE(snapshot(path("site")), site);
        }
        QVERIFY(writeFile(data("FOSignatures.ddl"), "FOApps.def\r\n \r\n\r\n"));
        QCOMPARE(makeMirror(m_data, "2100.01.01"), 0);
    }
};

QTEST_GUILESS_MAIN(UpdateChecksTest)
#include "tst_updatechecks.moc"
