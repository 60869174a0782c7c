#include "VersionCompare.h"

#include <QStringList>

namespace fetchora {

int compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.trimmed().split(QLatin1Char('.'));
    const QStringList right = b.trimmed().split(QLatin1Char('.'));
    const qsizetype parts = qMax(left.size(), right.size());
    for (qsizetype i = 0; i < parts; ++i) {
        // A part beyond the end of one version counts as 0: 2.1 equals 2.1.0.
        const QString l = i < left.size() ? left[i] : QStringLiteral("0");
        const QString r = i < right.size() ? right[i] : QStringLiteral("0");
        bool lNumber = false, rNumber = false;
        const qulonglong ln = l.toULongLong(&lNumber);
        const qulonglong rn = r.toULongLong(&rNumber);
        if (lNumber && rNumber) {
            if (ln != rn)
                return ln < rn ? -1 : 1;
            continue;
        }
        const int c = l.compare(r, Qt::CaseSensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

} // namespace fetchora
