#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fetchora::test {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString bundledDataDir()
{
    return qEnvironmentVariable("FETCHORA_SOURCE_DIR") + QStringLiteral("/data/Data");
}

} // namespace fetchora::test
