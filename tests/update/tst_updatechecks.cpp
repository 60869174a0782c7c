#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "ProductUrls.h"
#include "platform/ProfileEngine.h"
#include "update/UpdateChecks.h"
#include "update/VersionFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QTest>

#include <tuple>

using namespace fetchora;
using namespace fetchora::test;

namespace {

const QString kRule = QStringLiteral("========================");
const QString kSpacedRule = QStringLiteral(" ========================");

// What the user already has in the Data folder.
const QByteArray kLocalApps = "; Fetchora catalogue\r\n"
                              "[Browsers]\r\nFirefox=https://example.org/ff.exe\r\nChrome=https://example.org/gc.exe\r\n"
                              "Opera=https://example.org/op.exe\r\n"
                              "[Office]\r\nLibreOffice=https://example.org/lo.exe\r\n; retired\r\n"
                              "AbiWord=https://example.org/abi.exe\r\nOnlyOffice=https://example.org/oo.exe\r\n";
const QByteArray kLocalPortable = "[Portable Tools]\r\n7-Zip Portable=https://example.org/7zp.exe\r\n"
                                  "Notepad++ Portable=https://example.org/npp.exe\r\n";
const QByteArray kLocalSlim = "[Slim]\r\nA=https://example.org/a.exe\r\nB=https://example.org/b.exe\r\n"
                              "C=https://example.org/c.exe\r\nD=https://example.org/d.exe\r\n";
const QByteArray kLocalSpecial = "[Drivers]\r\nGPU=https://example.org/gpu.exe\r\n";
const QByteArray kLocalBlacklist = "softonic.com\r\ndownload.cnet.com\r\n";
const QByteArray kLocalAdware = "toolbar\r\n";
const QByteArray kLocalVersion = "[Fetchora]\r\nVersion=2.1.5\r\nNews=Local news\r\n"
                                 "[Signature]\r\nVersion=2013.03.01\r\nNews=Local signature news\r\n";
constexpr int kLocalAppsCount = 6;
constexpr int kLocalPortableCount = 2;
constexpr int kLocalSlimCount = 4;

// What the update folder offers.
const QByteArray kServerApps = "[Browsers]\r\nFirefox=https://example.org/ff2.exe\r\nChrome=https://example.org/gc2.exe\r\n"
                               "Brave=https://example.org/br.exe\r\n"
                               "[Office]\r\nLibreOffice=https://example.org/lo2.exe\r\n"
                               "[Security]\r\nClamWin=https://example.org/cw.exe\r\nKeePass=https://example.org/kp.exe\r\n"
                               "VeraCrypt=https://example.org/vc.exe\r\n";
constexpr int kServerAppsCount = 7;
const QByteArray kServerPortable = "[Portable Tools]\r\n7-Zip Portable=https://example.org/7zp2.exe\r\n"
                                   "Notepad++ Portable=https://example.org/npp2.exe\r\n"
                                   "[Portable Media]\r\nVLC Portable=https://example.org/vlcp.exe\r\n";
constexpr int kServerPortableCount = 3;
const QByteArray kServerSlim = "[Slim]\r\nA=https://example.org/a2.exe\r\nE=https://example.org/e.exe\r\n";
constexpr int kServerSlimCount = 2;
const QByteArray kServerSpecial = "[Drivers]\r\nGPU=https://example.org/gpu2.exe\r\nAudio=https://example.org/au.exe\r\n";
// Plain lists without any category: accepted as they are.
const QByteArray kServerBlacklist = "softonic.com\r\ndownload.cnet.com\r\nbrothersoft.com\r\n";
const QByteArray kServerAdware = "toolbar\r\nsearch protect\r\n";

const QString kProgramChangelog = QStringLiteral("Faster start and a new mirror list");
const QString kProgramNews = QStringLiteral("Fetchora 2.2 is out");
const QString kSignatureChangelog = QStringLiteral("New browsers and security tools");
const QString kSignatureNews = QStringLiteral("Catalogue checked on 8 March");

QByteArray serverVersionFile(const QString &programVersion = QStringLiteral("2.2.0"),
                             const QString &signatureVersion = QStringLiteral("2013.03.08"))
{
    return QStringLiteral("[Fetchora]\r\nVersion=%1\r\nChangelog=%2\r\nNews=%3\r\n"
                          "[Signature]\r\nVersion=%4\r\nChangelog=%5\r\nNews=%6\r\n")
        .arg(programVersion, kProgramChangelog, kProgramNews, signatureVersion, kSignatureChangelog,
             kSignatureNews)
        .toUtf8();
}

const QStringList kSignatureFiles = {
    QStringLiteral("FOApps.def"),    QStringLiteral("FOPortable.def"),  QStringLiteral("FOSlim.def"),
    QStringLiteral("FOSpecial.def"), QStringLiteral("FOBlacklist.def"), QStringLiteral("FOAdware.def"),
};

// The user's copy of each definition file, and the update folder's.
const QMap<QString, QPair<QByteArray, QByteArray>> kCopies = {
    {QStringLiteral("FOApps.def"), {kLocalApps, kServerApps}},
    {QStringLiteral("FOPortable.def"), {kLocalPortable, kServerPortable}},
    {QStringLiteral("FOSlim.def"), {kLocalSlim, kServerSlim}},
    {QStringLiteral("FOSpecial.def"), {kLocalSpecial, kServerSpecial}},
    {QStringLiteral("FOBlacklist.def"), {kLocalBlacklist, kServerBlacklist}},
    {QStringLiteral("FOAdware.def"), {kLocalAdware, kServerAdware}},
};

QByteArray localCopy(const QString &name)
{
    return kCopies.value(name).first;
}

QByteArray serverCopy(const QString &name)
{
    return kCopies.value(name).second;
}

QStringList countLines(int apps, int portable, int slim)
{
    return {
        QStringLiteral("%1 Signatures found in FOApps.def").arg(apps),
        QStringLiteral("%1 Signatures found in FOPortable.def").arg(portable),
        QStringLiteral("%1 Signatures found in FOSlim.def").arg(slim),
    };
}

QStringList newSignatureLines(const QString &version = QStringLiteral("2013.03.08"))
{
    return {
        kSpacedRule,
        QStringLiteral("A new Signature Version %1 is available.").arg(version),
        kSpacedRule,
        QStringLiteral("Whats new in this Signature?"),
        kSignatureChangelog,
        kSpacedRule,
        QStringLiteral("Update running ..."),
    };
}

const QStringList kUpdatedLines = {
    kRule,
    QStringLiteral("Signature Definitions has been Updated successfully."),
    kRule,
    QStringLiteral("Please Restart Fetchora."),
};

// The whole log of an update that replaced every file, after counting the files it started from.
QStringList updatedLog(int apps, int portable, int slim)
{
    QStringList lines = countLines(apps, portable, slim) + newSignatureLines();
    for (const QString &name : kSignatureFiles)
        lines << name + QStringLiteral(" Updated successfully.");
    return lines + kUpdatedLines;
}

QStringList upToDateLog(int apps, int portable, int slim, const QString &news)
{
    return countLines(apps, portable, slim)
           + QStringList{kRule, QStringLiteral("Your Signature File(s) is Up-to-Date."), kRule, news};
}

// What an update may leave in the Data folder: the catalogue and its version file.
QStringList catalogueNames()
{
    QStringList names = kSignatureFiles;
    names << QStringLiteral("FOVersion.ini");
    names.sort();
    return names;
}

// Every file below a folder with its bytes, hidden ones included.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(base.relativeFilePath(path), it.fileInfo().isDir() ? QByteArray("<dir>") : readFile(path));
    }
    return files;
}

QString joined(const QStringList &lines)
{
    return QStringLiteral("\n  | ") + lines.join(QStringLiteral("\n  | "));
}

bool anyLineContains(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text))
            return true;
    }
    return false;
}

enum class Trouble {
    NotFound,
    ServerError,
    Empty,
    NoSections,
    OnlyComment,
    HtmlPage,
    Cut,
    Stall,
    Oversized,
    Unreachable,
    RandomText,
};

} // namespace

Q_DECLARE_METATYPE(Trouble)

class UpdateChecksTest : public DownloadTestCase
{
    Q_OBJECT

    UpdateContext makeContext()
    {
        return UpdateContext{
            *m_profiles,
            *m_nam,
            m_prompter,
            m_data,
            m_base,
            kSignatureFiles,
            QStringLiteral("2.1.5"),
            QStringLiteral("2013.03.01"),
            [this](const QString &line) { m_log.append(line); },
            [this](const QString &url) { m_downloads.append(url); },
            FetchLimits{},
            // The test server stands in for one of the built-in update folders.
            QStringList{m_base},
        };
    }

    void serveAll()
    {
        m_server->serveBytes(QStringLiteral("/FOVersion.ini"), serverVersionFile(), "text/plain");
        for (const QString &name : kSignatureFiles)
            m_server->serveBytes(QLatin1Char('/') + name, serverCopy(name), "text/plain");
    }

    void writeLocalData()
    {
        for (const QString &name : kSignatureFiles)
            QVERIFY(writeFile(QDir(m_data).filePath(name), localCopy(name)));
        QVERIFY(writeFile(versionFilePath(m_data), kLocalVersion));
    }

    // Makes `path` misbehave; may shorten the limits.
    void arrange(Trouble trouble, const QString &path, FetchLimits &limits)
    {
        switch (trouble) {
        case Trouble::NotFound:
            m_server->serveStatus(path, 404, "<html><body>404 Not Found</body></html>");
            break;
        case Trouble::ServerError:
            m_server->serveStatus(path, 500, "<html><body>Internal Server Error</body></html>");
            break;
        case Trouble::Empty:
            m_server->serveBytes(path, QByteArray(), "text/plain");
            break;
        case Trouble::NoSections:
            m_server->serveBytes(path, "Firefox=https://example.org/ff.exe\r\nChrome=https://example.org/gc.exe\r\n");
            break;
        case Trouble::OnlyComment:
            m_server->serveBytes(path, "; the catalogue is being rebuilt\r\n");
            break;
        case Trouble::HtmlPage:
            // What a captive portal or a broken mirror answers with status 200.
            m_server->serveBytes(path, "<html><head><title>Maintenance</title></head>"
                                       "<body>Service unavailable</body></html>",
                                 "text/html");
            break;
        case Trouble::Cut:
            m_server->cutAfter(path, serverVersionFile() + QByteArray(4000, ';'), 60);
            break;
        case Trouble::Stall:
            limits.connectTimeoutMs = 500;
            limits.idleTimeoutMs = 500;
            m_server->stallBeforeHeaders(path);
            break;
        case Trouble::Oversized: {
            limits.maxBytes = 4096;
            QByteArray big = "[Browsers]\r\n";
            while (big.size() < 20000)
                big += "Some Browser=https://example.org/some-browser-with-a-long-name.exe\r\n";
            m_server->serveBytes(path, big);
            break;
        }
        case Trouble::Unreachable:
            m_base = QStringLiteral("http://127.0.0.1:%1/").arg(deadPort());
            break;
        case Trouble::RandomText:
            m_server->serveBytes(path, "q8#k!2 this is not a version file\r\nat all\r\n", "text/plain");
            break;
        }
    }

    int criticalCount(const QString &text) const
    {
        int n = 0;
        for (const auto &m : m_prompter.messages) {
            if (m.kind == QLatin1String("critical") && m.text == text)
                ++n;
        }
        return n;
    }

    QString m_data;
    std::unique_ptr<ProfileEngine> m_profiles;
    ScriptedPrompter m_prompter;
    QStringList m_log;
    QStringList m_downloads;
    QString m_base;

private Q_SLOTS:
    void init()
    {
        DownloadTestCase::init();
        m_data = path(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(m_data));
        m_profiles = std::make_unique<ProfileEngine>();
        m_prompter = ScriptedPrompter();
        m_log.clear();
        m_downloads.clear();
        m_base = m_server->url(QStringLiteral("/")).toString();
        QVERIFY(m_base.endsWith(QLatin1Char('/')));
    }

    void cleanup()
    {
        m_profiles.reset();
        DownloadTestCase::cleanup();
    }

    // ---- Counting

    void signatureCounts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("expected");

        QTest::newRow("two sections of three") << QByteArray("[A]\na=1\nb=2\nc=3\n[B]\nd=4\ne=5\nf=6\n") << qint64(6);
        QTest::newRow("CRLF line ends") << QByteArray("[A]\r\na=1\r\nb=2\r\nc=3\r\n[B]\r\nd=4\r\ne=5\r\nf=6\r\n")
                                        << qint64(6);
        QTest::newRow("empty section in between")
            << QByteArray("[A]\na=1\nb=2\nc=3\n[Empty]\n[B]\nd=4\ne=5\nf=6\n") << qint64(6);
        QTest::newRow("only an empty section") << QByteArray("[Empty]\n") << qint64(0);
        QTest::newRow("comments are not signatures")
            << QByteArray("; header comment\n[A]\n; first\na=1\n;second\nb=2\n  ; indented\n[B]\n; only a comment\n")
            << qint64(2);
        QTest::newRow("plain lines in a section count")
            << QByteArray("[Sites]\nsoftonic.com\ncnet.com\nname=value\n") << qint64(3);
        QTest::newRow("lines before the first section are no signatures")
            << QByteArray("loose=1\nloose=2\n[A]\na=1\n") << qint64(1);
        QTest::newRow("no sections at all") << QByteArray("softonic.com\ncnet.com\n") << qint64(0);
        QTest::newRow("empty file") << QByteArray() << qint64(0);

        QByteArray many;
        qint64 manyCount = 0;
        for (int s = 0; s < 500; ++s) {
            many += "[Category " + QByteArray::number(s) + "]\r\n";
            // 1 to 3 entries per section, so a lost section changes the total.
            const int lines = 1 + s % 3;
            for (int l = 0; l < lines; ++l)
                many += "App " + QByteArray::number(s) + "-" + QByteArray::number(l) + "=https://example.org/x.exe\r\n";
            manyCount += lines;
        }
        QTest::newRow("500 sections") << many << manyCount;
    }

    void signatureCounts()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, expected);

        const QString path = QDir(m_data).filePath(QStringLiteral("FOApps.def"));
        QVERIFY(writeFile(path, content));
        QCOMPARE(countSignatures(*m_profiles, path), expected);
    }

    void countSignaturesMissingFile()
    {
        QCOMPARE(countSignatures(*m_profiles, QDir(m_data).filePath(QStringLiteral("FOSlim.def"))), qint64(0));
        QCOMPARE(countSignatures(*m_profiles, path(QStringLiteral("no/such/folder/FOApps.def"))), qint64(0));
    }

    // ---- Program version

    void programVersion_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QByteArray>("fetchoraSection");
        QTest::addColumn<QStringList>("expectedLog");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<bool>("yes"); // the answer to the offer of the download

        const QByteArray rest = QStringLiteral("Changelog=%1\r\nNews=%2\r\n").arg(kProgramChangelog, kProgramNews).toUtf8();
        auto available = [](const QString &v) {
            return QStringList{QStringLiteral("Version %1 of Fetchora is available.").arg(v), kRule,
                               QStringLiteral("Whats new in this Version?"), kProgramChangelog};
        };
        const QStringList latest = {kRule, QStringLiteral("You are using the latest Version of Fetchora."), kRule,
                                    kProgramNews};
        const QStringList unofficial = {kRule, QStringLiteral("You are using an unofficial Version of Fetchora."), kRule};

        QTest::newRow("newer, No") << "2.1.5" << "Version=2.2.0\r\n" + rest << available("2.2.0") << true << false;
        QTest::newRow("newer, Yes") << "2.1.5" << "Version=2.2.0\r\n" + rest << available("2.2.0") << true << true;
        QTest::newRow("newer by number, not text") << "2.1.9" << "Version=2.1.10\r\n" + rest << available("2.1.10")
                                                    << true << false;
        QTest::newRow("newer major") << "2.1.5" << "Version=10.0.0\r\n" + rest << available("10.0.0") << true << false;
        QTest::newRow("equal") << "2.1.5" << "Version=2.1.5\r\n" + rest << latest << false << true;
        QTest::newRow("equal, shorter form") << "2.1.0" << "Version=2.1\r\n" + rest << latest << false << true;
        QTest::newRow("older") << "2.1.5" << "Version=2.1.4\r\n" + rest << unofficial << false << true;
        QTest::newRow("older, 2.1.9 against 2.1.10") << "2.1.10" << "Version=2.1.9\r\n" + rest << unofficial << false
                                                      << true;
        QTest::newRow("empty version") << "2.1.5" << "Version=\r\n" + rest << unofficial << false << true;
        QTest::newRow("no version key") << "2.1.5" << rest << unofficial << false << true;
    }

    void programVersion()
    {
        QFETCH(QString, installed);
        QFETCH(QByteArray, fetchoraSection);
        QFETCH(QStringList, expectedLog);
        QFETCH(bool, newer);
        QFETCH(bool, yes);

        writeLocalData();
        const QByteArray served = "[Fetchora]\r\n" + fetchoraSection
                                  + "[Signature]\r\nVersion=2013.03.08\r\nChangelog=x\r\nNews=y\r\n";
        m_server->serveBytes(QStringLiteral("/FOVersion.ini"), served, "text/plain");
        const auto before = snapshot(m_dir->path());
        m_prompter.answers = {yes};

        UpdateContext context = makeContext();
        context.installedVersion = installed;
        const ProgramCheckOutcome outcome = checkProgramVersion(context);

        QVERIFY2(m_log == expectedLog, qPrintable(joined(m_log)));
        QCOMPARE(outcome.newerVersion, newer);
        QVERIFY(!outcome.failed);
        if (newer) {
            QCOMPARE(m_prompter.messages.size(), 1);
            QCOMPARE(m_prompter.messages.first().kind, QStringLiteral("ask"));
            QCOMPARE(m_prompter.messages.first().text,
                     expectedLog.first() + QStringLiteral("\r\nDo you want to Download the Update?"));
        } else {
            QVERIFY(m_prompter.messages.isEmpty());
        }
        // Only a Yes to the offer hands the setup to the download dialog.
        if (newer && yes)
            QCOMPARE(m_downloads, QStringList{QString::fromLatin1(urls::SetupDownload)});
        else
            QVERIFY(m_downloads.isEmpty());
        // The program check never touches the installed catalogue or its version file,
        // and asks for nothing but the version file.
        QVERIFY(readFile(versionFilePath(m_data)) == kLocalVersion);
        QCOMPARE(snapshot(m_dir->path()), before);
        QCOMPARE(m_server->requestCount(QStringLiteral("/FOVersion.ini")), 1);
        QCOMPARE(m_server->totalRequests(), 1);
    }

    void programCheckCustomMirror_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::newRow("not a built-in folder") << "builtin";
        QTest::newRow("trusted folder without trailing slash") << "noslash";
        QTest::newRow("trusted folder in other letter case") << "case";
        QTest::newRow("sub-folder of a trusted folder") << "sub";
    }

    void programCheckCustomMirror()
    {
        QFETCH(QString, variant);

        writeLocalData();
        QVERIFY(writeFile(versionFilePath(m_data), "[Fetchora]\r\nVersion=2.3.0\r\nChangelog=Local changelog\r\n"
                                                   "News=Local news\r\n[Signature]\r\nVersion=2013.03.01\r\n"));
        // Everywhere the check could go astray, the server would claim 9.9.9.
        const QByteArray bait = serverVersionFile(QStringLiteral("9.9.9"), QStringLiteral("2099.01.01"));
        for (const QString &path : {QStringLiteral("/FOVersion.ini"), QStringLiteral("/mirror/FOVersion.ini"),
                                   QStringLiteral("/MIRROR/FOVersion.ini"), QStringLiteral("/sub/FOVersion.ini")})
            m_server->serveBytes(path, bait);
        const auto before = snapshot(m_dir->path());

        UpdateContext context = makeContext();
        if (variant == QLatin1String("builtin")) {
            context.trustedMirrors = UpdateContext{*m_profiles, *m_nam, m_prompter}.trustedMirrors;
        } else if (variant == QLatin1String("noslash")) {
            context.baseUrl.chop(1);
        } else if (variant == QLatin1String("case")) {
            context.trustedMirrors = {m_base + QStringLiteral("mirror/")};
            context.baseUrl = m_base + QStringLiteral("MIRROR/");
        } else {
            context.baseUrl = m_base + QStringLiteral("sub/");
        }
        QVERIFY(!context.trustedMirrors.contains(context.baseUrl));

        const ProgramCheckOutcome outcome = checkProgramVersion(context);

        QCOMPARE(m_server->totalRequests(), 0);
        // The installed version file is what a custom mirror's check reads.
        const QStringList expected = {QStringLiteral("Version 2.3.0 of Fetchora is available."), kRule,
                                      QStringLiteral("Whats new in this Version?"), QStringLiteral("Local changelog")};
        QVERIFY2(m_log == expected, qPrintable(joined(m_log)));
        QVERIFY(outcome.newerVersion);
        QVERIFY(!outcome.failed);
        QCOMPARE(snapshot(m_dir->path()), before);
    }

    // ---- A version file that cannot be had or read: both checks fail, say why, and
    // claim nothing about the versions.

    void versionFileTrouble_data()
    {
        QTest::addColumn<bool>("definitions"); // the definition update, or the program check
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("mentions");

        const QList<std::tuple<const char *, Trouble, QString>> troubles = {
            {"unreachable", Trouble::Unreachable, QStringLiteral("127.0.0.1")},
            {"stalled", Trouble::Stall, QStringLiteral("did not answer")},
            {"404", Trouble::NotFound, QStringLiteral("404")},
            {"500", Trouble::ServerError, QStringLiteral("500")},
            {"cut", Trouble::Cut, QStringLiteral("127.0.0.1")},
            {"random text", Trouble::RandomText, QStringLiteral("not valid")},
            {"html page", Trouble::HtmlPage, QStringLiteral("not valid")},
            {"empty file", Trouble::Empty, QStringLiteral("not valid")},
            {"only a comment", Trouble::OnlyComment, QStringLiteral("not valid")},
        };
        for (bool definitions : {false, true}) {
            for (const auto &[name, trouble, mentions] : troubles)
                QTest::addRow("%s, %s", definitions ? "definitions" : "program", name) << definitions << trouble << mentions;
        }
    }

    void versionFileTrouble()
    {
        QFETCH(bool, definitions);
        QFETCH(Trouble, trouble);
        QFETCH(QString, mentions);

        writeLocalData();
        serveAll();
        FetchLimits limits;
        arrange(trouble, QStringLiteral("/FOVersion.ini"), limits);
        const auto before = snapshot(m_dir->path());

        UpdateContext context = makeContext();
        context.limits = limits;
        bool failed = false;
        if (definitions) {
            const DefinitionUpdateOutcome outcome = updateDefinitions(context);
            failed = outcome.failed;
            QVERIFY(!outcome.updated);
        } else {
            const ProgramCheckOutcome outcome = checkProgramVersion(context);
            failed = outcome.failed;
            QVERIFY(!outcome.newerVersion);
        }

        QVERIFY2(failed, qPrintable(joined(m_log)));
        QVERIFY2(anyLineContains(m_log, mentions), qPrintable(joined(m_log)));
        for (const char *claim : {"is available", "latest Version", "unofficial", "Up-to-Date", "Updated successfully"})
            QVERIFY2(!anyLineContains(m_log, QLatin1String(claim)), qPrintable(joined(m_log)));
        // Only the definition update reports its failure in a message box.
        QCOMPARE(m_prompter.messages.size(), definitions ? 1 : 0);
        QCOMPARE(criticalCount(kUpdateErrorReport), definitions ? 1 : 0);
        if (definitions)
            QCOMPARE(m_log.last(), kUpdateErrorReport);
        QVERIFY(m_downloads.isEmpty());
        for (const QString &name : kSignatureFiles)
            QCOMPARE(m_server->requestCount(QLatin1Char('/') + name), 0);
        QCOMPARE(snapshot(m_dir->path()), before);
    }

    // ---- Definition update

    void definitionsUpdated()
    {
        writeLocalData();
        serveAll();

        UpdateContext context = makeContext();
        const DefinitionUpdateOutcome outcome = updateDefinitions(context);

        const QStringList expected = updatedLog(kLocalAppsCount, kLocalPortableCount, kLocalSlimCount);
        QVERIFY2(m_log == expected, qPrintable(joined(m_log)));
        QVERIFY(outcome.updated);
        QVERIFY(!outcome.failed);

        for (const QString &name : kSignatureFiles) {
            QVERIFY2(readFile(QDir(m_data).filePath(name)) == serverCopy(name), qPrintable(name));
            QCOMPARE(m_server->requestCount(QLatin1Char('/') + name), 1);
        }
        // The installed version now says what was installed.
        QVERIFY(readFile(versionFilePath(m_data)) == serverVersionFile());
        QCOMPARE(m_server->requestCount(QStringLiteral("/FOVersion.ini")), 1);
        QCOMPARE(m_server->totalRequests(), 1 + int(kSignatureFiles.size()));
        for (const auto &m : std::as_const(m_prompter.messages))
            QVERIFY2(m.kind != QLatin1String("critical") && m.kind != QLatin1String("warn"), qPrintable(m.text));

        // Nothing but the catalogue is left behind, in the Data folder or beside it.
        QCOMPARE(folderEntries(m_data), catalogueNames());
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("Data")});

        // The next check sees the new catalogue and finds nothing to do.
        m_log.clear();
        UpdateContext again = makeContext();
        again.localSignatureVersion = localSignatureVersion(*m_profiles, m_data);
        QCOMPARE(again.localSignatureVersion, QStringLiteral("2013.03.08"));
        const DefinitionUpdateOutcome second = updateDefinitions(again);
        const QStringList upToDate = upToDateLog(kServerAppsCount, kServerPortableCount, kServerSlimCount, kSignatureNews);
        QVERIFY2(m_log == upToDate, qPrintable(joined(m_log)));
        QVERIFY(!second.updated);
        QVERIFY(!second.failed);
        QCOMPARE(m_server->totalRequests(), 2 + int(kSignatureFiles.size()));
    }

    void definitionsNotUpdated_data()
    {
        QTest::addColumn<QString>("serverVersion");
        QTest::addColumn<QString>("localVersion"); // what the program takes to be installed
        QTest::addColumn<bool>("customMirror");
        QTest::addColumn<bool>("upToDate"); // the log says so

        QTest::newRow("equal") << "2013.03.01" << "2013.03.01" << false << true;
        QTest::newRow("equal, written without zeros") << "2013.3.1" << "2013.03.01" << false << true;
        QTest::newRow("server older") << "2013.02.15" << "2013.03.01" << false << true;
        QTest::newRow("server older by number, not text") << "2013.03.9" << "2013.03.10" << false << true;
        // A custom mirror is never asked, however new its catalogue; the local
        // version file answers.
        QTest::newRow("custom mirror, same version as the local file") << "2099.01.01" << "2013.03.01" << true << true;
        // Even when the local file names a newer catalogue than the program knows
        // of, a custom mirror is not a source of definition files.
        QTest::newRow("custom mirror, local file newer than the installed version")
            << "2099.01.01" << "2013.02.01" << true << false;
        QTest::newRow("custom mirror, no installed version") << "2099.01.01" << "" << true << false;
    }

    void definitionsNotUpdated()
    {
        QFETCH(QString, serverVersion);
        QFETCH(QString, localVersion);
        QFETCH(bool, customMirror);
        QFETCH(bool, upToDate);

        writeLocalData();
        serveAll();
        m_server->serveBytes(QStringLiteral("/FOVersion.ini"), serverVersionFile(QStringLiteral("2.2.0"), serverVersion));
        const auto before = snapshot(m_dir->path());

        UpdateContext context = makeContext();
        if (customMirror)
            context.trustedMirrors = UpdateContext{*m_profiles, *m_nam, m_prompter}.trustedMirrors;
        context.localSignatureVersion = localVersion;
        const DefinitionUpdateOutcome outcome = updateDefinitions(context);

        QVERIFY(!outcome.updated);
        if (upToDate) {
            const QString news = customMirror ? QStringLiteral("Local signature news") : kSignatureNews;
            QVERIFY2(m_log == upToDateLog(kLocalAppsCount, kLocalPortableCount, kLocalSlimCount, news),
                     qPrintable(joined(m_log)));
            QVERIFY(!outcome.failed);
        }
        for (const QString &name : kSignatureFiles)
            QVERIFY2(readFile(QDir(m_data).filePath(name)) == localCopy(name), qPrintable(name));
        QCOMPARE(snapshot(m_dir->path()), before);
        QCOMPARE(m_server->requestCount(QStringLiteral("/FOVersion.ini")), customMirror ? 0 : 1);
        QCOMPARE(m_server->totalRequests(), customMirror ? 0 : 1);
        if (!customMirror)
            QVERIFY(m_prompter.messages.isEmpty());
    }

    void oneBadFileKeepsItsOldCopyUntilNextTime_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("mentions");

        QTest::newRow("FOPortable.def 404") << "FOPortable.def" << Trouble::NotFound << "404";
        QTest::newRow("FOApps.def 500") << "FOApps.def" << Trouble::ServerError << "500";
        QTest::newRow("FOApps.def empty") << "FOApps.def" << Trouble::Empty << "";
        QTest::newRow("FOApps.def without sections") << "FOApps.def" << Trouble::NoSections << "";
        QTest::newRow("FOApps.def only a comment") << "FOApps.def" << Trouble::OnlyComment << "";
        QTest::newRow("FOSlim.def html page") << "FOSlim.def" << Trouble::HtmlPage << "";
        QTest::newRow("FOSpecial.def without sections") << "FOSpecial.def" << Trouble::NoSections << "";
        QTest::newRow("FOPortable.def cut") << "FOPortable.def" << Trouble::Cut << "";
        QTest::newRow("FOSlim.def stalled") << "FOSlim.def" << Trouble::Stall << "did not answer";
        QTest::newRow("FOApps.def oversized") << "FOApps.def" << Trouble::Oversized << "";
        QTest::newRow("FOBlacklist.def 404") << "FOBlacklist.def" << Trouble::NotFound << "404";
        QTest::newRow("FOAdware.def empty") << "FOAdware.def" << Trouble::Empty << "";
    }

    void oneBadFileKeepsItsOldCopyUntilNextTime()
    {
        QFETCH(QString, file);
        QFETCH(Trouble, trouble);
        QFETCH(QString, mentions);

        writeLocalData();
        serveAll();
        FetchLimits limits;
        arrange(trouble, QLatin1Char('/') + file, limits);

        UpdateContext context = makeContext();
        context.limits = limits;
        const DefinitionUpdateOutcome outcome = updateDefinitions(context);

        QVERIFY(outcome.failed);
        QVERIFY(!outcome.updated);
        // The broken file keeps the user's copy, byte for byte.
        QVERIFY2(readFile(QDir(m_data).filePath(file)) == localCopy(file), qPrintable(file));
        // The others are still brought up to date.
        for (const QString &name : kSignatureFiles) {
            if (name == file)
                continue;
            QVERIFY2(readFile(QDir(m_data).filePath(name)) == serverCopy(name), qPrintable(name));
            QVERIFY2(m_log.contains(name + QStringLiteral(" Updated successfully.")), qPrintable(joined(m_log)));
        }
        // The catalogue version stays, so the update is offered again next time.
        QVERIFY(readFile(versionFilePath(m_data)) == kLocalVersion);

        const QStringList header = countLines(kLocalAppsCount, kLocalPortableCount, kLocalSlimCount) + newSignatureLines();
        QVERIFY2(m_log.mid(0, header.size()) == header, qPrintable(joined(m_log)));
        const QString prefix = file + QStringLiteral(" could not be updated: ");
        QString failureLine;
        for (const QString &line : std::as_const(m_log)) {
            if (line.startsWith(prefix))
                failureLine = line;
        }
        QVERIFY2(!failureLine.isEmpty(), qPrintable(joined(m_log)));
        QVERIFY2(failureLine.size() > prefix.size(), "the reason is missing");
        if (!mentions.isEmpty())
            QVERIFY2(failureLine.contains(mentions), qPrintable(failureLine));
        QVERIFY(!m_log.contains(file + QStringLiteral(" Updated successfully.")));
        QVERIFY(!m_log.contains(QStringLiteral("Signature Definitions has been Updated successfully.")));
        QCOMPARE(kUpdateErrorReport, QStringLiteral("Error during Signature Update. Pleas try again later."));
        QCOMPARE(m_log.last(), kUpdateErrorReport);
        QCOMPARE(criticalCount(kUpdateErrorReport), 1);
        QCOMPARE(folderEntries(m_data), catalogueNames());
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("Data")});

        // The update folder has the file again: the next check reads the installed
        // version anew and completes the update, counting the files as the first
        // attempt left them.
        m_server->serveBytes(QLatin1Char('/') + file, serverCopy(file));
        m_log.clear();
        m_prompter.messages.clear();
        UpdateContext again = makeContext();
        again.localSignatureVersion = localSignatureVersion(*m_profiles, m_data);
        QCOMPARE(again.localSignatureVersion, QStringLiteral("2013.03.01"));
        const DefinitionUpdateOutcome second = updateDefinitions(again);
        const auto count = [&](const char *name, int local, int server) {
            return file == QLatin1String(name) ? local : server;
        };
        const QStringList expected = updatedLog(count("FOApps.def", kLocalAppsCount, kServerAppsCount),
                                                count("FOPortable.def", kLocalPortableCount, kServerPortableCount),
                                                count("FOSlim.def", kLocalSlimCount, kServerSlimCount));
        QVERIFY2(m_log == expected, qPrintable(joined(m_log)));
        QVERIFY(second.updated);
        QVERIFY(!second.failed);
        QCOMPARE(criticalCount(kUpdateErrorReport), 0);
        for (const QString &name : kSignatureFiles)
            QVERIFY2(readFile(QDir(m_data).filePath(name)) == serverCopy(name), qPrintable(name));
        QVERIFY(readFile(versionFilePath(m_data)) == serverVersionFile());
        QCOMPARE(localSignatureVersion(*m_profiles, m_data), QStringLiteral("2013.03.08"));
    }

    void traversalNameRefused_data()
    {
        QTest::addColumn<QString>("name");

        QTest::newRow("../evil.def") << "../evil.def";
        QTest::newRow("..\\evil.def") << "..\\evil.def";
        QTest::newRow("sub/x.def") << "sub/x.def";
        QTest::newRow("C:\\x.def") << "C:\\x.def";
        QTest::newRow("/tmp/x") << "/tmp/x";
        QTest::newRow("absolute path beside Data") << "<root>/outside.def";
        QTest::newRow("..") << "..";
    }

    void traversalNameRefused()
    {
        QFETCH(QString, name);
        if (name.startsWith(QLatin1String("<root>")))
            name.replace(QLatin1String("<root>"), m_dir->path());

        writeLocalData();
        serveAll();
        // Whatever the name turns into on the wire, the server would hand out a
        // perfectly good catalogue for it.
        const QByteArray evil = "[Evil]\r\npayload=https://example.org/evil.exe\r\n";
        for (const QString &path : {QStringLiteral("/evil.def"), QStringLiteral("/../evil.def"),
                                   QStringLiteral("/sub/x.def"), QStringLiteral("/x.def"), QStringLiteral("/C:/x.def"),
                                   QStringLiteral("/tmp/x"), QStringLiteral("/outside.def"), QLatin1Char('/') + name})
            m_server->serveBytes(path, evil);
        const bool tmpExisted = QFileInfo::exists(QStringLiteral("/tmp/x"));
        const QByteArray tmpBefore = tmpExisted ? readFile(QStringLiteral("/tmp/x")) : QByteArray();
        const QStringList dataBefore = folderEntries(m_data);

        UpdateContext context = makeContext();
        context.signatureFiles = {QStringLiteral("FOApps.def"), name, QStringLiteral("FOSlim.def")};
        const DefinitionUpdateOutcome outcome = updateDefinitions(context);

        QVERIFY(outcome.failed);
        QVERIFY(!outcome.updated);
        QVERIFY2(anyLineContains(m_log, name), qPrintable(joined(m_log)));
        // Only the version file and the two plain names were asked for.
        QCOMPARE(m_server->totalRequests(), 3);
        QCOMPARE(folderEntries(m_dir->path()), QStringList{QStringLiteral("Data")});
        QCOMPARE(folderEntries(m_data), dataBefore);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("outside.def"))));
        QCOMPARE(QFileInfo::exists(QStringLiteral("/tmp/x")), tmpExisted);
        if (tmpExisted)
            QVERIFY(readFile(QStringLiteral("/tmp/x")) == tmpBefore);
        QVERIFY(readFile(versionFilePath(m_data)) == kLocalVersion);
        QCOMPARE(m_log.last(), kUpdateErrorReport);
        QCOMPARE(criticalCount(kUpdateErrorReport), 1);
    }

    void emptySignatureListStillAdvances()
    {
        writeLocalData();
        QVERIFY(QFile::remove(QDir(m_data).filePath(QStringLiteral("FOSlim.def"))));
        serveAll();
        const auto before = snapshot(m_data);

        UpdateContext context = makeContext();
        context.signatureFiles.clear();
        const DefinitionUpdateOutcome outcome = updateDefinitions(context);

        const QStringList expected =
            countLines(kLocalAppsCount, kLocalPortableCount, 0) + newSignatureLines() + kUpdatedLines;
        QVERIFY2(m_log == expected, qPrintable(joined(m_log)));
        QVERIFY(outcome.updated);
        QVERIFY(!outcome.failed);
        QVERIFY(readFile(versionFilePath(m_data)) == serverVersionFile());
        QCOMPARE(m_server->totalRequests(), 1);
        auto after = snapshot(m_data);
        QCOMPARE(after.keys(), before.keys());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() != QLatin1String("FOVersion.ini"))
                QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
        }
    }
};

QTEST_GUILESS_MAIN(UpdateChecksTest)
#include "tst_updatechecks.moc"
