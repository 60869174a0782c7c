#pragma once

#include <QString>

namespace fetchora {

// Compares two version strings part by part at the dots: numerically where both
// parts are numbers (2.1.10 is newer than 2.1.9, 2013.03.08 newer than
// 2013.03.01), otherwise by character codes. A missing part counts as 0 (or as
// empty text against a non-number). Negative, zero or positive like strcmp.
int compareVersions(const QString &a, const QString &b);

} // namespace fetchora
