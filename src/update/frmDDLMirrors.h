#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace fetchora {

class AppState;
class isButton;

// "App Channels": where updates come from. Choosing a mirror forgets the
// installed catalogue version, so the next update fetches every file anew.
class frmDDLMirrors : public QWidget
{
    Q_OBJECT
public:
    explicit frmDDLMirrors(AppState &state, QWidget *parent = nullptr);

    QLabel *lblAboutApp, *lblDatabase, *Label1, *lblContact, *ImgCustomMirror;
    QWidget *PicDDLMirrors;
    isButton *cmdInternationalMirror, *cmdGermanMirror, *cmdFrenchMirror;
    QList<isButton *> unassigned; // isButton2, 3, 5, 6, 7, 8
    QLineEdit *txtCustomMirror;

    void switchTo(const QString &base, const QString &activated, const QString &followUp);
    void switchToCustom();

Q_SIGNALS:
    // The main window takes the new address, reloads and offers an update.
    void mirrorSwitched(const QString &base, const QString &activated, const QString &followUp);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AppState &m_state;
};

} // namespace fetchora
