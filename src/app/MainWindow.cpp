#include "MainWindow.h"

#include "ProductUrls.h"
#include "app/BrowseController.h"
#include "app/pages/AboutPage.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "platform/Placement.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "platform/SystemInfo.h"
#include "state/AppState.h"
#include "ui/FormSettings.h"
#include "ui/WindowPlacement.h"
#include "update/VersionFile.h"
#include "widgets/ListBox.h"
#include "widgets/StatusBar.h"
#include "widgets/ThemedButton.h"
#include "widgets/ToolBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fetchora {

namespace {

const QString kSearchPlaceholder = QStringLiteral("Search ...");
const QColor kPlaceholderGrey(128, 128, 128);
constexpr int kDefaultHeightTwips = 8300;
constexpr int kCompactBelowTwips = 7800;

const QStringList kThemes = {QStringLiteral("Default"), QStringLiteral("Dark"),    QStringLiteral("Cyan"),
                             QStringLiteral("Ocean"),   QStringLiteral("Magenta"), QStringLiteral("Violet"),
                             QStringLiteral("Brown"),   QStringLiteral("Teal"),    QStringLiteral("Green")};

void showPlaceholder(QLineEdit *box)
{
    box->setText(kSearchPlaceholder);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, kPlaceholderGrey);
    box->setPalette(palette);
}

double dpiOf(const QWidget *w)
{
    const QScreen *screen = w->screen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

} // namespace

MainWindow::MainWindow(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolBar = new ToolBar(this);
    toolBar->setObjectName(QStringLiteral("McToolBar1"));
    buildToolbar();
    layout->addWidget(toolBar);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("SSTab1"));
    layout->addWidget(tabs, 1);

    Catalogue &catalogue = m_state.catalogue();
    homePage = new HomePage(tabs);
    appsPage = new CataloguePage(catalogue, Database::Apps,
                                 {"txtAppsSearch", "lstCat", "lstApps", "lblCountCat", "lblCountApps", "cmdDownload",
                                  "Direct Download", "cmdDownloadFromPage", "Direct Download from Page"},
                                 tabs);
    optionsPage = new OptionsPage(tabs);
    aboutPage = new AboutPage(tabs);
    portablePage = new CataloguePage(catalogue, Database::Portable,
                                     {"txtPortableSearch", "lstCatPortable", "lstPortable", "lblCountCatPortable",
                                      "lblCountPortable", "cmdDownloadPortable", "Direct Download",
                                      "cmdDownloadPortableFromPage", "Direct Download from Page"},
                                     tabs);
    slimPage = new CataloguePage(catalogue, Database::Slim,
                                 {"txtSlimSearch", "lstCatSlim", "lstSlim", "lblCountCatSlim", "lblCountSlim",
                                  "cmdDownloadSlim", "Direct Download", "cmdDownloadSlimFromPage",
                                  "Direct Download from Page"},
                                 tabs);
    specialPage = new SpecialPage(catalogue, tabs);
    installPage = new CataloguePage(catalogue, Database::Install,
                                    {"txtInstallSearch", "lstCatInstall", "lstInstall", "lblCountCatInstall",
                                     "lblCountInstall", nullptr, "", "cmdInstalls", "Install"},
                                    tabs);

    tabs->addTab(homePage, QStringLiteral("Home"));
    tabs->addTab(appsPage, QStringLiteral("Get Apps"));
    tabs->addTab(optionsPage, QStringLiteral("Options"));
    tabs->addTab(aboutPage, QStringLiteral("About"));
    tabs->addTab(portablePage, QStringLiteral("Get Portable"));
    tabs->addTab(slimPage, QStringLiteral("Get Slim"));
    tabs->addTab(specialPage, QStringLiteral("Special"));
    tabs->addTab(installPage, QStringLiteral("Install"));

    statusBar = new StatusBar(this);
    statusBar->setObjectName(QStringLiteral("ucStatusBar1"));
    layout->addWidget(statusBar);

    browseController = new BrowseController(m_state, *this);
    wireNavigation();
    wireRefreshers();
}

void MainWindow::buildToolbar()
{
    for (const char *caption :
         {"Home", "Get Apps", "Get Portable", "Get Slim", "Get More", "Update", "Options", "Exit"})
        toolBar->addButton(QLatin1String(caption));
}

QString MainWindow::defaultUpdateAddress()
{
    return QLatin1String(urls::MirrorInternational);
}

QString MainWindow::mirrorName(const QString &address)
{
    if (address == QLatin1String(urls::MirrorInternational))
        return QStringLiteral("International");
    if (address == QLatin1String(urls::MirrorGerman))
        return QStringLiteral("German");
    if (address == QLatin1String(urls::MirrorFrench))
        return QStringLiteral("French");
    return QStringLiteral("Custom");
}

void MainWindow::startUp()
{
    setWindowTitle(runsAs32BitOn64BitWindows() ? QStringLiteral("Fetchora (x64)") : QStringLiteral("Fetchora"));
    const double dpi = dpiOf(this);
    resize(qMax(width(), 900), twipsToPixels(kDefaultHeightTwips, dpi));
    homePage->welcomeLabel->setText(QStringLiteral("Welcome,"));
    homePage->userLabel->setText(currentUserName());
    aboutPage->versionLabel->setText(AppState::programVersion());
    optionsPage->updateAddressEdit->setText(defaultUpdateAddress());
    aboutPage->homepageButton->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    statusBar->setPanelText(0, m_state.versionLine());

    optionsPage->themeCombo->clear();
    optionsPage->themeCombo->addItems(kThemes);
    optionsPage->themeCombo->setCurrentIndex(0);

    loadCatalogueAndSettings();
    aboutPage->creditsText->setPlainText(AboutPage::credits());
}

void MainWindow::loadCatalogueAndSettings()
{
    Catalogue &catalogue = m_state.catalogue();
    catalogue.loadCategories();
    for (CataloguePage *page :
         {appsPage, portablePage, slimPage, specialPage->special, specialPage->pages, installPage}) {
        page->entries->clear();
        page->setCategories(catalogue.categories(page->database()));
    }
    restoreTabsAndSelections();

    m_startupProblems.clear();
    m_state.setLists(loadProtectionLists(m_state.dataDir(), &m_startupProblems));

    loadFormControls(this, m_state.profiles(), m_state.settingsPath());
    m_state.setOptions(optionsPage->options());
}

void MainWindow::reload()
{
    // The settings file carries tabs, selections and options across, exactly
    // as it does across a restart.
    saveEverything();
    m_state.setCurrentLink(QString());
    loadCatalogueAndSettings();
    statusBar->setPanelText(0, m_state.versionLine());
    for (const QString &problem : std::as_const(m_startupProblems))
        m_state.prompter().warn(problem);
    m_startupProblems.clear();
}

void MainWindow::afterShown()
{
    for (const QString &problem : std::as_const(m_startupProblems))
        m_state.prompter().warn(problem);
    m_startupProblems.clear();
    askForUpdateIfNeeded();
}

void MainWindow::askForUpdateIfNeeded()
{
    if (fileExists(versionFilePath(m_state.dataDir())))
        return;
    const bool yes = m_state.prompter().askYesNo(
        QStringLiteral("New Signature files are available for Fetchora.\r\n"
                       "We highly recommend regularly to Check for Updates in order to always "
                       "get the latest Apps and Direct Download Links.\r\n\r\n"
                       "Do you want to Check for Updates Now?"));
    if (yes)
        Q_EMIT updateWindowRequested();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::restoreTabsAndSelections()
{
    ProfileEngine &profiles = m_state.profiles();
    const QString path = m_state.settingsPath();
    restoreWindowPlacement(this, profiles, path, QStringLiteral("WindowState"));

    auto number = [&](const char *key) {
        return parseStoredNumber(profiles.readString(path, QStringLiteral("frmMain"), QLatin1String(key)));
    };
    if (auto tab = number("Tab"); tab && *tab >= 0 && *tab < tabs->count())
        tabs->setCurrentIndex(*tab);
    if (auto tab = number("Tab2"); tab && *tab >= 0 && *tab < specialPage->tabs->count())
        specialPage->tabs->setCurrentIndex(*tab);
    const std::pair<const char *, CataloguePage *> cats[] = {{"CatApps", appsPage},
                                                             {"CatPortable", portablePage},
                                                             {"CatSlim", slimPage},
                                                             {"CatSpecial", specialPage->special},
                                                             {"CatPages", specialPage->pages},
                                                             {"CatInstall", installPage}};
    for (const auto &[key, page] : cats) {
        // An index the list does not have selects nothing.
        if (auto row = number(key); row && *row >= -1 && *row < page->categories->count())
            page->categories->setCurrentRow(*row);
    }
}

bool MainWindow::saveEverything()
{
    QList<ProfileWrite> writes = formControlWrites(this);
    writes += windowPlacementWrites(this, QStringLiteral("WindowState"));
    const QString section = QStringLiteral("frmMain");
    auto put = [&](const char *key, int value) {
        writes.append(ProfileWrite::set(section, QLatin1String(key), QString::number(value)));
    };
    put("Tab", tabs->currentIndex());
    put("Tab2", specialPage->tabs->currentIndex());
    put("CatApps", appsPage->categories->currentRow());
    put("CatPortable", portablePage->categories->currentRow());
    put("CatSlim", slimPage->categories->currentRow());
    put("CatSpecial", specialPage->special->categories->currentRow());
    put("CatPages", specialPage->pages->categories->currentRow());
    put("CatInstall", installPage->categories->currentRow());
    QString error;
    if (!m_state.profiles().write(m_state.settingsPath(), writes, &error)) {
        qWarning("Fetchora: settings not saved: %s", qPrintable(error));
        return false;
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    m_unloading = true;
    saveEverything();
    event->accept();
    // Secondary windows save their own state as they close.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
    QCoreApplication::quit();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int heightTwips = pixelsToTwips(frameGeometry().height(), dpiOf(this));
    homePage->setCompact(heightTwips < kCompactBelowTwips);
}

void MainWindow::goTo(int tab, int specialTab)
{
    tabs->setCurrentIndex(tab);
    if (specialTab >= 0)
        specialPage->tabs->setCurrentIndex(specialTab);
}

void MainWindow::toolbarClicked(int index)
{
    switch (index) {
    case 0:
        goTo(TabHome);
        appsPage->download->setVisible(false);
        break;
    case 1: goTo(TabApps); break;
    case 2: goTo(TabPortable); break;
    case 3: goTo(TabSlim); break;
    case 4: goTo(TabSpecial, TabSpecialEntries); break;
    case 5: Q_EMIT updateWindowRequested(); break;
    case 6: goTo(TabOptions); break;
    case 7: close(); break;
    default: break;
    }
}

void MainWindow::openWinStarterKit()
{
    goTo(TabSpecial, TabSpecialEntries);
    ListBox *cats = specialPage->special->categories;
    // Exact text, but without regard to case, first match from the top.
    const int found = cats->findExact(QStringLiteral("Windows Starter Kit"), Qt::CaseInsensitive);
    if (found >= 0) {
        cats->setCurrentRow(found);
        cats->scrollTo(cats->model()->index(found, 0), QAbstractItemView::PositionAtTop);
    }
    specialPage->special->search->setText(QStringLiteral("Windows Starter Kit"));
}

void MainWindow::wireNavigation()
{
    connect(toolBar, &ToolBar::buttonClicked, this, &MainWindow::toolbarClicked);
    connect(toolBar, &ToolBar::mouseMoved, this, &MainWindow::showVersionLineOnInfoTabs);

    connect(homePage->getAppsButton, &ThemedButton::clicked, this, [this] { goTo(TabApps); });
    connect(homePage->getPortableButton, &ThemedButton::clicked, this, [this] { goTo(TabPortable); });
    connect(homePage->getSlimButton, &ThemedButton::clicked, this, [this] { goTo(TabSlim); });
    connect(homePage->getHelpButton, &ThemedButton::clicked, this, [this] { goTo(TabSpecial, TabPages); });
    connect(homePage->moreAppsButton, &ThemedButton::clicked, this, [this] { goTo(TabSpecial, TabSpecialEntries); });
    connect(homePage->installAppsButton, &ThemedButton::clicked, this, [this] { goTo(TabInstall); });
    connect(homePage->starterKitButton, &ThemedButton::clicked, this, &MainWindow::openWinStarterKit);
    connect(homePage->addAppButton, &ThemedButton::clicked, this, &MainWindow::addAppRequested);
    connect(homePage->linkManagerButton, &ThemedButton::clicked, this, &MainWindow::ddlManagerRequested);
    connect(homePage->linkFinderButton, &ThemedButton::clicked, this, &MainWindow::findLinkRequested);
    connect(homePage->installManagerButton, &ThemedButton::clicked, this, &MainWindow::installManagerRequested);
    connect(homePage->snapshotButton, &ThemedButton::clicked, this, &MainWindow::snapshotRequested);

    // Hints change only what the status bar shows, never the current link.
    connect(homePage, &HomePage::hintRequested, this,
            [this](const QString &hint) { statusBar->setPanelText(0, hint); });
    connect(&m_state, &AppState::currentLinkChanged, this,
            [this](const QString &link) { statusBar->setPanelText(0, link); });

    connect(tabs, &QTabWidget::currentChanged, this, &MainWindow::mainTabChanged);
    connect(specialPage->tabs, &QTabWidget::currentChanged, this, &MainWindow::specialTabChanged);
}

void MainWindow::showVersionLineOnInfoTabs()
{
    const int tab = tabs->currentIndex();
    if (tab == TabHome || tab == TabOptions || tab == TabAbout)
        statusBar->setPanelText(0, m_state.versionLine());
}

void MainWindow::mainTabChanged(int index)
{
    for (CataloguePage *page : {appsPage, portablePage, slimPage, installPage})
        showPlaceholder(page->search);
    showVersionLineOnInfoTabs();

    const bool onHome = index == TabHome;
    for (QWidget *w :
         std::initializer_list<QWidget *>{homePage->welcomeLabel, homePage->userLabel, homePage->homeImage,
                                          homePage->userPicture, homePage->aboutImage, homePage->feedbackImage,
                                          homePage->twitterImage, homePage->facebookImage, homePage->installAppsButton})
        w->setVisible(onHome);
    appsPage->download->setVisible(index == TabApps);
    appsPage->fromPage->setVisible(index == TabApps);
    portablePage->download->setVisible(index == TabPortable);
    portablePage->fromPage->setVisible(index == TabPortable);
    slimPage->download->setVisible(index == TabSlim);
    slimPage->fromPage->setVisible(index == TabSlim);
    installPage->fromPage->setVisible(index == TabInstall);
}

void MainWindow::specialTabChanged(int)
{
    showPlaceholder(specialPage->special->search);
    refreshSpecialButtons();
}

void MainWindow::refreshSpecialButtons()
{
    const int tab = specialPage->tabs->currentIndex();
    CataloguePage *special = specialPage->special;
    // Command entries are run, not downloaded.
    const bool command = tab == TabSpecialEntries
        && special->selectedEntryName().contains(QLatin1String("cmd"), Qt::CaseSensitive);
    special->download->setVisible(tab == TabSpecialEntries && !command);
    special->fromPage->setVisible(tab == TabSpecialEntries && !command);
    specialPage->runButton->setVisible(command);
    browseController->applyCommandEntryState(command);
    specialPage->pages->fromPage->setVisible(tab == TabPages);
}

void MainWindow::applySearchRules(QLineEdit *box, CataloguePage *page, bool cutAtParen)
{
    const QString text = box->text();
    QString result = text;
    // "*" marks a recommended pick; the box shows which entry it came from.
    if (page && result.contains(QLatin1Char('*'))) {
        result = page->selectedEntryName();
        result.replace(QLatin1Char('*'), QLatin1String(" [PICK]"));
    }
    // Remarks in brackets are not part of the name to search for.
    if (cutAtParen && result.contains(QLatin1Char('(')))
        result = result.left(result.lastIndexOf(QLatin1Char('(')));
    if (result != text)
        box->setText(result);
}

void MainWindow::wireRefreshers()
{
    connect(optionsPage->updateAddressEdit, &QLineEdit::textChanged, this,
            [this](const QString &address) { homePage->mirrorLabel->setText(mirrorName(address)); });

    const std::pair<CataloguePage *, bool> boxes[] = {
        {appsPage, true}, {portablePage, true}, {slimPage, true}, {specialPage->special, true}, {installPage, true}};
    for (const auto &[page, cut] : boxes) {
        // The Install box takes no "[PICK]" marks.
        CataloguePage *pickSource = page == installPage ? nullptr : page;
        QLineEdit *box = page->search;
        connect(box, &QLineEdit::textChanged, this,
                [this, box, pickSource, cut = cut] { applySearchRules(box, pickSource, cut); });
    }

    connect(specialPage->special->entries, &ListBox::currentRowChanged, this, &MainWindow::refreshSpecialButtons);
    connect(specialPage->special, &CataloguePage::categoryListed, this, &MainWindow::refreshSpecialButtons);

    connect(optionsPage, &OptionsPage::optionsEdited, this, [this] { m_state.setOptions(optionsPage->options()); });
}

} // namespace fetchora
