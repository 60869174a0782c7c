#include "frmDDLMirrors.h"

#include "ProductUrls.h"
#include "actions/LinkActions.h"
#include "app/settings/WindowPlacement.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "update/UpdateSource.h"
#include "update/VersionFile.h"
#include "widgets/isButton.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace fetchora {

namespace {
const QString kSection = QStringLiteral("WindowStateDDLMirrors");
const QString kFrenchMaintainer = QStringLiteral("the Fetchora community in France");
}

frmDDLMirrors::frmDDLMirrors(AppState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("frmDDLMirrors"));
    setWindowTitle(QStringLiteral("Fetchora - App Channels"));
    setAttribute(Qt::WA_DeleteOnClose);

    PicDDLMirrors = new QWidget(this);
    PicDDLMirrors->setObjectName(QStringLiteral("PicDDLMirrors"));
    PicDDLMirrors->setAutoFillBackground(true);
    QPalette header = PicDDLMirrors->palette();
    header.setColor(QPalette::Window, QColor(36, 69, 154));
    header.setColor(QPalette::WindowText, Qt::white);
    PicDDLMirrors->setPalette(header);
    lblAboutApp = new QLabel(QStringLiteral("App Channels"), PicDDLMirrors);
    lblAboutApp->setObjectName(QStringLiteral("lblAboutApp"));
    QFont big = lblAboutApp->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    lblAboutApp->setFont(big);
    auto *headerLayout = new QHBoxLayout(PicDDLMirrors);
    headerLayout->addWidget(lblAboutApp);

    auto make = [this](const char *name, const QString &caption) {
        auto *b = new isButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumHeight(30);
        return b;
    };
    cmdInternationalMirror = make("cmdInternationalMirror", QStringLiteral("International (Default)"));
    cmdGermanMirror = make("cmdGermanMirror", QStringLiteral("German Mirror"));
    cmdFrenchMirror = make("cmdFrenchMirror", QStringLiteral("French Mirror"));
    for (const char *name : {"isButton2", "isButton3", "isButton5", "isButton6", "isButton7", "isButton8"})
        unassigned.append(make(name, QStringLiteral("Not assigned")));

    lblDatabase = new QLabel(QStringLiteral("Enter Custom Mirror"), this);
    lblDatabase->setObjectName(QStringLiteral("lblDatabase"));
    txtCustomMirror = new QLineEdit(QStringLiteral("https://"), this);
    txtCustomMirror->setObjectName(QStringLiteral("txtCustomMirror"));
    ImgCustomMirror = new QLabel(this);
    ImgCustomMirror->setObjectName(QStringLiteral("ImgCustomMirror"));
    ImgCustomMirror->setPixmap(style()->standardIcon(QStyle::SP_ArrowForward).pixmap(22, 22));
    ImgCustomMirror->setCursor(Qt::PointingHandCursor);
    ImgCustomMirror->setToolTip(QStringLiteral("Use this Mirror"));
    ImgCustomMirror->installEventFilter(this);
    Label1 = new QLabel(QStringLiteral("If you want to provide Mirrors in your Language, please"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    lblContact = new QLabel(QStringLiteral("<a href=\"#\">contact us.</a>"), this);
    lblContact->setObjectName(QStringLiteral("lblContact"));
    lblContact->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);

    auto *grid = new QGridLayout;
    const QList<isButton *> all = {cmdInternationalMirror, cmdGermanMirror, unassigned[0], cmdFrenchMirror,
                                   unassigned[1], unassigned[2], unassigned[3], unassigned[4], unassigned[5]};
    for (int i = 0; i < all.size(); ++i)
        grid->addWidget(all[i], i / 3, i % 3);
    auto *custom = new QHBoxLayout;
    custom->addWidget(lblDatabase);
    custom->addWidget(txtCustomMirror, 1);
    custom->addWidget(ImgCustomMirror);
    auto *contact = new QHBoxLayout;
    contact->addWidget(Label1);
    contact->addWidget(lblContact);
    contact->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PicDDLMirrors);
    layout->addLayout(grid);
    layout->addLayout(custom);
    layout->addLayout(contact);
    layout->addStretch(1);

    connect(cmdInternationalMirror, &isButton::clicked, this, [this] {
        switchTo(internationalMirror(), QStringLiteral("International Mirror (Default) successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the International (Default) Fetchora Mirror."));
    });
    connect(cmdGermanMirror, &isButton::clicked, this, [this] {
        switchTo(germanMirror(), QStringLiteral("German Mirror successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the German Mirror."));
    });
    connect(cmdFrenchMirror, &isButton::clicked, this, [this] {
        switchTo(frenchMirror(),
                 QStringLiteral("French Mirror (Maintained by ") + kFrenchMaintainer + QStringLiteral(") successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the French Mirror."));
    });
    for (isButton *b : std::as_const(unassigned))
        connect(b, &isButton::clicked, this, [this] {
            m_state.prompter().critical(QStringLiteral("This Mirror is NOT assigned.\r\n"
                                                       "If you want to provide this Mirror in your Language, please contact us."));
        });
    connect(txtCustomMirror, &QLineEdit::returnPressed, this, &frmDDLMirrors::switchToCustom);
    connect(lblContact, &QLabel::linkActivated, this, [this] {
        m_state.shell().openUrl(mailUrl(QLatin1String(urls::FeedbackMail), QStringLiteral("Fetchora - Mirror"),
                                        QStringLiteral("I want to Provide a Mirror for [Site Name] or in [Language]")));
    });

    resize(560, 300);
    RestoreWindowState(this, m_state.profiles(), m_state.settingsPath(), kSection);
}

void frmDDLMirrors::switchToCustom()
{
    switchTo(txtCustomMirror->text(), QStringLiteral("Custom Mirror successfully activated."),
             QStringLiteral("Please Update your Signature files now to get Apps from the Custom Mirror."));
}

void frmDDLMirrors::switchTo(const QString &base, const QString &activated, const QString &followUp)
{
    // Forgetting the installed version makes the next update fetch everything
    // from the new mirror.
    QFile::remove(versionFilePath(m_state.dataDir()));
    Q_EMIT mirrorSwitched(base, activated, followUp);
    close();
}

bool frmDDLMirrors::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ImgCustomMirror && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        switchToCustom();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmDDLMirrors::closeEvent(QCloseEvent *event)
{
    SaveWindowState(this, m_state.profiles(), m_state.settingsPath(), kSection);
    event->accept();
}

} // namespace fetchora
