#include "AboutPage.h"

#include "widgets/isButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace fetchora {

AboutPage::AboutPage(QWidget *parent) : QWidget(parent)
{
    lblTitle = new QLabel(QStringLiteral("Fetchora"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont title = lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 2);
    title.setBold(true);
    lblTitle->setFont(title);
    lblVersionInfo = new QLabel(QStringLiteral("Version:"), this);
    lblVersionInfo->setObjectName(QStringLiteral("lblVersionInfo"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    txtHomepage = new QPlainTextEdit(QStringLiteral("You can download the latest version, report bugs and submit feature requests at the following website."), this);
    txtHomepage->setObjectName(QStringLiteral("txtHomepage"));
    txtHomepage->setReadOnly(true);
    txtHomepage->setMaximumHeight(60);
    cmdHomepage = new isButton(QStringLiteral("Visit Homepage"), this);
    cmdHomepage->setObjectName(QStringLiteral("cmdHomepage"));
    txtCredits = new QPlainTextEdit(this);
    txtCredits->setObjectName(QStringLiteral("txtCredits"));
    txtCredits->setReadOnly(true);

    auto *version = new QHBoxLayout;
    version->addWidget(lblVersionInfo);
    version->addWidget(lblVersion);
    version->addStretch(1);
    auto *home = new QHBoxLayout;
    home->addWidget(txtHomepage, 1);
    home->addWidget(cmdHomepage);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addLayout(version);
    layout->addLayout(home);
    layout->addWidget(txtCredits, 1);
}

QString AboutPage::creditsText()
{
    return QStringLiteral(
        "The Fetchora team would like to acknowledge the following Contributors:\n"
        "\n"
        "\n"
        "All the developers of the free applications listed in the catalogue, who make "
        "their work available to everyone.\n"
        "The people who report dead and outdated download links and suggest new apps.\n"
        "The translators and mirror hosts who keep the catalogue close to its users.\n"
        "The Qt Project, whose toolkit this program is built with.\n");
}

} // namespace fetchora
