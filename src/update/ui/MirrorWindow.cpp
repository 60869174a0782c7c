#include "MirrorWindow.h"

#include "ProductUrls.h"
#include "actions/LinkActions.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "ui/FormSettings.h"
#include "ui/WindowPlacement.h"
#include "update/UpdateSource.h"
#include "update/VersionFile.h"
#include "widgets/ThemedButton.h"

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
} // namespace

MirrorWindow::MirrorWindow(AppState &state, QWidget *parent) : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("frmDDLMirrors"));
    setWindowTitle(QStringLiteral("Fetchora - App Channels"));
    setAttribute(Qt::WA_DeleteOnClose);

    headerPanel = new QWidget(this);
    headerPanel->setObjectName(QStringLiteral("PicDDLMirrors"));
    headerPanel->setAutoFillBackground(true);
    QPalette header = headerPanel->palette();
    header.setColor(QPalette::Window, QColor(36, 69, 154));
    header.setColor(QPalette::WindowText, Qt::white);
    headerPanel->setPalette(header);
    headingLabel = new QLabel(QStringLiteral("App Channels"), headerPanel);
    headingLabel->setObjectName(QStringLiteral("lblAboutApp"));
    QFont big = headingLabel->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    headingLabel->setFont(big);
    auto *headerLayout = new QHBoxLayout(headerPanel);
    headerLayout->addWidget(headingLabel);

    auto make = [this](const char *name, const QString &caption) {
        auto *b = new ThemedButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumHeight(30);
        return b;
    };
    internationalButton = make("cmdInternationalMirror", QStringLiteral("International (Default)"));
    germanButton = make("cmdGermanMirror", QStringLiteral("German Mirror"));
    frenchButton = make("cmdFrenchMirror", QStringLiteral("French Mirror"));
    for (const char *name : {"isButton2", "isButton3", "isButton5", "isButton6", "isButton7", "isButton8"})
        unassignedButtons.append(make(name, QStringLiteral("Not assigned")));

    customMirrorLabel = new QLabel(QStringLiteral("Enter Custom Mirror"), this);
    customMirrorLabel->setObjectName(QStringLiteral("lblDatabase"));
    customMirrorEdit = new QLineEdit(QStringLiteral("https://"), this);
    customMirrorEdit->setObjectName(QStringLiteral("txtCustomMirror"));
    useCustomMirrorImage = new QLabel(this);
    useCustomMirrorImage->setObjectName(QStringLiteral("ImgCustomMirror"));
    useCustomMirrorImage->setPixmap(style()->standardIcon(QStyle::SP_ArrowForward).pixmap(22, 22));
    useCustomMirrorImage->setCursor(Qt::PointingHandCursor);
    useCustomMirrorImage->setToolTip(QStringLiteral("Use this Mirror"));
    useCustomMirrorImage->installEventFilter(this);
    contactInfoLabel = new QLabel(QStringLiteral("If you want to provide Mirrors in your Language, please"), this);
    contactInfoLabel->setObjectName(QStringLiteral("Label1"));
    contactLink = new QLabel(QStringLiteral("<a href=\"#\">contact us.</a>"), this);
    contactLink->setObjectName(QStringLiteral("lblContact"));
    contactLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);

    auto *grid = new QGridLayout;
    const QList<ThemedButton *> all = {internationalButton,  germanButton,         unassignedButtons[0],
                                       frenchButton,         unassignedButtons[1], unassignedButtons[2],
                                       unassignedButtons[3], unassignedButtons[4], unassignedButtons[5]};
    for (int i = 0; i < all.size(); ++i)
        grid->addWidget(all[i], i / 3, i % 3);
    auto *custom = new QHBoxLayout;
    custom->addWidget(customMirrorLabel);
    custom->addWidget(customMirrorEdit, 1);
    custom->addWidget(useCustomMirrorImage);
    auto *contact = new QHBoxLayout;
    contact->addWidget(contactInfoLabel);
    contact->addWidget(contactLink);
    contact->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headerPanel);
    layout->addLayout(grid);
    layout->addLayout(custom);
    layout->addLayout(contact);
    layout->addStretch(1);

    connect(internationalButton, &ThemedButton::clicked, this, [this] {
        switchTo(internationalMirror(), QStringLiteral("International Mirror (Default) successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the International (Default) "
                                "Fetchora Mirror."));
    });
    connect(germanButton, &ThemedButton::clicked, this, [this] {
        switchTo(germanMirror(), QStringLiteral("German Mirror successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the German Mirror."));
    });
    connect(frenchButton, &ThemedButton::clicked, this, [this] {
        switchTo(frenchMirror(),
                 QStringLiteral("French Mirror (Maintained by ") + kFrenchMaintainer
                     + QStringLiteral(") successfully activated."),
                 QStringLiteral("Please Update your Signature files now to get Apps from the French Mirror."));
    });
    for (ThemedButton *b : std::as_const(unassignedButtons))
        connect(b, &ThemedButton::clicked, this, [this] {
            m_state.prompter().critical(
                QStringLiteral("This Mirror is NOT assigned.\r\n"
                               "If you want to provide this Mirror in your Language, please contact us."));
        });
    connect(customMirrorEdit, &QLineEdit::returnPressed, this, &MirrorWindow::switchToCustom);
    connect(contactLink, &QLabel::linkActivated, this, [this] {
        m_state.shell().openUrl(mailUrl(QLatin1String(urls::FeedbackMail), QStringLiteral("Fetchora - Mirror"),
                                        QStringLiteral("I want to Provide a Mirror for [Site Name] or in [Language]")));
    });

    resize(560, 300);
    restoreWindowPlacement(this, m_state.profiles(), m_state.settingsPath(), kSection);
    // The custom mirror typed last time is offered again.
    loadFormControls(this, m_state.profiles(), m_state.settingsPath());
}

void MirrorWindow::switchToCustom()
{
    switchTo(customMirrorEdit->text(), QStringLiteral("Custom Mirror successfully activated."),
             QStringLiteral("Please Update your Signature files now to get Apps from the Custom Mirror."));
}

void MirrorWindow::switchTo(const QString &base, const QString &activated, const QString &followUp)
{
    // Forgetting the installed version makes the next update fetch everything
    // from the new mirror.
    QFile::remove(versionFilePath(m_state.dataDir()));
    Q_EMIT mirrorSwitched(base, activated, followUp);
    close();
}

bool MirrorWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == useCustomMirrorImage && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        switchToCustom();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MirrorWindow::closeEvent(QCloseEvent *event)
{
    QString error;
    QList<ProfileWrite> writes = formControlWrites(this);
    writes += windowPlacementWrites(this, kSection);
    if (!m_state.profiles().write(m_state.settingsPath(), writes, &error))
        qWarning("Fetchora: settings of the mirror window not saved: %s", qPrintable(error));
    event->accept();
}

} // namespace fetchora
