#include "VersionFile.h"

#include "platform/ProfileEngine.h"

#include <QDir>

namespace fetchora {

QString versionFilePath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("FOVersion.ini"));
}

QString localSignatureVersion(ProfileEngine &engine, const QString &dataDir)
{
    const QString version = engine.readString(versionFilePath(dataDir), QStringLiteral("Signature"),
                                              QStringLiteral("Version"));
    return version.isEmpty() ? QStringLiteral("Unknown") : version;
}

} // namespace fetchora
