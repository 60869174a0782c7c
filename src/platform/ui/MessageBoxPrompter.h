#pragma once

#include "platform/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace fetchora {

// Message boxes with the program's title, owned by the given window.
class MessageBoxPrompter : public Prompter
{
public:
    void setParentWindow(QWidget *parent) { m_parent = parent; }
    void inform(const QString &text) override;
    void warn(const QString &text) override;
    void critical(const QString &text) override;
    bool askYesNo(const QString &text, const QString &title = {}) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace fetchora
