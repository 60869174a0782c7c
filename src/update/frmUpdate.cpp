#include "frmUpdate.h"

#include "ProductUrls.h"
#include "app/settings/WindowPlacement.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "update/UpdateChecks.h"
#include "update/UpdateSource.h"
#include "update/VersionFile.h"
#include "widgets/isButton.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace fetchora {

namespace {

const QString kCaption = QStringLiteral("Fetchora - Update");
const QString kSection = QStringLiteral("WindowStateUpdate");

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

isButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new isButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

// Questions and messages during a check show the normal pointer, not the busy one.
class PointerFriendlyPrompter : public Prompter
{
public:
    explicit PointerFriendlyPrompter(Prompter &inner) : m_inner(inner) {}
    void inform(const QString &text) override { Normal n; m_inner.inform(text); }
    void warn(const QString &text) override { Normal n; m_inner.warn(text); }
    void critical(const QString &text) override { Normal n; m_inner.critical(text); }
    bool askYesNo(const QString &text, const QString &title) override
    {
        Normal n;
        return m_inner.askYesNo(text, title);
    }

private:
    struct Normal
    {
        Normal() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
        ~Normal() { QApplication::restoreOverrideCursor(); }
    };
    Prompter &m_inner;
};

QString installedVersion()
{
    return QStringLiteral("%1.%2.%3").arg(FETCHORA_VERSION_MAJOR).arg(FETCHORA_VERSION_MINOR).arg(FETCHORA_VERSION_PATCH);
}

} // namespace

frmUpdate::frmUpdate(AppState &state, QNetworkAccessManager &network, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state), m_network(network)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(kCaption);
    m_trusted = {internationalMirror(), germanMirror(), frenchMirror()};

    lblInfoVersionFetchora = label(this, "lblInfoVersionFetchora", QStringLiteral("Fetchora Version:"));
    lblVersionFetchora = label(this, "lblVersionFetchora", QStringLiteral("Unknown"));
    lblInfoSignatureVersion = label(this, "lblInfoSignatureVersion", QStringLiteral("Signature Version:"));
    lblSignatureVersion = label(this, "lblSignatureVersion", QStringLiteral("Unknown"));
    lblUpdate = label(this, "lblUpdate", QStringLiteral("Update"));
    QFont heading = lblUpdate->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    lblUpdate->setFont(heading);
    txtUpdate = new QPlainTextEdit(this);
    txtUpdate->setObjectName(QStringLiteral("txtUpdate"));
    txtUpdate->setReadOnly(true);
    txtUpdate->setLineWrapMode(QPlainTextEdit::NoWrap);
    cmdUpdateSignatureDefinitions = button(this, "cmdUpdateSignatureDefinitions", QStringLiteral("Check for Signature Updates"));
    cmdCheckforUpdatesFetchora = button(this, "cmdCheckforUpdatesFetchora", QStringLiteral("Check for Software Updates"));
    cmdRestart = button(this, "cmdRestart", QStringLiteral("Restart Now!"));
    cmdChangelog = button(this, "cmdChangelog", QStringLiteral("View Changelog!"));
    cmdFacebook = button(this, "cmdFacebook", QStringLiteral("f"));
    cmdFacebook->setToolTip(QStringLiteral("Like Fetchora on Facebook"));
    cmdTwitter = button(this, "cmdTwitter", QStringLiteral("t"));
    cmdTwitter->setToolTip(QStringLiteral("Share Fetchora on Twitter"));
    lblUpdateSource = label(this, "lblUpdateSource", QStringLiteral("Your Updates are downloaded from a trusted Source."));
    ImgUpdateSourceTrust = label(this, "ImgUpdateSourceTrust", QString());
    ImgUpdateSourceTrust->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(20, 20));
    ImgUpdateSourceDubious = label(this, "ImgUpdateSourceDubious", QString());
    ImgUpdateSourceDubious->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(20, 20));

    cmdUpdateSignatureDefinitions->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    cmdCheckforUpdatesFetchora->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    cmdRestart->setColors(QColor(51, 153, 51), QColor(36, 69, 154));
    cmdChangelog->setColors(QColor(51, 153, 51), QColor(36, 69, 154));

    auto *versions = new QGridLayout;
    versions->addWidget(lblInfoVersionFetchora, 0, 0);
    versions->addWidget(lblVersionFetchora, 0, 1);
    versions->addWidget(lblInfoSignatureVersion, 1, 0);
    versions->addWidget(lblSignatureVersion, 1, 1);
    versions->setColumnStretch(2, 1);
    auto *trust = new QHBoxLayout;
    trust->addWidget(ImgUpdateSourceTrust);
    trust->addWidget(ImgUpdateSourceDubious);
    trust->addWidget(lblUpdateSource, 1);
    trust->addWidget(cmdFacebook);
    trust->addWidget(cmdTwitter);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdUpdateSignatureDefinitions);
    buttons->addWidget(cmdCheckforUpdatesFetchora);
    buttons->addWidget(cmdRestart);
    buttons->addWidget(cmdChangelog);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblUpdate);
    layout->addLayout(versions);
    layout->addWidget(txtUpdate, 1);
    layout->addLayout(buttons);
    layout->addLayout(trust);
    resize(640, 420);

    connect(cmdUpdateSignatureDefinitions, &isButton::clicked, this, &frmUpdate::runDefinitionUpdate);
    connect(cmdCheckforUpdatesFetchora, &isButton::clicked, this, &frmUpdate::runProgramCheck);
    connect(cmdChangelog, &isButton::clicked, this,
            [this] { m_state.shell().openUrl(QUrl(QLatin1String(urls::Changelog))); });
    connect(cmdFacebook, &isButton::clicked, this,
            [this] { m_state.shell().openUrl(QUrl(QLatin1String(urls::FacebookPage))); });
    connect(cmdTwitter, &isButton::clicked, this,
            [this] { m_state.shell().openUrl(QUrl(QLatin1String(urls::TwitterPage))); });
    connect(cmdRestart, &isButton::clicked, this, [this] {
        Q_EMIT restartRequested();
        show();
        raise();
        reset();
        CheckForSignatureUpdates();
        cmdChangelog->setVisible(true);
    });
    // The trust mark follows the update address as the user edits it.
    connect(&m_state, &AppState::optionsChanged, this, &frmUpdate::refreshTrust);

    RestoreWindowState(this, m_state.profiles(), m_state.settingsPath(), kSection);
    reset();
}

void frmUpdate::setTrustedMirrors(const QStringList &mirrors)
{
    m_trusted = mirrors;
    cmdUpdateSignatureDefinitions->setEnabled(true);
    refreshTrust();
}

QString frmUpdate::baseUrl() const
{
    return m_state.options().signatureServer;
}

void frmUpdate::reset()
{
    txtUpdate->clear();
    lblVersionFetchora->setText(installedVersion());
    m_localSignatureVersion = m_state.profiles().readString(versionFilePath(m_state.dataDir()),
                                                            QStringLiteral("Signature"), QStringLiteral("Version"));
    lblSignatureVersion->setText(m_localSignatureVersion.isEmpty() ? QStringLiteral("Unknown") : m_localSignatureVersion);
    cmdRestart->setVisible(false);
    cmdChangelog->setVisible(false);
    cmdUpdateSignatureDefinitions->setVisible(true);
    cmdCheckforUpdatesFetchora->setVisible(true);
    cmdUpdateSignatureDefinitions->setEnabled(true);
    refreshTrust();
}

void frmUpdate::refreshTrust()
{
    const bool trusted = m_trusted.contains(baseUrl());
    ImgUpdateSourceTrust->setVisible(trusted);
    ImgUpdateSourceDubious->setVisible(!trusted);
    if (trusted) {
        lblUpdateSource->setText(QStringLiteral("Your Updates are downloaded from a trusted Source."));
    } else {
        lblUpdateSource->setText(QStringLiteral("This Update Source is unknown. Update feature has been disabled."));
        // Stays off until the window starts afresh, even if the address is put back.
        cmdUpdateSignatureDefinitions->setEnabled(false);
    }
}

void frmUpdate::AddToLog(const QString &text)
{
    txtUpdate->appendPlainText(text);
    // The newest line stays in view.
    txtUpdate->moveCursor(QTextCursor::End);
    txtUpdate->verticalScrollBar()->setValue(txtUpdate->verticalScrollBar()->maximum());
}

void frmUpdate::beginRun()
{
    m_running = true;
    setWindowTitle(kCaption + QStringLiteral(" [Running ...]"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void frmUpdate::endRun()
{
    QApplication::restoreOverrideCursor();
    setWindowTitle(kCaption);
    m_running = false;
}

void frmUpdate::CheckForSignatureUpdates()
{
    if (!m_state.options().autoUpdate)
        return;
    runDefinitionUpdate();
    runProgramCheck();
}

template<class Check>
auto frmUpdate::runCheck(Check check)
{
    beginRun();
    PointerFriendlyPrompter prompter(m_state.prompter());
    UpdateContext context{m_state.profiles(), m_network, prompter, m_state.dataDir(), baseUrl(),
                          m_state.lists().signatures, installedVersion(), m_localSignatureVersion,
                          [this](const QString &line) { AddToLog(line); },
                          [this](const QString &link) { m_state.startDirectDownload(link); }, m_limits};
    context.trustedMirrors = m_trusted;
    const auto outcome = check(context);
    endRun();
    return outcome;
}

void frmUpdate::runProgramCheck()
{
    if (m_running)
        return;
    if (runCheck(checkProgramVersion).newerVersion)
        cmdChangelog->setVisible(true);
}

void frmUpdate::runDefinitionUpdate()
{
    if (m_running)
        return;
    if (runCheck(updateDefinitions).updated) {
        show();
        raise();
        cmdRestart->setVisible(true);
        cmdCheckforUpdatesFetchora->setVisible(false);
        cmdUpdateSignatureDefinitions->setVisible(false);
    }
}

void frmUpdate::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        // A check in progress finishes first; its time-outs bound the wait.
        event->ignore();
        return;
    }
    SaveWindowState(this, m_state.profiles(), m_state.settingsPath(), kSection);
    event->accept();
}

} // namespace fetchora
