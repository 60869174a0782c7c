#pragma once

#include "state/AppState.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace fetchora {

class ListBox;
class isButton;

// The Options page. Its controls are the options' home in the settings file;
// every change is mirrored into the shared options at once.
class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OptionsPage(QWidget *parent = nullptr);

    QCheckBox *chkSystray, *chkAutoUpdate, *chkAdSupportWarning, *chkJDownloaderSupport,
        *chkPerformOpsWithDoubleClick;
    ListBox *lstBlacklist, *lstSignatures, *lstAdware;
    QLineEdit *txtSignatureServer, *txtJDownloaderPath;
    QLabel *lblTheme;
    QComboBox *cboTheme;
    isButton *cmdBrowse;

    Options options() const;

Q_SIGNALS:
    void optionsEdited();
};

} // namespace fetchora
