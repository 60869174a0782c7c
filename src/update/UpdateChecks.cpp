#include "UpdateChecks.h"

#include "ProductUrls.h"
#include "catalogue/Catalogue.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "update/UpdateSource.h"
#include "update/VersionCompare.h"
#include "update/VersionFile.h"

#include <QDir>
#include <QTemporaryDir>

namespace fetchora {

const QString kUpdateErrorReport = QStringLiteral("Error during Signature Update. Pleas try again later.");

namespace {

const QString kRule = QStringLiteral("========================");

// The server's version file, kept in a temporary folder while it is read so the
// installed one stays as it is until an update has completed.
struct ServerVersionFile
{
    QTemporaryDir folder;
    QString path;
    QByteArray bytes;
    QString error;
    bool fromServer = false;

    bool fetch(UpdateContext &c)
    {
        if (!c.trustedMirrors.contains(c.baseUrl)) {
            // A custom mirror is not asked; the installed file is all there is.
            path = versionFilePath(c.dataDir);
            return true;
        }
        const FetchResult fetched = fetchUrl(c.network, QUrl(c.baseUrl + QStringLiteral("FOVersion.ini")), c.limits);
        if (!fetched.ok) {
            error = fetched.error;
            return false;
        }
        bytes = fetched.body;
        fromServer = true;
        path = folder.filePath(QStringLiteral("FOVersion.ini"));
        return folder.isValid() && writeFileAtomically(path, bytes, &error);
    }

    QString read(UpdateContext &c, const char *section, const char *key) const
    {
        return c.profiles.readString(path, QLatin1String(section), QLatin1String(key));
    }
    bool hasSection(UpdateContext &c, const char *section) const
    {
        return c.profiles.hasSection(path, QLatin1String(section));
    }
};

// The databases hold categories; the blacklist and adware lists, although
// also named ".def", are plain lines.
bool isCatalogueFile(const QString &name)
{
    for (Database db : kAllDatabases) {
        if (name.compare(definitionFileName(db), Qt::CaseInsensitive) == 0)
            return true;
    }
    return name.compare(QLatin1String("FOCustom.def"), Qt::CaseInsensitive) == 0;
}

} // namespace

qint64 countSignatures(ProfileEngine &profiles, const QString &path)
{
    qint64 count = 0;
    for (const QString &section : profiles.sectionNames(path))
        count += profiles.sectionLines(path, section).size();
    return count;
}

ProgramCheckOutcome checkProgramVersion(UpdateContext &c)
{
    ProgramCheckOutcome outcome;
    ServerVersionFile server;
    if (!server.fetch(c)) {
        c.log(QStringLiteral("FOVersion.ini could not be downloaded: ") + server.error);
        outcome.failed = true;
        return outcome;
    }
    if (server.fromServer && !server.hasSection(c, "Fetchora")) {
        c.log(QStringLiteral("The version file of the update server is not valid."));
        outcome.failed = true;
        return outcome;
    }
    const QString serverVersion = server.read(c, "Fetchora", "Version");
    const int order = serverVersion.isEmpty() ? -1 : compareVersions(serverVersion, c.installedVersion);
    if (order > 0) {
        const QString available = QStringLiteral("Version ") + serverVersion
            + QStringLiteral(" of Fetchora is available.");
        c.log(available);
        c.log(kRule);
        c.log(QStringLiteral("Whats new in this Version?"));
        c.log(server.read(c, "Fetchora", "Changelog"));
        if (c.prompter.askYesNo(available + QStringLiteral("\r\nDo you want to Download the Update?"))
            && c.startDownload)
            c.startDownload(QLatin1String(urls::SetupDownload));
        outcome.newerVersion = true;
    } else if (order == 0) {
        c.log(kRule);
        c.log(QStringLiteral("You are using the latest Version of Fetchora."));
        c.log(kRule);
        c.log(server.read(c, "Fetchora", "News"));
    } else {
        c.log(kRule);
        c.log(QStringLiteral("You are using an unofficial Version of Fetchora."));
        c.log(kRule);
    }
    return outcome;
}

DefinitionUpdateOutcome updateDefinitions(UpdateContext &c)
{
    DefinitionUpdateOutcome outcome;
    auto fail = [&] {
        c.log(kUpdateErrorReport);
        c.prompter.critical(kUpdateErrorReport);
        outcome.failed = true;
        return outcome;
    };

    ServerVersionFile server;
    if (!server.fetch(c)) {
        c.log(QStringLiteral("FOVersion.ini could not be downloaded: ") + server.error);
        return fail();
    }
    if (server.fromServer && !server.hasSection(c, "Signature")) {
        c.log(QStringLiteral("The version file of the update server is not valid."));
        return fail();
    }
    const QString serverVersion = server.read(c, "Signature", "Version");

    const QDir data(c.dataDir);
    for (const char *file : {"FOApps.def", "FOPortable.def", "FOSlim.def"})
        c.log(QString::number(countSignatures(c.profiles, data.filePath(QLatin1String(file))))
              + QStringLiteral(" Signatures found in ") + QLatin1String(file));

    if (serverVersion.isEmpty() || compareVersions(serverVersion, c.localSignatureVersion) <= 0) {
        c.log(kRule);
        c.log(QStringLiteral("Your Signature File(s) is Up-to-Date."));
        c.log(kRule);
        c.log(server.read(c, "Signature", "News"));
        return outcome;
    }

    if (!server.fromServer) {
        // Nothing is installed from a folder the program does not know.
        c.log(QStringLiteral("This Update Source is unknown. Update feature has been disabled."));
        return outcome;
    }
    c.log(QStringLiteral(" ") + kRule);
    c.log(QStringLiteral("A new Signature Version ") + serverVersion + QStringLiteral(" is available."));
    c.log(QStringLiteral(" ") + kRule);
    c.log(QStringLiteral("Whats new in this Signature?"));
    c.log(server.read(c, "Signature", "Changelog"));
    c.log(QStringLiteral(" ") + kRule);
    c.log(QStringLiteral("Update running ..."));

    bool allReplaced = true;
    QTemporaryDir checking;
    for (const QString &name : c.signatureFiles) {
        auto failed = [&](const QString &reason) {
            c.log(name + QStringLiteral(" could not be updated: ") + reason);
            allReplaced = false;
        };
        if (!isBareFileName(name)) {
            failed(QStringLiteral("it is not a plain file name, so it was not fetched."));
            continue;
        }
        const FetchResult fetched = fetchUrl(c.network, QUrl(c.baseUrl + name), c.limits);
        if (!fetched.ok) {
            failed(fetched.error);
            continue;
        }
        if (fetched.body.isEmpty()) {
            failed(QStringLiteral("the server sent an empty file."));
            continue;
        }
        if (isCatalogueFile(name)) {
            // A catalogue file without a single category is not a catalogue.
            const QString probe = checking.filePath(name);
            QString error;
            if (!writeFileAtomically(probe, fetched.body, &error) || c.profiles.sectionNames(probe).isEmpty()) {
                c.profiles.forget(probe);
                failed(QStringLiteral("the file from the server holds no categories."));
                continue;
            }
            c.profiles.forget(probe);
        }
        QString error;
        if (!writeFileAtomically(data.filePath(name), fetched.body, &error)) {
            failed(error);
            continue;
        }
        c.log(name + QStringLiteral(" Updated successfully."));
    }

    if (allReplaced) {
        QString error;
        if (!writeFileAtomically(versionFilePath(c.dataDir), server.bytes, &error)) {
            c.log(error);
            allReplaced = false;
        }
    }
    if (!allReplaced)
        return fail();

    c.log(kRule);
    c.log(QStringLiteral("Signature Definitions has been Updated successfully."));
    c.log(kRule);
    c.log(QStringLiteral("Please Restart Fetchora."));
    outcome.updated = true;
    return outcome;
}

} // namespace fetchora
