#include "AppWindows.h"

#include "app/frmMain.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "platform/Prompter.h"
#include "state/AppState.h"
#include "update/frmDDLMirrors.h"
#include "update/frmUpdate.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

namespace fetchora {

AppWindows::AppWindows(AppState &state, frmMain &main, QNetworkAccessManager &network)
    : m_state(state), m_main(main), m_network(network)
{
    connect(&main, &frmMain::updateWindowRequested, this, &AppWindows::showUpdateWindow);
    connect(main.home, &HomePage::mirrorClicked, this, &AppWindows::showMirrorWindow);
}

frmUpdate *AppWindows::updateWindow() const
{
    return m_update.data();
}

frmUpdate *AppWindows::showUpdateWindow()
{
    if (!m_update) {
        m_update = new frmUpdate(m_state, m_network, &m_main);
        m_update->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_update, &frmUpdate::restartRequested, &m_main, &frmMain::reload);
        m_update->show();
        // A newly opened window checks at once when automatic checks are on.
        QTimer::singleShot(0, m_update, &frmUpdate::CheckForSignatureUpdates);
    } else {
        m_update->show();
    }
    m_update->raise();
    m_update->activateWindow();
    return m_update;
}

frmDDLMirrors *AppWindows::showMirrorWindow()
{
    if (!m_mirrors) {
        m_mirrors = new frmDDLMirrors(m_state, &m_main);
        connect(m_mirrors, &frmDDLMirrors::mirrorSwitched, this, &AppWindows::mirrorSwitched);
    }
    m_mirrors->show();
    m_mirrors->raise();
    m_mirrors->activateWindow();
    return m_mirrors;
}

void AppWindows::mirrorSwitched(const QString &base, const QString &activated, const QString &followUp)
{
    m_main.optionsPage->txtSignatureServer->setText(base);
    m_state.prompter().inform(activated + QStringLiteral("\r\nFetchora will Restart Now!"));
    // An update window open from before belongs to the old mirror.
    if (m_update)
        m_update->close();
    m_main.reload();
    m_main.SSTab1->setCurrentIndex(frmMain::TabOptions);
    m_state.prompter().inform(followUp);
    showUpdateWindow();
}

void AppWindows::scheduleAutomaticCheck(int delayMs)
{
    QTimer::singleShot(delayMs, this, [this] {
        if (m_state.options().autoUpdate)
            showUpdateWindow(); // opening it runs the checks, once
    });
}

} // namespace fetchora
