#pragma once

#include <QUrl>

namespace fetchora {

// Hands addresses and files to the desktop: the web browser, the mail client,
// the program associated with a file type. The real one goes through the
// desktop services; tests capture what would have been opened.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool openUrl(const QUrl &url) = 0;
};

} // namespace fetchora
