#include "HomePage.h"

#include "widgets/ThemedButton.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace fetchora {

namespace {

ThemedButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new ThemedButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumHeight(34);
    return b;
}

// Simple drawn badges stand in for pictures, so the page needs no image files.
QPixmap badge(const QString &letter, const QColor &colour)
{
    QPixmap pix(40, 40);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(2, 2, 36, 36);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(18);
    p.setFont(f);
    p.drawText(pix.rect(), Qt::AlignCenter, letter);
    return pix;
}

QLabel *image(QWidget *parent, const char *name, const QString &letter, const QColor &colour, const QString &caption)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(badge(letter, colour));
    label->setToolTip(caption);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QFrame *separator(QWidget *parent, const char *name)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

HomePage::HomePage(QWidget *parent) : QWidget(parent)
{
    welcomeLabel = new QLabel(QStringLiteral("Welcome,"), this);
    welcomeLabel->setObjectName(QStringLiteral("lblWelcome"));
    QFont big = welcomeLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    welcomeLabel->setFont(big);
    userLabel = new QLabel(this);
    userLabel->setObjectName(QStringLiteral("lblUser"));
    userLabel->setFont(big);
    userPicture = new QLabel(this);
    userPicture->setObjectName(QStringLiteral("PicUser"));
    userPicture->setPixmap(badge(QStringLiteral("\u263A"), QColor(36, 69, 154)));

    homeImage = image(this, "ImgHome", QStringLiteral("H"), QColor(0, 150, 200), QStringLiteral("Home"));
    aboutImage = image(this, "ImgAbout", QStringLiteral("i"), QColor(90, 90, 90), QStringLiteral("About"));
    feedbackImage = image(this, "ImgFeedback", QStringLiteral("@"), QColor(230, 120, 0), QStringLiteral("Feedback"));
    twitterImage = image(this, "ImgTwitter", QStringLiteral("t"), QColor(29, 161, 242), QStringLiteral("Twitter"));
    facebookImage = image(this, "ImgFacebook", QStringLiteral("f"), QColor(59, 89, 152), QStringLiteral("Facebook"));

    mirrorInfoLabel = new QLabel(QStringLiteral("You are currently on the App Channel:"), this);
    mirrorInfoLabel->setObjectName(QStringLiteral("lblMirrorInfo"));
    mirrorLabel = new QLabel(QStringLiteral("International"), this);
    mirrorLabel->setObjectName(QStringLiteral("lblMirror"));
    QFont bold = mirrorLabel->font();
    bold.setBold(true);
    mirrorLabel->setFont(bold);
    mirrorLabel->setCursor(Qt::PointingHandCursor);
    mirrorLabel->setToolTip(QStringLiteral("Choose where updates come from"));
    mirrorLabel->installEventFilter(this);

    getAppsButton = button(this, "cmdGetApps", QStringLiteral("Get Must-Have Apps"));
    getPortableButton = button(this, "cmdGetPortable", QStringLiteral("Get Portable Apps"));
    getSlimButton = button(this, "cmdGetSlim", QStringLiteral("Get Slim and Toolbar free Apps"));
    getHelpButton = button(this, "cmdGetHelp", QStringLiteral("Get Direct Help"));
    moreAppsButton = button(this, "cmdRecommendations", QStringLiteral("Get More Apps"));
    starterKitButton = button(this, "cmdWinStarterKit", QStringLiteral("Windows Starter Kit"));
    addAppButton = button(this, "cmdAddApp", QStringLiteral("Add App to Fetchora"));
    linkManagerButton = button(this, "cmdDDLManager", QStringLiteral("My App Manager"));
    linkFinderButton = button(this, "cmdFindLink", QStringLiteral("Get Safe Download Link on the quick"));
    installManagerButton = button(this, "cmdInstallManager", QStringLiteral("My Install Manager"));
    installAppsButton = button(this, "cmdFInstalls", QStringLiteral("Install Apps"));
    snapshotButton = button(this, "cmdShowInstalledApps", QStringLiteral("Make Snapshot of Installed Apps"));

    separator1 = separator(this, "Line1");
    separator2 = separator(this, "Line2");
    separator3 = separator(this, "Line3");

    // Three columns of shortcuts: catalogue, tools, installs.
    auto *catalogueCol = new QVBoxLayout;
    for (QWidget *w : {getAppsButton, getPortableButton, getSlimButton, getHelpButton})
        catalogueCol->addWidget(w);
    catalogueCol->addStretch(1);
    auto *toolsCol = new QVBoxLayout;
    for (QWidget *w : {moreAppsButton, starterKitButton, addAppButton, linkManagerButton})
        toolsCol->addWidget(w);
    toolsCol->addStretch(1);
    auto *installCol = new QVBoxLayout;
    for (QWidget *w : {linkFinderButton, installManagerButton, installAppsButton, snapshotButton})
        installCol->addWidget(w);
    installCol->addStretch(1);

    auto *columns = new QHBoxLayout;
    columns->addLayout(catalogueCol, 1);
    columns->addWidget(separator1);
    columns->addLayout(toolsCol, 1);
    columns->addWidget(separator2);
    columns->addLayout(installCol, 1);
    columns->addWidget(separator3);

    auto *images = new QVBoxLayout;
    for (QWidget *w : {homeImage, aboutImage, feedbackImage, twitterImage, facebookImage})
        images->addWidget(w);
    images->addStretch(1);
    columns->addLayout(images);

    auto *welcome = new QHBoxLayout;
    welcome->addStretch(1);
    welcome->addWidget(userPicture);
    welcome->addWidget(welcomeLabel);
    welcome->addWidget(userLabel);

    auto *mirror = new QHBoxLayout;
    mirror->addWidget(mirrorInfoLabel);
    mirror->addWidget(mirrorLabel);
    mirror->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(welcome);
    layout->addLayout(columns, 1);
    layout->addLayout(mirror);

    for (const auto &[b, hint] : hints()) {
        const QString text = hint;
        connect(b, &ThemedButton::mouseMoved, this, [this, text] { Q_EMIT hintRequested(text); });
    }
    setCompact(false);
}

QList<QPair<ThemedButton *, QString>> HomePage::hints() const
{
    return {
        {getAppsButton,
         QStringLiteral("Here you will find a list of the Best and most common Applications for every purpose.")},
        {getPortableButton, QStringLiteral("Here you will find a list of the most useful Portable Apps.")},
        {getSlimButton,
         QStringLiteral("Here you will find a list of Applications that are available only in the Slim, Toolbar-free "
                        "or Lite Version.")},
        {getHelpButton,
         QStringLiteral("Need Help with a App or a Computer Problem. Here you will find Direct Links for the Best "
                        "Pages, Communities, Blogs or Online Virus and Malware Scanners.")},
        {moreAppsButton,
         QStringLiteral("Here you will find Special Categories, like the Windows Starter Kit or the best Apps for "
                        "Technicians, Windows Service Packs, Windows OS Images etc.")},
        {starterKitButton,
         QStringLiteral("Here you will find Essential Applications and Runtimes that must be Installed after "
                        "Installing Windows.")},
        {addAppButton, QStringLiteral("Here you can Add and Suggest Custom Apps to the Fetchora Database.")},
        {linkManagerButton, QStringLiteral("Here you can Manage Download Links of your Favorite Apps.")},
        {linkFinderButton,
         QStringLiteral("Here you can Browser thorough the whole Database of Fetchora and find Direct Download Links "
                        "on the quick.")},
        {installManagerButton, QStringLiteral("Here you can Manage Multiple unattended and silent Installations.")},
        {installAppsButton,
         QStringLiteral(
             "Here you can perform unattended and silent Installations of Apps with FInstalls (Beta 0.0.8)")},
    };
}

bool HomePage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mirrorLabel && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Q_EMIT mirrorClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HomePage::setCompact(bool compact)
{
    m_compact = compact;
    getHelpButton->setVisible(!compact);
    snapshotButton->setVisible(!compact);
    addAppButton->setVisible(!compact);
    separator3->setVisible(!compact);
    // Separator ends at 5,400 or 6,840 twips from the top: 360 or 456 pixels at 96 dpi.
    const int length = compact ? 360 : 456;
    separator1->setMaximumHeight(length);
    separator2->setMaximumHeight(length);
}

} // namespace fetchora
