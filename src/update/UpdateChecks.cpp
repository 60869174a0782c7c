#include "UpdateChecks.h"

#include "ProductUrls.h"
#include "catalogue/CatalogueFileCheck.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "update/UpdateSource.h"
#include "update/VersionCompare.h"
#include "update/VersionFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

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
        const FetchResult fetched = fetchUrl(c.network, QUrl(c.baseUrl + QStringLiteral("FOVersion.ini")), c.limits,
                                             c.cancel);
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

bool isCancelled(const UpdateContext &c)
{
    return c.cancel && c.cancel->isCancelled();
}

// The files an update fetches, in list order: blank lines name no file, and a
// name listed again (in any case, as Windows sees names) is fetched once.
QStringList filesToFetch(const QStringList &listed)
{
    QStringList names;
    for (const QString &name : listed) {
        if (!name.trimmed().isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

// Data/.update-staging: new files wait here, on the catalogue's own disk so that
// moving them in is a rename, until every one has arrived and passed its check.
// One left by a run that was killed is removed first; the folder goes with the run.
class Staging
{
public:
    explicit Staging(const QString &dataDir) : m_path(QDir(dataDir).filePath(QStringLiteral(".update-staging"))) { }
    ~Staging() { remove(); }
    Staging(const Staging &) = delete;
    Staging &operator=(const Staging &) = delete;

    bool prepare(QString *error)
    {
        if (remove() && QDir().mkpath(m_path))
            return true;
        *error =
            QStringLiteral("The folder %1 could not be prepared for the update.").arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    QString filePath(const QString &name) const { return QDir(m_path).filePath(name); }

private:
    bool remove()
    {
        const QFileInfo info(m_path);
        // A link is removed itself: what it points to is not the program's.
        if (info.isSymLink() || info.isFile())
            return QFile::remove(m_path);
        return !info.exists() || QDir(m_path).removeRecursively();
    }
    QString m_path;
};

// Fetches one listed file into the staging folder; why it could not, or empty.
QString stageFile(UpdateContext &c, const Staging &staging, const QString &name)
{
    if (!isBareFileName(name))
        return QStringLiteral("it is not a plain file name, so it was not fetched.");
    const FetchResult fetched = fetchUrl(c.network, QUrl(c.baseUrl + name), c.limits, c.cancel);
    if (!fetched.ok)
        return fetched.error;
    QString problem = catalogueFileProblem(fetched.body, catalogueFileKind(name));
    if (problem.isEmpty())
        writeFileAtomically(staging.filePath(name), fetched.body, &problem);
    return problem;
}

// Moves every staged file over its installed copy, then writes the version file.
// When a step fails, what was moved before it is put back, so the catalogue is
// the old one or the new one, not a mix. Should the program die in between,
// every file is still whole, old or new, and the old version file makes the next
// update fetch them all again.
bool installStaged(UpdateContext &c, const Staging &staging, const QStringList &names, const QByteArray &version,
                   QString *problem)
{
    const QDir data(c.dataDir);
    QList<std::optional<QByteArray>> before;
    for (const QString &name : names) {
        QFile old(data.filePath(name));
        if (!QFileInfo(old).isFile()) {
            before.append(std::nullopt);
        } else if (old.open(QIODevice::ReadOnly)) {
            before.append(old.readAll());
        } else {
            *problem = name + QStringLiteral(" could not be updated: ") + old.errorString();
            return false;
        }
    }
    const auto putBack = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i) {
            const QString target = data.filePath(names[i]);
            if (!(before[i] ? writeFileAtomically(target, *before[i]) : QFile::remove(target)))
                c.log(names[i] + QStringLiteral(" could not be put back as it was."));
        }
    };
    for (qsizetype i = 0; i < names.size(); ++i) {
        QString error;
        if (!moveFileOver(staging.filePath(names[i]), data.filePath(names[i]), &error)) {
            *problem = names[i] + QStringLiteral(" could not be updated: ") + error;
            putBack(i);
            return false;
        }
    }
    if (!writeFileAtomically(versionFilePath(c.dataDir), version, problem)) {
        putBack(names.size());
        return false;
    }
    return true;
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
        c.log(isCancelled(c) ? server.error : QStringLiteral("FOVersion.ini could not be downloaded: ") + server.error);
        outcome.cancelled = isCancelled(c);
        outcome.failed = !outcome.cancelled;
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
        if (isCancelled(c)) {
            // The user asked for it: a log line, no error box.
            c.log(QStringLiteral("The update was cancelled. The installed catalogue is unchanged."));
            outcome.cancelled = true;
            return outcome;
        }
        c.log(kUpdateErrorReport);
        c.prompter.critical(kUpdateErrorReport);
        outcome.failed = true;
        return outcome;
    };

    ServerVersionFile server;
    if (!server.fetch(c)) {
        if (isCancelled(c))
            return fail();
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

    const QStringList names = filesToFetch(c.signatureFiles);
    Staging staging(c.dataDir);
    QString problem;
    if (!staging.prepare(&problem)) {
        c.log(problem);
        return fail();
    }
    // Every file is fetched even after one failed, so the log names all that
    // are wrong on the mirror; only the user's Cancel stops at once.
    bool allStaged = true;
    for (const QString &name : names) {
        problem = stageFile(c, staging, name);
        if (isCancelled(c))
            return fail();
        if (!problem.isEmpty()) {
            c.log(name + QStringLiteral(" could not be updated: ") + problem);
            allStaged = false;
        }
    }
    if (!allStaged)
        return fail();
    if (!installStaged(c, staging, names, server.bytes, &problem)) {
        c.log(problem);
        return fail();
    }
    for (const QString &name : names)
        c.log(name + QStringLiteral(" Updated successfully."));

    c.log(kRule);
    c.log(QStringLiteral("Signature Definitions has been Updated successfully."));
    c.log(kRule);
    c.log(QStringLiteral("Please Restart Fetchora."));
    outcome.updated = true;
    return outcome;
}

} // namespace fetchora
