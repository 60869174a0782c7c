#include "SettingsFile.h"

#include <QDir>

namespace fetchora {

namespace {
const QString kLineBreak = QStringLiteral("~|~");
}

QString settingsFilePath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("Fetchora.ini"));
}

QString encodeSettingsText(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), kLineBreak);
    out.replace(QLatin1Char('\r'), kLineBreak);
    out.replace(QLatin1Char('\n'), kLineBreak);
    return out;
}

QString decodeSettingsText(const QString &stored)
{
    QString out = stored;
    out.replace(kLineBreak, QLatin1String("\n"));
    return out;
}

} // namespace fetchora
