#include "WindowFixture.h"

#include "actions/ui/AdSupportedNotice.h"
#include "app/BrowseController.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "platform/Placement.h"
#include "widgets/ToolBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>

using namespace fetchora;
using namespace fetchora::test;

// The real main window driven with mouse and keys: start-up, navigation, its
// own settings, browsing the catalogue and acting on the chosen entry.
class MainWindowTest : public QObject, public WindowFixture
{
    Q_OBJECT

    CataloguePage *m_page = nullptr;

    MainWindow &w() { return app->window; }
    bool pick(const QString &entry, Qt::MouseButton b = Qt::LeftButton) { return clickRow(m_page->entries, entry, b); }
    // Shows a database's page and clicks a category there, by default its first.
    bool go(Database db, const QString &category = {})
    {
        SpecialPage *sp = w().specialPage;
        m_page = QList<CataloguePage *>{w().appsPage, w().portablePage, w().slimPage, sp->special, sp->pages}[int(db)];
        const int tab = w().tabs->indexOf(m_page); // -1 for the pages inside the Special page
        return showTab(w(), tab < 0 ? int(MainWindow::TabSpecial) : tab, sp->tabs->indexOf(m_page))
            && clickRow(m_page->categories, category.isEmpty() ? m_page->categories->text(0) : category);
    }
    // The current link, and the status bar's text where that differs; then the
    // page's direct download button, its from-page (or visit) button and its
    // menu's default item: '1' enabled, '0' disabled, '-' none.
    QString chosen()
    {
        const QString link = app->state.currentLink();
        auto on = [](const auto *control) { return control ? (control->isEnabled() ? '1' : '0') : '-'; };
        const char offers[] = {' ', on(m_page->download), on(m_page->fromPage),
                               on(w().browseController->entryMenu(m_page->database())->defaultAction()), 0};
        return (link == app->panel() ? link : link + " (status bar: " + app->panel() + ")") + offers;
    }
    // What went beyond the window: downloads, messages (a question with its title
    // and last word), what the browser was given.
    QString outcome()
    {
        QStringList out;
        for (const QString &link : std::as_const(app->downloads))
            out << "downloaded " + link;
        for (const auto &m : app->prompter.messages)
            out << m.kind + (m.title.isEmpty() ? QString() : ' ' + m.title + ": " + m.text.split(' ').last());
        for (const QUrl &url : app->shell.opened)
            out << "opened " + url.toString();
        return out.join(", ");
    }
    static QStringList notices() // the captions of the ad-supported notices on screen
    {
        QStringList out;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *notice = qobject_cast<AdSupportedNotice *>(window); notice && notice->isVisible())
                out << notice->captionLabel->text();
        return out;
    }
    // Main page, Special inner page, the chosen categories of Apps, Portable and Special.
    QString shown()
    {
        return QString("%1 %2 %3 %4 %5")
            .arg(w().tabs->currentIndex())
            .arg(w().specialPage->tabs->currentIndex())
            .arg(app->row("lstCat"))
            .arg(app->row("lstCatPortable"))
            .arg(app->row("lstCatSpecial"));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(setUpFolder());
        QByteArray special = crlf({"[Special Apps]", "Special Blocked=https://example.org/abc/sb.exe",
                                   "CMD Shortcuts=https://example.org/cmd.zip", "[Commands]",
                                   "Write cmd=touch \"DIR/from-button\"", "Touch cmd=touch \"DIR/from-double\"",
                                   "Broken cmd=/nonexistent/program", "[Windows Starter Kit 2]",
                                   "[WINDOWS STARTER KIT]", "VC=https://example.org/vc.exe"});
        QVERIFY(put({{"FOApps.def",
                      crlf({"[Browsers]", "NoLink=", "Firefox=https://example.org/firefox.exe",
                            "Firebird=https://example.org/abc/firebird.exe", "7-Zip*=x", "[Cleaners]",
                            "CCleaner Free=https://example.org/ccf.exe", "Defraggler=x"})},
                     {"FOPortable.def", crlf({"[Portable Apps]", "Portable Blocked=https://example.org/abc/pb.exe"})},
                     {"FOSlim.def", crlf({"[Slim Apps]", "CCleaner Slim=https://example.org/ccs.exe"})},
                     {"FOSpecial.def", special.replace("DIR", tmp->path().toUtf8())},
                     {"FOPages.def", crlf({"[Help Pages]", "Blocked Page=file:///abc/page"})},
                     {"FOVersion.ini", crlf({"[Signature]", "Version=1"})},
                     {"FOBlacklist.def", crlf({"/abc/"})},
                     {"FOAdware.def", crlf({"CCleaner"})}}));
        QVERIFY(start());
    }

    void cleanup() { tearDown(); }

    // Start-up, settings and navigation

    void updateQuestionAtStart_data()
    {
        QTest::addColumn<bool>("versionFile");
        QTest::addColumn<bool>("answer");
        // What was said, the update windows asked for, the catalogue version in the status bar.
        QTest::addColumn<QString>("said");
        // clang-format off
        QTest::newRow("no version file, yes") << false << true << "ask 1 Unknown";
        QTest::newRow("no version file, no") << false << false << "ask 0 Unknown";
        QTest::newRow("version file") << true << true << " 0 1";
        // What went wrong while starting is told first: here a signature list that cannot be read.
        QTest::newRow("unreadable list") << false << true << "warn, ask 1 Unknown";
        // clang-format on
    }

    void updateQuestionAtStart()
    {
        QFETCH(bool, versionFile);
        QFETCH(bool, answer);
        QFETCH(QString, said);
        QVERIFY(versionFile || QFile::remove(dataFile("FOVersion.ini")));
        // A folder in a list file's place cannot be read.
        QVERIFY(!said.startsWith("warn") || QDir().mkpath(dataFile("FOSignatures.ddl")));
        QVERIFY(start());
        app->prompter.answers = {answer};
        QSignalSpy update(&w(), &MainWindow::updateWindowRequested);
        w().afterShown();
        QCOMPARE(outcome() + ' ' + QString::number(update.count()) + ' ' + app->panel().section(' ', -1), said);
    }

    void choicesSurviveReloadAndRestart()
    {
        QVERIFY(go(Database::Apps, "Cleaners") && pick("Defraggler"));
        QVERIFY(showTab(w(), MainWindow::TabSpecial, MainWindow::TabPages));
        app->list("lstCatSpecial")->setCurrentRow(3);
        w().optionsPage->adSupportWarningCheck->setChecked(true);
        const QRect frame(w().screen()->availableGeometry().topLeft() + QPoint(20, 30), QSize(780, 600));
        w().resize(frame.size() - (w().frameGeometry().size() - w().size()));
        w().move(frame.topLeft());
        QTRY_COMPARE(w().frameGeometry(), frame);

        // An update replaced the files: the window shows them and keeps what was chosen.
        QVERIFY(put({{"FOApps.def", crlf({"[Browsers]", "[Cleaners]", "New=x", "Defraggler=x", "[Games]"})},
                     {"FOBlacklist.def", crlf({"new-host"})},
                     {"FOVersion.ini", crlf({"[Signature]", "Version=2"})}}));
        w().reload();
        QCOMPARE(app->items("lstCat") + app->items("lstApps") + app->items("lstBlacklist"),
                 QStringList({"Browsers", "Cleaners", "Games", "New", "Defraggler", "new-host"}));
        QCOMPARE(shown() + ' ' + app->child<QLabel>("lblCountApps")->text(), "6 1 1 -1 3 2");
        // The old selection's link went with the entry list.
        QVERIFY(app->state.currentLink().isEmpty() && app->panel().endsWith("Signature Version: 2"));

        QVERIFY(closeApp());
        QStringList saved;
        for (const char *key : {"Tab", "Tab2", "CatApps", "CatPortable", "CatSpecial"})
            saved << app->engine.readString(dataFile("Fetchora.ini"), "frmMain", key);
        saved << app->engine.readString(dataFile("Fetchora.ini"), "WindowState", "Height");
        const int heightTwips = pixelsToTwips(600, w().screen()->logicalDotsPerInch());
        QCOMPARE(saved.join(' '), "6 1 1 -1 3 " + QString::number(heightTwips));
        QVERIFY(start());
        QCOMPARE(shown(), "6 1 1 -1 3");
        // A restored category lists its entries.
        QCOMPARE(app->items("lstApps") + app->items("lstSpecial"), QStringList({"New", "Defraggler", "VC"}));
        QVERIFY(app->state.options().adSupportWarning);
        QTRY_COMPARE(w().frameGeometry(), frame);
    }

    void navigation()
    {
        // Something showed the Apps download button on Home: the toolbar's Home hides it all the same.
        app->button("cmdDownload")->setVisible(true);
        QTest::mouseClick(w().toolBar->button(0), Qt::LeftButton);
        QVERIFY(w().tabs->currentIndex() == MainWindow::TabHome && app->button("cmdDownload")->isHidden());
        // The Starter Kit is the category of exactly that name, case aside, not one that starts with it.
        w().specialPage->tabs->setCurrentIndex(MainWindow::TabInstalledApps);
        QTest::mouseClick(app->button("cmdWinStarterKit"), Qt::LeftButton);
        QCOMPARE(shown() + ' ' + app->items("lstSpecial").join(' '), "6 0 -1 -1 3 VC");
        QCOMPARE(app->child<QLineEdit>("txtSpecialSearch")->text(), "Windows Starter Kit");
    }

    void shortWindowHidesThreeShortcuts()
    {
        // Get Help, Snapshot and Add App go below 7,800 twips; Get Apps stays.
        for (const auto &[pixels, expected] : {std::pair{-1, "0001"}, std::pair{0, "1111"}}) {
            const int height = twipsToPixels(7800, w().screen()->logicalDotsPerInch()) + pixels;
            w().resize(w().width(), height - (w().frameGeometry().height() - w().height()));
            QTRY_COMPARE(w().frameGeometry().height(), height);
            QString shown;
            for (const char *name : {"cmdGetHelp", "cmdShowInstalledApps", "cmdAddApp", "cmdGetApps"})
                shown += app->button(name)->isVisibleTo(&w()) ? '1' : '0';
            QCOMPARE(shown, expected);
        }
    }

    // Browsing and the actions on an entry

    void actingOnAnEntry_data()
    {
        QTest::addColumn<Database>("db");
        QTest::addColumn<QString>("entry");
        // How: "click", "right" button, "double" click, double "on" with the option, "yes" to a question.
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected"); // chosen(), the menu popped up and its default item, outcome()
        const QString fox = "https://example.org/firefox.exe", bird = "https://example.org/abc/firebird.exe";
        // clang-format off
        QTest::newRow("Apps") << Database::Apps << "Firefox" << "click" << fox + " 111";
        QTest::newRow("Apps, barred") << Database::Apps << "Firebird" << "click" << bird + " 010";
        QTest::newRow("Special, barred") << Database::Special << "Special Blocked" << "right"
                                         << "https://example.org/abc/sb.exe 010 mnSpecial mnuDownloadSpecial";
        // No blacklist for pages; a link that is no web address is not opened.
        QTest::newRow("Pages") << Database::Pages << "Blocked Page" << "right"
                               << "file:///abc/page -11 mnPages mnuVisitPage";
        QTest::newRow("double click off") << Database::Apps << "Firefox" << "double yes" << fox + " 111";
        QTest::newRow("double click") << Database::Apps << "Firefox" << "double on" << fox + " 111 downloaded " + fox;
        QTest::newRow("double click, barred, page wanted") << Database::Apps << "Firebird" << "double on yes"
            << bird + " 010 ask DDL not available for Firebird: " + bird + ", opened " + bird;
        QTest::newRow("double click, barred, no page") << Database::Portable << "Portable Blocked" << "double on"
            << "https://example.org/abc/pb.exe 010 ask DDL not available for Portable Blocked: "
               "https://example.org/abc/pb.exe";
        QTest::newRow("double click, page") << Database::Pages << "Blocked Page" << "double on"
            << "file:///abc/page -11 warn";
        QTest::newRow("double click, CMD in capitals is no command")
            << Database::Special << "CMD Shortcuts" << "double on"
            << "https://example.org/cmd.zip 111 downloaded https://example.org/cmd.zip";
        // clang-format on
    }

    void actingOnAnEntry()
    {
        QFETCH(Database, db);
        QFETCH(QString, entry);
        QFETCH(QString, how);
        QFETCH(QString, expected);
        w().optionsPage->doubleClickCheck->setChecked(how.contains("on"));
        app->prompter.answers = {how.contains("yes")};
        QVERIFY(go(db));
        QVERIFY(how.startsWith("double") ? doubleClickRow(m_page->entries, entry)
                                         : pick(entry, how == "right" ? Qt::RightButton : Qt::LeftButton));
        QString got = chosen();
        if (how == "right") {
            QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            got += ' ' + menu->objectName() + ' ' + menu->defaultAction()->objectName();
        }
        QCOMPARE((got + ' ' + outcome()).trimmed(), expected);
    }

    void everyClickOnARowActs()
    {
        const QString fox = "https://example.org/firefox.exe";
        QSignalSpy listed(w().appsPage, &CataloguePage::categoryListed);
        QSignalSpy picked(w().browseController, &BrowseController::entryChosen);
        QVERIFY(go(Database::Apps));
        // A click on a new row chooses it once; a click on the chosen row chooses it again.
        QVERIFY(pick("Firefox") && pick("Firefox"));
        QCOMPARE(picked.count(), 2);
        // Keys choose on each move; an entry without a link leaves link and buttons as they were.
        QTest::keyClick(m_page->entries, Qt::Key_Down);
        QTest::keyClick(m_page->entries, Qt::Key_Home);
        QCOMPARE(m_page->entries->currentText() + ' ' + chosen() + ' ' + QString::number(picked.count()),
                 "NoLink https://example.org/abc/firebird.exe 010 4");

        // Pointing at an action button names the chosen entry in the search box, not in the status bar.
        hover(m_page->fromPage);
        QTRY_COMPARE(m_page->search->text() + ' ' + chosen(), "NoLink https://example.org/abc/firebird.exe 010");
        // Home shows the version line, then a hint over it; the hint stays on the Apps page, and
        // the actions still use the link.
        QVERIFY(pick("Firefox") && showTab(w(), MainWindow::TabHome) && app->panel().endsWith("Version: 1"));
        hover(app->button("cmdGetApps"));
        QTRY_VERIFY(!app->panel().endsWith("Version: 1"));
        const QString hint = app->panel();
        app->action("mnuDownload")->trigger();
        app->action("mnuDownloadFromPage")->trigger();
        app->action("mnuURLtoClipboard")->trigger();
        QCOMPARE(outcome() + ' ' + QGuiApplication::clipboard()->text(),
                 "downloaded " + fox + ", opened " + fox + ' ' + fox);
        QVERIFY(showTab(w(), MainWindow::TabApps) && app->panel() == hint && hint != fox);
        // A click on the chosen entry shows its link again.
        QVERIFY(pick("Firefox"));
        QCOMPARE(chosen(), fox + " 111");

        // A click on the chosen category reads its file again; nothing to download until an entry is chosen.
        QVERIFY(put("FOApps.def", crlf({"[Browsers]", "Firefox=https://example.org/firefox.exe", "Vivaldi=x"})));
        QVERIFY(clickRow(m_page->categories, "Browsers"));
        QCOMPARE(m_page->entries->items(), QStringList({"Firefox", "Vivaldi"}));
        QCOMPARE(chosen() + ' ' + QString::number(listed.count()), fox + " 000 2");
    }

    void adSupportedNotice()
    {
        QVERIFY(go(Database::Apps, "Cleaners") && pick("CCleaner Free"));
        QCOMPARE(notices(), QStringList());
        w().optionsPage->adSupportWarningCheck->setChecked(true);
        QVERIFY(app->list("lstAdware")->isEnabled() && pick("CCleaner Free"));
        QCOMPARE(notices(), QStringList{"Fetchora - CCleaner Free"});
        QVERIFY(pick("Defraggler"));
        QCOMPARE(notices(), QStringList());
        // One notice, captioned for the latest match; the Slim list warns as well.
        QVERIFY(pick("CCleaner Free") && go(Database::Slim) && pick("CCleaner Slim"));
        QCOMPARE(notices(), QStringList{"Fetchora - CCleaner Slim"});
        // Closed by its button, it comes back with a click on the same entry, to stay.
        QTest::mouseClick(w().browseController->adSupportedNotice()->acknowledgeButton, Qt::LeftButton);
        QCOMPARE(notices(), QStringList());
        QVERIFY(pick("CCleaner Slim"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(notices(), QStringList{"Fetchora - CCleaner Slim"});
    }

    void commandEntriesRunAndFailedLaunchesAreTold()
    {
        QVERIFY(go(Database::Special, "Commands") && pick("Write cmd"));
        ThemedButton *run = app->button("cmdRunApp");
        QVERIFY(run->isVisible() && !m_page->download->isVisible() && !app->action("mnuDownloadSpecial")->isEnabled());
        QTest::mouseClick(run, Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(besideData("from-button")));
        w().optionsPage->doubleClickCheck->setChecked(true);
        QVERIFY(doubleClickRow(m_page->entries, "Touch cmd"));
        QTRY_VERIFY(QFile::exists(besideData("from-double")));
        // A command that cannot start is reported, and so is a list file that cannot be opened for editing.
        QVERIFY(pick("Broken cmd"));
        QTest::mouseClick(run, Qt::LeftButton);
        app->shell.result = false;
        app->action("mnuEditBlacklist")->trigger();
        QCOMPARE(outcome(), "warn, warn, opened " + QUrl::fromLocalFile(dataFile("FOBlacklist.def")).toString());
    }

    void searchBox()
    {
        QVERIFY(go(Database::Apps) && pick("7-Zip*"));
        QCOMPARE(m_page->search->text(), "7-Zip [PICK]");
        QCOMPARE(m_page->search->palette().color(QPalette::Text), QColor(64, 64, 64));
        QTest::mouseClick(m_page->search, Qt::LeftButton);
        QTest::keyClicks(m_page->search, "abc(");
        QCOMPARE(m_page->search->text(), "abc");
        // Each typing key finds the next entry holding the text, case aside, cursor keys do not;
        // after the last one found the next search starts at the top, the cursor behind the text.
        m_page->search->setText("FIRE");
        QStringList found;
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Left, Qt::Key_Return, Qt::Key_Return, Qt::Key_Return}) {
            m_page->search->setCursorPosition(0);
            QTest::keyClick(m_page->search, key);
            found << m_page->entries->currentText() + " @" + QString::number(m_page->search->cursorPosition());
        }
        QCOMPARE(found.join(", "), "Firefox @0, Firefox @0, Firebird @0, Firebird @4, Firefox @0");
        // Another page puts the placeholder back.
        QVERIFY(showTab(w(), MainWindow::TabHome) && showTab(w(), MainWindow::TabApps));
        QCOMPARE(m_page->search->text(), "Search ...");
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
