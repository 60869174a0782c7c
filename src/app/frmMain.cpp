#include "frmMain.h"

#include "ProductUrls.h"
#include "app/BrowseController.h"
#include "app/pages/AboutPage.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "app/settings/WindowPlacement.h"
#include "app/settings/modFormINI.h"
#include "platform/Placement.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "platform/SystemInfo.h"
#include "state/AppState.h"
#include "update/VersionFile.h"
#include "widgets/ListBox.h"
#include "widgets/McToolBar.h"
#include "widgets/isButton.h"
#include "widgets/ucStatusBar.h"

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

const QStringList kThemes = {
    QStringLiteral("Default"), QStringLiteral("Dark"), QStringLiteral("Cyan"),
    QStringLiteral("Ocean"), QStringLiteral("Magenta"), QStringLiteral("Violet"),
    QStringLiteral("Brown"), QStringLiteral("Teal"), QStringLiteral("Green")};

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

frmMain::frmMain(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    McToolBar1 = new McToolBar(this);
    McToolBar1->setObjectName(QStringLiteral("McToolBar1"));
    buildToolbar();
    layout->addWidget(McToolBar1);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    layout->addWidget(SSTab1, 1);

    Catalogue &catalogue = m_state.catalogue();
    home = new HomePage(SSTab1);
    apps = new CataloguePage(catalogue, Database::Apps,
                             {"txtAppsSearch", "lstCat", "lstApps", "lblCountCat", "lblCountApps",
                              "cmdDownload", "Direct Download", "cmdDownloadFromPage",
                              "Direct Download from Page"},
                             SSTab1);
    optionsPage = new OptionsPage(SSTab1);
    about = new AboutPage(SSTab1);
    portable = new CataloguePage(catalogue, Database::Portable,
                                 {"txtPortableSearch", "lstCatPortable", "lstPortable",
                                  "lblCountCatPortable", "lblCountPortable", "cmdDownloadPortable",
                                  "Direct Download", "cmdDownloadPortableFromPage",
                                  "Direct Download from Page"},
                                 SSTab1);
    slim = new CataloguePage(catalogue, Database::Slim,
                             {"txtSlimSearch", "lstCatSlim", "lstSlim", "lblCountCatSlim",
                              "lblCountSlim", "cmdDownloadSlim", "Direct Download",
                              "cmdDownloadSlimFromPage", "Direct Download from Page"},
                             SSTab1);
    specialPage = new SpecialPage(catalogue, SSTab1);
    install = new CataloguePage(catalogue, Database::Install,
                                {"txtInstallSearch", "lstCatInstall", "lstInstall",
                                 "lblCountCatInstall", "lblCountInstall", nullptr, "",
                                 "cmdInstalls", "Install"},
                                SSTab1);

    SSTab1->addTab(home, QStringLiteral("Home"));
    SSTab1->addTab(apps, QStringLiteral("Get Apps"));
    SSTab1->addTab(optionsPage, QStringLiteral("Options"));
    SSTab1->addTab(about, QStringLiteral("About"));
    SSTab1->addTab(portable, QStringLiteral("Get Portable"));
    SSTab1->addTab(slim, QStringLiteral("Get Slim"));
    SSTab1->addTab(specialPage, QStringLiteral("Special"));
    SSTab1->addTab(install, QStringLiteral("Install"));

    ucStatusBar1 = new ucStatusBar(this);
    ucStatusBar1->setObjectName(QStringLiteral("ucStatusBar1"));
    layout->addWidget(ucStatusBar1);

    browse = new BrowseController(m_state, *this);
    wireNavigation();
    wireRefreshers();
}

void frmMain::buildToolbar()
{
    for (const char *caption : {"Home", "Get Apps", "Get Portable", "Get Slim", "Get More",
                                "Update", "Options", "Exit"})
        McToolBar1->addButton(QLatin1String(caption));
}

QString frmMain::defaultUpdateAddress()
{
    return QLatin1String(urls::MirrorInternational);
}

QString frmMain::mirrorName(const QString &address)
{
    if (address == QLatin1String(urls::MirrorInternational))
        return QStringLiteral("International");
    if (address == QLatin1String(urls::MirrorGerman))
        return QStringLiteral("German");
    if (address == QLatin1String(urls::MirrorFrench))
        return QStringLiteral("French");
    return QStringLiteral("Custom");
}

void frmMain::startUp()
{
    setWindowTitle(runsAs32BitOn64BitWindows() ? QStringLiteral("Fetchora (x64)")
                                                : QStringLiteral("Fetchora"));
    const double dpi = dpiOf(this);
    resize(qMax(width(), 900), twipsToPixels(kDefaultHeightTwips, dpi));
    home->lblWelcome->setText(QStringLiteral("Welcome,"));
    home->lblUser->setText(currentUserName());
    about->lblVersion->setText(AppState::programVersion());
    optionsPage->txtSignatureServer->setText(defaultUpdateAddress());
    about->cmdHomepage->setColors(QColor(0, 204, 255), QColor(36, 69, 154));
    ucStatusBar1->setPanelText(0, m_state.versionLine());

    optionsPage->cboTheme->clear();
    optionsPage->cboTheme->addItems(kThemes);
    optionsPage->cboTheme->setCurrentIndex(0);

    loadCatalogueAndSettings();
    about->txtCredits->setPlainText(AboutPage::creditsText());
}

void frmMain::loadCatalogueAndSettings()
{
    Catalogue &catalogue = m_state.catalogue();
    catalogue.LoadCategories();
    for (CataloguePage *page : {apps, portable, slim, specialPage->special, specialPage->pages, install}) {
        page->entries->clear();
        page->setCategories(catalogue.categories(page->database()));
    }
    RestoreWindowSettings();

    m_startupProblems.clear();
    m_state.setLists(loadProtectionLists(m_state.dataDir(), &m_startupProblems));

    LoadFormControls(this, m_state.profiles(), m_state.settingsPath());
    m_state.setOptions(optionsPage->options());
}

void frmMain::reload()
{
    // The settings file carries tabs, selections and options across, exactly
    // as it does across a restart.
    saveEverything();
    m_state.setCurrentLink(QString());
    loadCatalogueAndSettings();
    ucStatusBar1->setPanelText(0, m_state.versionLine());
    for (const QString &problem : std::as_const(m_startupProblems))
        m_state.prompter().warn(problem);
    m_startupProblems.clear();
}

void frmMain::afterShown()
{
    for (const QString &problem : std::as_const(m_startupProblems))
        m_state.prompter().warn(problem);
    m_startupProblems.clear();
    askForUpdateIfNeeded();
}

void frmMain::askForUpdateIfNeeded()
{
    if (FileExists(versionFilePath(m_state.dataDir())))
        return;
    const bool yes = m_state.prompter().askYesNo(
        QStringLiteral("New Signature files are available for Fetchora.\r\n"
                       "We highly recommend regularly to Check for Updates in order to always "
                       "get the latest Apps and Direct Download Links.\r\n\r\n"
                       "Do you want to Check for Updates Now?"));
    if (yes)
        Q_EMIT updateWindowRequested();
}

void frmMain::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void frmMain::RestoreWindowSettings()
{
    ProfileEngine &profiles = m_state.profiles();
    const QString path = m_state.settingsPath();
    RestoreWindowState(this, profiles, path, QStringLiteral("WindowState"));

    auto number = [&](const char *key) {
        return parseStoredNumber(profiles.readString(path, QStringLiteral("frmMain"), QLatin1String(key)));
    };
    if (auto tab = number("Tab"); tab && *tab >= 0 && *tab < SSTab1->count())
        SSTab1->setCurrentIndex(*tab);
    if (auto tab = number("Tab2"); tab && *tab >= 0 && *tab < specialPage->SSTab2->count())
        specialPage->SSTab2->setCurrentIndex(*tab);
    const std::pair<const char *, CataloguePage *> cats[] = {
        {"CatApps", apps}, {"CatPortable", portable}, {"CatSlim", slim},
        {"CatSpecial", specialPage->special}, {"CatPages", specialPage->pages},
        {"CatInstall", install}};
    for (const auto &[key, page] : cats) {
        // An index the list does not have selects nothing.
        if (auto row = number(key); row && *row >= -1 && *row < page->categories->count())
            page->categories->setCurrentRow(*row);
    }
}

bool frmMain::saveEverything()
{
    QList<ProfileWrite> writes = formControlWrites(this);
    writes += windowPlacementWrites(this, QStringLiteral("WindowState"));
    const QString section = QStringLiteral("frmMain");
    auto put = [&](const char *key, int value) {
        writes.append(ProfileWrite::set(section, QLatin1String(key), QString::number(value)));
    };
    put("Tab", SSTab1->currentIndex());
    put("Tab2", specialPage->SSTab2->currentIndex());
    put("CatApps", apps->categories->currentRow());
    put("CatPortable", portable->categories->currentRow());
    put("CatSlim", slim->categories->currentRow());
    put("CatSpecial", specialPage->special->categories->currentRow());
    put("CatPages", specialPage->pages->categories->currentRow());
    put("CatInstall", install->categories->currentRow());
    QString error;
    if (!m_state.profiles().write(m_state.settingsPath(), writes, &error)) {
        qWarning("Fetchora: settings not saved: %s", qPrintable(error));
        return false;
    }
    return true;
}

void frmMain::closeEvent(QCloseEvent *event)
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

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int heightTwips = pixelsToTwips(frameGeometry().height(), dpiOf(this));
    home->setCompact(heightTwips < kCompactBelowTwips);
}

void frmMain::goTo(int tab, int specialTab)
{
    SSTab1->setCurrentIndex(tab);
    if (specialTab >= 0)
        specialPage->SSTab2->setCurrentIndex(specialTab);
}

void frmMain::toolbarClicked(int index)
{
    switch (index) {
    case 0:
        goTo(TabHome);
        apps->download->setVisible(false);
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

void frmMain::openWinStarterKit()
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

void frmMain::wireNavigation()
{
    connect(McToolBar1, &McToolBar::buttonClicked, this, &frmMain::toolbarClicked);
    connect(McToolBar1, &McToolBar::mouseMoved, this, &frmMain::showVersionLineOnInfoTabs);

    connect(home->cmdGetApps, &isButton::clicked, this, [this] { goTo(TabApps); });
    connect(home->cmdGetPortable, &isButton::clicked, this, [this] { goTo(TabPortable); });
    connect(home->cmdGetSlim, &isButton::clicked, this, [this] { goTo(TabSlim); });
    connect(home->cmdGetHelp, &isButton::clicked, this, [this] { goTo(TabSpecial, TabPages); });
    connect(home->cmdRecommendations, &isButton::clicked, this,
            [this] { goTo(TabSpecial, TabSpecialEntries); });
    connect(home->cmdFInstalls, &isButton::clicked, this, [this] { goTo(TabInstall); });
    connect(home->cmdWinStarterKit, &isButton::clicked, this, &frmMain::openWinStarterKit);
    connect(home->cmdAddApp, &isButton::clicked, this, &frmMain::addAppRequested);
    connect(home->cmdDDLManager, &isButton::clicked, this, &frmMain::ddlManagerRequested);
    connect(home->cmdFindLink, &isButton::clicked, this, &frmMain::findLinkRequested);
    connect(home->cmdInstallManager, &isButton::clicked, this, &frmMain::installManagerRequested);
    connect(home->cmdShowInstalledApps, &isButton::clicked, this, &frmMain::snapshotRequested);

    // Hints change only what the status bar shows, never the current link.
    connect(home, &HomePage::hintRequested, this,
            [this](const QString &hint) { ucStatusBar1->setPanelText(0, hint); });
    connect(&m_state, &AppState::currentLinkChanged, this,
            [this](const QString &link) { ucStatusBar1->setPanelText(0, link); });

    connect(SSTab1, &QTabWidget::currentChanged, this, &frmMain::mainTabChanged);
    connect(specialPage->SSTab2, &QTabWidget::currentChanged, this, &frmMain::specialTabChanged);
}

void frmMain::showVersionLineOnInfoTabs()
{
    const int tab = SSTab1->currentIndex();
    if (tab == TabHome || tab == TabOptions || tab == TabAbout)
        ucStatusBar1->setPanelText(0, m_state.versionLine());
}

void frmMain::mainTabChanged(int index)
{
    for (CataloguePage *page : {apps, portable, slim, install})
        showPlaceholder(page->search);
    showVersionLineOnInfoTabs();

    const bool onHome = index == TabHome;
    for (QWidget *w : std::initializer_list<QWidget *>{
             home->lblWelcome, home->lblUser, home->ImgHome, home->PicUser, home->ImgAbout,
             home->ImgFeedback, home->ImgTwitter, home->ImgFacebook, home->cmdFInstalls})
        w->setVisible(onHome);
    apps->download->setVisible(index == TabApps);
    apps->fromPage->setVisible(index == TabApps);
    portable->download->setVisible(index == TabPortable);
    portable->fromPage->setVisible(index == TabPortable);
    slim->download->setVisible(index == TabSlim);
    slim->fromPage->setVisible(index == TabSlim);
    install->fromPage->setVisible(index == TabInstall);
}

void frmMain::specialTabChanged(int)
{
    showPlaceholder(specialPage->special->search);
    refreshSpecialButtons();
}

void frmMain::refreshSpecialButtons()
{
    const int tab = specialPage->SSTab2->currentIndex();
    CataloguePage *special = specialPage->special;
    // Command entries are run, not downloaded.
    const bool command = tab == TabSpecialEntries
        && special->selectedEntryName().contains(QLatin1String("cmd"), Qt::CaseSensitive);
    special->download->setVisible(tab == TabSpecialEntries && !command);
    special->fromPage->setVisible(tab == TabSpecialEntries && !command);
    specialPage->cmdRunApp->setVisible(command);
    browse->applyCommandEntryState(command);
    specialPage->pages->fromPage->setVisible(tab == TabPages);
}

void frmMain::applySearchRules(QLineEdit *box, CataloguePage *page, bool cutAtParen)
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

void frmMain::wireRefreshers()
{
    connect(optionsPage->txtSignatureServer, &QLineEdit::textChanged, this,
            [this](const QString &address) { home->lblMirror->setText(mirrorName(address)); });

    const std::pair<CataloguePage *, bool> boxes[] = {
        {apps, true}, {portable, true}, {slim, true}, {specialPage->special, true}, {install, true}};
    for (const auto &[page, cut] : boxes) {
        // The Install box takes no "[PICK]" marks.
        CataloguePage *pickSource = page == install ? nullptr : page;
        QLineEdit *box = page->search;
        connect(box, &QLineEdit::textChanged, this,
                [this, box, pickSource, cut = cut] { applySearchRules(box, pickSource, cut); });
    }

    connect(specialPage->special->entries, &ListBox::currentRowChanged, this,
            &frmMain::refreshSpecialButtons);
    connect(specialPage->special, &CataloguePage::categoryListed, this, &frmMain::refreshSpecialButtons);

    connect(optionsPage, &OptionsPage::optionsEdited, this,
            [this] { m_state.setOptions(optionsPage->options()); });
}

} // namespace fetchora
