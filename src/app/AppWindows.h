#pragma once

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;

namespace fetchora {

class AppState;
class MirrorWindow;
class MainWindow;
class UpdateWindow;

// The secondary windows the main window opens, each created on first use and
// shown again while it is open, and what passes between them.
class AppWindows : public QObject
{
    Q_OBJECT
public:
    AppWindows(AppState &state, MainWindow &main, QNetworkAccessManager &network);

    UpdateWindow *showUpdateWindow();
    MirrorWindow *showMirrorWindow();
    UpdateWindow *updateWindow() const;

    // A few seconds after start, the automatic check runs once when the user
    // asked for it.
    void scheduleAutomaticCheck(int delayMs = 5000);

private:
    void mirrorSwitched(const QString &base, const QString &activated, const QString &followUp);

    AppState &m_state;
    MainWindow &m_main;
    QNetworkAccessManager &m_network;
    QPointer<UpdateWindow> m_update;
    QPointer<MirrorWindow> m_mirrors;
};

} // namespace fetchora
