#include "HomePage.h"

#include "widgets/isButton.h"

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

isButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new isButton(caption, parent);
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

QLabel *image(QWidget *parent, const char *name, const QString &letter, const QColor &colour,
              const QString &caption)
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
    lblWelcome = new QLabel(QStringLiteral("Welcome,"), this);
    lblWelcome->setObjectName(QStringLiteral("lblWelcome"));
    QFont big = lblWelcome->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    lblWelcome->setFont(big);
    lblUser = new QLabel(this);
    lblUser->setObjectName(QStringLiteral("lblUser"));
    lblUser->setFont(big);
    PicUser = new QLabel(this);
    PicUser->setObjectName(QStringLiteral("PicUser"));
    PicUser->setPixmap(badge(QStringLiteral("\u263A"), QColor(36, 69, 154)));

    ImgHome = image(this, "ImgHome", QStringLiteral("H"), QColor(0, 150, 200), QStringLiteral("Home"));
    ImgAbout = image(this, "ImgAbout", QStringLiteral("i"), QColor(90, 90, 90), QStringLiteral("About"));
    ImgFeedback = image(this, "ImgFeedback", QStringLiteral("@"), QColor(230, 120, 0), QStringLiteral("Feedback"));
    ImgTwitter = image(this, "ImgTwitter", QStringLiteral("t"), QColor(29, 161, 242), QStringLiteral("Twitter"));
    ImgFacebook = image(this, "ImgFacebook", QStringLiteral("f"), QColor(59, 89, 152), QStringLiteral("Facebook"));

    lblMirrorInfo = new QLabel(QStringLiteral("You are currently on the App Channel:"), this);
    lblMirrorInfo->setObjectName(QStringLiteral("lblMirrorInfo"));
    lblMirror = new QLabel(QStringLiteral("International"), this);
    lblMirror->setObjectName(QStringLiteral("lblMirror"));
    QFont bold = lblMirror->font();
    bold.setBold(true);
    lblMirror->setFont(bold);
    lblMirror->setCursor(Qt::PointingHandCursor);
    lblMirror->setToolTip(QStringLiteral("Choose where updates come from"));
    lblMirror->installEventFilter(this);

    cmdGetApps = button(this, "cmdGetApps", QStringLiteral("Get Must-Have Apps"));
    cmdGetPortable = button(this, "cmdGetPortable", QStringLiteral("Get Portable Apps"));
    cmdGetSlim = button(this, "cmdGetSlim", QStringLiteral("Get Slim and Toolbar free Apps"));
    cmdGetHelp = button(this, "cmdGetHelp", QStringLiteral("Get Direct Help"));
    cmdRecommendations = button(this, "cmdRecommendations", QStringLiteral("Get More Apps"));
    cmdWinStarterKit = button(this, "cmdWinStarterKit", QStringLiteral("Windows Starter Kit"));
    cmdAddApp = button(this, "cmdAddApp", QStringLiteral("Add App to Fetchora"));
    cmdDDLManager = button(this, "cmdDDLManager", QStringLiteral("My App Manager"));
    cmdFindLink = button(this, "cmdFindLink", QStringLiteral("Get Safe Download Link on the quick"));
    cmdInstallManager = button(this, "cmdInstallManager", QStringLiteral("My Install Manager"));
    cmdFInstalls = button(this, "cmdFInstalls", QStringLiteral("Install Apps"));
    cmdShowInstalledApps = button(this, "cmdShowInstalledApps", QStringLiteral("Make Snapshot of Installed Apps"));

    Line1 = separator(this, "Line1");
    Line2 = separator(this, "Line2");
    Line3 = separator(this, "Line3");

    // Three columns of shortcuts: catalogue, tools, installs.
    auto *catalogueCol = new QVBoxLayout;
    for (QWidget *w : {cmdGetApps, cmdGetPortable, cmdGetSlim, cmdGetHelp})
        catalogueCol->addWidget(w);
    catalogueCol->addStretch(1);
    auto *toolsCol = new QVBoxLayout;
    for (QWidget *w : {cmdRecommendations, cmdWinStarterKit, cmdAddApp, cmdDDLManager})
        toolsCol->addWidget(w);
    toolsCol->addStretch(1);
    auto *installCol = new QVBoxLayout;
    for (QWidget *w : {cmdFindLink, cmdInstallManager, cmdFInstalls, cmdShowInstalledApps})
        installCol->addWidget(w);
    installCol->addStretch(1);

    auto *columns = new QHBoxLayout;
    columns->addLayout(catalogueCol, 1);
    columns->addWidget(Line1);
    columns->addLayout(toolsCol, 1);
    columns->addWidget(Line2);
    columns->addLayout(installCol, 1);
    columns->addWidget(Line3);

    auto *images = new QVBoxLayout;
    for (QWidget *w : {ImgHome, ImgAbout, ImgFeedback, ImgTwitter, ImgFacebook})
        images->addWidget(w);
    images->addStretch(1);
    columns->addLayout(images);

    auto *welcome = new QHBoxLayout;
    welcome->addStretch(1);
    welcome->addWidget(PicUser);
    welcome->addWidget(lblWelcome);
    welcome->addWidget(lblUser);

    auto *mirror = new QHBoxLayout;
    mirror->addWidget(lblMirrorInfo);
    mirror->addWidget(lblMirror);
    mirror->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(welcome);
    layout->addLayout(columns, 1);
    layout->addLayout(mirror);

    for (const auto &[b, hint] : hints()) {
        const QString text = hint;
        connect(b, &isButton::mouseMoved, this, [this, text] { Q_EMIT hintRequested(text); });
    }
    setCompact(false);
}

QList<QPair<isButton *, QString>> HomePage::hints() const
{
    return {
        {cmdGetApps, QStringLiteral("Here you will find a list of the Best and most common Applications for every purpose.")},
        {cmdGetPortable, QStringLiteral("Here you will find a list of the most useful Portable Apps.")},
        {cmdGetSlim, QStringLiteral("Here you will find a list of Applications that are available only in the Slim, Toolbar-free or Lite Version.")},
        {cmdGetHelp, QStringLiteral("Need Help with a App or a Computer Problem. Here you will find Direct Links for the Best Pages, Communities, Blogs or Online Virus and Malware Scanners.")},
        {cmdRecommendations, QStringLiteral("Here you will find Special Categories, like the Windows Starter Kit or the best Apps for Technicians, Windows Service Packs, Windows OS Images etc.")},
        {cmdWinStarterKit, QStringLiteral("Here you will find Essential Applications and Runtimes that must be Installed after Installing Windows.")},
        {cmdAddApp, QStringLiteral("Here you can Add and Suggest Custom Apps to the Fetchora Database.")},
        {cmdDDLManager, QStringLiteral("Here you can Manage Download Links of your Favorite Apps.")},
        {cmdFindLink, QStringLiteral("Here you can Browser thorough the whole Database of Fetchora and find Direct Download Links on the quick.")},
        {cmdInstallManager, QStringLiteral("Here you can Manage Multiple unattended and silent Installations.")},
        {cmdFInstalls, QStringLiteral("Here you can perform unattended and silent Installations of Apps with FInstalls (Beta 0.0.8)")},
    };
}

bool HomePage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblMirror && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Q_EMIT mirrorClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HomePage::setCompact(bool compact)
{
    m_compact = compact;
    cmdGetHelp->setVisible(!compact);
    cmdShowInstalledApps->setVisible(!compact);
    cmdAddApp->setVisible(!compact);
    Line3->setVisible(!compact);
    // Separator ends at 5,400 or 6,840 twips from the top: 360 or 456 pixels at 96 dpi.
    const int length = compact ? 360 : 456;
    Line1->setMaximumHeight(length);
    Line2->setMaximumHeight(length);
}

} // namespace fetchora
