#pragma once

#include "update/FileDownload.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QNetworkAccessManager;
class QPlainTextEdit;

namespace fetchora {

class AppState;
class ThemedButton;

// The update window: whether a newer program or a newer catalogue exists, and
// the catalogue update itself, with a log of what happened.
class UpdateWindow : public QWidget
{
    Q_OBJECT
public:
    UpdateWindow(AppState &state, QNetworkAccessManager &network, QWidget *parent = nullptr);

    QLabel *programVersionCaption, *programVersionLabel, *catalogueVersionCaption, *catalogueVersionLabel;
    QLabel *headingLabel, *sourceLabel, *trustedImage, *untrustedImage;
    QPlainTextEdit *logView;
    ThemedButton *updateCatalogueButton, *checkProgramButton, *restartButton, *changelogButton, *facebookButton,
        *twitterButton;
    ThemedButton *cancelButton; // shown while a check runs

    void addToLog(const QString &text);
    // Both checks, catalogue first, when the automatic check is switched on.
    void runAutomaticChecks();
    void runDefinitionUpdate();
    void runProgramCheck();
    // Starts afresh, as a newly opened window: labels re-read, log emptied,
    // buttons as at first.
    void reset();

    // For tests: shorter time-outs, other trusted update folders.
    void setLimits(const FetchLimits &limits) { m_limits = limits; }
    void setTrustedMirrors(const QStringList &mirrors);

Q_SIGNALS:
    // "Restart Now!": the main window reads the new catalogue.
    void restartRequested();

protected:
    // Closing during a check cancels it.
    void closeEvent(QCloseEvent *event) override;

private:
    void refreshTrust();
    void updateButtons();
    template<class Check> auto runCheck(Check check);
    void beginRun();
    void endRun();
    void cancelRun();
    bool mayStartCheck(); // one check at a time, program-wide
    QString baseUrl() const;

    AppState &m_state;
    QNetworkAccessManager &m_network;
    FetchLimits m_limits;
    QStringList m_trusted;
    QString m_localSignatureVersion;
    FetchCancel *m_cancel = nullptr; // the running check's
    bool m_running = false;
    bool m_runCancelled = false;          // the last check was stopped by the user
    bool m_catalogueUpdateBarred = false; // an untrusted address was seen
    bool m_deleteWhenRunEnds = false;
};

} // namespace fetchora
