#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fetchora::test {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString bundledDataDir()
{
    return qEnvironmentVariable("FETCHORA_SOURCE_DIR") + QStringLiteral("/data/Data");
}

} // namespace fetchora::test
