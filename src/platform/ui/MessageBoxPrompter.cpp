#include "MessageBoxPrompter.h"

#include <QMessageBox>

namespace fetchora {

namespace {
const QString kTitle = QStringLiteral("Fetchora");
}

void MessageBoxPrompter::inform(const QString &text)
{
    QMessageBox::information(m_parent, kTitle, text);
}

void MessageBoxPrompter::warn(const QString &text)
{
    QMessageBox::warning(m_parent, kTitle, text);
}

void MessageBoxPrompter::critical(const QString &text)
{
    QMessageBox::critical(m_parent, kTitle, text);
}

bool MessageBoxPrompter::askYesNo(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title.isEmpty() ? kTitle : title, text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

} // namespace fetchora
