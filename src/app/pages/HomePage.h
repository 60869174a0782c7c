#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace fetchora {

class isButton;

// The welcome page: shortcuts into the databases and tools, each with a hint
// for the status bar.
class HomePage : public QWidget
{
    Q_OBJECT
public:
    explicit HomePage(QWidget *parent = nullptr);

    QLabel *lblWelcome, *lblUser, *PicUser;
    QLabel *ImgHome, *ImgAbout, *ImgFeedback, *ImgTwitter, *ImgFacebook;
    QLabel *lblMirrorInfo, *lblMirror;
    isButton *cmdGetApps, *cmdGetPortable, *cmdGetSlim, *cmdGetHelp, *cmdRecommendations,
        *cmdWinStarterKit, *cmdAddApp, *cmdDDLManager, *cmdFindLink, *cmdInstallManager,
        *cmdFInstalls, *cmdShowInstalledApps;
    QFrame *Line1, *Line2, *Line3;

    // Every shortcut button with the hint it shows while the mouse is over it.
    QList<QPair<isButton *, QString>> hints() const;

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
