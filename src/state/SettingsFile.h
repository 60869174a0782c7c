#pragma once

#include <QString>

#include <optional>

namespace fetchora {

// Data/Fetchora.ini: every window's saved controls and placement.
QString settingsFilePath(const QString &dataDir);

// A multi-line text is kept on one line of the settings file, every line
// break (CRLF, LF or CR) written as "~|~".
QString encodeSettingsText(const QString &text);
QString decodeSettingsText(const QString &stored);

} // namespace fetchora
