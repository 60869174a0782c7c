#include "SpecialPage.h"

#include "CataloguePage.h"
#include "widgets/ListBox.h"
#include "widgets/isButton.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fetchora {

SpecialPage::SpecialPage(Catalogue &catalogue, QWidget *parent) : QWidget(parent)
{
    SSTab2 = new QTabWidget(this);
    SSTab2->setObjectName(QStringLiteral("SSTab2"));

    special = new CataloguePage(catalogue, Database::Special,
                                {"txtSpecialSearch", "lstCatSpecial", "lstSpecial",
                                 "lblCountCatSpecial", "lblCountSpecial", "cmdDownloadSpecial",
                                 "Direct Download", "cmdDownloadSpecialFromPage",
                                 "Direct Download from Page"},
                                SSTab2);
    cmdRunApp = new isButton(QStringLiteral("Run App Now!"), special->extraButtons);
    cmdRunApp->setObjectName(QStringLiteral("cmdRunApp"));
    cmdRunApp->setVisible(false);
    special->extraButtons->layout()->addWidget(cmdRunApp);

    pages = new CataloguePage(catalogue, Database::Pages,
                              {nullptr, "lstCatPages", "lstPages", "lblCountCatPages",
                               "lblCountPages", nullptr, "", "cmdVisitPage", "Visit Page Now!"},
                              SSTab2);
    lblPages = new QLabel(pages);
    lblPages->setObjectName(QStringLiteral("lblPages"));
    qobject_cast<QVBoxLayout *>(pages->layout())->insertWidget(0, lblPages);

    auto *installed = new QWidget(SSTab2);
    lstSoftware = new ListBox(installed);
    lstSoftware->setObjectName(QStringLiteral("lstSoftware"));
    lstSoftware->setFrameShape(QFrame::NoFrame);
    lstSoftware->setSorted(true);
    lblCountInstalledApps = new QLabel(QStringLiteral("0"), installed);
    lblCountInstalledApps->setObjectName(QStringLiteral("lblCountInstalledApps"));
    auto *installedLayout = new QVBoxLayout(installed);
    installedLayout->addWidget(lstSoftware, 1);
    installedLayout->addWidget(lblCountInstalledApps);
    connect(lstSoftware, &ListBox::countChanged, lblCountInstalledApps,
            [this](int n) { lblCountInstalledApps->setText(QString::number(n)); });

    SSTab2->addTab(special, QStringLiteral("Special"));
    SSTab2->addTab(pages, QStringLiteral("Pages"));
    SSTab2->addTab(installed, QStringLiteral("Installed Apps"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SSTab2);
}

} // namespace fetchora
