#pragma once

#include "update/FileDownload.h"
#include "update/UpdateSource.h"

#include <QString>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;

namespace fetchora {

class ProfileEngine;
class Prompter;

// The number of lines in every named section of a definition file: what the
// update window reports as "Signatures". A missing file counts 0.
qint64 countSignatures(ProfileEngine &profiles, const QString &path);

// Everything the two checks need, and where their log lines go.
struct UpdateContext
{
    ProfileEngine &profiles;
    QNetworkAccessManager &network;
    Prompter &prompter;
    QString dataDir;
    QString baseUrl;               // the update folder address
    QStringList signatureFiles;    // definition files an update fetches, in order
    QString installedVersion;      // "major.minor.revision" of this program
    QString localSignatureVersion; // installed catalogue version, empty when none
    std::function<void(const QString &)> log;
    std::function<void(const QString &)> startDownload; // the download dialog
    FetchLimits limits;
    // The update folders whose catalogue is installed; anything else is a
    // custom mirror that is not asked at all.
    QStringList trustedMirrors = {internationalMirror(), germanMirror(), frenchMirror()};
    FetchCancel *cancel = nullptr; // the user's Cancel, when the caller offers one
};

struct ProgramCheckOutcome
{
    bool newerVersion = false; // the changelog button is offered
    bool failed = false;
    bool cancelled = false;
};

// Tells whether a newer program exists, from the server's version file. The
// installed catalogue's version file is not touched.
ProgramCheckOutcome checkProgramVersion(UpdateContext &context);

struct DefinitionUpdateOutcome
{
    bool updated = false;   // every listed file replaced; a restart shows them
    bool failed = false;    // something failed; the old catalogue is intact
    bool cancelled = false; // the user stopped it; the old catalogue is intact
};

// Replaces the listed definition files when the server's catalogue is newer,
// all of them or none: every file is fetched and checked into a staging folder
// inside Data first, and only when all are good are they moved over the
// installed ones, the version file last. Blank lines of the list name no file.
DefinitionUpdateOutcome updateDefinitions(UpdateContext &context);

extern const QString kUpdateErrorReport;

} // namespace fetchora
