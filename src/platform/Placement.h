#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace fetchora {

// Window placements are stored in twips, 1/1440 inch: 15 per pixel at 96 dpi.
double twipsPerPixel(double logicalDpi);
int pixelsToTwips(int pixels, double logicalDpi);
int twipsToPixels(int twips, double logicalDpi);

// A stored number as the settings file holds it: optional blanks, optional sign,
// digits, an optional fraction. The whole-number part is returned; anything
// else, or a number that does not fit an int, gives nothing.
std::optional<int> parseStoredNumber(const QString &text);

// The available screen area that holds enough of the window's title bar (the
// top strip of its frame) for the user to grab it, the one holding most of it
// when several do: the screen the window lands on. -1 when none does.
int titleBarScreen(const QRect &frame, const QList<QRect> &availableScreens);

} // namespace fetchora
