#pragma once

#include "state/AppState.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace fetchora {

class ListBox;
class ThemedButton;

// The Options page. Its controls are the options' home in the settings file;
// every change is mirrored into the shared options at once.
class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OptionsPage(QWidget *parent = nullptr);

    QCheckBox *trayCheck, *autoUpdateCheck, *adSupportWarningCheck, *jdownloaderCheck, *doubleClickCheck;
    ListBox *blacklistList, *signatureList, *adwareList;
    QLineEdit *updateAddressEdit, *jdownloaderPathEdit;
    QLabel *themeLabel;
    QComboBox *themeCombo;
    ThemedButton *browseButton;

    Options options() const;

Q_SIGNALS:
    void optionsEdited();
};

} // namespace fetchora
