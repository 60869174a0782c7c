#include "UpdateWindow.h"

#include "ProductUrls.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "ui/WindowPlacement.h"
#include "update/UpdateChecks.h"
#include "update/UpdateSource.h"
#include "update/VersionFile.h"
#include "widgets/ThemedButton.h"

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

// One check at a time in the whole program. While a check waits for the network
// every window takes clicks, and an update window opened meanwhile (after a
// mirror switch) must not start a second run over the same files.
bool g_checkRunning = false;

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

ThemedButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new ThemedButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

// Questions and messages during a check show the normal pointer, not the busy one.
class PointerFriendlyPrompter : public Prompter
{
public:
    explicit PointerFriendlyPrompter(Prompter &inner) : m_inner(inner) { }
    void inform(const QString &text) override
    {
        Normal n;
        m_inner.inform(text);
    }
    void warn(const QString &text) override
    {
        Normal n;
        m_inner.warn(text);
    }
    void critical(const QString &text) override
    {
        Normal n;
        m_inner.critical(text);
    }
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
    return QStringLiteral("%1.%2.%3")
        .arg(FETCHORA_VERSION_MAJOR)
        .arg(FETCHORA_VERSION_MINOR)
        .arg(FETCHORA_VERSION_PATCH);
}

} // namespace

UpdateWindow::UpdateWindow(AppState &state, QNetworkAccessManager &network, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state), m_network(network)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(kCaption);
    m_trusted = {internationalMirror(), germanMirror(), frenchMirror()};

    programVersionCaption = label(this, "lblInfoVersionFetchora", QStringLiteral("Fetchora Version:"));
    programVersionLabel = label(this, "lblVersionFetchora", QStringLiteral("Unknown"));
    catalogueVersionCaption = label(this, "lblInfoSignatureVersion", QStringLiteral("Signature Version:"));
    catalogueVersionLabel = label(this, "lblSignatureVersion", QStringLiteral("Unknown"));
    headingLabel = label(this, "lblUpdate", QStringLiteral("Update"));
    QFont heading = headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    headingLabel->setFont(heading);
    logView = new QPlainTextEdit(this);
    logView->setObjectName(QStringLiteral("txtUpdate"));
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    updateCatalogueButton = button(this, "cmdUpdateSignatureDefinitions",
                                   QStringLiteral("Check for Signature Updates"));
    checkProgramButton = button(this, "cmdCheckforUpdatesFetchora", QStringLiteral("Check for Software Updates"));
    restartButton = button(this, "cmdRestart", QStringLiteral("Restart Now!"));
    changelogButton = button(this, "cmdChangelog", QStringLiteral("View Changelog!"));
    cancelButton = button(this, "cmdCancel", QStringLiteral("Cancel"));
    facebookButton = button(this, "cmdFacebook", QStringLiteral("f"));
    facebookButton->setToolTip(QStringLiteral("Like Fetchora on Facebook"));
    twitterButton = button(this, "cmdTwitter", QStringLiteral("t"));
    twitterButton->setToolTip(QStringLiteral("Share Fetchora on Twitter"));
    sourceLabel = label(this, "lblUpdateSource", QStringLiteral("Your Updates are downloaded from a trusted Source."));
    trustedImage = label(this, "ImgUpdateSourceTrust", QString());
    trustedImage->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(20, 20));
    untrustedImage = label(this, "ImgUpdateSourceDubious", QString());
    untrustedImage->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(20, 20));

    updateCatalogueButton->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    checkProgramButton->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    restartButton->setColors(QColor(51, 153, 51), QColor(36, 69, 154));
    changelogButton->setColors(QColor(51, 153, 51), QColor(36, 69, 154));
    cancelButton->setColors(QColor(0, 204, 255), QColor(36, 69, 154));

    auto *versions = new QGridLayout;
    versions->addWidget(programVersionCaption, 0, 0);
    versions->addWidget(programVersionLabel, 0, 1);
    versions->addWidget(catalogueVersionCaption, 1, 0);
    versions->addWidget(catalogueVersionLabel, 1, 1);
    versions->setColumnStretch(2, 1);
    auto *trust = new QHBoxLayout;
    trust->addWidget(trustedImage);
    trust->addWidget(untrustedImage);
    trust->addWidget(sourceLabel, 1);
    trust->addWidget(facebookButton);
    trust->addWidget(twitterButton);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(updateCatalogueButton);
    buttons->addWidget(checkProgramButton);
    buttons->addWidget(restartButton);
    buttons->addWidget(changelogButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headingLabel);
    layout->addLayout(versions);
    layout->addWidget(logView, 1);
    layout->addLayout(buttons);
    layout->addLayout(trust);
    resize(640, 420);

    connect(updateCatalogueButton, &ThemedButton::clicked, this, &UpdateWindow::runDefinitionUpdate);
    connect(checkProgramButton, &ThemedButton::clicked, this, &UpdateWindow::runProgramCheck);
    connect(cancelButton, &ThemedButton::clicked, this, &UpdateWindow::cancelRun);
    connect(changelogButton, &ThemedButton::clicked, this,
            [this] { m_state.shell().openUrl(QUrl(QLatin1String(urls::Changelog))); });
    connect(facebookButton, &ThemedButton::clicked, this,
            [this] { m_state.shell().openUrl(QUrl(QLatin1String(urls::FacebookPage))); });
    // A tweet that shares the product's web site; the address travels as one
    // query value, so its own "/", ":" and "?" are encoded.
    connect(twitterButton, &ThemedButton::clicked, this, [this] {
        m_state.shell().openUrl(QUrl(QLatin1String(urls::TwitterTweet)
                                     + QString::fromLatin1(QUrl::toPercentEncoding(QLatin1String(urls::WebSite)))));
    });
    connect(restartButton, &ThemedButton::clicked, this, [this] {
        Q_EMIT restartRequested();
        show();
        raise();
        reset();
        runAutomaticChecks();
        changelogButton->setVisible(true);
    });
    // The trust mark follows the update address as the user edits it.
    connect(&m_state, &AppState::optionsChanged, this, &UpdateWindow::refreshTrust);

    restoreWindowPlacement(this, m_state.profiles(), m_state.settingsPath(), kSection);
    reset();
}

void UpdateWindow::setTrustedMirrors(const QStringList &mirrors)
{
    m_trusted = mirrors;
    m_catalogueUpdateBarred = false;
    refreshTrust();
}

QString UpdateWindow::baseUrl() const
{
    return m_state.options().signatureServer;
}

void UpdateWindow::reset()
{
    logView->clear();
    programVersionLabel->setText(installedVersion());
    m_localSignatureVersion = m_state.profiles().readString(versionFilePath(m_state.dataDir()),
                                                            QStringLiteral("Signature"), QStringLiteral("Version"));
    catalogueVersionLabel->setText(m_localSignatureVersion.isEmpty() ? QStringLiteral("Unknown")
                                                                     : m_localSignatureVersion);
    restartButton->setVisible(false);
    changelogButton->setVisible(false);
    updateCatalogueButton->setVisible(true);
    checkProgramButton->setVisible(true);
    m_catalogueUpdateBarred = false;
    refreshTrust();
}

void UpdateWindow::refreshTrust()
{
    const bool trusted = m_trusted.contains(baseUrl());
    trustedImage->setVisible(trusted);
    untrustedImage->setVisible(!trusted);
    if (trusted) {
        sourceLabel->setText(QStringLiteral("Your Updates are downloaded from a trusted Source."));
    } else {
        sourceLabel->setText(QStringLiteral("This Update Source is unknown. Update feature has been disabled."));
        // Stays off until the window starts afresh, even if the address is put back.
        m_catalogueUpdateBarred = true;
    }
    updateButtons();
}

void UpdateWindow::updateButtons()
{
    // While a check waits for the network the user can click; only Cancel acts then.
    for (ThemedButton *b : {checkProgramButton, restartButton, changelogButton})
        b->setEnabled(!m_running);
    updateCatalogueButton->setEnabled(!m_running && !m_catalogueUpdateBarred);
    cancelButton->setVisible(m_running);
}

void UpdateWindow::addToLog(const QString &text)
{
    logView->appendPlainText(text);
    // The newest line stays in view.
    logView->moveCursor(QTextCursor::End);
    logView->verticalScrollBar()->setValue(logView->verticalScrollBar()->maximum());
}

void UpdateWindow::beginRun()
{
    m_running = g_checkRunning = true;
    m_runCancelled = false;
    setWindowTitle(kCaption + QStringLiteral(" [Running ...]"));
    // Busy, yet the Cancel button still takes a click.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    updateButtons();
}

void UpdateWindow::endRun()
{
    QApplication::restoreOverrideCursor();
    setWindowTitle(kCaption);
    m_running = g_checkRunning = false;
    updateButtons();
    if (m_deleteWhenRunEnds)
        deleteLater();
}

void UpdateWindow::cancelRun()
{
    if (m_cancel)
        m_cancel->cancel();
}

bool UpdateWindow::mayStartCheck()
{
    if (!g_checkRunning)
        return true;
    if (!m_running)
        addToLog(QStringLiteral("Another update is still running. Please try again when it has ended."));
    return false;
}

void UpdateWindow::runAutomaticChecks()
{
    if (!m_state.options().autoUpdate || !mayStartCheck())
        return;
    runDefinitionUpdate();
    // A Cancel stops both checks.
    if (!m_runCancelled && !m_deleteWhenRunEnds)
        runProgramCheck();
}

template<class Check> auto UpdateWindow::runCheck(Check check)
{
    FetchCancel cancel;
    m_cancel = &cancel;
    beginRun();
    PointerFriendlyPrompter prompter(m_state.prompter());
    UpdateContext context{m_state.profiles(),
                          m_network,
                          prompter,
                          m_state.dataDir(),
                          baseUrl(),
                          m_state.lists().signatures,
                          installedVersion(),
                          m_localSignatureVersion,
                          [this](const QString &line) { addToLog(line); },
                          [this](const QString &link) { m_state.startDirectDownload(link); },
                          m_limits};
    context.trustedMirrors = m_trusted;
    context.cancel = &cancel;
    const auto outcome = check(context);
    m_runCancelled = cancel.isCancelled();
    m_cancel = nullptr;
    endRun();
    return outcome;
}

void UpdateWindow::runProgramCheck()
{
    if (!mayStartCheck())
        return;
    if (runCheck(checkProgramVersion).newerVersion)
        changelogButton->setVisible(true);
}

void UpdateWindow::runDefinitionUpdate()
{
    if (!mayStartCheck())
        return;
    if (runCheck(updateDefinitions).updated) {
        show();
        raise();
        restartButton->setVisible(true);
        checkProgramButton->setVisible(false);
        updateCatalogueButton->setVisible(false);
    }
}

void UpdateWindow::closeEvent(QCloseEvent *event)
{
    saveWindowPlacement(this, m_state.profiles(), m_state.settingsPath(), kSection);
    if (m_running) {
        // The check, further down the stack, still uses this window: it stops at
        // once, and the window is deleted only after the check has returned.
        if (testAttribute(Qt::WA_DeleteOnClose)) {
            setAttribute(Qt::WA_DeleteOnClose, false);
            m_deleteWhenRunEnds = true;
        }
        cancelRun();
    }
    event->accept();
}

} // namespace fetchora
