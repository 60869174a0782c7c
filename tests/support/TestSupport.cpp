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
    // CTest names the source folder; a test started by hand finds it where it was built from.
    const QString sources = qEnvironmentVariable("FETCHORA_SOURCE_DIR", QStringLiteral(QT_TESTCASE_SOURCEDIR "/.."));
    return sources + QStringLiteral("/data/Data");
}

} // namespace fetchora::test
