#include "AppWindows.h"

#include "app/MainWindow.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "platform/Prompter.h"
#include "state/AppState.h"
#include "update/ui/MirrorWindow.h"
#include "update/ui/UpdateWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

namespace fetchora {

AppWindows::AppWindows(AppState &state, MainWindow &main, QNetworkAccessManager &network)
    : m_state(state), m_main(main), m_network(network)
{
    connect(&main, &MainWindow::updateWindowRequested, this, &AppWindows::showUpdateWindow);
    connect(main.homePage, &HomePage::mirrorClicked, this, &AppWindows::showMirrorWindow);
}

UpdateWindow *AppWindows::updateWindow() const
{
    return m_update.data();
}

UpdateWindow *AppWindows::showUpdateWindow()
{
    if (!m_update) {
        m_update = new UpdateWindow(m_state, m_network, &m_main);
        m_update->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_update, &UpdateWindow::restartRequested, &m_main, &MainWindow::reload);
        m_update->show();
        // A newly opened window checks at once when automatic checks are on.
        QTimer::singleShot(0, m_update, &UpdateWindow::runAutomaticChecks);
    } else {
        m_update->show();
    }
    m_update->raise();
    m_update->activateWindow();
    return m_update;
}

MirrorWindow *AppWindows::showMirrorWindow()
{
    if (!m_mirrors) {
        m_mirrors = new MirrorWindow(m_state, &m_main);
        connect(m_mirrors, &MirrorWindow::mirrorSwitched, this, &AppWindows::mirrorSwitched);
    }
    m_mirrors->show();
    m_mirrors->raise();
    m_mirrors->activateWindow();
    return m_mirrors;
}

void AppWindows::mirrorSwitched(const QString &base, const QString &activated, const QString &followUp)
{
    m_main.optionsPage->updateAddressEdit->setText(base);
    m_state.prompter().inform(activated + QStringLiteral("\r\nFetchora will Restart Now!"));
    // An update window open from before belongs to the old mirror: it closes
    // (and goes, being deleted on close) and a fresh one opens below. Forgetting
    // it at once keeps the closing window from being found and shown again.
    if (m_update && m_update->close())
        m_update.clear();
    m_main.reload();
    m_main.tabs->setCurrentIndex(MainWindow::TabOptions);
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
