#include "Placement.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace fetchora {

double twipsPerPixel(double logicalDpi)
{
    return 1440.0 / (logicalDpi > 0 ? logicalDpi : 96.0);
}

int pixelsToTwips(int pixels, double logicalDpi)
{
    return int(std::lround(pixels * twipsPerPixel(logicalDpi)));
}

int twipsToPixels(int twips, double logicalDpi)
{
    return int(std::lround(twips / twipsPerPixel(logicalDpi)));
}

std::optional<int> parseStoredNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^[ \\t]*([+-]?)(\\d+)(?:\\.(\\d*))?[ \\t]*$|^[ \\t]*([+-]?)\\.(\\d+)[ \\t]*$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    if (m.captured(2).isEmpty()) // ".5": whole-number part 0
        return 0;
    bool ok = false;
    const qlonglong whole = m.captured(2).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const qlonglong value = m.captured(1) == QLatin1String("-") ? -whole : whole;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

int titleBarScreen(const QRect &frame, const QList<QRect> &availableScreens)
{
    // The strip a user grabs to move the window: the top of the frame, less the
    // buttons at its ends.
    constexpr int kStripHeight = 24;
    constexpr int kMinGrabWidth = 40;
    const QRect strip(frame.left(), frame.top(), frame.width(), kStripHeight);
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < availableScreens.size(); ++i) {
        const QRect overlap = strip.intersected(availableScreens.at(i));
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (overlap.width() >= kMinGrabWidth && overlap.height() >= 8 && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

} // namespace fetchora
