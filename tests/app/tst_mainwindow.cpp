#include "TestSupport.h"

#include "app/frmMain.h"
#include "app/pages/AboutPage.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "catalogue/Catalogue.h"
#include "platform/Placement.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/McToolBar.h"
#include "widgets/isButton.h"
#include "widgets/ucStatusBar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include "widgets/ListBox.h"
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace fetchora;
using fetchora::test::readFile;
using fetchora::test::RecordingShell;
using fetchora::test::ScriptedPrompter;
using fetchora::test::writeFile;

namespace {

const QString kUpdateQuestion = QStringLiteral(
    "New Signature files are available for Fetchora.\r\n"
    "We highly recommend regularly to Check for Updates in order to always get the latest Apps "
    "and Direct Download Links.\r\n\r\n"
    "Do you want to Check for Updates Now?");

const QString kAppsHint = QStringLiteral(
    "Here you will find a list of the Best and most common Applications for every purpose.");
const QString kInstallsHint = QStringLiteral(
    "Here you can perform unattended and silent Installations of Apps with FInstalls (Beta 0.0.8)");

const QColor kGrey(128, 128, 128);

// One program start: its own engine (nothing kept from an earlier start), the
// recording services and the window.
struct Run
{
    ProfileEngine profiles;
    RecordingShell shell;
    ScriptedPrompter prompter;
    AppState state;
    frmMain window;

    explicit Run(const QString &dataDir) : state(profiles, shell, prompter, dataDir), window(state) {}

    template <typename T> T *child(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
};

double screenDpi()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

QStringList itemTexts(const ListBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->text(i));
    return out;
}

// A small catalogue with every database except where a test removes one. The
// definition files use Windows line ends as the shipped ones do.
bool writeCatalogue(const QString &dir, bool withVersionFile = true)
{
    bool ok = true;
    auto put = [&](const char *name, const char *text) {
        ok = writeFile(QDir(dir).filePath(QLatin1String(name)), QByteArray(text)) && ok;
    };
    put("FOApps.def",
        "; Applications everybody needs\r\n"
        "[Browsers]\r\n"
        "Firefox=https://example.org/firefox.exe\r\n"
        "Opera=https://example.org/opera.exe\r\n"
        "a line without an equals sign\r\n"
        "; Commented=https://example.org/hidden.exe\r\n"
        "Some=Name=x\r\n"
        "[All]\r\n"
        "7-Zip*=https://example.org/7z.exe\r\n"
        "Notepad++=https://example.org/npp.exe\r\n"
        "[Tools]\r\n"
        "Everything=https://example.org/everything.exe\r\n");
    put("FOPortable.def",
        "[Portable Browsers]\r\nFirefox Portable=https://example.org/ffp.exe\r\n"
        "[Portable Tools]\r\nPortable 7-Zip=https://example.org/7zp.exe\r\n");
    put("FOSlim.def",
        "[Slim Media]\r\nSlim Player=https://example.org/slim.exe\r\n"
        "[Slim Office]\r\nSlim Writer=https://example.org/writer.exe\r\n");
    put("FOSpecial.def",
        "[Windows Starter Kit 2]\r\nOld Runtime=https://example.org/old.exe\r\n"
        "[Commands]\r\n"
        "Defrag (cmd)=defrag c:\r\n"
        "Command Prompt=https://example.org/prompt.exe\r\n"
        "Disk Cleanup cmd=cleanmgr\r\n"
        "CMD Shortcuts=https://example.org/shortcuts.zip\r\n"
        "[WINDOWS STARTER KIT]\r\n"
        "Firefox*=https://example.org/firefox.exe\r\n"
        "VC Runtime=https://example.org/vc.exe\r\n");
    put("FOPages.def",
        "[Help Pages]\r\nHelp Forum=https://example.org/forum\r\n"
        "[Virus Scanners]\r\nOnline Scanner=https://example.org/scan\r\n");
    put("FInstalls.def",
        "[Install Set A]\r\nSilent A=setup-a.exe /S\r\n"
        "[Install Set B]\r\nSilent B=setup-b.exe /quiet\r\n");
    if (withVersionFile)
        put("FOVersion.ini", "[Signature]\r\nVersion=2024.06.01\r\n");
    return ok;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Categories and entries
    void categoriesListedInFileOrder();
    void missingDefinitionFileLeavesOnlyItsListEmpty();
    void entriesListedInFileOrder();
    void entriesRereadFromDiskAtEachSelection();
    void longEntryValueReadWhole();

    // Toolbar
    void toolbarButtonsSelectPages();
    void toolbarHomeHidesDirectDownload();
    void toolbarUpdateAsksForUpdateWindow();
    void toolbarExitClosesAndSaves();

    // Home page
    void homeButtonsNavigate_data();
    void homeButtonsNavigate();
    void homeButtonCaptions();
    void winStarterKitSelectsExactCategory();
    void homeButtonsRequestTheirWindows();
    void hintsShownWhileHovering();
    void hintNeverChangesCurrentLink();

    // Status line
    void versionLineAtStart();
    void versionLineUnknownWithoutVersionFile();
    void versionLineOnInfoTabsOnly();
    void toolbarHoverShowsVersionLineOnInfoTabsOnly();

    // Refreshers
    void placeholderOnMainTabChange();
    void placeholderOnSpecialTabChange();
    void searchCutAtBracket();
    void searchPickMarkNamesSelectedEntry();
    void mirrorLabelFollowsUpdateAddress();
    void commandEntriesAreRunNotDownloaded();
    void shortWindowHidesSomeShortcuts();
    void noTimerActiveWhenIdle();

    // Update question
    void updateQuestionYes();
    void updateQuestionNo();
    void noUpdateQuestionWithVersionFile();

    // Settings
    void settingsRoundTrip();
    void emptiedTextBoxStaysEmpty();
    void restoreCategoryOutOfRangeSelectsNothing();
    void restorePositionFarOffScreenIgnored();
    void restoreNegativeLeftApplied();
    void restoreNonNumericValuesIgnored();
    void closeWithReadOnlyDataFolder();
    void closeWithMissingDataFolder();
    void closeWhenSettingsFileCannotBeWritten();

private:
    Run *start(const QString &dataDir, bool show = true);
    bool closeRun();
    QString settingsPath() const { return QDir(m_data).filePath(QStringLiteral("Fetchora.ini")); }
    // Where a window with no stored placement appears and how big it is.
    QRect defaultFrame();

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_data;
    std::unique_ptr<Run> m_run;
    QString m_readOnlyDir;
};

void MainWindowTest::init()
{
    // Park the pointer where no window is, so no hover leaks between tests.
    QCursor::setPos(QPoint(3000, 3000));
    QCoreApplication::processEvents();
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    m_data = m_tmp->filePath(QStringLiteral("Data"));
    QVERIFY(QDir().mkpath(m_data));
}

void MainWindowTest::cleanup()
{
    m_run.reset();
    if (!m_readOnlyDir.isEmpty()) {
        QFile::setPermissions(m_readOnlyDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_readOnlyDir.clear();
    }
    m_tmp.reset();
}

Run *MainWindowTest::start(const QString &dataDir, bool show)
{
    m_run.reset();
    m_run = std::make_unique<Run>(dataDir);
    m_run->window.startUp();
    if (show) {
        m_run->window.show();
        if (!QTest::qWaitForWindowExposed(&m_run->window))
            return nullptr;
        // Let the placement settle (the outer size is fixed up once shown).
        QTest::qWait(20);
    }
    return m_run.get();
}

bool MainWindowTest::closeRun()
{
    if (!m_run)
        return false;
    const bool closed = m_run->window.close();
    QCoreApplication::processEvents();
    return closed;
}

QRect MainWindowTest::defaultFrame()
{
    QTemporaryDir empty;
    Run *run = start(empty.path());
    const QRect frame = run ? run->window.frameGeometry() : QRect();
    m_run.reset();
    QCoreApplication::processEvents();
    return frame;
}

// ------------------------------------------------------- categories and entries

void MainWindowTest::categoriesListedInFileOrder()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    auto *lstCat = run->child<ListBox>("lstCat");
    QVERIFY(lstCat);
    QCOMPARE(itemTexts(lstCat), (QStringList{"Browsers", "All", "Tools"}));
    QCOMPARE(run->child<QLabel>("lblCountCat")->text(), QStringLiteral("3"));
    QCOMPARE(itemTexts(run->child<ListBox>("lstCatSpecial")),
             (QStringList{"Windows Starter Kit 2", "Commands", "WINDOWS STARTER KIT"}));
    QCOMPARE(itemTexts(run->child<ListBox>("lstCatInstall")),
             (QStringList{"Install Set A", "Install Set B"}));
    QCOMPARE(run->child<QLabel>("lblCountCatPages")->text(), QStringLiteral("2"));
}

void MainWindowTest::missingDefinitionFileLeavesOnlyItsListEmpty()
{
    QVERIFY(writeCatalogue(m_data));
    QVERIFY(QFile::remove(QDir(m_data).filePath(QStringLiteral("FOSlim.def"))));
    Run *run = start(m_data);
    QVERIFY(run);
    QCOMPARE(run->child<ListBox>("lstCatSlim")->count(), 0);
    QCOMPARE(run->child<QLabel>("lblCountCatSlim")->text(), QStringLiteral("0"));
    QCOMPARE(run->child<ListBox>("lstCat")->count(), 3);
    QCOMPARE(itemTexts(run->child<ListBox>("lstCatPortable")),
             (QStringList{"Portable Browsers", "Portable Tools"}));
    QCOMPARE(run->child<ListBox>("lstCatSpecial")->count(), 3);
    QCOMPARE(run->child<ListBox>("lstCatPages")->count(), 2);
    QCOMPARE(run->child<ListBox>("lstCatInstall")->count(), 2);
}

void MainWindowTest::entriesListedInFileOrder()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    run->window.SSTab1->setCurrentIndex(frmMain::TabApps);
    auto *lstCat = run->child<ListBox>("lstCat");
    auto *lstApps = run->child<ListBox>("lstApps");
    auto *count = run->child<QLabel>("lblCountApps");
    QTRY_VERIFY(lstCat->isVisible());

    // Pick the category the way a user does, with the mouse.
    QTest::mouseClick(lstCat->viewport(), Qt::LeftButton, {},
                      lstCat->visualRect(lstCat->model()->index(0, 0)).center());
    QCOMPARE(lstCat->currentRow(), 0);
    // The line without "=" and the comment name no entry; "Some=Name=x" is "Some".
    QCOMPARE(itemTexts(lstApps), (QStringList{"Firefox", "Opera", "Some"}));
    QCOMPARE(count->text(), QStringLiteral("3"));

    QTest::mouseClick(lstCat->viewport(), Qt::LeftButton, {},
                      lstCat->visualRect(lstCat->model()->index(1, 0)).center());
    QCOMPARE(itemTexts(lstApps), (QStringList{"7-Zip*", "Notepad++"}));
    QCOMPARE(count->text(), QStringLiteral("2"));

    lstCat->setCurrentRow(2);
    QCOMPARE(itemTexts(lstApps), QStringList{"Everything"});
    QCOMPARE(count->text(), QStringLiteral("1"));
}

void MainWindowTest::entriesRereadFromDiskAtEachSelection()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    auto *lstCat = run->child<ListBox>("lstCat");
    auto *lstApps = run->child<ListBox>("lstApps");
    lstCat->setCurrentRow(2);
    QCOMPARE(itemTexts(lstApps), QStringList{"Everything"});

    // An update (or the add-app window) rewrites the file while the window is open.
    QVERIFY(writeFile(QDir(m_data).filePath(QStringLiteral("FOApps.def")),
                      "[Browsers]\r\nFirefox=https://example.org/firefox.exe\r\n"
                      "[All]\r\n7-Zip*=https://example.org/7z.exe\r\n"
                      "[Tools]\r\nEverything=https://example.org/everything.exe\r\n"
                      "WinDirStat=https://example.org/wds.exe\r\n"
                      "Process Explorer=https://example.org/pe.exe\r\n"));
    lstCat->setCurrentRow(0);
    QCOMPARE(itemTexts(lstApps), QStringList{"Firefox"});
    lstCat->setCurrentRow(2);
    QCOMPARE(itemTexts(lstApps), (QStringList{"Everything", "WinDirStat", "Process Explorer"}));
    QCOMPARE(run->child<QLabel>("lblCountApps")->text(), QStringLiteral("3"));

    // A later edit of the same length (one name corrected) is seen as well.
    QTest::qWait(30);
    QVERIFY(writeFile(QDir(m_data).filePath(QStringLiteral("FOApps.def")),
                      "[Browsers]\r\nFirefox=https://example.org/firefox.exe\r\n"
                      "[All]\r\n7-Zip*=https://example.org/7z.exe\r\n"
                      "[Tools]\r\nEverything=https://example.org/everything.exe\r\n"
                      "WinDirStar=https://example.org/wds.exe\r\n"
                      "Process Explorer=https://example.org/pe.exe\r\n"));
    lstCat->setCurrentRow(1);
    lstCat->setCurrentRow(2);
    QCOMPARE(itemTexts(lstApps), (QStringList{"Everything", "WinDirStar", "Process Explorer"}));
}

void MainWindowTest::longEntryValueReadWhole()
{
    QString link = QStringLiteral("https://example.org/download?file=");
    while (link.size() < 300)
        link += QLatin1Char('a' + link.size() % 26);
    QCOMPARE(link.size(), 300);
    const QString path = QDir(m_data).filePath(QStringLiteral("FOApps.def"));
    QVERIFY(writeFile(path, "[Tools]\r\nLong=" + link.toUtf8() + "\r\nShort=x\r\n"));
    ProfileEngine engine;
    QCOMPARE(ReadEntryValue(engine, path, QStringLiteral("Tools"), QStringLiteral("Long")), link);
    QCOMPARE(ReadEntryValue(engine, path, QStringLiteral("Tools"), QStringLiteral("Short")),
             QStringLiteral("x"));
}

// ------------------------------------------------------------------- toolbar

void MainWindowTest::toolbarButtonsSelectPages()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    QCOMPARE(w.McToolBar1->buttonCount(), 8);

    struct Step { int button; int tab; };
    // Each step starts from a different page so a button that does nothing fails.
    const Step steps[] = {{1, frmMain::TabApps}, {2, frmMain::TabPortable}, {3, frmMain::TabSlim},
                          {6, frmMain::TabOptions}, {0, frmMain::TabHome}, {6, frmMain::TabOptions},
                          {1, frmMain::TabApps}};
    for (const Step &step : steps) {
        QTest::mouseClick(w.McToolBar1->button(step.button), Qt::LeftButton);
        QCOMPARE(w.SSTab1->currentIndex(), step.tab);
    }

    // "Get More" opens the Special page on its first inner tab.
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabInstalledApps);
    QTest::mouseClick(w.McToolBar1->button(4), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabSpecial));
    QCOMPARE(w.specialPage->SSTab2->currentIndex(), int(frmMain::TabSpecialEntries));
    QVERIFY(w.isVisible());
}

void MainWindowTest::toolbarHomeHidesDirectDownload()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    auto *cmdDownload = run->child<isButton>("cmdDownload");
    QVERIFY(cmdDownload);

    QTest::mouseClick(w.McToolBar1->button(1), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabApps));
    QVERIFY(cmdDownload->isVisibleTo(&w));

    QTest::mouseClick(w.McToolBar1->button(0), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabHome));
    QVERIFY(cmdDownload->isHidden());

    // Even when something showed it while Home was on display, Home hides it.
    cmdDownload->setVisible(true);
    QTest::mouseClick(w.McToolBar1->button(0), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabHome));
    QVERIFY(cmdDownload->isHidden());
}

void MainWindowTest::toolbarUpdateAsksForUpdateWindow()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    w.SSTab1->setCurrentIndex(frmMain::TabSlim);
    QSignalSpy update(&w, &frmMain::updateWindowRequested);
    QTest::mouseClick(w.McToolBar1->button(5), Qt::LeftButton);
    QCOMPARE(update.count(), 1);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabSlim));
    QVERIFY(w.isVisible());
}

void MainWindowTest::toolbarExitClosesAndSaves()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    QVERIFY(!QFileInfo::exists(settingsPath()));
    w.SSTab1->setCurrentIndex(frmMain::TabSlim);
    QSignalSpy update(&w, &frmMain::updateWindowRequested);
    QTest::mouseClick(w.McToolBar1->button(7), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!w.isVisible());
    QCOMPARE(update.count(), 0);
    QVERIFY(QFileInfo(settingsPath()).isFile());
    ProfileEngine engine;
    QCOMPARE(engine.readString(settingsPath(), QStringLiteral("frmMain"), QStringLiteral("Tab")),
             QStringLiteral("5"));
}

// ----------------------------------------------------------------- home page

void MainWindowTest::homeButtonsNavigate_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("innerTab"); // -1: inner tab left as it was

    QTest::newRow("apps") << "cmdGetApps" << int(frmMain::TabApps) << -1;
    QTest::newRow("portable") << "cmdGetPortable" << int(frmMain::TabPortable) << -1;
    QTest::newRow("slim") << "cmdGetSlim" << int(frmMain::TabSlim) << -1;
    QTest::newRow("help") << "cmdGetHelp" << int(frmMain::TabSpecial) << int(frmMain::TabPages);
    QTest::newRow("recommendations") << "cmdRecommendations" << int(frmMain::TabSpecial)
                                     << int(frmMain::TabSpecialEntries);
    QTest::newRow("finstalls") << "cmdFInstalls" << int(frmMain::TabInstall) << -1;
}

void MainWindowTest::homeButtonsNavigate()
{
    QFETCH(QString, button);
    QFETCH(int, tab);
    QFETCH(int, innerTab);
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    // Start on an inner tab neither shortcut goes to.
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabInstalledApps);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabHome));

    auto *b = w.findChild<isButton *>(button);
    QVERIFY(b);
    QVERIFY(b->isVisibleTo(&w));
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), tab);
    if (innerTab >= 0)
        QCOMPARE(w.specialPage->SSTab2->currentIndex(), innerTab);
}

void MainWindowTest::homeButtonCaptions()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data, false);
    QVERIFY(run);
    const std::pair<const char *, const char *> captions[] = {
        {"cmdGetApps", "Get Must-Have Apps"},
        {"cmdGetPortable", "Get Portable Apps"},
        {"cmdGetSlim", "Get Slim and Toolbar free Apps"},
        {"cmdGetHelp", "Get Direct Help"},
        {"cmdRecommendations", "Get More Apps"},
        {"cmdWinStarterKit", "Windows Starter Kit"},
        {"cmdAddApp", "Add App to Fetchora"},
        {"cmdDDLManager", "My App Manager"},
        {"cmdFindLink", "Get Safe Download Link on the quick"},
        {"cmdInstallManager", "My Install Manager"},
        {"cmdFInstalls", "Install Apps"},
        {"cmdShowInstalledApps", "Make Snapshot of Installed Apps"},
    };
    for (const auto &[name, caption] : captions) {
        auto *b = run->child<isButton>(name);
        QVERIFY2(b, name);
        QCOMPARE(b->text(), QLatin1String(caption));
    }
}

void MainWindowTest::winStarterKitSelectsExactCategory()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabPages);
    w.SSTab1->setCurrentIndex(frmMain::TabHome);

    QTest::mouseClick(run->child<isButton>("cmdWinStarterKit"), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabSpecial));
    QCOMPARE(w.specialPage->SSTab2->currentIndex(), int(frmMain::TabSpecialEntries));
    auto *cats = run->child<ListBox>("lstCatSpecial");
    // "Windows Starter Kit 2" comes first but is not the same name.
    QCOMPARE(cats->currentRow(), 2);
    QCOMPARE(cats->currentText(), QStringLiteral("WINDOWS STARTER KIT"));
    QCOMPARE(itemTexts(run->child<ListBox>("lstSpecial")),
             (QStringList{"Firefox*", "VC Runtime"}));
    QCOMPARE(run->child<QLineEdit>("txtSpecialSearch")->text(), QStringLiteral("Windows Starter Kit"));
}

void MainWindowTest::homeButtonsRequestTheirWindows()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    QSignalSpy addApp(&w, &frmMain::addAppRequested);
    QSignalSpy ddl(&w, &frmMain::ddlManagerRequested);
    QSignalSpy findLink(&w, &frmMain::findLinkRequested);
    QSignalSpy installManager(&w, &frmMain::installManagerRequested);

    QTest::mouseClick(run->child<isButton>("cmdAddApp"), Qt::LeftButton);
    QCOMPARE(addApp.count(), 1);
    QCOMPARE(ddl.count() + findLink.count() + installManager.count(), 0);

    QTest::mouseClick(run->child<isButton>("cmdDDLManager"), Qt::LeftButton);
    QCOMPARE(ddl.count(), 1);
    QTest::mouseClick(run->child<isButton>("cmdFindLink"), Qt::LeftButton);
    QCOMPARE(findLink.count(), 1);
    QTest::mouseClick(run->child<isButton>("cmdInstallManager"), Qt::LeftButton);
    QCOMPARE(installManager.count(), 1);
    QCOMPARE(addApp.count(), 1);
    QCOMPARE(ddl.count(), 1);
    QCOMPARE(findLink.count(), 1);
}

void MainWindowTest::hintsShownWhileHovering()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const QString versionLine = w.ucStatusBar1->panelText(0);
    QVERIFY(versionLine.startsWith(QLatin1String("Fetchora Version: ")));

    auto *getApps = run->child<isButton>("cmdGetApps");
    auto *fInstalls = run->child<isButton>("cmdFInstalls");
    auto *portable = run->child<isButton>("cmdGetPortable");

    QTest::mouseMove(getApps, getApps->rect().center());
    QTRY_COMPARE(w.ucStatusBar1->panelText(0), kAppsHint);

    QTest::mouseMove(fInstalls, fInstalls->rect().center());
    QTRY_COMPARE(w.ucStatusBar1->panelText(0), kInstallsHint);

    // Another button has a hint of its own.
    QTest::mouseMove(portable, portable->rect().center());
    QTRY_VERIFY(w.ucStatusBar1->panelText(0) != kInstallsHint);
    QVERIFY(!w.ucStatusBar1->panelText(0).isEmpty());
    QVERIFY(w.ucStatusBar1->panelText(0) != kAppsHint);
    QVERIFY(w.ucStatusBar1->panelText(0) != versionLine);

    QTest::mouseMove(getApps, getApps->rect().center() + QPoint(3, 2));
    QTRY_COMPARE(w.ucStatusBar1->panelText(0), kAppsHint);
}

void MainWindowTest::hintNeverChangesCurrentLink()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const QString link = QStringLiteral("https://example.org/firefox.exe");
    run->state.setCurrentLink(link);
    QCOMPARE(w.ucStatusBar1->panelText(0), link);
    QSignalSpy linkChanged(&run->state, &AppState::currentLinkChanged);

    auto *getApps = run->child<isButton>("cmdGetApps");
    auto *fInstalls = run->child<isButton>("cmdFInstalls");
    QTest::mouseMove(getApps, getApps->rect().center());
    QTRY_COMPARE(w.ucStatusBar1->panelText(0), kAppsHint);
    QTest::mouseMove(fInstalls, fInstalls->rect().center());
    QTRY_COMPARE(w.ucStatusBar1->panelText(0), kInstallsHint);

    QCOMPARE(run->state.currentLink(), link);
    QCOMPARE(linkChanged.count(), 0);
}

// --------------------------------------------------------------- status line

void MainWindowTest::versionLineAtStart()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    const QString version = run->window.about->lblVersion->text();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+ Beta$")).match(version).hasMatch(),
             qPrintable(version));
    QCOMPARE(version, QStringLiteral("%1.%2.%3 Beta")
                          .arg(FETCHORA_VERSION_MAJOR)
                          .arg(FETCHORA_VERSION_MINOR)
                          .arg(FETCHORA_VERSION_PATCH));
    QCOMPARE(run->window.ucStatusBar1->panelText(0),
             QStringLiteral("Fetchora Version: ") + version
                 + QStringLiteral(", Signature Version: 2024.06.01"));
}

void MainWindowTest::versionLineUnknownWithoutVersionFile()
{
    QVERIFY(writeCatalogue(m_data, false));
    Run *run = start(m_data);
    QVERIFY(run);
    QCOMPARE(run->window.ucStatusBar1->panelText(0),
             QStringLiteral("Fetchora Version: ") + run->window.about->lblVersion->text()
                 + QStringLiteral(", Signature Version: Unknown"));
}

void MainWindowTest::versionLineOnInfoTabsOnly()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const QString versionLine = w.ucStatusBar1->panelText(0);
    QVERIFY(versionLine.contains(QLatin1String("2024.06.01")));

    int n = 0;
    for (int tab : {int(frmMain::TabApps), int(frmMain::TabOptions), int(frmMain::TabPortable),
                    int(frmMain::TabAbout), int(frmMain::TabSlim), int(frmMain::TabHome),
                    int(frmMain::TabSpecial), int(frmMain::TabOptions), int(frmMain::TabInstall),
                    int(frmMain::TabHome)}) {
        const QString link = QStringLiteral("https://example.org/link%1").arg(++n);
        run->state.setCurrentLink(link);
        QCOMPARE(w.ucStatusBar1->panelText(0), link);
        w.SSTab1->setCurrentIndex(tab);
        QCOMPARE(w.SSTab1->currentIndex(), tab);
        const bool infoTab = tab == frmMain::TabHome || tab == frmMain::TabOptions
            || tab == frmMain::TabAbout;
        QVERIFY2(w.ucStatusBar1->panelText(0) == (infoTab ? versionLine : link),
                 qPrintable(QStringLiteral("tab %1: %2").arg(tab).arg(w.ucStatusBar1->panelText(0))));
    }
}

void MainWindowTest::toolbarHoverShowsVersionLineOnInfoTabsOnly()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const QString versionLine = w.ucStatusBar1->panelText(0);
    QSignalSpy moved(w.McToolBar1, &McToolBar::mouseMoved);

    int n = 0;
    for (int tab : {int(frmMain::TabHome), int(frmMain::TabApps), int(frmMain::TabOptions),
                    int(frmMain::TabSlim), int(frmMain::TabAbout), int(frmMain::TabSpecial)}) {
        w.SSTab1->setCurrentIndex(tab);
        const QString link = QStringLiteral("https://example.org/hover%1").arg(++n);
        run->state.setCurrentLink(link);
        QCOMPARE(w.ucStatusBar1->panelText(0), link);

        // Over a button and over the bare bar right of the buttons; each move a new spot.
        const int before = moved.count();
        QAbstractButton *button = w.McToolBar1->button(n % 8);
        QTest::mouseMove(button, button->rect().center() + QPoint(n, 0));
        QTRY_VERIFY(moved.count() > before);
        const bool infoTab = tab == frmMain::TabHome || tab == frmMain::TabOptions
            || tab == frmMain::TabAbout;
        QCOMPARE(w.ucStatusBar1->panelText(0), infoTab ? versionLine : link);

        run->state.setCurrentLink(link + QStringLiteral("/bar"));
        const int beforeBar = moved.count();
        QTest::mouseMove(w.McToolBar1, QPoint(w.McToolBar1->width() - 120 + n, w.McToolBar1->height() / 2));
        QTRY_VERIFY(moved.count() > beforeBar);
        QCOMPARE(w.ucStatusBar1->panelText(0), infoTab ? versionLine : link + QStringLiteral("/bar"));
    }
}

// ----------------------------------------------------------------- refreshers

void MainWindowTest::placeholderOnMainTabChange()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const char *names[] = {"txtAppsSearch", "txtPortableSearch", "txtSlimSearch", "txtInstallSearch"};
    for (int tab : {int(frmMain::TabApps), int(frmMain::TabOptions), int(frmMain::TabInstall),
                    int(frmMain::TabHome)}) {
        for (const char *name : names) {
            auto *box = run->child<QLineEdit>(name);
            QVERIFY2(box, name);
            box->setText(QStringLiteral("firefox"));
            QPalette p = box->palette();
            p.setColor(QPalette::Text, Qt::black);
            box->setPalette(p);
        }
        w.SSTab1->setCurrentIndex(tab);
        for (const char *name : names) {
            auto *box = run->child<QLineEdit>(name);
            QCOMPARE(box->text(), QStringLiteral("Search ..."));
            QCOMPARE(box->palette().color(QPalette::Text), kGrey);
        }
    }
}

void MainWindowTest::placeholderOnSpecialTabChange()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    w.SSTab1->setCurrentIndex(frmMain::TabSpecial);
    auto *box = run->child<QLineEdit>("txtSpecialSearch");
    QVERIFY(box);
    for (int inner : {int(frmMain::TabPages), int(frmMain::TabInstalledApps),
                      int(frmMain::TabSpecialEntries)}) {
        box->setText(QStringLiteral("defrag"));
        QPalette p = box->palette();
        p.setColor(QPalette::Text, Qt::black);
        box->setPalette(p);
        w.specialPage->SSTab2->setCurrentIndex(inner);
        QCOMPARE(box->text(), QStringLiteral("Search ..."));
        QCOMPARE(box->palette().color(QPalette::Text), kGrey);
    }
}

void MainWindowTest::searchCutAtBracket()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    run->window.SSTab1->setCurrentIndex(frmMain::TabApps);
    auto *box = run->child<QLineEdit>("txtAppsSearch");
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, QStringLiteral("abc("));
    QCOMPARE(box->text(), QStringLiteral("abc"));
    // Typing goes on from there.
    QTest::keyClicks(box, QStringLiteral("d"));
    QCOMPARE(box->text(), QStringLiteral("abcd"));
}

void MainWindowTest::searchPickMarkNamesSelectedEntry()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    run->window.SSTab1->setCurrentIndex(frmMain::TabApps);
    auto *lstCat = run->child<ListBox>("lstCat");
    auto *lstApps = run->child<ListBox>("lstApps");
    lstCat->setCurrentRow(1);
    QCOMPARE(lstApps->text(0), QStringLiteral("7-Zip*"));
    lstApps->setCurrentRow(0);

    auto *box = run->child<QLineEdit>("txtAppsSearch");
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, QStringLiteral("*"));
    QCOMPARE(box->text(), QStringLiteral("7-Zip [PICK]"));
}

void MainWindowTest::mirrorLabelFollowsUpdateAddress()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    auto *server = run->child<QLineEdit>("txtSignatureServer");
    auto *mirror = run->child<QLabel>("lblMirror");
    const QString base = frmMain::defaultUpdateAddress();
    QVERIFY(!base.isEmpty());
    QCOMPARE(server->text(), base);
    QCOMPARE(mirror->text(), QStringLiteral("International"));

    const std::pair<QString, QString> cases[] = {
        {base + QStringLiteral("de/"), QStringLiteral("German")},
        {QStringLiteral("https://mirror.example.com/fetchora/"), QStringLiteral("Custom")},
        {base, QStringLiteral("International")},
        {base + QStringLiteral("fr/"), QStringLiteral("French")},
        {base + QStringLiteral("es/"), QStringLiteral("Custom")},
        {base + QStringLiteral("de/"), QStringLiteral("German")},
        {QString(), QStringLiteral("Custom")},
    };
    for (const auto &[address, name] : cases) {
        server->setText(address);
        QCOMPARE(mirror->text(), name);
        QCOMPARE(frmMain::mirrorName(address), name);
    }
}

void MainWindowTest::commandEntriesAreRunNotDownloaded()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    w.SSTab1->setCurrentIndex(frmMain::TabSpecial);
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabSpecialEntries);
    auto *cats = run->child<ListBox>("lstCatSpecial");
    auto *entries = run->child<ListBox>("lstSpecial");
    auto *run_ = run->child<isButton>("cmdRunApp");
    auto *download = run->child<isButton>("cmdDownloadSpecial");
    auto *fromPage = run->child<isButton>("cmdDownloadSpecialFromPage");
    QVERIFY(run_ && download && fromPage);

    cats->setCurrentRow(1);
    QCOMPARE(itemTexts(entries), (QStringList{"Defrag (cmd)", "Command Prompt", "Disk Cleanup cmd",
                                              "CMD Shortcuts"}));

    entries->setCurrentRow(0); // "Defrag (cmd)"
    QVERIFY(run_->isVisibleTo(&w));
    QVERIFY(!download->isVisibleTo(&w));
    QVERIFY(!fromPage->isVisibleTo(&w));

    entries->setCurrentRow(1); // "Command Prompt": "Cmd" is not "cmd"
    QVERIFY(!run_->isVisibleTo(&w));
    QVERIFY(download->isVisibleTo(&w));
    QVERIFY(fromPage->isVisibleTo(&w));

    entries->setCurrentRow(3); // "CMD Shortcuts": upper case is no command mark
    QVERIFY(!run_->isVisibleTo(&w));
    QVERIFY(download->isVisibleTo(&w));

    entries->setCurrentRow(2); // "Disk Cleanup cmd"
    QVERIFY(run_->isVisibleTo(&w));
    QVERIFY(!download->isVisibleTo(&w));

    // On the Installed Apps tab none of the three is shown, even with a command selected.
    SpecialPage *page = w.specialPage;
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabInstalledApps);
    QVERIFY(!run_->isVisibleTo(page->special));
    QVERIFY(!download->isVisibleTo(page->special));
    QVERIFY(!fromPage->isVisibleTo(page->special));
    QVERIFY(!run_->isVisibleTo(&w));

    // Back on the Special tab the selected command brings the Run button back.
    w.specialPage->SSTab2->setCurrentIndex(frmMain::TabSpecialEntries);
    QVERIFY(run_->isVisibleTo(&w));
    QVERIFY(!download->isVisibleTo(&w));

    // Another category with a plain entry selected: downloads again.
    cats->setCurrentRow(2);
    entries->setCurrentRow(1);
    QCOMPARE(entries->currentText(), QStringLiteral("VC Runtime"));
    QVERIFY(!run_->isVisibleTo(&w));
    QVERIFY(download->isVisibleTo(&w));
    QVERIFY(fromPage->isVisibleTo(&w));
}

void MainWindowTest::shortWindowHidesSomeShortcuts()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    const double dpi = screenDpi();
    const char *names[] = {"cmdGetHelp", "cmdShowInstalledApps", "cmdAddApp"};

    auto setFrameHeight = [&](int frameHeight) {
        const int extra = w.frameGeometry().height() - w.height();
        w.resize(w.width(), frameHeight - extra);
    };
    auto shown = [&](bool expected) {
        for (const char *name : names) {
            auto *b = run->child<isButton>(name);
            if (!b || b->isVisibleTo(&w) != expected)
                return false;
        }
        return true;
    };
    // The default height shows everything.
    QVERIFY(w.frameGeometry().height() >= twipsToPixels(8300, dpi));
    QVERIFY(shown(true));

    const int threshold = twipsToPixels(7800, dpi); // 520 px at 96 dpi
    setFrameHeight(threshold - 1);
    QTRY_COMPARE(w.frameGeometry().height(), threshold - 1);
    QTRY_VERIFY(shown(false));
    // The other shortcuts stay.
    QVERIFY(run->child<isButton>("cmdGetApps")->isVisibleTo(&w));
    QVERIFY(run->child<isButton>("cmdWinStarterKit")->isVisibleTo(&w));

    setFrameHeight(twipsToPixels(8300, dpi));
    QTRY_COMPARE(w.frameGeometry().height(), twipsToPixels(8300, dpi));
    QTRY_VERIFY(shown(true));

    setFrameHeight(threshold - 40);
    QTRY_VERIFY(shown(false));
    // 7,800 twips exactly is not below the limit.
    setFrameHeight(threshold);
    QTRY_COMPARE(w.frameGeometry().height(), threshold);
    QTRY_VERIFY(shown(true));
}

void MainWindowTest::noTimerActiveWhenIdle()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    QTest::qWait(100);
    QCoreApplication::processEvents();
    const auto timers = run->window.findChildren<QTimer *>();
    QStringList active;
    for (QTimer *t : timers) {
        if (t->isActive())
            active.append(t->objectName().isEmpty() ? QString::fromLatin1(t->parent()->metaObject()->className())
                                                    : t->objectName());
    }
    QVERIFY2(active.isEmpty(), qPrintable(active.join(QStringLiteral(", "))));
}

// ----------------------------------------------------------- update question

void MainWindowTest::updateQuestionYes()
{
    QVERIFY(writeCatalogue(m_data, false));
    Run *run = start(m_data);
    QVERIFY(run);
    run->prompter.answers = {true};
    QSignalSpy update(&run->window, &frmMain::updateWindowRequested);
    run->window.askForUpdateIfNeeded();
    QCOMPARE(run->prompter.messages.size(), 1);
    QCOMPARE(run->prompter.messages.first().kind, QStringLiteral("ask"));
    QCOMPARE(run->prompter.messages.first().text, kUpdateQuestion);
    QCOMPARE(update.count(), 1);
}

void MainWindowTest::updateQuestionNo()
{
    QVERIFY(writeCatalogue(m_data, false));
    Run *run = start(m_data);
    QVERIFY(run);
    run->prompter.answers = {false};
    QSignalSpy update(&run->window, &frmMain::updateWindowRequested);
    run->window.askForUpdateIfNeeded();
    QCOMPARE(run->prompter.messages.size(), 1);
    QCOMPARE(run->prompter.messages.first().text, kUpdateQuestion);
    QCOMPARE(update.count(), 0);
    QVERIFY(run->window.isVisible());
}

void MainWindowTest::noUpdateQuestionWithVersionFile()
{
    QVERIFY(writeCatalogue(m_data, true));
    Run *run = start(m_data);
    QVERIFY(run);
    run->prompter.answers = {true};
    QSignalSpy update(&run->window, &frmMain::updateWindowRequested);
    run->window.askForUpdateIfNeeded();
    QCOMPARE(run->prompter.messages.size(), 0);
    QCOMPARE(update.count(), 0);
}

// ------------------------------------------------------------------ settings

void MainWindowTest::settingsRoundTrip()
{
    QVERIFY(writeCatalogue(m_data));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const double dpi = screenDpi();
    // Wider than the window's smallest width, within the screen.
    const QSize frameSize(qMin(780, screen.width()), 600);
    const QPoint framePos(screen.left() + 20, screen.top() + 30);
    QVERIFY(frameSize.height() <= screen.height());

    {
        Run *run = start(m_data);
        QVERIFY(run);
        frmMain &w = run->window;
        w.SSTab1->setCurrentIndex(frmMain::TabSpecial);
        w.specialPage->SSTab2->setCurrentIndex(frmMain::TabPages);
        run->child<ListBox>("lstCat")->setCurrentRow(2);
        run->child<ListBox>("lstCatPortable")->setCurrentRow(1);
        run->child<ListBox>("lstCatSlim")->setCurrentRow(0);
        run->child<ListBox>("lstCatSpecial")->setCurrentRow(1);
        run->child<ListBox>("lstCatPages")->setCurrentRow(1);
        run->child<ListBox>("lstCatInstall")->setCurrentRow(1);
        w.optionsPage->chkSystray->setChecked(true);
        w.optionsPage->chkAutoUpdate->setChecked(false);
        w.optionsPage->chkAdSupportWarning->setChecked(true);
        w.optionsPage->chkJDownloaderSupport->setChecked(true);
        w.optionsPage->chkPerformOpsWithDoubleClick->setChecked(false);
        w.optionsPage->txtJDownloaderPath->setText(QStringLiteral("D:\\Tools\\JDownloader 2\\JDownloader2.exe"));
        w.optionsPage->cboTheme->setCurrentIndex(3);

        const QSize extra = w.frameGeometry().size() - w.size();
        QVERIFY(w.minimumSizeHint().width() + extra.width() <= frameSize.width());
        w.resize(frameSize - extra);
        w.move(framePos);
        QTRY_COMPARE(w.frameGeometry().size(), frameSize);
        QTRY_COMPARE(w.frameGeometry().topLeft(), framePos);
        QVERIFY(closeRun());
        QVERIFY(!w.isVisible());
    }
    m_run.reset();

    // What the file holds, read by a fresh engine.
    QVERIFY(QFileInfo(settingsPath()).isFile());
    const QString text = QString::fromUtf8(readFile(settingsPath()));
    QVERIFY(text.contains(QLatin1String("[WindowState]")));
    QVERIFY(text.contains(QLatin1String("[frmMain]")));
    ProfileEngine engine;
    auto stored = [&](const char *section, const char *key) {
        return engine.readString(settingsPath(), QLatin1String(section), QLatin1String(key),
                                 QStringLiteral("<missing>"));
    };
    const QString perPixel = QString::number(1440.0 / dpi);
    QCOMPARE(stored("WindowState", "Height"), QString::number(pixelsToTwips(600, dpi)));
    if (qFuzzyCompare(dpi, 96.0)) {
        QCOMPARE(stored("WindowState", "Height"), QStringLiteral("9000"));
        QCOMPARE(stored("WindowState", "Width"), QString::number(frameSize.width() * 15));
        QCOMPARE(stored("WindowState", "Left"), QString::number(framePos.x() * 15));
        QCOMPARE(stored("WindowState", "Top"), QString::number(framePos.y() * 15));
    } else {
        qInfo("screen at %s twips per pixel", qPrintable(perPixel));
    }
    QCOMPARE(stored("WindowState", "Width"), QString::number(pixelsToTwips(frameSize.width(), dpi)));
    QCOMPARE(stored("WindowState", "Left"), QString::number(pixelsToTwips(framePos.x(), dpi)));
    QCOMPARE(stored("WindowState", "Top"), QString::number(pixelsToTwips(framePos.y(), dpi)));
    QCOMPARE(stored("frmMain", "Tab"), QStringLiteral("6"));
    QCOMPARE(stored("frmMain", "Tab2"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "CatApps"), QStringLiteral("2"));
    QCOMPARE(stored("frmMain", "CatPortable"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "CatSlim"), QStringLiteral("0"));
    QCOMPARE(stored("frmMain", "CatSpecial"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "CatPages"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "CatInstall"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "chkSystray"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "chkAutoUpdate"), QStringLiteral("0"));
    QCOMPARE(stored("frmMain", "chkAdSupportWarning"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "chkJDownloaderSupport"), QStringLiteral("1"));
    QCOMPARE(stored("frmMain", "chkPerformOpsWithDoubleClick"), QStringLiteral("0"));
    QCOMPARE(stored("frmMain", "cboTheme"), QStringLiteral("3"));
    QCOMPARE(stored("frmMain", "txtJDownloaderPath"),
             QStringLiteral("D:\\Tools\\JDownloader 2\\JDownloader2.exe"));

    // The next start on the same folder comes back as it was left.
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabSpecial));
    QCOMPARE(w.specialPage->SSTab2->currentIndex(), int(frmMain::TabPages));
    QCOMPARE(run->child<ListBox>("lstCat")->currentRow(), 2);
    QCOMPARE(itemTexts(run->child<ListBox>("lstApps")), QStringList{"Everything"});
    QCOMPARE(run->child<ListBox>("lstCatPortable")->currentRow(), 1);
    QCOMPARE(itemTexts(run->child<ListBox>("lstPortable")), QStringList{"Portable 7-Zip"});
    QCOMPARE(run->child<ListBox>("lstCatSlim")->currentRow(), 0);
    QCOMPARE(itemTexts(run->child<ListBox>("lstSlim")), QStringList{"Slim Player"});
    QCOMPARE(run->child<ListBox>("lstCatSpecial")->currentRow(), 1);
    QCOMPARE(run->child<ListBox>("lstSpecial")->count(), 4);
    QCOMPARE(run->child<ListBox>("lstCatPages")->currentRow(), 1);
    QCOMPARE(itemTexts(run->child<ListBox>("lstPages")), QStringList{"Online Scanner"});
    QCOMPARE(run->child<ListBox>("lstCatInstall")->currentRow(), 1);
    QCOMPARE(itemTexts(run->child<ListBox>("lstInstall")), QStringList{"Silent B"});
    QCOMPARE(run->child<QLabel>("lblCountInstall")->text(), QStringLiteral("1"));

    QVERIFY(w.optionsPage->chkSystray->isChecked());
    QVERIFY(!w.optionsPage->chkAutoUpdate->isChecked());
    QVERIFY(w.optionsPage->chkAdSupportWarning->isChecked());
    QVERIFY(w.optionsPage->chkJDownloaderSupport->isChecked());
    QVERIFY(!w.optionsPage->chkPerformOpsWithDoubleClick->isChecked());
    QCOMPARE(w.optionsPage->txtJDownloaderPath->text(),
             QStringLiteral("D:\\Tools\\JDownloader 2\\JDownloader2.exe"));
    QCOMPARE(w.optionsPage->cboTheme->currentIndex(), 3);
    // The rest of the program sees the restored options.
    QVERIFY(run->state.options().systray);
    QCOMPARE(run->state.options().themeIndex, 3);
    QCOMPARE(run->state.options().jdownloaderPath,
             QStringLiteral("D:\\Tools\\JDownloader 2\\JDownloader2.exe"));

    QTRY_COMPARE(w.frameGeometry().size(), frameSize);
    QCOMPARE(w.frameGeometry().topLeft(), framePos);
}

void MainWindowTest::emptiedTextBoxStaysEmpty()
{
    QVERIFY(writeCatalogue(m_data));
    {
        Run *run = start(m_data);
        QVERIFY(run);
        QVERIFY(!run->window.optionsPage->txtJDownloaderPath->text().isEmpty());
        run->window.optionsPage->txtJDownloaderPath->clear();
        QVERIFY(closeRun());
    }
    for (int start_ = 0; start_ < 2; ++start_) {
        Run *run = start(m_data);
        QVERIFY(run);
        QCOMPARE(run->window.optionsPage->txtJDownloaderPath->text(), QString());
        QCOMPARE(run->state.options().jdownloaderPath, QString());
        QVERIFY(closeRun());
    }
    ProfileEngine engine;
    const auto value = engine.value(settingsPath(), QStringLiteral("frmMain"),
                                    QStringLiteral("txtJDownloaderPath"));
    QVERIFY(value.has_value());
    QCOMPARE(*value, QString());
}

void MainWindowTest::restoreCategoryOutOfRangeSelectsNothing()
{
    QVERIFY(writeCatalogue(m_data));
    QVERIFY(writeFile(settingsPath(), "[frmMain]\r\nTab=1\r\nCatApps=5\r\nCatPortable=1\r\n"
                                      "CatSlim=-7\r\nCatInstall=2\r\nCatPages=2\r\nTab2=9\r\n"));
    Run *run = start(m_data);
    QVERIFY(run);
    QCOMPARE(run->window.SSTab1->currentIndex(), int(frmMain::TabApps));
    QCOMPARE(run->child<ListBox>("lstCat")->currentRow(), -1);
    QCOMPARE(run->child<ListBox>("lstApps")->count(), 0);
    QCOMPARE(run->child<ListBox>("lstCat")->count(), 3);
    // The valid one in the same file is applied.
    QCOMPARE(run->child<ListBox>("lstCatPortable")->currentRow(), 1);
    QCOMPARE(itemTexts(run->child<ListBox>("lstPortable")), QStringList{"Portable 7-Zip"});
    QCOMPARE(run->child<ListBox>("lstCatSlim")->currentRow(), -1);
    QCOMPARE(run->child<ListBox>("lstCatInstall")->currentRow(), -1);
    QCOMPARE(run->child<ListBox>("lstInstall")->count(), 0);
    QCOMPARE(run->child<ListBox>("lstCatPages")->currentRow(), -1);
    QCOMPARE(run->child<ListBox>("lstPages")->count(), 0);
    QCOMPARE(run->window.specialPage->SSTab2->currentIndex(), 0);
}

void MainWindowTest::restorePositionFarOffScreenIgnored()
{
    QVERIFY(writeCatalogue(m_data));
    const QRect baseline = defaultFrame();
    QVERIFY(baseline.isValid());
    const double dpi = screenDpi();
    QVERIFY(writeFile(settingsPath(), "[WindowState]\r\nLeft=40000\r\n"));
    Run *run = start(m_data);
    QVERIFY(run);
    const QRect frame = run->window.frameGeometry();
    QVERIFY(frame.x() != twipsToPixels(40000, dpi));
    QCOMPARE(frame.topLeft(), baseline.topLeft());
    QCOMPARE(frame.size(), baseline.size());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(frame));
}

void MainWindowTest::restoreNegativeLeftApplied()
{
    QVERIFY(writeCatalogue(m_data));
    const QRect baseline = defaultFrame();
    QVERIFY(baseline.isValid());
    const double dpi = screenDpi();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.width() >= 200);
    const int topTwips = pixelsToTwips(screen.top() + 100, dpi);
    // No stored size: the window keeps its own, so only the position is under test.
    QVERIFY(writeFile(settingsPath(), "[WindowState]\r\nLeft=-500\r\nTop=" + QByteArray::number(topTwips)
                                          + "\r\n"));
    Run *run = start(m_data);
    QVERIFY(run);
    // -500 twips is a few pixels left of the screen edge; the title bar is still there to grab.
    const QPoint expected(twipsToPixels(-500, dpi), twipsToPixels(topTwips, dpi));
    QVERIFY(expected.x() < 0);
    QVERIFY(expected != baseline.topLeft());
    QTRY_COMPARE(run->window.frameGeometry().topLeft(), expected);
    QCOMPARE(run->window.frameGeometry().size(), baseline.size());
}

void MainWindowTest::restoreNonNumericValuesIgnored()
{
    QVERIFY(writeCatalogue(m_data));
    const QRect baseline = defaultFrame();
    QVERIFY(baseline.isValid());
    const double dpi = screenDpi();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int top = screen.top() + 20;
    QVERIFY(writeFile(settingsPath(), "[WindowState]\r\nLeft=abc\r\nTop="
                                          + QByteArray::number(pixelsToTwips(top, dpi))
                                          + "\r\nHeight=tall\r\nWidth=\r\n"
                                            "[frmMain]\r\nTab=two\r\nCatApps=x1\r\nchkSystray=yes\r\n"
                                            "cboTheme=dark\r\n"));
    Run *run = start(m_data);
    QVERIFY(run);
    frmMain &w = run->window;
    QCOMPARE(w.frameGeometry().size(), baseline.size());
    QCOMPARE(w.frameGeometry().x(), baseline.x());
    // The valid value next to them is still applied.
    QCOMPARE(w.frameGeometry().y(), top);
    QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabHome));
    QCOMPARE(run->child<ListBox>("lstCat")->currentRow(), -1);
    QVERIFY(!w.optionsPage->chkSystray->isChecked());
    QCOMPARE(w.optionsPage->cboTheme->currentIndex(), 0);
}

void MainWindowTest::closeWithReadOnlyDataFolder()
{
    QVERIFY(writeCatalogue(m_data));
    Run *run = start(m_data);
    QVERIFY(run);
    run->window.SSTab1->setCurrentIndex(frmMain::TabSlim);
    m_readOnlyDir = m_data;
    QVERIFY(QFile::setPermissions(m_data, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(closeRun());
    QVERIFY(!run->window.isVisible());
    // Where the folder really is read-only (not for the superuser) nothing was written.
    QFile probe(QDir(m_data).filePath(QStringLiteral("probe.tmp")));
    const bool writable = probe.open(QIODevice::WriteOnly);
    if (writable) {
        probe.close();
        probe.remove();
    } else {
        QVERIFY(!QFileInfo::exists(settingsPath()));
    }
    // The catalogue is untouched.
    QVERIFY(QFileInfo(QDir(m_data).filePath(QStringLiteral("FOApps.def"))).isFile());
}

void MainWindowTest::closeWithMissingDataFolder()
{
    const QString missing = m_tmp->filePath(QStringLiteral("NoSuchData"));
    Run *run = start(missing);
    QVERIFY(run);
    QCOMPARE(run->child<ListBox>("lstCat")->count(), 0);
    QCOMPARE(run->window.ucStatusBar1->panelText(0),
             QStringLiteral("Fetchora Version: ") + run->window.about->lblVersion->text()
                 + QStringLiteral(", Signature Version: Unknown"));
    QVERIFY(closeRun());
    QVERIFY(!run->window.isVisible());
}

void MainWindowTest::closeWhenSettingsFileCannotBeWritten()
{
    QVERIFY(writeCatalogue(m_data));
    // A folder where the settings file belongs: no writer can replace it, not even the superuser.
    QVERIFY(QDir().mkpath(settingsPath()));
    Run *run = start(m_data);
    QVERIFY(run);
    run->window.SSTab1->setCurrentIndex(frmMain::TabApps);
    QVERIFY(closeRun());
    QVERIFY(!run->window.isVisible());
    QVERIFY(QFileInfo(settingsPath()).isDir());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
