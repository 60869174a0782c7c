#include "AboutPage.h"

#include "widgets/ThemedButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace fetchora {

AboutPage::AboutPage(QWidget *parent) : QWidget(parent)
{
    titleLabel = new QLabel(QStringLiteral("Fetchora"), this);
    titleLabel->setObjectName(QStringLiteral("lblTitle"));
    QFont title = titleLabel->font();
    title.setPointSizeF(title.pointSizeF() * 2);
    title.setBold(true);
    titleLabel->setFont(title);
    versionInfoLabel = new QLabel(QStringLiteral("Version:"), this);
    versionInfoLabel->setObjectName(QStringLiteral("lblVersionInfo"));
    versionLabel = new QLabel(this);
    versionLabel->setObjectName(QStringLiteral("lblVersion"));
    homepageText = new QPlainTextEdit(
        QStringLiteral(
            "You can download the latest version, report bugs and submit feature requests at the following website."),
        this);
    homepageText->setObjectName(QStringLiteral("txtHomepage"));
    homepageText->setReadOnly(true);
    homepageText->setMaximumHeight(60);
    homepageButton = new ThemedButton(QStringLiteral("Visit Homepage"), this);
    homepageButton->setObjectName(QStringLiteral("cmdHomepage"));
    creditsText = new QPlainTextEdit(this);
    creditsText->setObjectName(QStringLiteral("txtCredits"));
    creditsText->setReadOnly(true);

    auto *version = new QHBoxLayout;
    version->addWidget(versionInfoLabel);
    version->addWidget(versionLabel);
    version->addStretch(1);
    auto *home = new QHBoxLayout;
    home->addWidget(homepageText, 1);
    home->addWidget(homepageButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    layout->addLayout(version);
    layout->addLayout(home);
    layout->addWidget(creditsText, 1);
}

QString AboutPage::credits()
{
    return QStringLiteral("The Fetchora team would like to acknowledge the following Contributors:\n"
                          "\n"
                          "\n"
                          "All the developers of the free applications listed in the catalogue, who make "
                          "their work available to everyone.\n"
                          "The people who report dead and outdated download links and suggest new apps.\n"
                          "The translators and mirror hosts who keep the catalogue close to its users.\n"
                          "The Qt Project, whose toolkit this program is built with.\n");
}

} // namespace fetchora
