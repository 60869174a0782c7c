#pragma once

#include <QString>

namespace fetchora {

// True for a 32-bit build running on 64-bit Windows.
bool runsAs32BitOn64BitWindows();

// The signed-in user's name (USERNAME on Windows, USER elsewhere).
QString currentUserName();

} // namespace fetchora
