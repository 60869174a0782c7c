#include "SystemInfo.h"

#include <QSysInfo>

namespace fetchora {

bool runsAs32BitOn64BitWindows()
{
#ifdef Q_OS_WIN
    return QSysInfo::buildCpuArchitecture() == QLatin1String("i386")
        && QSysInfo::currentCpuArchitecture() == QLatin1String("x86_64");
#else
    return false;
#endif
}

QString currentUserName()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
#endif
}

} // namespace fetchora
