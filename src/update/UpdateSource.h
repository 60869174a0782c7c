#pragma once

#include <QString>
#include <QUrl>

namespace fetchora {

// The update folders the program trusts. Only the exact addresses count:
// anything else is a custom mirror, from which no catalogue is installed.
QString internationalMirror();
QString germanMirror();
QString frenchMirror();
bool isTrustedMirror(const QString &base);

// Base address + "FOVersion.ini" for a trusted mirror, empty otherwise.
QUrl versionFileUrl(const QString &base);

// A file of the signature list as it may be fetched: a bare file name only, so
// that a mirror cannot make the program write outside its Data folder.
bool isBareFileName(const QString &name);

} // namespace fetchora
