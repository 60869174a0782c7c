#pragma once

#include <QString>

namespace fetchora {

class ProfileEngine;

// Data/FOVersion.ini: what catalogue version is installed.
QString versionFilePath(const QString &dataDir);

// The installed definitions' version ([Signature] Version), "Unknown" when
// the file or the key is missing.
QString localSignatureVersion(ProfileEngine &engine, const QString &dataDir);

} // namespace fetchora
