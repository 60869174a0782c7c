#include "FormSettings.h"

#include "platform/Placement.h"
#include "state/SettingsFile.h"

#include "widgets/ListBox.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>

namespace fetchora {

namespace {

// Qt's own helper widgets carry "qt_" names; unnamed widgets have nothing to
// be stored under. Windows opened from this one (the update window, a download
// dialog) are its children too, but their controls belong to their own section.
QList<QWidget *> storableControls(QWidget *window)
{
    QList<QWidget *> out;
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *w : children) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && w->window() == window)
            out.append(w);
    }
    return out;
}

int checkValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    }
    return 0;
}

} // namespace

QList<ProfileWrite> formControlWrites(QWidget *window)
{
    QList<ProfileWrite> writes;
    const QString section = window->objectName();
    for (QWidget *w : storableControls(window)) {
        const QString key = w->objectName();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            writes.append(ProfileWrite::set(section, key, encodeSettingsText(edit->text())));
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
            writes.append(ProfileWrite::set(section, key, encodeSettingsText(plain->toPlainText())));
        else if (auto *rich = qobject_cast<QTextEdit *>(w))
            writes.append(ProfileWrite::set(section, key, encodeSettingsText(rich->toPlainText())));
        else if (auto *check = qobject_cast<QCheckBox *>(w))
            writes.append(ProfileWrite::set(section, key, QString::number(checkValue(check->checkState()))));
        else if (auto *radio = qobject_cast<QRadioButton *>(w))
            writes.append(
                ProfileWrite::set(section, key, radio->isChecked() ? QStringLiteral("1") : QStringLiteral("0")));
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            writes.append(ProfileWrite::set(section, key, QString::number(combo->currentIndex())));
    }
    return writes;
}

bool saveFormControls(QWidget *window, ProfileEngine &engine, const QString &settingsPath, QString *error)
{
    return engine.write(settingsPath, formControlWrites(window), error);
}

bool loadFormControls(QWidget *window, ProfileEngine &engine, const QString &settingsPath)
{
    if (!QFileInfo(settingsPath).isFile())
        return false;
    const QString section = window->objectName();
    for (QWidget *w : storableControls(window)) {
        const std::optional<QString> stored = engine.value(settingsPath, section, w->objectName());
        if (!stored)
            continue;
        // An emptied text box was saved empty and comes back empty.
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            edit->setText(decodeSettingsText(*stored));
            continue;
        }
        if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
            plain->setPlainText(decodeSettingsText(*stored));
            continue;
        }
        if (auto *rich = qobject_cast<QTextEdit *>(w)) {
            rich->setPlainText(decodeSettingsText(*stored));
            continue;
        }
        const std::optional<int> number = parseStoredNumber(*stored);
        if (!number)
            continue;
        if (auto *check = qobject_cast<QCheckBox *>(w)) {
            if (*number == 0)
                check->setCheckState(Qt::Unchecked);
            else if (*number == 1)
                check->setCheckState(Qt::Checked);
            else if (*number == 2 && check->isTristate())
                check->setCheckState(Qt::PartiallyChecked);
        } else if (auto *radio = qobject_cast<QRadioButton *>(w)) {
            if (*number != 0)
                radio->setChecked(true);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            if (*number >= -1 && *number <= combo->count() - 1)
                combo->setCurrentIndex(*number);
        } else if (auto *list = qobject_cast<QListWidget *>(w)) {
            if (*number >= -1 && *number <= list->count() - 1)
                list->setCurrentRow(*number);
        } else if (auto *box = qobject_cast<ListBox *>(w)) {
            if (*number >= -1 && *number <= box->count() - 1)
                box->setCurrentRow(*number);
        }
    }
    return true;
}

} // namespace fetchora
