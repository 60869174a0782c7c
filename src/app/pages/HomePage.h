#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace fetchora {

class ThemedButton;

// The welcome page: shortcuts into the databases and tools, each with a hint
// for the status bar.
class HomePage : public QWidget
{
    Q_OBJECT
public:
    explicit HomePage(QWidget *parent = nullptr);

    QLabel *welcomeLabel, *userLabel, *userPicture;
    QLabel *homeImage, *aboutImage, *feedbackImage, *twitterImage, *facebookImage;
    QLabel *mirrorInfoLabel, *mirrorLabel;
    ThemedButton *getAppsButton, *getPortableButton, *getSlimButton, *getHelpButton, *moreAppsButton, *starterKitButton,
        *addAppButton, *linkManagerButton, *linkFinderButton, *installManagerButton, *installAppsButton,
        *snapshotButton;
    QFrame *separator1, *separator2, *separator3;

    // Every shortcut button with the hint it shows while the mouse is over it.
    QList<QPair<ThemedButton *, QString>> hints() const;

    // Below 7,800 twips of window height three shortcuts and a separator make
    // room; the two remaining separators get shorter.
    void setCompact(bool compact);
    bool isCompact() const { return m_compact; }

Q_SIGNALS:
    void hintRequested(const QString &hint);
    // The mirror name was clicked: the user wants to choose the update source.
    void mirrorClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_compact = false;
};

} // namespace fetchora
