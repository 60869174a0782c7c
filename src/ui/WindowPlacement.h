#pragma once

#include "platform/ProfileEngine.h"

#include <QList>
#include <QString>

class QWidget;

namespace fetchora {

// Left, Top, Height and Width of a window's outer frame, in twips, as the
// settings file keeps them for every window.
QList<ProfileWrite> windowPlacementWrites(QWidget *window, const QString &section);

// Writes the window's placement; a failure is logged, since a window that
// is closing has no better place to say so.
bool saveWindowPlacement(QWidget *window, ProfileEngine &engine, const QString &settingsPath, const QString &section);

// Applies a stored placement before the window is shown. A size that is not a
// positive number is ignored; a position that would leave the title bar on no
// available screen is ignored and the window opens at its default place. The
// size is cut to the available area of the screen the window lands on (never
// below the window's minimum), and the window is moved into that area.
void restoreWindowPlacement(QWidget *window, ProfileEngine &engine, const QString &settingsPath,
                            const QString &section);

} // namespace fetchora
