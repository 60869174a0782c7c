#pragma once

#include <QString>

namespace fetchora {

// The update folders the program trusts. Only the exact addresses count:
// anything else is a custom mirror, from which no catalogue is installed.
QString internationalMirror();
QString germanMirror();
QString frenchMirror();

// A file of the signature list as it may be fetched: a bare file name only, so
// that a mirror cannot make the program write outside its Data folder.
bool isBareFileName(const QString &name);

} // namespace fetchora
