#include "OptionsPage.h"

#include "widgets/ListBox.h"
#include "widgets/ThemedButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace fetchora {

namespace {

QCheckBox *check(QWidget *parent, const char *name, const QString &caption)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

ListBox *list(QWidget *parent, const char *name)
{
    auto *l = new ListBox(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::NoFrame);
    return l;
}

QGroupBox *group(QWidget *parent, const QString &title, QWidget *content)
{
    auto *box = new QGroupBox(parent);
    auto *layout = new QVBoxLayout(box);
    // Long captions wrap instead of widening the page.
    auto *caption = new QLabel(title, box);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    layout->addWidget(content);
    return box;
}

} // namespace

OptionsPage::OptionsPage(QWidget *parent) : QWidget(parent)
{
    trayCheck = check(this, "chkSystray", QStringLiteral("Minimize to System Tray"));
    autoUpdateCheck = check(this, "chkAutoUpdate",
                            QStringLiteral("Auto. Check for Fetchora and Signature Updates on every Start"));
    blacklistList = list(this, "lstBlacklist");
    signatureList = list(this, "lstSignatures");
    updateAddressEdit = new QLineEdit(this);
    updateAddressEdit->setObjectName(QStringLiteral("txtSignatureServer"));
    themeLabel = new QLabel(QStringLiteral("Theme"), this);
    themeLabel->setObjectName(QStringLiteral("lblTheme"));
    themeCombo = new QComboBox(this);
    themeCombo->setObjectName(QStringLiteral("cboTheme"));
    adSupportWarningCheck = check(this, "chkAdSupportWarning",
                                  QStringLiteral("Warn me if Ad-supported App has been found"));
    adwareList = list(this, "lstAdware");
    jdownloaderCheck = check(this, "chkJDownloaderSupport", QStringLiteral("Enable JDownloader support"));
    jdownloaderPathEdit = new QLineEdit(QStringLiteral("Enter here the Path to the JDownloader.exe"), this);
    jdownloaderPathEdit->setObjectName(QStringLiteral("txtJDownloaderPath"));
    browseButton = new ThemedButton(QStringLiteral("Browse ..."), this);
    browseButton->setObjectName(QStringLiteral("cmdBrowse"));
    doubleClickCheck = check(this, "chkPerformOpsWithDoubleClick",
                             QStringLiteral("Allow to perform Operations (Download, Install etc.) with Double-Click"));

    auto *general = new QVBoxLayout;
    general->addWidget(trayCheck);
    general->addWidget(autoUpdateCheck);
    general->addWidget(adSupportWarningCheck);
    general->addWidget(doubleClickCheck);
    auto *theme = new QHBoxLayout;
    theme->addWidget(themeLabel);
    theme->addWidget(themeCombo, 1);
    general->addLayout(theme);
    auto *jd = new QHBoxLayout;
    jd->addWidget(jdownloaderPathEdit, 1);
    jd->addWidget(browseButton);
    general->addWidget(jdownloaderCheck);
    general->addLayout(jd);
    auto *server = new QHBoxLayout;
    auto *serverLabel = new QLabel(QStringLiteral("Update server:"), this);
    server->addWidget(serverLabel);
    server->addWidget(updateAddressEdit, 1);
    general->addLayout(server);
    general->addStretch(1);

    auto *lists = new QHBoxLayout;
    lists->addWidget(group(this,
                           QStringLiteral("Block Direct Download if the following String(s) is found in Download URL"),
                           blacklistList));
    lists->addWidget(group(this, QStringLiteral("Ad-supported Apps"), adwareList));
    lists->addWidget(group(this, QStringLiteral("Update the following Signature file(s)"), signatureList));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(general);
    layout->addLayout(lists, 1);

    for (QCheckBox *c : {trayCheck, autoUpdateCheck, adSupportWarningCheck, jdownloaderCheck, doubleClickCheck})
        connect(c, &QCheckBox::toggled, this, &OptionsPage::optionsEdited);
    connect(updateAddressEdit, &QLineEdit::textChanged, this, &OptionsPage::optionsEdited);
    connect(jdownloaderPathEdit, &QLineEdit::textChanged, this, &OptionsPage::optionsEdited);
    connect(themeCombo, &QComboBox::currentIndexChanged, this, &OptionsPage::optionsEdited);
}

Options OptionsPage::options() const
{
    Options o;
    o.systray = trayCheck->isChecked();
    o.autoUpdate = autoUpdateCheck->isChecked();
    o.adSupportWarning = adSupportWarningCheck->isChecked();
    o.jdownloaderSupport = jdownloaderCheck->isChecked();
    o.performOpsWithDoubleClick = doubleClickCheck->isChecked();
    o.jdownloaderPath = jdownloaderPathEdit->text();
    o.signatureServer = updateAddressEdit->text();
    o.themeIndex = themeCombo->currentIndex();
    return o;
}

} // namespace fetchora
