#pragma once

#include "platform/ProfileEngine.h"

#include <QList>
#include <QString>

class QWidget;

namespace fetchora {

// Saves and restores the values of a window's controls under the window's
// objectName, one key per control objectName, in the order the controls were
// created: line and plain-text edits (text), check boxes and radio buttons
// (0, 1 or 2), combo boxes (selected index); list widgets are restored only.
// Only the window's own controls count: a window parented to it (the update
// window, a dialog) is saved by itself, under its own name.

// The changes SaveFormControls would write, for callers that add their own keys
// and write everything at once.
QList<ProfileWrite> formControlWrites(QWidget *window);

// Writes the file once. False (with *error) when it could not be written.
bool saveFormControls(QWidget *window, ProfileEngine &engine, const QString &settingsPath, QString *error = nullptr);

// False, changing nothing, when the settings file does not exist.
bool loadFormControls(QWidget *window, ProfileEngine &engine, const QString &settingsPath);

} // namespace fetchora
