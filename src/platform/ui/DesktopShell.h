#pragma once

#include "platform/Shell.h"

namespace fetchora {

class DesktopShell : public Shell
{
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace fetchora
