#pragma once

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;

namespace fetchora {

class AppState;
class frmDDLMirrors;
class frmMain;
class frmUpdate;

// The secondary windows the main window opens, each created on first use and
// shown again while it is open, and what passes between them.
class AppWindows : public QObject
{
    Q_OBJECT
public:
    AppWindows(AppState &state, frmMain &main, QNetworkAccessManager &network);

    frmUpdate *showUpdateWindow();
    frmDDLMirrors *showMirrorWindow();
    frmUpdate *updateWindow() const;

    // A few seconds after start, the automatic check runs once when the user
    // asked for it.
    void scheduleAutomaticCheck(int delayMs = 5000);

private:
    void mirrorSwitched(const QString &base, const QString &activated, const QString &followUp);

    AppState &m_state;
    frmMain &m_main;
    QNetworkAccessManager &m_network;
    QPointer<frmUpdate> m_update;
    QPointer<frmDDLMirrors> m_mirrors;
};

} // namespace fetchora
