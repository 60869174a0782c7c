#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace fetchora {

class AppState;
class ThemedButton;

// "App Channels": where updates come from. Choosing a mirror forgets the
// installed catalogue version, so the next update fetches every file anew.
class MirrorWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MirrorWindow(AppState &state, QWidget *parent = nullptr);

    QLabel *headingLabel, *customMirrorLabel, *contactInfoLabel, *contactLink, *useCustomMirrorImage;
    QWidget *headerPanel;
    ThemedButton *internationalButton, *germanButton, *frenchButton;
    QList<ThemedButton *> unassignedButtons; // isButton2, 3, 5, 6, 7, 8
    QLineEdit *customMirrorEdit;

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
