#include "UpdateSource.h"

#include "ProductUrls.h"

#include <QRegularExpression>

namespace fetchora {

QString internationalMirror()
{
    return QLatin1String(urls::MirrorInternational);
}
QString germanMirror()
{
    return QLatin1String(urls::MirrorGerman);
}
QString frenchMirror()
{
    return QLatin1String(urls::MirrorFrench);
}

bool isBareFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:\\x00-\\x1f]|^\\s|\\s$"));
    return !name.contains(QLatin1String("..")) && !unsafe.match(name).hasMatch();
}

} // namespace fetchora
