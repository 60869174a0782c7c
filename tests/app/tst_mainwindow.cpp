#include "WindowFixture.h"

#include "app/pages/AboutPage.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "catalogue/Catalogue.h"
#include "platform/Placement.h"
#include "widgets/ToolBar.h"
#include "widgets/StatusBar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace fetchora;
using namespace fetchora::test;

namespace {

const QString kUpdateQuestion = "New Signature files are available for Fetchora.\r\n"
                                "We highly recommend regularly to Check for Updates in order to always get the "
                                "latest Apps and Direct Download Links.\r\n\r\n"
                                "Do you want to Check for Updates Now?";
const QString kAppsHint = "Here you will find a list of the Best and most common Applications for every purpose.";
const QString kInstallsHint =
    "Here you can perform unattended and silent Installations of Apps with FInstalls (Beta 0.0.8)";
const QString kJDownloader = "D:\\Tools\\JDownloader 2\\JDownloader2.exe";
const QColor kGrey(128, 128, 128);

double screenDpi()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

bool isInfoTab(int tab)
{
    return tab == MainWindow::TabHome || tab == MainWindow::TabOptions || tab == MainWindow::TabAbout;
}

// A search box as the user left it: some text in black.
void dirty(QLineEdit *box, const QString &text)
{
    box->setText(text);
    QPalette p = box->palette();
    p.setColor(QPalette::Text, Qt::black);
    box->setPalette(p);
}

QString placeholderState(const QLineEdit *box)
{
    return box->text() + (box->palette().color(QPalette::Text) == kGrey ? " in grey" : " not in grey");
}

} // namespace

class MainWindowTest : public QObject, public WindowFixture
{
    Q_OBJECT

    QString m_readOnlyDir;

    MainWindow &w() { return app->window; }
    QString settingsPath() const { return dataFile("Fetchora.ini"); }
    QString label(const char *name) const { return app->child<QLabel>(name)->text(); }
    QString versionLine(const QString &signature) const
    {
        return "Fetchora Version: " + app->window.aboutPage->versionLabel->text() + ", Signature Version: " + signature;
    }
    QString stored(const char *section, const char *key) const
    {
        return ProfileEngine().readString(settingsPath(), section, key, "<missing>");
    }

    // A small catalogue with every database. The definition files use Windows
    // line ends as the shipped ones do.
    bool writeCatalogue()
    {
        return put({
            {"FOApps.def", crlf({"; Applications everybody needs",
                "[Browsers]", "Firefox=https://example.org/firefox.exe", "Opera=https://example.org/opera.exe",
                "a line without an equals sign", "; Commented=https://example.org/hidden.exe", "Some=Name=x",
                "[All]", "7-Zip*=https://example.org/7z.exe", "Notepad++=https://example.org/npp.exe",
                "[Tools]", "Everything=https://example.org/everything.exe"})},
            {"FOPortable.def", crlf({"[Portable Browsers]", "Firefox Portable=https://example.org/ffp.exe",
                "[Portable Tools]", "Portable 7-Zip=https://example.org/7zp.exe"})},
            {"FOSlim.def", crlf({"[Slim Media]", "Slim Player=https://example.org/slim.exe",
                "[Slim Office]", "Slim Writer=https://example.org/writer.exe"})},
            {"FOSpecial.def", crlf({"[Windows Starter Kit 2]", "Old Runtime=https://example.org/old.exe",
                "[Commands]", "Defrag (cmd)=defrag c:", "Command Prompt=https://example.org/prompt.exe",
                "Disk Cleanup cmd=cleanmgr", "CMD Shortcuts=https://example.org/shortcuts.zip",
                "[WINDOWS STARTER KIT]", "Firefox*=https://example.org/firefox.exe",
                "VC Runtime=https://example.org/vc.exe"})},
            {"FOPages.def", crlf({"[Help Pages]", "Help Forum=https://example.org/forum",
                "[Virus Scanners]", "Online Scanner=https://example.org/scan"})},
            {"FInstalls.def",
             crlf({"[Install Set A]", "Silent A=setup-a.exe /S", "[Install Set B]", "Silent B=setup-b.exe /quiet"})},
            {"FOVersion.ini", "[Signature]\r\nVersion=2024.06.01\r\n"}});
    }

    bool removeVersionFile() { return QFile::remove(dataFile("FOVersion.ini")); }

    // Where a window with no stored placement appears and how big it is.
    QRect defaultFrame()
    {
        QTemporaryDir empty;
        const QRect frame = start(true, AppRun::Recording, empty.path()) ? w().frameGeometry() : QRect();
        app.reset();
        QCoreApplication::processEvents();
        return frame;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(setUpFolder());
        QVERIFY(writeCatalogue());
    }

    void cleanup()
    {
        app.reset();
        if (!m_readOnlyDir.isEmpty()) {
            QFile::setPermissions(m_readOnlyDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            m_readOnlyDir.clear();
        }
        tearDown();
    }

    // Categories and entries

    void categoriesListedInFileOrder_data()
    {
        QTest::addColumn<bool>("slimMissing");
        QTest::newRow("every file") << false;
        // A missing definition file leaves only its own list empty.
        QTest::newRow("no Slim file") << true;
    }

    void categoriesListedInFileOrder()
    {
        QFETCH(bool, slimMissing);
        QVERIFY(!slimMissing || QFile::remove(dataFile("FOSlim.def")));
        QVERIFY(start());
        QCOMPARE(app->items("lstCat"), (QStringList{"Browsers", "All", "Tools"}));
        QCOMPARE(label("lblCountCat"), "3");
        QCOMPARE(app->items("lstCatPortable"), (QStringList{"Portable Browsers", "Portable Tools"}));
        QCOMPARE(app->items("lstCatSlim"), (slimMissing ? QStringList() : QStringList{"Slim Media", "Slim Office"}));
        QCOMPARE(label("lblCountCatSlim"), slimMissing ? "0" : "2");
        QCOMPARE(app->items("lstCatSpecial"),
                 (QStringList{"Windows Starter Kit 2", "Commands", "WINDOWS STARTER KIT"}));
        QCOMPARE(app->items("lstCatPages"), (QStringList{"Help Pages", "Virus Scanners"}));
        QCOMPARE(label("lblCountCatPages"), "2");
        QCOMPARE(app->items("lstCatInstall"), (QStringList{"Install Set A", "Install Set B"}));
    }

    void entriesListedInFileOrder()
    {
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabApps);
        auto *lstCat = app->list("lstCat");
        QTRY_VERIFY(lstCat->isVisible());
        // Pick the category the way a user does, with the mouse. The line
        // without "=" and the comment name no entry; "Some=Name=x" is "Some".
        QVERIFY(clickRow(lstCat, "Browsers"));
        QCOMPARE(app->items("lstApps"), (QStringList{"Firefox", "Opera", "Some"}));
        QCOMPARE(label("lblCountApps"), "3");
        QVERIFY(clickRow(lstCat, "All"));
        QCOMPARE(app->items("lstApps"), (QStringList{"7-Zip*", "Notepad++"}));
        QCOMPARE(label("lblCountApps"), "2");
        lstCat->setCurrentRow(2);
        QCOMPARE(app->items("lstApps"), QStringList{"Everything"});
        QCOMPARE(label("lblCountApps"), "1");
    }

    void entriesRereadFromDiskAtEachSelection()
    {
        QVERIFY(start());
        auto *lstCat = app->list("lstCat");
        lstCat->setCurrentRow(2);
        QCOMPARE(app->items("lstApps"), QStringList{"Everything"});

        // An update (or the add-app window) rewrites the file while the window is open.
        auto rewrite = [&](const QByteArray &secondTool) {
            return put("FOApps.def", "[Browsers]\r\nFirefox=https://example.org/firefox.exe\r\n"
                                     "[All]\r\n7-Zip*=https://example.org/7z.exe\r\n"
                                     "[Tools]\r\nEverything=https://example.org/everything.exe\r\n"
                                         + secondTool + "=https://example.org/wds.exe\r\n"
                                         "Process Explorer=https://example.org/pe.exe\r\n");
        };
        QVERIFY(rewrite("WinDirStat"));
        lstCat->setCurrentRow(0);
        QCOMPARE(app->items("lstApps"), QStringList{"Firefox"});
        lstCat->setCurrentRow(2);
        QCOMPARE(app->items("lstApps"), (QStringList{"Everything", "WinDirStat", "Process Explorer"}));
        QCOMPARE(label("lblCountApps"), "3");

        // A later edit of the same length (one name corrected) is seen as well.
        QTest::qWait(30);
        QVERIFY(rewrite("WinDirStar"));
        lstCat->setCurrentRow(1);
        lstCat->setCurrentRow(2);
        QCOMPARE(app->items("lstApps"), (QStringList{"Everything", "WinDirStar", "Process Explorer"}));
    }

    void longEntryValueReadWhole()
    {
        QString link = "https://example.org/download?file=";
        while (link.size() < 300)
            link += QLatin1Char('a' + link.size() % 26);
        QCOMPARE(link.size(), 300);
        QVERIFY(put("FOApps.def", "[Tools]\r\nLong=" + link.toUtf8() + "\r\nShort=x\r\n"));
        ProfileEngine engine;
        QCOMPARE(readEntryValue(engine, dataFile("FOApps.def"), "Tools", "Long"), link);
        QCOMPARE(readEntryValue(engine, dataFile("FOApps.def"), "Tools", "Short"), "x");
    }

    // Toolbar

    void toolbarButtonsSelectPages()
    {
        QVERIFY(start());
        QCOMPARE(w().toolBar->buttonCount(), 8);
        // Each step starts from a different page so a button that does nothing fails.
        const std::pair<int, int> steps[] = {{1, MainWindow::TabApps}, {2, MainWindow::TabPortable}, {3, MainWindow::TabSlim},
                                             {6, MainWindow::TabOptions}, {0, MainWindow::TabHome}, {6, MainWindow::TabOptions},
                                             {1, MainWindow::TabApps}};
        for (const auto &[button, tab] : steps) {
            QTest::mouseClick(w().toolBar->button(button), Qt::LeftButton);
            QCOMPARE(w().tabs->currentIndex(), tab);
        }

        // "Get More" opens the Special page on its first inner tab.
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabInstalledApps);
        QTest::mouseClick(w().toolBar->button(4), Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabSpecial));
        QCOMPARE(w().specialPage->tabs->currentIndex(), int(MainWindow::TabSpecialEntries));
        QVERIFY(w().isVisible());

        // Home hides the direct download button, even when something showed it
        // while Home was on display.
        auto *cmdDownload = app->button("cmdDownload");
        QVERIFY(cmdDownload);
        QTest::mouseClick(w().toolBar->button(1), Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabApps));
        QVERIFY(cmdDownload->isVisibleTo(&w()));
        QTest::mouseClick(w().toolBar->button(0), Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabHome));
        QVERIFY(cmdDownload->isHidden());
        cmdDownload->setVisible(true);
        QTest::mouseClick(w().toolBar->button(0), Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabHome));
        QVERIFY(cmdDownload->isHidden());
    }

    void toolbarUpdateAsksForUpdateWindowAndExitSaves()
    {
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabSlim);
        QSignalSpy update(&w(), &MainWindow::updateWindowRequested);
        QTest::mouseClick(w().toolBar->button(5), Qt::LeftButton);
        QCOMPARE(update.count(), 1);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabSlim));
        QVERIFY(w().isVisible());

        // Exit closes the window and saves, asking for no update.
        QVERIFY(!QFileInfo::exists(settingsPath()));
        QTest::mouseClick(w().toolBar->button(7), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!w().isVisible());
        QCOMPARE(update.count(), 1);
        QVERIFY(QFileInfo(settingsPath()).isFile());
        QCOMPARE(stored("frmMain", "Tab"), "5");
    }

    // Home page

    void homeButtonsNavigate_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("innerTab"); // -1: inner tab left as it was
        QTest::newRow("apps") << "cmdGetApps" << int(MainWindow::TabApps) << -1;
        QTest::newRow("portable") << "cmdGetPortable" << int(MainWindow::TabPortable) << -1;
        QTest::newRow("slim") << "cmdGetSlim" << int(MainWindow::TabSlim) << -1;
        QTest::newRow("help") << "cmdGetHelp" << int(MainWindow::TabSpecial) << int(MainWindow::TabPages);
        QTest::newRow("recommendations") << "cmdRecommendations" << int(MainWindow::TabSpecial)
                                         << int(MainWindow::TabSpecialEntries);
        QTest::newRow("finstalls") << "cmdFInstalls" << int(MainWindow::TabInstall) << -1;
    }

    void homeButtonsNavigate()
    {
        QFETCH(QString, button);
        QFETCH(int, tab);
        QFETCH(int, innerTab);
        QVERIFY(start());
        // Start on an inner tab neither shortcut goes to.
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabInstalledApps);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabHome));
        auto *b = w().findChild<ThemedButton *>(button);
        QVERIFY(b);
        QVERIFY(b->isVisibleTo(&w()));
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), tab);
        if (innerTab >= 0)
            QCOMPARE(w().specialPage->tabs->currentIndex(), innerTab);
    }

    void homeButtonCaptions()
    {
        QVERIFY(start(false));
        const std::pair<const char *, const char *> captions[] = {
            {"cmdGetApps", "Get Must-Have Apps"}, {"cmdGetPortable", "Get Portable Apps"},
            {"cmdGetSlim", "Get Slim and Toolbar free Apps"}, {"cmdGetHelp", "Get Direct Help"},
            {"cmdRecommendations", "Get More Apps"}, {"cmdWinStarterKit", "Windows Starter Kit"},
            {"cmdAddApp", "Add App to Fetchora"}, {"cmdDDLManager", "My App Manager"},
            {"cmdFindLink", "Get Safe Download Link on the quick"}, {"cmdInstallManager", "My Install Manager"},
            {"cmdFInstalls", "Install Apps"}, {"cmdShowInstalledApps", "Make Snapshot of Installed Apps"}};
        for (const auto &[name, caption] : captions) {
            auto *b = app->button(name);
            QVERIFY2(b, name);
            QCOMPARE(b->text(), caption);
        }
    }

    void winStarterKitSelectsExactCategory()
    {
        QVERIFY(start());
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabPages);
        w().tabs->setCurrentIndex(MainWindow::TabHome);
        QTest::mouseClick(app->button("cmdWinStarterKit"), Qt::LeftButton);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabSpecial));
        QCOMPARE(w().specialPage->tabs->currentIndex(), int(MainWindow::TabSpecialEntries));
        // "Windows Starter Kit 2" comes first but is not the same name.
        QCOMPARE(app->row("lstCatSpecial"), 2);
        QCOMPARE(app->list("lstCatSpecial")->currentText(), "WINDOWS STARTER KIT");
        QCOMPARE(app->items("lstSpecial"), (QStringList{"Firefox*", "VC Runtime"}));
        QCOMPARE(app->child<QLineEdit>("txtSpecialSearch")->text(), "Windows Starter Kit");
    }

    void homeButtonsRequestTheirWindows()
    {
        QVERIFY(start());
        QSignalSpy addApp(&w(), &MainWindow::addAppRequested);
        QSignalSpy ddl(&w(), &MainWindow::ddlManagerRequested);
        QSignalSpy findLink(&w(), &MainWindow::findLinkRequested);
        QSignalSpy installManager(&w(), &MainWindow::installManagerRequested);
        const std::pair<const char *, QList<qsizetype>> steps[] = {{"cmdAddApp", {1, 0, 0, 0}},
                                                             {"cmdDDLManager", {1, 1, 0, 0}},
                                                             {"cmdFindLink", {1, 1, 1, 0}},
                                                             {"cmdInstallManager", {1, 1, 1, 1}}};
        for (const auto &[button, counts] : steps) {
            QTest::mouseClick(app->button(button), Qt::LeftButton);
            QCOMPARE((QList<qsizetype>{addApp.count(), ddl.count(), findLink.count(), installManager.count()}), counts);
        }
    }

    void hintsShownWhileHoveringNeverChangeTheLink()
    {
        QVERIFY(start());
        const QString versionLine = app->panel();
        QVERIFY(versionLine.startsWith("Fetchora Version: "));
        const QString link = "https://example.org/firefox.exe";
        app->state.setCurrentLink(link);
        QCOMPARE(app->panel(), link);
        QSignalSpy linkChanged(&app->state, &AppState::currentLinkChanged);

        hover(app->button("cmdGetApps"));
        QTRY_COMPARE(app->panel(), kAppsHint);
        hover(app->button("cmdFInstalls"));
        QTRY_COMPARE(app->panel(), kInstallsHint);
        // Another button has a hint of its own.
        hover(app->button("cmdGetPortable"));
        QTRY_VERIFY(app->panel() != kInstallsHint);
        QVERIFY(!app->panel().isEmpty());
        QVERIFY(app->panel() != kAppsHint);
        QVERIFY(app->panel() != versionLine);
        QVERIFY(app->panel() != link);
        hover(app->button("cmdGetApps"), QPoint(3, 2));
        QTRY_COMPARE(app->panel(), kAppsHint);

        QCOMPARE(app->state.currentLink(), link);
        QCOMPARE(linkChanged.count(), 0);
    }

    // Status line

    void versionLineAtStartAndOnInfoTabsOnly()
    {
        QVERIFY(start());
        const QString version = w().aboutPage->versionLabel->text();
        QVERIFY2(QRegularExpression("^\\d+\\.\\d+\\.\\d+ Beta$").match(version).hasMatch(), qPrintable(version));
        QCOMPARE(version, QString("%1.%2.%3 Beta")
                              .arg(FETCHORA_VERSION_MAJOR)
                              .arg(FETCHORA_VERSION_MINOR)
                              .arg(FETCHORA_VERSION_PATCH));
        const QString line = app->panel();
        QCOMPARE(line, "Fetchora Version: " + version + ", Signature Version: 2024.06.01");

        // Only the information pages show it; the others show the current link.
        int n = 0;
        for (int tab : {int(MainWindow::TabApps), int(MainWindow::TabOptions), int(MainWindow::TabPortable),
                        int(MainWindow::TabAbout), int(MainWindow::TabSlim), int(MainWindow::TabHome), int(MainWindow::TabSpecial),
                        int(MainWindow::TabOptions), int(MainWindow::TabInstall), int(MainWindow::TabHome)}) {
            const QString link = QString("https://example.org/link%1").arg(++n);
            app->state.setCurrentLink(link);
            QCOMPARE(app->panel(), link);
            w().tabs->setCurrentIndex(tab);
            QCOMPARE(w().tabs->currentIndex(), tab);
            QVERIFY2(app->panel() == (isInfoTab(tab) ? line : link),
                     qPrintable(QString("tab %1: %2").arg(tab).arg(app->panel())));
        }
    }

    void versionLineUnknownWithoutVersionFile_data()
    {
        QTest::addColumn<bool>("noDataFolder");
        QTest::newRow("no version file") << false;
        // Nothing listed, and the window still closes.
        QTest::newRow("no data folder") << true;
    }

    void versionLineUnknownWithoutVersionFile()
    {
        QFETCH(bool, noDataFolder);
        QVERIFY(removeVersionFile());
        QVERIFY(start(true, AppRun::Recording, noDataFolder ? besideData("NoSuchData") : dataDir));
        QCOMPARE(app->panel(), versionLine("Unknown"));
        QCOMPARE(app->list("lstCat")->count(), noDataFolder ? 0 : 3);
        QVERIFY(closeApp());
        QVERIFY(!w().isVisible());
    }

    void toolbarHoverShowsVersionLineOnInfoTabsOnly()
    {
        QVERIFY(start());
        const QString line = app->panel();
        ToolBar *bar = w().toolBar;
        QSignalSpy moved(bar, &ToolBar::mouseMoved);
        int n = 0;
        for (int tab : {int(MainWindow::TabHome), int(MainWindow::TabApps), int(MainWindow::TabOptions), int(MainWindow::TabSlim),
                        int(MainWindow::TabAbout), int(MainWindow::TabSpecial)}) {
            w().tabs->setCurrentIndex(tab);
            const QString link = QString("https://example.org/hover%1").arg(++n);
            app->state.setCurrentLink(link);
            QCOMPARE(app->panel(), link);

            // Over a button and over the bare bar right of the buttons; each move a new spot.
            int before = moved.count();
            hover(bar->button(n % 8), QPoint(n, 0));
            QTRY_VERIFY(moved.count() > before);
            QCOMPARE(app->panel(), isInfoTab(tab) ? line : link);

            app->state.setCurrentLink(link + "/bar");
            before = moved.count();
            QTest::mouseMove(bar, QPoint(bar->width() - 120 + n, bar->height() / 2));
            QTRY_VERIFY(moved.count() > before);
            QCOMPARE(app->panel(), isInfoTab(tab) ? line : link + "/bar");
        }
    }

    // Refreshers

    void placeholderOnTabChange()
    {
        QVERIFY(start());
        const char *boxes[] = {"txtAppsSearch", "txtPortableSearch", "txtSlimSearch", "txtInstallSearch"};
        for (int tab : {int(MainWindow::TabApps), int(MainWindow::TabOptions), int(MainWindow::TabInstall),
                        int(MainWindow::TabHome)}) {
            for (const char *name : boxes) {
                QVERIFY2(app->child<QLineEdit>(name), name);
                dirty(app->child<QLineEdit>(name), "firefox");
            }
            w().tabs->setCurrentIndex(tab);
            for (const char *name : boxes)
                QCOMPARE(placeholderState(app->child<QLineEdit>(name)), "Search ... in grey");
        }
        // The Special page's box on a change of its inner page.
        w().tabs->setCurrentIndex(MainWindow::TabSpecial);
        auto *box = app->child<QLineEdit>("txtSpecialSearch");
        QVERIFY(box);
        for (int inner : {int(MainWindow::TabPages), int(MainWindow::TabInstalledApps), int(MainWindow::TabSpecialEntries)}) {
            dirty(box, "defrag");
            w().specialPage->tabs->setCurrentIndex(inner);
            QCOMPARE(placeholderState(box), "Search ... in grey");
        }
    }

    void searchTyping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown"); // after the typing, then after a "d"
        QTest::newRow("cut at bracket") << "abc(" << QStringList{"abc", "abcd"};
        // With an entry selected a "*" names it.
        QTest::newRow("pick mark") << "*" << QStringList{"7-Zip [PICK]"};
    }

    void searchTyping()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabApps);
        if (typed == "*") {
            app->list("lstCat")->setCurrentRow(1);
            QCOMPARE(app->list("lstApps")->text(0), "7-Zip*");
            app->list("lstApps")->setCurrentRow(0);
        }
        auto *box = app->child<QLineEdit>("txtAppsSearch");
        box->setFocus();
        box->clear();
        QTest::keyClicks(box, typed);
        QCOMPARE(box->text(), shown.value(0));
        // Typing goes on from there.
        if (shown.size() > 1) {
            QTest::keyClicks(box, "d");
            QCOMPARE(box->text(), shown.value(1));
        }
    }

    void mirrorLabelFollowsUpdateAddress()
    {
        QVERIFY(start());
        auto *server = app->child<QLineEdit>("txtSignatureServer");
        const QString base = MainWindow::defaultUpdateAddress();
        QVERIFY(!base.isEmpty());
        QCOMPARE(server->text(), base);
        QCOMPARE(label("lblMirror"), "International");
        const std::pair<QString, QString> cases[] = {
            {base + "de/", "German"},
            {"https://mirror.example.com/fetchora/", "Custom"},
            {base, "International"},
            {base + "fr/", "French"},
            {base + "es/", "Custom"},
            {base + "de/", "German"},
            {QString(), "Custom"},
        };
        for (const auto &[address, name] : cases) {
            server->setText(address);
            QCOMPARE(label("lblMirror"), name);
            QCOMPARE(MainWindow::mirrorName(address), name);
        }
    }

    void commandEntriesAreRunNotDownloaded()
    {
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabSpecial);
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabSpecialEntries);
        auto *cats = app->list("lstCatSpecial");
        auto *entries = app->list("lstSpecial");
        // Which of Run, Download and From Page are shown, as seen from `within`.
        auto shown = [&](QWidget *within) {
            QString out;
            for (const char *name : {"cmdRunApp", "cmdDownloadSpecial", "cmdDownloadSpecialFromPage"}) {
                auto *b = app->button(name);
                out += !b ? '?' : b->isVisibleTo(within) ? 'Y' : '-';
            }
            return out;
        };
        cats->setCurrentRow(1);
        QCOMPARE(app->items("lstSpecial"),
                 (QStringList{"Defrag (cmd)", "Command Prompt", "Disk Cleanup cmd", "CMD Shortcuts"}));
        // "Cmd" is not "cmd", and upper case is no command mark either.
        const std::pair<int, const char *> rows[] = {{0, "Y--"}, {1, "-YY"}, {3, "-YY"}, {2, "Y--"}};
        for (const auto &[row, expected] : rows) {
            entries->setCurrentRow(row);
            QCOMPARE(shown(&w()), expected);
        }

        // On the Installed Apps tab none of the three is shown, even with a command selected.
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabInstalledApps);
        QCOMPARE(shown(w().specialPage->special), "---");
        QCOMPARE(shown(&w()), "---");
        // Back on the Special tab the selected command brings the Run button back.
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabSpecialEntries);
        QCOMPARE(shown(&w()), "Y--");
        // Another category with a plain entry selected: downloads again.
        cats->setCurrentRow(2);
        entries->setCurrentRow(1);
        QCOMPARE(entries->currentText(), "VC Runtime");
        QCOMPARE(shown(&w()), "-YY");
    }

    void shortWindowHidesSomeShortcuts()
    {
        QVERIFY(start());
        const double dpi = screenDpi();
        auto setFrameHeight = [&](int frameHeight) {
            w().resize(w().width(), frameHeight - (w().frameGeometry().height() - w().height()));
        };
        auto shown = [&](bool expected) {
            for (const char *name : {"cmdGetHelp", "cmdShowInstalledApps", "cmdAddApp"}) {
                auto *b = app->button(name);
                if (!b || b->isVisibleTo(&w()) != expected)
                    return false;
            }
            return true;
        };
        // The default height shows everything.
        QVERIFY(w().frameGeometry().height() >= twipsToPixels(8300, dpi));
        QVERIFY(shown(true));

        const int threshold = twipsToPixels(7800, dpi); // 520 px at 96 dpi
        setFrameHeight(threshold - 1);
        QTRY_COMPARE(w().frameGeometry().height(), threshold - 1);
        QTRY_VERIFY(shown(false));
        // The other shortcuts stay.
        QVERIFY(app->button("cmdGetApps")->isVisibleTo(&w()));
        QVERIFY(app->button("cmdWinStarterKit")->isVisibleTo(&w()));

        setFrameHeight(twipsToPixels(8300, dpi));
        QTRY_COMPARE(w().frameGeometry().height(), twipsToPixels(8300, dpi));
        QTRY_VERIFY(shown(true));
        setFrameHeight(threshold - 40);
        QTRY_VERIFY(shown(false));
        // 7,800 twips exactly is not below the limit.
        setFrameHeight(threshold);
        QTRY_COMPARE(w().frameGeometry().height(), threshold);
        QTRY_VERIFY(shown(true));
    }

    void noTimerActiveWhenIdle()
    {
        QVERIFY(start());
        QTest::qWait(100);
        QCoreApplication::processEvents();
        QStringList active;
        for (QTimer *t : w().findChildren<QTimer *>()) {
            if (t->isActive())
                active.append(t->objectName().isEmpty() ? t->parent()->metaObject()->className() : t->objectName());
        }
        QVERIFY2(active.isEmpty(), qPrintable(active.join(", ")));
    }

    // Update question

    void updateQuestion_data()
    {
        QTest::addColumn<bool>("versionFile");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("updateRequests");
        QTest::newRow("no version file, yes") << false << true << 1;
        QTest::newRow("no version file, no") << false << false << 0;
        QTest::newRow("version file: nothing asked") << true << true << 0;
    }

    void updateQuestion()
    {
        QFETCH(bool, versionFile);
        QFETCH(bool, answer);
        QFETCH(int, updateRequests);
        QVERIFY(versionFile || removeVersionFile());
        QVERIFY(start());
        app->prompter.answers = {answer};
        QSignalSpy update(&w(), &MainWindow::updateWindowRequested);
        w().askForUpdateIfNeeded();
        QCOMPARE(app->prompter.messages.size(), versionFile ? 0 : 1);
        if (!versionFile) {
            QCOMPARE(app->prompter.messages.first().kind, "ask");
            QCOMPARE(app->prompter.messages.first().text, kUpdateQuestion);
        }
        QCOMPARE(update.count(), updateRequests);
        QVERIFY(w().isVisible());
    }

    // Settings

    void settingsRoundTrip()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const double dpi = screenDpi();
        // Wider than the window's smallest width, within the screen.
        const QSize frameSize(qMin(780, screen.width()), 600);
        const QPoint framePos(screen.left() + 20, screen.top() + 30);
        QVERIFY(frameSize.height() <= screen.height());
        // Category lists and the row chosen in each, then what that row lists.
        const std::tuple<const char *, int, const char *, QStringList> lists[] = {
            {"lstCat", 2, "lstApps", {"Everything"}},
            {"lstCatPortable", 1, "lstPortable", {"Portable 7-Zip"}},
            {"lstCatSlim", 0, "lstSlim", {"Slim Player"}},
            {"lstCatSpecial", 1, nullptr, {}},
            {"lstCatPages", 1, "lstPages", {"Online Scanner"}},
            {"lstCatInstall", 1, "lstInstall", {"Silent B"}}};
        const std::pair<QCheckBox *OptionsPage::*, bool> checks[] = {
            {&OptionsPage::trayCheck, true}, {&OptionsPage::autoUpdateCheck, false},
            {&OptionsPage::adSupportWarningCheck, true}, {&OptionsPage::jdownloaderCheck, true},
            {&OptionsPage::doubleClickCheck, false}};

        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabSpecial);
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabPages);
        for (const auto &[cats, row, entries, listed] : lists)
            app->list(cats)->setCurrentRow(row);
        for (const auto &[box, on] : checks)
            (w().optionsPage->*box)->setChecked(on);
        OptionsPage *options = w().optionsPage;
        options->jdownloaderPathEdit->setText(kJDownloader);
        options->themeCombo->setCurrentIndex(3);
        const QSize extra = w().frameGeometry().size() - w().size();
        QVERIFY(w().minimumSizeHint().width() + extra.width() <= frameSize.width());
        w().resize(frameSize - extra);
        w().move(framePos);
        QTRY_COMPARE(w().frameGeometry().size(), frameSize);
        QTRY_COMPARE(w().frameGeometry().topLeft(), framePos);
        QVERIFY(closeApp());
        QVERIFY(!w().isVisible());
        app.reset();

        // What the file holds, read by a fresh engine.
        QVERIFY(QFileInfo(settingsPath()).isFile());
        const QString text = QString::fromUtf8(readFile(settingsPath()));
        QVERIFY(text.contains("[WindowState]"));
        QVERIFY(text.contains("[frmMain]"));
        QCOMPARE(stored("WindowState", "Height"), QString::number(pixelsToTwips(600, dpi)));
        if (qFuzzyCompare(dpi, 96.0)) {
            QCOMPARE(stored("WindowState", "Height"), "9000");
            QCOMPARE(stored("WindowState", "Width"), QString::number(frameSize.width() * 15));
            QCOMPARE(stored("WindowState", "Left"), QString::number(framePos.x() * 15));
            QCOMPARE(stored("WindowState", "Top"), QString::number(framePos.y() * 15));
        } else {
            qInfo("screen at %s twips per pixel", qPrintable(QString::number(1440.0 / dpi)));
        }
        QCOMPARE(stored("WindowState", "Width"), QString::number(pixelsToTwips(frameSize.width(), dpi)));
        QCOMPARE(stored("WindowState", "Left"), QString::number(pixelsToTwips(framePos.x(), dpi)));
        QCOMPARE(stored("WindowState", "Top"), QString::number(pixelsToTwips(framePos.y(), dpi)));
        const std::pair<const char *, QString> keys[] = {
            {"Tab", "6"}, {"Tab2", "1"}, {"CatApps", "2"}, {"CatPortable", "1"}, {"CatSlim", "0"},
            {"CatSpecial", "1"}, {"CatPages", "1"}, {"CatInstall", "1"}, {"chkSystray", "1"},
            {"chkAutoUpdate", "0"}, {"chkAdSupportWarning", "1"}, {"chkJDownloaderSupport", "1"},
            {"chkPerformOpsWithDoubleClick", "0"}, {"cboTheme", "3"}, {"txtJDownloaderPath", kJDownloader}};
        for (const auto &[key, value] : keys)
            QCOMPARE(stored("frmMain", key), value);

        // The next start on the same folder comes back as it was left.
        QVERIFY(start());
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabSpecial));
        QCOMPARE(w().specialPage->tabs->currentIndex(), int(MainWindow::TabPages));
        for (const auto &[cats, row, entries, listed] : lists) {
            QCOMPARE(app->row(cats), row);
            if (entries)
                QCOMPARE(app->items(entries), listed);
        }
        QCOMPARE(app->list("lstSpecial")->count(), 4);
        QCOMPARE(label("lblCountInstall"), "1");
        options = w().optionsPage;
        for (const auto &[box, on] : checks)
            QCOMPARE((options->*box)->isChecked(), on);
        QCOMPARE(options->jdownloaderPathEdit->text(), kJDownloader);
        QCOMPARE(options->themeCombo->currentIndex(), 3);
        // The rest of the program sees the restored options.
        QVERIFY(app->state.options().systray);
        QCOMPARE(app->state.options().themeIndex, 3);
        QCOMPARE(app->state.options().jdownloaderPath, kJDownloader);
        QTRY_COMPARE(w().frameGeometry().size(), frameSize);
        QCOMPARE(w().frameGeometry().topLeft(), framePos);
    }

    void emptiedTextBoxStaysEmpty()
    {
        QVERIFY(start());
        QVERIFY(!w().optionsPage->jdownloaderPathEdit->text().isEmpty());
        w().optionsPage->jdownloaderPathEdit->clear();
        QVERIFY(closeApp());
        for (int round = 0; round < 2; ++round) {
            QVERIFY(start());
            QCOMPARE(w().optionsPage->jdownloaderPathEdit->text(), QString());
            QCOMPARE(app->state.options().jdownloaderPath, QString());
            QVERIFY(closeApp());
        }
        const auto value = ProfileEngine().value(settingsPath(), "frmMain", "txtJDownloaderPath");
        QVERIFY(value.has_value());
        QCOMPARE(*value, QString());
    }

    void restoreCategoryOutOfRangeSelectsNothing()
    {
        QVERIFY(put("Fetchora.ini", "[frmMain]\r\nTab=1\r\nCatApps=5\r\nCatPortable=1\r\n"
                                    "CatSlim=-7\r\nCatInstall=2\r\nCatPages=2\r\nTab2=9\r\n"));
        QVERIFY(start());
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabApps));
        QCOMPARE(app->row("lstCat"), -1);
        QCOMPARE(app->list("lstApps")->count(), 0);
        QCOMPARE(app->list("lstCat")->count(), 3);
        // The valid one in the same file is applied.
        QCOMPARE(app->row("lstCatPortable"), 1);
        QCOMPARE(app->items("lstPortable"), QStringList{"Portable 7-Zip"});
        QCOMPARE(app->row("lstCatSlim"), -1);
        QCOMPARE(app->row("lstCatInstall"), -1);
        QCOMPARE(app->list("lstInstall")->count(), 0);
        QCOMPARE(app->row("lstCatPages"), -1);
        QCOMPARE(app->list("lstPages")->count(), 0);
        QCOMPARE(w().specialPage->tabs->currentIndex(), 0);
    }

    void restorePositionFarOffScreenIgnored()
    {
        const QRect baseline = defaultFrame();
        QVERIFY(baseline.isValid());
        QVERIFY(put("Fetchora.ini", "[WindowState]\r\nLeft=40000\r\n"));
        QVERIFY(start());
        const QRect frame = w().frameGeometry();
        QVERIFY(frame.x() != twipsToPixels(40000, screenDpi()));
        QCOMPARE(frame.topLeft(), baseline.topLeft());
        QCOMPARE(frame.size(), baseline.size());
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(frame));
    }

    void restoreNegativeLeftApplied()
    {
        const QRect baseline = defaultFrame();
        QVERIFY(baseline.isValid());
        const double dpi = screenDpi();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.width() >= 200);
        const int topTwips = pixelsToTwips(screen.top() + 100, dpi);
        // No stored size: the window keeps its own, so only the position is under test.
        QVERIFY(put("Fetchora.ini", "[WindowState]\r\nLeft=-500\r\nTop=" + QByteArray::number(topTwips) + "\r\n"));
        QVERIFY(start());
        // -500 twips is a few pixels left of the screen edge; the title bar is still there to grab.
        const QPoint expected(twipsToPixels(-500, dpi), twipsToPixels(topTwips, dpi));
        QVERIFY(expected.x() < 0);
        QVERIFY(expected != baseline.topLeft());
        QTRY_COMPARE(w().frameGeometry().topLeft(), expected);
        QCOMPARE(w().frameGeometry().size(), baseline.size());
    }

    void restoreNonNumericValuesIgnored()
    {
        const QRect baseline = defaultFrame();
        QVERIFY(baseline.isValid());
        const int top = QGuiApplication::primaryScreen()->availableGeometry().top() + 20;
        QVERIFY(put("Fetchora.ini", "[WindowState]\r\nLeft=abc\r\nTop="
                                        + QByteArray::number(pixelsToTwips(top, screenDpi()))
                                        + "\r\nHeight=tall\r\nWidth=\r\n[frmMain]\r\nTab=two\r\nCatApps=x1\r\n"
                                          "chkSystray=yes\r\ncboTheme=dark\r\n"));
        QVERIFY(start());
        QCOMPARE(w().frameGeometry().size(), baseline.size());
        QCOMPARE(w().frameGeometry().x(), baseline.x());
        // The valid value next to them is still applied.
        QCOMPARE(w().frameGeometry().y(), top);
        QCOMPARE(w().tabs->currentIndex(), int(MainWindow::TabHome));
        QCOMPARE(app->row("lstCat"), -1);
        QVERIFY(!w().optionsPage->trayCheck->isChecked());
        QCOMPARE(w().optionsPage->themeCombo->currentIndex(), 0);
    }

    void closeWithReadOnlyDataFolder()
    {
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabSlim);
        m_readOnlyDir = dataDir;
        QVERIFY(QFile::setPermissions(dataDir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                                   | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(closeApp());
        QVERIFY(!w().isVisible());
        // Where the folder really is read-only (not for the superuser) nothing was written.
        QFile probe(dataFile("probe.tmp"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
        } else {
            QVERIFY(!QFileInfo::exists(settingsPath()));
        }
        // The catalogue is untouched.
        QVERIFY(QFileInfo(dataFile("FOApps.def")).isFile());
    }

    void closeWhenSettingsFileCannotBeWritten()
    {
        // A folder where the settings file belongs: no writer can replace it, not even the superuser.
        QVERIFY(QDir().mkpath(settingsPath()));
        QVERIFY(start());
        w().tabs->setCurrentIndex(MainWindow::TabApps);
        QVERIFY(closeApp());
        QVERIFY(!w().isVisible());
        QVERIFY(QFileInfo(settingsPath()).isDir());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
