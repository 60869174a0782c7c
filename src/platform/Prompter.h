#pragma once

#include <QString>

namespace fetchora {

// Every message box the program shows goes through here, so a window's
// question can be answered by a test the same way a user would.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual void inform(const QString &text) = 0;
    virtual void warn(const QString &text) = 0;
    virtual void critical(const QString &text) = 0;
    // Information icon, Yes and No buttons; only Yes counts. An empty title
    // means the program's name.
    virtual bool askYesNo(const QString &text, const QString &title = {}) = 0;
};

} // namespace fetchora
