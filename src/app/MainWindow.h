#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTabWidget;

namespace fetchora {

class AboutPage;
class BrowseController;
class AppState;
class CataloguePage;
class HomePage;
class ToolBar;
class OptionsPage;
class SpecialPage;
class ThemedButton;
class StatusBar;

// The main window: toolbar, the eight pages, the status bar. Its closing ends
// the program.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    // Main tab strip pages, by index.
    enum Tab { TabHome, TabApps, TabOptions, TabAbout, TabPortable, TabSlim, TabSpecial, TabInstall };
    enum SpecialTab { TabSpecialEntries, TabPages, TabInstalledApps };

    explicit MainWindow(AppState &state, QWidget *parent = nullptr);

    // Fills the window and restores what the settings file holds; call before show().
    void startUp();
    // What start-up has to tell the user once the window is up: lists that
    // could not be read, then the update question.
    void afterShown();
    // Asks to check for updates when no catalogue version is installed.
    void askForUpdateIfNeeded();
    // Reads every definition and list file again, keeping tabs, selections and
    // options: what an update or a change of mirror needs to show its result.
    void reload();
    // Comes to the front when a second start hands over to this one.
    void bringToFront();

    // "International", "German", "French" or "Custom" for an update folder address.
    static QString mirrorName(const QString &address);
    static QString defaultUpdateAddress();

    ToolBar *toolBar;
    QTabWidget *tabs;
    StatusBar *statusBar;
    HomePage *homePage;
    CataloguePage *appsPage, *portablePage, *slimPage, *installPage;
    SpecialPage *specialPage;
    OptionsPage *optionsPage;
    AboutPage *aboutPage;
    BrowseController *browseController;

Q_SIGNALS:
    // Windows other parts of the program provide; they connect here.
    void updateWindowRequested();
    void addAppRequested();
    void ddlManagerRequested();
    void findLinkRequested();
    void installManagerRequested();
    void snapshotRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildToolbar();
    void wireNavigation();
    void wireRefreshers();
    void restoreTabsAndSelections();
    void loadCatalogueAndSettings();
    void toolbarClicked(int index);
    void mainTabChanged(int index);
    void specialTabChanged(int index);
    void refreshSpecialButtons();
    void applySearchRules(QLineEdit *box, CataloguePage *page, bool cutAtParen);
    void showVersionLineOnInfoTabs();
    void goTo(int tab, int specialTab = -1);
    void openWinStarterKit();
    bool saveEverything();

    AppState &m_state;
    bool m_unloading = false;
    QStringList m_startupProblems;
};

} // namespace fetchora
