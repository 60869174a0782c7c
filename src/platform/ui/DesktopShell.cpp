#include "DesktopShell.h"

#include <QDesktopServices>

namespace fetchora {

bool DesktopShell::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace fetchora
