#include "SpecialPage.h"

#include "CataloguePage.h"
#include "widgets/ListBox.h"
#include "widgets/ThemedButton.h"

#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fetchora {

SpecialPage::SpecialPage(Catalogue &catalogue, QWidget *parent) : QWidget(parent)
{
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("SSTab2"));

    special = new CataloguePage(catalogue, Database::Special,
                                {"txtSpecialSearch", "lstCatSpecial", "lstSpecial", "lblCountCatSpecial",
                                 "lblCountSpecial", "cmdDownloadSpecial", "Direct Download",
                                 "cmdDownloadSpecialFromPage", "Direct Download from Page"},
                                tabs);
    runButton = new ThemedButton(QStringLiteral("Run App Now!"), special->extraButtons);
    runButton->setObjectName(QStringLiteral("cmdRunApp"));
    runButton->setVisible(false);
    special->extraButtons->layout()->addWidget(runButton);

    pages = new CataloguePage(catalogue, Database::Pages,
                              {nullptr, "lstCatPages", "lstPages", "lblCountCatPages", "lblCountPages", nullptr, "",
                               "cmdVisitPage", "Visit Page Now!"},
                              tabs);
    pageLabel = new QLabel(pages);
    pageLabel->setObjectName(QStringLiteral("lblPages"));
    qobject_cast<QVBoxLayout *>(pages->layout())->insertWidget(0, pageLabel);

    auto *installed = new QWidget(tabs);
    installedList = new ListBox(installed);
    installedList->setObjectName(QStringLiteral("lstSoftware"));
    installedList->setFrameShape(QFrame::NoFrame);
    installedList->setSorted(true);
    installedCountLabel = new QLabel(QStringLiteral("0"), installed);
    installedCountLabel->setObjectName(QStringLiteral("lblCountInstalledApps"));
    auto *installedLayout = new QVBoxLayout(installed);
    installedLayout->addWidget(installedList, 1);
    installedLayout->addWidget(installedCountLabel);
    connect(installedList, &ListBox::countChanged, installedCountLabel,
            [this](int n) { installedCountLabel->setText(QString::number(n)); });

    tabs->addTab(special, QStringLiteral("Special"));
    tabs->addTab(pages, QStringLiteral("Pages"));
    tabs->addTab(installed, QStringLiteral("Installed Apps"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
}

} // namespace fetchora
