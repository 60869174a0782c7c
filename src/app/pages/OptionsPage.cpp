#include "OptionsPage.h"

#include "widgets/ListBox.h"
#include "widgets/isButton.h"

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
    chkSystray = check(this, "chkSystray", QStringLiteral("Minimize to System Tray"));
    chkAutoUpdate = check(this, "chkAutoUpdate", QStringLiteral("Auto. Check for Fetchora and Signature Updates on every Start"));
    lstBlacklist = list(this, "lstBlacklist");
    lstSignatures = list(this, "lstSignatures");
    txtSignatureServer = new QLineEdit(this);
    txtSignatureServer->setObjectName(QStringLiteral("txtSignatureServer"));
    lblTheme = new QLabel(QStringLiteral("Theme"), this);
    lblTheme->setObjectName(QStringLiteral("lblTheme"));
    cboTheme = new QComboBox(this);
    cboTheme->setObjectName(QStringLiteral("cboTheme"));
    chkAdSupportWarning = check(this, "chkAdSupportWarning", QStringLiteral("Warn me if Ad-supported App has been found"));
    lstAdware = list(this, "lstAdware");
    chkJDownloaderSupport = check(this, "chkJDownloaderSupport", QStringLiteral("Enable JDownloader support"));
    txtJDownloaderPath = new QLineEdit(QStringLiteral("Enter here the Path to the JDownloader.exe"), this);
    txtJDownloaderPath->setObjectName(QStringLiteral("txtJDownloaderPath"));
    cmdBrowse = new isButton(QStringLiteral("Browse ..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    chkPerformOpsWithDoubleClick = check(this, "chkPerformOpsWithDoubleClick", QStringLiteral("Allow to perform Operations (Download, Install etc.) with Double-Click"));

    auto *general = new QVBoxLayout;
    general->addWidget(chkSystray);
    general->addWidget(chkAutoUpdate);
    general->addWidget(chkAdSupportWarning);
    general->addWidget(chkPerformOpsWithDoubleClick);
    auto *theme = new QHBoxLayout;
    theme->addWidget(lblTheme);
    theme->addWidget(cboTheme, 1);
    general->addLayout(theme);
    auto *jd = new QHBoxLayout;
    jd->addWidget(txtJDownloaderPath, 1);
    jd->addWidget(cmdBrowse);
    general->addWidget(chkJDownloaderSupport);
    general->addLayout(jd);
    auto *server = new QHBoxLayout;
    auto *serverLabel = new QLabel(QStringLiteral("Update server:"), this);
    server->addWidget(serverLabel);
    server->addWidget(txtSignatureServer, 1);
    general->addLayout(server);
    general->addStretch(1);

    auto *lists = new QHBoxLayout;
    lists->addWidget(group(this, QStringLiteral("Block Direct Download if the following String(s) is found in Download URL"), lstBlacklist));
    lists->addWidget(group(this, QStringLiteral("Ad-supported Apps"), lstAdware));
    lists->addWidget(group(this, QStringLiteral("Update the following Signature file(s)"), lstSignatures));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(general);
    layout->addLayout(lists, 1);

    for (QCheckBox *c : {chkSystray, chkAutoUpdate, chkAdSupportWarning, chkJDownloaderSupport,
                         chkPerformOpsWithDoubleClick})
        connect(c, &QCheckBox::toggled, this, &OptionsPage::optionsEdited);
    connect(txtSignatureServer, &QLineEdit::textChanged, this, &OptionsPage::optionsEdited);
    connect(txtJDownloaderPath, &QLineEdit::textChanged, this, &OptionsPage::optionsEdited);
    connect(cboTheme, &QComboBox::currentIndexChanged, this, &OptionsPage::optionsEdited);
}

Options OptionsPage::options() const
{
    Options o;
    o.systray = chkSystray->isChecked();
    o.autoUpdate = chkAutoUpdate->isChecked();
    o.adSupportWarning = chkAdSupportWarning->isChecked();
    o.jdownloaderSupport = chkJDownloaderSupport->isChecked();
    o.performOpsWithDoubleClick = chkPerformOpsWithDoubleClick->isChecked();
    o.jdownloaderPath = txtJDownloaderPath->text();
    o.signatureServer = txtSignatureServer->text();
    o.themeIndex = cboTheme->currentIndex();
    return o;
}

} // namespace fetchora
