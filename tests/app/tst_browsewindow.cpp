#include "TestSupport.h"

#include "ProductUrls.h"
#include "actions/frmAdware.h"
#include "app/BrowseController.h"
#include "app/frmMain.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "platform/ProfileEngine.h"
#include "platform/gui/DesktopShell.h"
#include "state/AppState.h"
#include "widgets/ListBox.h"
#include "widgets/isButton.h"
#include "widgets/ucStatusBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

using namespace fetchora;
using fetchora::test::RecordingShell;
using fetchora::test::ScriptedPrompter;
using fetchora::test::writeFile;

// Receives what the program hands to the desktop (browser, mail client, file
// opener), so nothing leaves the machine.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList urls; // as the desktop would get them, fully encoded
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url.toString(QUrl::FullyEncoded)); }
};

namespace {

const QColor kEditingGrey(64, 64, 64);
const QString kPlaceholder = QStringLiteral("Search ...");
const QString kAppsHint = QStringLiteral(
    "Here you will find a list of the Best and most common Applications for every purpose.");

// One program start with the real desktop shell (its addresses end up in the
// UrlCatcher) or a recording one, and a direct-download handler that records
// the links a download would fetch.
struct Session
{
    ProfileEngine engine;
    DesktopShell desktop;
    RecordingShell recording;
    ScriptedPrompter prompter;
    QStringList downloads;
    AppState state;
    frmMain window;

    Session(const QString &dataDir, bool useRecordingShell)
        : state(engine, useRecordingShell ? static_cast<Shell &>(recording) : static_cast<Shell &>(desktop),
                prompter, dataDir),
          window(state)
    {
        state.setDirectDownloadHandler([this](const QString &link) { downloads.append(link); });
    }

    template <typename T> T *child(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    ListBox *list(const char *name) { return child<ListBox>(name); }
    QAction *action(const char *name) { return child<QAction>(name); }
    isButton *button(const char *name) { return child<isButton>(name); }
    QString panel() const { return window.ucStatusBar1->panelText(0); }
};

QString dataFileText(const char *text, const QString &dir = {})
{
    QString s = QString::fromUtf8(text);
    s.replace(QStringLiteral("DIR"), dir);
    return s;
}

// The catalogue every test starts from. Links under "/abc/" are barred by the
// default blacklist; "/ABC/" is not.
bool writeCatalogue(const QString &dataDir, const QString &workDir)
{
    bool ok = true;
    auto put = [&](const char *name, const QString &text) {
        ok = writeFile(QDir(dataDir).filePath(QLatin1String(name)), text.toUtf8()) && ok;
    };
    put("FOApps.def", dataFileText(
        "[Browsers]\r\n"
        "Opera=https://example.org/opera/opera.exe\r\n"
        "Firefox=https://example.org/mozilla/firefox.exe\r\n"
        "Firebird=https://example.org/abc/firebird.exe\r\n"
        "Thunderbird=https://example.org/ABC/thunderbird.exe\r\n"
        "[Cleaners]\r\n"
        "NoLink Cleaner=\r\n"
        "CCleaner Free=https://example.org/ccleaner/free.exe\r\n"
        "ccleaner lite=https://example.org/ccleaner/lite.exe\r\n"
        "Defraggler=https://example.org/defraggler.exe\r\n"
        "Blocked Cleaner=https://example.org/abc/blocked.exe\r\n"
        "BundleWare Tool=https://example.org/bundle.exe\r\n"
        "[Names]\r\n"
        "7-Zip*=https://example.org/7z.exe\r\n"
        "CCleaner Pro (x64)=https://example.org/ccpro.exe\r\n"
        "Quick search ... helper=https://example.org/qs.exe\r\n"
        "Odd Link=https://example.org/get it.exe?a=1&b=2#part 50%\r\n"
        "[Sorting]\r\n"
        "beta=https://example.org/abc/beta.exe\r\n"
        "Alpha=https://example.org/alpha.exe\r\n"
        "Zulu=https://example.org/zulu.exe\r\n"
        "alpha=https://example.org/alpha2.exe\r\n"
        "Foo\u00A6\u00A6Bar=https://example.org/foobar.exe\r\n"
        "[Empty]\r\n"
        "[Tools\u00A6\u00A6Extra]\r\n"
        "Everything=https://example.org/everything.exe\r\n"));
    put("FOPortable.def", dataFileText(
        "[Portable Apps]\r\n"
        "CCleaner Portable=https://example.org/portable/ccp.exe\r\n"
        "Portable Blocked=https://example.org/abc/pb.exe\r\n"
        "Portable Other=https://example.org/portable/other.exe\r\n"
        "[Portable Two]\r\n"
        "Portable Two=https://example.org/portable/two.exe\r\n"));
    put("FOSlim.def", dataFileText(
        "[Slim Apps]\r\n"
        "CCleaner Slim=https://example.org/slim/ccs.exe\r\n"
        "Slim Blocked=https://example.org/abc/sb.exe\r\n"
        "Slim Other=https://example.org/slim/other.exe\r\n"
        "[Slim Two]\r\n"
        "Slim Two=https://example.org/slim/two.exe\r\n"));
    put("FOSpecial.def", dataFileText(
        "[Special Apps]\r\n"
        "CCleaner Special=https://example.org/special/ccs.exe\r\n"
        "Special Blocked=https://example.org/abc/spb.exe\r\n"
        "Special Other=https://example.org/special/other.exe\r\n"
        "[Commands]\r\n"
        "Touch cmd=touch \"DIR/with blank\" DIR/semi;colon\r\n"
        "Write cmd=touch DIR/from-button\r\n"
        "Broken cmd=/nonexistent/program --flag\r\n"
        "CMD Shortcuts=https://example.org/cmd-shortcuts.zip\r\n",
        workDir));
    put("FOPages.def", dataFileText(
        "[Help Pages]\r\n"
        "Help Forum=https://example.org/forum\r\n"
        "Blocked Page=https://example.org/abc/page\r\n"
        "[Scanners]\r\n"
        "Online Scanner=https://example.org/scan\r\n"));
    put("FInstalls.def", dataFileText("[Install Set]\r\nSilent A=setup-a.exe /S\r\n"));
    put("FOVersion.ini", dataFileText("[Signature]\r\nVersion=2024.06.01\r\n"));
    put("FOBlacklist.def", dataFileText("/abc/\r\nblocked.example.net\r\n"));
    put("FOAdware.def", dataFileText("CCleaner\r\nBundleWare\r\n"));
    put("FOSignatures.ddl", dataFileText("FOApps.def\r\nFOPortable.def\r\n"));
    return ok;
}

int rowOf(const ListBox *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->text(i) == text)
            return i;
    }
    return -1;
}

QPoint rowCentre(ListBox *list, int row)
{
    return list->visualRect(list->model()->index(row, 0)).center();
}

// Presses the mouse on a line the way a user does; false when the line is not
// listed or not on screen.
bool clickLine(ListBox *list, const QString &text, Qt::MouseButton button = Qt::LeftButton)
{
    if (!list || !list->isVisible())
        return false;
    const int row = rowOf(list, text);
    if (row < 0)
        return false;
    list->scrollTo(list->model()->index(row, 0));
    const QPoint at = rowCentre(list, row);
    if (!list->viewport()->rect().contains(at))
        return false;
    QTest::mouseClick(list->viewport(), button, {}, at);
    return list->currentRow() == row;
}

bool doubleClickLine(ListBox *list, const QString &text)
{
    if (!list || !list->isVisible())
        return false;
    const int row = rowOf(list, text);
    if (row < 0)
        return false;
    const QPoint at = rowCentre(list, row);
    if (!list->viewport()->rect().contains(at))
        return false;
    // A double click as the window system delivers it: press and release,
    // then the second press arriving as a double click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    return list->currentRow() == row;
}

QColor textColour(const QLineEdit *box)
{
    return box->palette().color(QPalette::Text);
}

QList<frmAdware *> adwareWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<frmAdware *> out;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == QLatin1String("frmAdware") && w->isVisible())
            out.append(qobject_cast<frmAdware *>(w));
    }
    return out;
}

// Every notice window still alive, shown or not.
int adwareWindowsAlive()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int n = 0;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == QLatin1String("frmAdware"))
            ++n;
    }
    return n;
}

QString adwareCaption()
{
    const QList<frmAdware *> windows = adwareWindows();
    if (windows.size() != 1 || !windows.first())
        return QStringLiteral("<%1 notices>").arg(windows.size());
    auto *label = windows.first()->findChild<QLabel *>(QStringLiteral("lblCaption"));
    return label ? label->text() : QStringLiteral("<no caption>");
}

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    QCoreApplication::processEvents();
}

} // namespace

class BrowseWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Categories and entries
    void selectingCategoryListsEntriesAndDisablesDownloads_data();
    void selectingCategoryListsEntriesAndDisablesDownloads();
    void blacklistIsCaseSensitive();
    void emptyBlacklistLineBarsEveryLink();
    void lastLineEndOfBlacklistAddsNoItem();
    void emptyOrMissingBlacklistBarsNothing_data();
    void emptyOrMissingBlacklistBarsNothing();
    void entryWithoutValueKeepsLinkAndButtons();
    void otherCategoryDisablesUntilEntryWithValue();
    void pageSelectionEnablesVisitWithoutBlacklist();

    // Ad-supported warning
    void adwareNoticeShownForMatchingName();
    void adwareNoticeClosedByNonMatchingSelection();
    void adwareNoticeReusedForSecondMatch();
    void adwareNoticeNeverShownWithOptionOff();
    void adwareNoticeUntouchedWithEmptyList();
    void adwareNoticeUntouchedByPortableAndSpecial();
    void adwareNoticeShownForSlim();
    void adwareNoticeLeavesFocusWithMainWindow();
    void adwareNoticeUsesChosenTheme();
    void storedOptionsApplyAtStart();

    // Search boxes
    void clickIntoSearchBoxEmptiesIt();
    void findNextWalksMatchesAndWraps();
    void findNextStopsAtLastEntry();
    void findNextWhileTyping();
    void placeholderIsSearchedWithoutClick();
    void findNextInEmptyList();
    void tabSwitchResetsTextNotPosition();

    // Mouse on the lists and buttons
    void mouseDownCopiesNameIntoSearch_data();
    void mouseDownCopiesNameIntoSearch();
    void mouseDownOnPageNamesIt();
    void rightButtonOpensEntryMenu();
    void hoverOverDownloadShowsNameKeepsStatus();

    // Double click
    void doubleClickOffDoesNothing();
    void doubleClickDownloads();
    void doubleClickBlacklistedAsksYes();
    void doubleClickBlacklistedAsksNo();
    void doubleClickOpensPage();
    void doubleClickRunsCommandEntry();
    void doubleClickCapitalCmdDownloads();
    void runButtonRunsCommand();
    void runButtonReportsCommandThatCannotStart();

    // Context menu
    void copyLinkAndName();
    void blockDirectDownloadMail();
    void menuDownloadAndFromPage();
    void sortEntries();
    void sortCategories();
    void linkActionsIgnoreHints();

    // Options page
    void optionsListsShowFiles();
    void adwareListFollowsOption();
    void editBlacklistOpensFile();
    void editBlacklistFailureWarns();

private:
    Session *start(bool useRecordingShell = false);
    bool showTab(int tab, int specialTab = -1);
    QString path(const char *name) const { return QDir(m_data).filePath(QLatin1String(name)); }

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_data;
    QString m_work;
    std::unique_ptr<Session> m_session;
    UrlCatcher m_urls;
};

void BrowseWindowTest::init()
{
    QCursor::setPos(QPoint(3000, 3000));
    QCoreApplication::processEvents();
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    m_data = m_tmp->filePath(QStringLiteral("Data"));
    m_work = m_tmp->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(QDir().mkpath(m_work));
    QVERIFY(writeCatalogue(m_data, m_work));
    m_urls.urls.clear();
    for (const char *scheme : {"https", "http", "mailto", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_urls, "open");
    QGuiApplication::clipboard()->setText(QStringLiteral("clipboard before"));
}

void BrowseWindowTest::cleanup()
{
    closePopups();
    for (frmAdware *w : adwareWindows())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_session.reset();
    for (const char *scheme : {"https", "http", "mailto", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    m_tmp.reset();
}

Session *BrowseWindowTest::start(bool useRecordingShell)
{
    m_session.reset();
    m_session = std::make_unique<Session>(m_data, useRecordingShell);
    m_session->window.startUp();
    m_session->window.show();
    if (!QTest::qWaitForWindowExposed(&m_session->window))
        return nullptr;
    QTest::qWait(10);
    return m_session.get();
}

bool BrowseWindowTest::showTab(int tab, int specialTab)
{
    frmMain &w = m_session->window;
    w.SSTab1->setCurrentIndex(tab);
    if (specialTab >= 0)
        w.specialPage->SSTab2->setCurrentIndex(specialTab);
    QCoreApplication::processEvents();
    return w.SSTab1->currentIndex() == tab
        && (specialTab < 0 || w.specialPage->SSTab2->currentIndex() == specialTab);
}

// ------------------------------------------------------ categories and entries

void BrowseWindowTest::selectingCategoryListsEntriesAndDisablesDownloads_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("prefix"); // "" Apps, "Portable", "Slim", "Special"
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("good");
    QTest::addColumn<QString>("goodLink");
    QTest::addColumn<QString>("barred");
    QTest::addColumn<QString>("barredLink");
    QTest::addColumn<QString>("category2");
    QTest::addColumn<QString>("good2");
    QTest::addColumn<QString>("good2Link");

    QTest::newRow("Apps") << int(frmMain::TabApps) << QString() << "Browsers"
                          << QStringList{"Opera", "Firefox", "Firebird", "Thunderbird"} << "Firefox"
                          << "https://example.org/mozilla/firefox.exe"
                          << "Firebird" << "https://example.org/abc/firebird.exe" << "Cleaners"
                          << "Defraggler" << "https://example.org/defraggler.exe";
    QTest::newRow("Portable") << int(frmMain::TabPortable) << "Portable" << "Portable Apps"
                              << QStringList{"CCleaner Portable", "Portable Blocked", "Portable Other"}
                              << "Portable Other" << "https://example.org/portable/other.exe"
                              << "Portable Blocked" << "https://example.org/abc/pb.exe" << "Portable Two"
                              << "Portable Two" << "https://example.org/portable/two.exe";
    QTest::newRow("Slim") << int(frmMain::TabSlim) << "Slim" << "Slim Apps"
                          << QStringList{"CCleaner Slim", "Slim Blocked", "Slim Other"} << "Slim Other"
                          << "https://example.org/slim/other.exe" << "Slim Blocked"
                          << "https://example.org/abc/sb.exe" << "Slim Two" << "Slim Two"
                          << "https://example.org/slim/two.exe";
    QTest::newRow("Special") << int(frmMain::TabSpecial) << "Special" << "Special Apps"
                             << QStringList{"CCleaner Special", "Special Blocked", "Special Other"}
                             << "Special Other" << "https://example.org/special/other.exe"
                             << "Special Blocked" << "https://example.org/abc/spb.exe" << "Commands"
                             << "CMD Shortcuts" << "https://example.org/cmd-shortcuts.zip";
}

void BrowseWindowTest::selectingCategoryListsEntriesAndDisablesDownloads()
{
    QFETCH(int, tab);
    QFETCH(QString, prefix);
    QFETCH(QString, category);
    QFETCH(QStringList, entries);
    QFETCH(QString, good);
    QFETCH(QString, goodLink);
    QFETCH(QString, barred);
    QFETCH(QString, barredLink);
    QFETCH(QString, category2);
    QFETCH(QString, good2);
    QFETCH(QString, good2Link);

    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(tab, tab == frmMain::TabSpecial ? int(frmMain::TabSpecialEntries) : -1));

    const QByteArray p = prefix.toLatin1();
    auto *cats = s->list(prefix.isEmpty() ? "lstCat" : ("lstCat" + p).constData());
    auto *list = s->list(prefix.isEmpty() ? "lstApps" : ("lst" + p).constData());
    auto *download = s->button(("cmdDownload" + p).constData());
    auto *fromPage = s->button(("cmdDownload" + p + "FromPage").constData());
    QAction *mnuDownload = s->action(("mnuDownload" + p).constData());
    QAction *mnuFromPage = s->action(("mnuDownload" + p + "FromPage").constData());
    QVERIFY(cats && list && download && fromPage && mnuDownload && mnuFromPage);

    // Nothing to download before an entry is chosen.
    QVERIFY(!download->isEnabled());
    QVERIFY(!fromPage->isEnabled());
    QVERIFY(!mnuDownload->isEnabled());
    QVERIFY(!mnuFromPage->isEnabled());

    QVERIFY(clickLine(cats, category));
    QCOMPARE(list->items(), entries);
    QCOMPARE(list->currentRow(), -1);

    QVERIFY(clickLine(list, good));
    QCOMPARE(s->state.currentLink(), goodLink);
    QCOMPARE(s->panel(), goodLink);
    QVERIFY(download->isEnabled());
    QVERIFY(fromPage->isEnabled());
    QVERIFY(mnuDownload->isEnabled());
    QVERIFY(mnuFromPage->isEnabled());

    QVERIFY(clickLine(list, barred));
    QCOMPARE(s->state.currentLink(), barredLink);
    QCOMPARE(s->panel(), barredLink);
    QVERIFY(!download->isEnabled());
    QVERIFY(fromPage->isEnabled());
    QVERIFY(!mnuDownload->isEnabled());
    QVERIFY(mnuFromPage->isEnabled());

    QVERIFY(clickLine(list, good));
    QVERIFY(download->isEnabled());
    QVERIFY(mnuDownload->isEnabled());

    // Another category: its entries replace the list, nothing is downloadable
    // until one of them is chosen.
    QVERIFY(clickLine(cats, category2));
    QVERIFY(rowOf(list, good2) >= 0);
    QCOMPARE(rowOf(list, good), -1);
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(!download->isEnabled());
    QVERIFY(!fromPage->isEnabled());
    QVERIFY(!mnuDownload->isEnabled());
    QVERIFY(!mnuFromPage->isEnabled());
    // The link stays what was chosen last.
    QCOMPARE(s->state.currentLink(), goodLink);

    QVERIFY(clickLine(list, good2));
    QCOMPARE(s->state.currentLink(), good2Link);
    QCOMPARE(s->panel(), good2Link);
    QVERIFY(download->isEnabled());
    QVERIFY(fromPage->isEnabled());
    QVERIFY(mnuDownload->isEnabled());
    QVERIFY(mnuFromPage->isEnabled());
}

void BrowseWindowTest::blacklistIsCaseSensitive()
{
    QVERIFY(writeFile(path("FOBlacklist.def"), "abc\r\n"));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *list = s->list("lstApps");

    // ".../abc/..." holds the item; ".../ABC/..." does not.
    QVERIFY(clickLine(list, "Firebird"));
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    QVERIFY(!s->action("mnuDownload")->isEnabled());
    QVERIFY(clickLine(list, "Thunderbird"));
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/ABC/thunderbird.exe"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
    QVERIFY(clickLine(list, "Firebird"));
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());
}

void BrowseWindowTest::emptyBlacklistLineBarsEveryLink()
{
    QVERIFY(writeFile(path("FOBlacklist.def"), "nothing-matches-this\r\n\r\nneither-this\r\n"));
    Session *s = start();
    QVERIFY(s);
    QCOMPARE(s->state.lists().blacklist,
             (QStringList{"nothing-matches-this", "", "neither-this"}));
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    for (const char *name : {"Opera", "Firefox", "Thunderbird"}) {
        QVERIFY(clickLine(s->list("lstApps"), QLatin1String(name)));
        QVERIFY2(!s->button("cmdDownload")->isEnabled(), name);
        QVERIFY2(!s->action("mnuDownload")->isEnabled(), name);
        QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());
    }
    QVERIFY(showTab(frmMain::TabPortable));
    QVERIFY(clickLine(s->list("lstCatPortable"), "Portable Apps"));
    QVERIFY(clickLine(s->list("lstPortable"), "Portable Other"));
    QVERIFY(!s->button("cmdDownloadPortable")->isEnabled());
}

void BrowseWindowTest::lastLineEndOfBlacklistAddsNoItem()
{
    // One item followed by its line end: no empty item, nothing else barred.
    QVERIFY(writeFile(path("FOBlacklist.def"), "nothing-matches-this\r\n"));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(clickLine(s->list("lstApps"), "Firefox"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
}

void BrowseWindowTest::emptyOrMissingBlacklistBarsNothing_data()
{
    QTest::addColumn<bool>("missing");
    QTest::newRow("empty file") << false;
    QTest::newRow("no file") << true;
}

void BrowseWindowTest::emptyOrMissingBlacklistBarsNothing()
{
    QFETCH(bool, missing);
    if (missing)
        QVERIFY(QFile::remove(path("FOBlacklist.def")));
    else
        QVERIFY(writeFile(path("FOBlacklist.def"), QByteArray()));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(s->state.lists().blacklist.isEmpty());
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    for (const char *name : {"Firebird", "Firefox", "Thunderbird"}) {
        QVERIFY(clickLine(s->list("lstApps"), QLatin1String(name)));
        QVERIFY2(s->button("cmdDownload")->isEnabled(), name);
        QVERIFY2(s->action("mnuDownload")->isEnabled(), name);
    }
}

void BrowseWindowTest::entryWithoutValueKeepsLinkAndButtons()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    auto *list = s->list("lstApps");
    auto *download = s->button("cmdDownload");
    auto *fromPage = s->button("cmdDownloadFromPage");

    // After a downloadable entry: everything stays enabled and the link kept.
    QVERIFY(clickLine(list, "Defraggler"));
    const QString link = QStringLiteral("https://example.org/defraggler.exe");
    QCOMPARE(s->state.currentLink(), link);
    QVERIFY(clickLine(list, "NoLink Cleaner"));
    QCOMPARE(s->state.currentLink(), link);
    QCOMPARE(s->panel(), link);
    QVERIFY(download->isEnabled());
    QVERIFY(fromPage->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
    QVERIFY(s->action("mnuDownloadFromPage")->isEnabled());

    // After a barred entry: direct download stays off.
    QVERIFY(clickLine(list, "Blocked Cleaner"));
    const QString barred = QStringLiteral("https://example.org/abc/blocked.exe");
    QVERIFY(clickLine(list, "NoLink Cleaner"));
    QCOMPARE(s->state.currentLink(), barred);
    QCOMPARE(s->panel(), barred);
    QVERIFY(!download->isEnabled());
    QVERIFY(fromPage->isEnabled());
    QVERIFY(!s->action("mnuDownload")->isEnabled());
    QVERIFY(s->action("mnuDownloadFromPage")->isEnabled());
}

void BrowseWindowTest::otherCategoryDisablesUntilEntryWithValue()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(clickLine(s->list("lstApps"), "Firefox"));
    QVERIFY(s->button("cmdDownload")->isEnabled());

    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    // An entry without a value gives nothing to download.
    QVERIFY(clickLine(s->list("lstApps"), "NoLink Cleaner"));
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    QVERIFY(!s->button("cmdDownloadFromPage")->isEnabled());
    QVERIFY(!s->action("mnuDownload")->isEnabled());
    QVERIFY(!s->action("mnuDownloadFromPage")->isEnabled());
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/mozilla/firefox.exe"));

    QVERIFY(clickLine(s->list("lstApps"), "Defraggler"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
    QVERIFY(s->action("mnuDownloadFromPage")->isEnabled());
}

void BrowseWindowTest::pageSelectionEnablesVisitWithoutBlacklist()
{
    // Even a blacklist that bars every link leaves pages to visit.
    QVERIFY(writeFile(path("FOBlacklist.def"), "/abc/\r\n\r\n"));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabPages));
    auto *visit = s->button("cmdVisitPage");
    QVERIFY(visit);
    QVERIFY(!visit->isEnabled());
    QVERIFY(clickLine(s->list("lstCatPages"), "Help Pages"));
    QCOMPARE(s->list("lstPages")->items(), (QStringList{"Help Forum", "Blocked Page"}));
    QVERIFY(!visit->isEnabled());
    QVERIFY(clickLine(s->list("lstPages"), "Blocked Page"));
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/abc/page"));
    QCOMPARE(s->panel(), QStringLiteral("https://example.org/abc/page"));
    QVERIFY(visit->isEnabled());
    QVERIFY(s->action("mnuVisitPage")->isEnabled());

    QVERIFY(clickLine(s->list("lstCatPages"), "Scanners"));
    QVERIFY(!visit->isEnabled());
    QVERIFY(clickLine(s->list("lstPages"), "Online Scanner"));
    QCOMPARE(s->panel(), QStringLiteral("https://example.org/scan"));
    QVERIFY(visit->isEnabled());
}

// ------------------------------------------------------- ad-supported warning

void BrowseWindowTest::adwareNoticeShownForMatchingName()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(s->state.options().adSupportWarning);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));

    // "CCleaner" does not mark "ccleaner lite".
    QVERIFY(clickLine(s->list("lstApps"), "ccleaner lite"));
    QCOMPARE(adwareWindows().size(), 0);

    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - CCleaner Free"));
    QCOMPARE(s->window.browse->adwareWindow(), adwareWindows().first());
    // The selection still gives its link.
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/ccleaner/free.exe"));
}

void BrowseWindowTest::adwareNoticeClosedByNonMatchingSelection()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QVERIFY(clickLine(s->list("lstApps"), "Defraggler"));
    QTRY_COMPARE(adwareWindows().size(), 0);

    // And it comes back for the next match.
    QVERIFY(clickLine(s->list("lstApps"), "BundleWare Tool"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - BundleWare Tool"));
    QVERIFY(clickLine(s->list("lstApps"), "ccleaner lite"));
    QTRY_COMPARE(adwareWindows().size(), 0);
}

void BrowseWindowTest::adwareNoticeReusedForSecondMatch()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QPointer<frmAdware> first = adwareWindows().first();
    QVERIFY(clickLine(s->list("lstApps"), "BundleWare Tool"));
    QCoreApplication::processEvents();
    QCOMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareWindowsAlive(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - BundleWare Tool"));
    // The notice already up is reused, not replaced.
    QCOMPARE(adwareWindows().first(), first.data());

    // From another category as well.
    QVERIFY(clickLine(s->list("lstCat"), "Names"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Pro (x64)"));
    QCoreApplication::processEvents();
    QCOMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareWindowsAlive(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - CCleaner Pro (x64)"));
}

void BrowseWindowTest::adwareNoticeNeverShownWithOptionOff()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(!s->window.optionsPage->chkAdSupportWarning->isChecked());
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QVERIFY(clickLine(s->list("lstApps"), "BundleWare Tool"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 0);
    QVERIFY(!s->window.browse->adwareWindow());

    // Switched on and off again: no notice either.
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    s->window.optionsPage->chkAdSupportWarning->setChecked(false);
    QVERIFY(!s->state.options().adSupportWarning);
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 0);
}

void BrowseWindowTest::adwareNoticeUntouchedWithEmptyList()
{
    QVERIFY(writeFile(path("FOAdware.def"), QByteArray()));
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 0);

    // A notice already up (the list was emptied since, e.g. by an update)
    // is not closed by the next selection either.
    ProtectionLists lists = s->state.lists();
    lists.adware = QStringList{QStringLiteral("CCleaner")};
    s->state.setLists(lists);
    QVERIFY(clickLine(s->list("lstApps"), "Defraggler"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    lists.adware.clear();
    s->state.setLists(lists);
    QVERIFY(clickLine(s->list("lstApps"), "Defraggler"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - CCleaner Free"));
}

void BrowseWindowTest::adwareNoticeUntouchedByPortableAndSpecial()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);

    // Matching names on the Portable and Special lists show nothing.
    QVERIFY(showTab(frmMain::TabPortable));
    QVERIFY(clickLine(s->list("lstCatPortable"), "Portable Apps"));
    QVERIFY(clickLine(s->list("lstPortable"), "CCleaner Portable"));
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstCatSpecial"), "Special Apps"));
    QVERIFY(clickLine(s->list("lstSpecial"), "CCleaner Special"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 0);

    // A notice from the Apps list is neither recaptioned nor closed by them.
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);

    QVERIFY(showTab(frmMain::TabPortable));
    QVERIFY(clickLine(s->list("lstPortable"), "Portable Other"));
    QVERIFY(clickLine(s->list("lstPortable"), "CCleaner Portable"));
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstSpecial"), "Special Other"));
    QVERIFY(clickLine(s->list("lstSpecial"), "CCleaner Special"));
    QTest::qWait(20);
    QCOMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - CCleaner Free"));
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/special/ccs.exe"));
}

void BrowseWindowTest::adwareNoticeShownForSlim()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabSlim));
    QVERIFY(clickLine(s->list("lstCatSlim"), "Slim Apps"));
    QVERIFY(clickLine(s->list("lstSlim"), "CCleaner Slim"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QCOMPARE(adwareCaption(), QStringLiteral("Fetchora - CCleaner Slim"));
    QVERIFY(clickLine(s->list("lstSlim"), "Slim Other"));
    QTRY_COMPARE(adwareWindows().size(), 0);
}

void BrowseWindowTest::adwareNoticeLeavesFocusWithMainWindow()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    auto *list = s->list("lstApps");
    list->setFocus();
    QVERIFY(clickLine(list, "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    frmAdware *notice = adwareWindows().first();
    // The window system is asked not to activate it (the offscreen platform
    // activates whatever it shows, so the request is what is checked).
    QVERIFY(notice->isWindow());
    QVERIFY(notice->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(notice->testAttribute(Qt::WA_ShowWithoutActivating));
    // Not a child of the main window's own widgets.
    QVERIFY(!s->window.isAncestorOf(notice));
    // Keyboard input of the main window is where the user left it.
    QCOMPARE(s->window.focusWidget(), list);
}

void BrowseWindowTest::adwareNoticeUsesChosenTheme()
{
    Session *s = start();
    QVERIFY(s);
    QComboBox *theme = s->window.optionsPage->cboTheme;
    const int cyan = theme->findText(QStringLiteral("Cyan"));
    QVERIFY(cyan >= 0);
    theme->setCurrentIndex(cyan);
    s->window.optionsPage->chkAdSupportWarning->setChecked(true);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    frmAdware *notice = adwareWindows().first();
    QVERIFY(QTest::qWaitForWindowExposed(notice));
    auto *strip = notice->findChild<QWidget *>(QStringLiteral("PicTitleBar"));
    QVERIFY(strip);
    const QImage image = strip->grab().toImage();
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(1, 1).rgb(), QColor(12, 128, 237).rgb());
}

void BrowseWindowTest::storedOptionsApplyAtStart()
{
    QVERIFY(writeFile(path("Fetchora.ini"),
                      "[frmMain]\r\nchkAdSupportWarning=1\r\nchkPerformOpsWithDoubleClick=1\r\n"));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(s->window.optionsPage->chkAdSupportWarning->isChecked());
    QVERIFY(s->state.options().adSupportWarning);
    QVERIFY(s->state.options().performOpsWithDoubleClick);
    QVERIFY(s->list("lstAdware")->isEnabled());

    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Cleaners"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Free"));
    QTRY_COMPARE(adwareWindows().size(), 1);
    QVERIFY(doubleClickLine(s->list("lstApps"), "Defraggler"));
    QCOMPARE(s->downloads, QStringList{"https://example.org/defraggler.exe"});
    QTRY_COMPARE(adwareWindows().size(), 0);
}

// ----------------------------------------------------------------- search boxes

void BrowseWindowTest::clickIntoSearchBoxEmptiesIt()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    QVERIFY(box);
    QCOMPARE(box->text(), kPlaceholder);
    QVERIFY(textColour(box) != kEditingGrey);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->text(), QString());
    QCOMPARE(textColour(box), kEditingGrey);
    QCOMPARE(s->window.browse->searchPosition(box), -1);

    // A click into a box holding text empties it too.
    box->setText(QStringLiteral("something"));
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->text(), QString());
}

void BrowseWindowTest::findNextWalksMatchesAndWraps()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *list = s->list("lstApps");
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    BrowseController *browse = s->window.browse;

    QTest::mouseClick(box, Qt::LeftButton);
    box->setText(QStringLiteral("fire"));
    QCOMPARE(list->currentRow(), -1);

    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firefox"));
    QCOMPARE(browse->searchPosition(box), 1);
    // Finding selects the entry the same way a click does.
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/mozilla/firefox.exe"));

    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
    QCOMPARE(browse->searchPosition(box), 2);
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/abc/firebird.exe"));
    QVERIFY(!s->button("cmdDownload")->isEnabled());

    // Nothing further down: the selection stays, the next search starts at the
    // top and the cursor is put behind the text.
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Right);
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
    QCOMPARE(browse->searchPosition(box), -1);
    QCOMPARE(box->cursorPosition(), int(box->text().size()));
    QCOMPARE(box->text(), QStringLiteral("fire"));

    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firefox"));
    QCOMPARE(browse->searchPosition(box), 1);

    // A click into the box starts a new search from the top.
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->text(), QString());
    QCOMPARE(browse->searchPosition(box), -1);
    box->setText(QStringLiteral("fire"));
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firefox"));
    QCOMPARE(browse->searchPosition(box), 1);
}

void BrowseWindowTest::findNextStopsAtLastEntry()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *list = s->list("lstApps");
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    BrowseController *browse = s->window.browse;

    QTest::mouseClick(box, Qt::LeftButton);
    // Blanks around the text and its case do not matter.
    box->setText(QStringLiteral("  BiRd "));
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
    QCOMPARE(browse->searchPosition(box), 2);

    // Thunderbird is the last entry: found, and the next search starts over.
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Right);
    QCOMPARE(list->currentText(), QStringLiteral("Thunderbird"));
    QCOMPARE(browse->searchPosition(box), -1);
    QCOMPARE(box->cursorPosition(), int(box->text().size()));

    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
}

void BrowseWindowTest::findNextWhileTyping()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *list = s->list("lstApps");
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    BrowseController *browse = s->window.browse;
    QTest::mouseClick(box, Qt::LeftButton);

    // Each key searches the text as it stood before the key: "f" searches "".
    QTest::keyClick(box, 'f');
    QCOMPARE(box->text(), QStringLiteral("f"));
    QCOMPARE(list->currentText(), QStringLiteral("Opera"));
    QCOMPARE(browse->searchPosition(box), 0);
    QTest::keyClick(box, 'i'); // searches "f" after Opera
    QCOMPARE(list->currentText(), QStringLiteral("Firefox"));
    QCOMPARE(browse->searchPosition(box), 1);
    QTest::keyClick(box, 'r'); // searches "fi" after Firefox
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
    QCOMPARE(browse->searchPosition(box), 2);
    QTest::keyClick(box, 'e'); // "fir": nothing after Firebird
    QCOMPARE(list->currentText(), QStringLiteral("Firebird"));
    QCOMPARE(browse->searchPosition(box), -1);
    QCOMPARE(box->text(), QStringLiteral("fire"));
    QTest::keyClick(box, 'f'); // "fire" from the top
    QCOMPARE(list->currentText(), QStringLiteral("Firefox"));
    QCOMPARE(box->text(), QStringLiteral("firef"));
}

void BrowseWindowTest::placeholderIsSearchedWithoutClick()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Names"));
    auto *list = s->list("lstApps");
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    QCOMPARE(box->text(), kPlaceholder);
    QCOMPARE(list->currentRow(), -1);

    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentText(), QStringLiteral("Quick search ... helper"));
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/qs.exe"));
}

void BrowseWindowTest::findNextInEmptyList()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Empty"));
    auto *list = s->list("lstApps");
    QCOMPARE(list->count(), 0);
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, 'a'); // searches "", which every name holds
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(s->window.browse->searchPosition(box), -1);
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(s->window.browse->searchPosition(box), -1);
    QCOMPARE(s->state.currentLink(), QString());
}

void BrowseWindowTest::tabSwitchResetsTextNotPosition()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    QTest::mouseClick(box, Qt::LeftButton);
    box->setText(QStringLiteral("fire"));
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(s->window.browse->searchPosition(box), 2);

    QVERIFY(showTab(frmMain::TabHome));
    QCOMPARE(box->text(), kPlaceholder);
    QCOMPARE(s->window.browse->searchPosition(box), 2);
    QVERIFY(showTab(frmMain::TabApps));
    QCOMPARE(box->text(), kPlaceholder);
    QCOMPARE(s->window.browse->searchPosition(box), 2);
}

// ------------------------------------------------------------ mouse on lists

void BrowseWindowTest::mouseDownCopiesNameIntoSearch_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("prefix"); // "" Apps, "Portable", "Slim", "Special"
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("rightButton");
    const int apps = frmMain::TabApps;
    QTest::newRow("plain") << apps << QString() << "Browsers" << "Thunderbird" << "Thunderbird" << false;
    QTest::newRow("plain, right button") << apps << QString() << "Browsers" << "Opera" << "Opera" << true;
    QTest::newRow("pick mark") << apps << QString() << "Names" << "7-Zip*" << "7-Zip [PICK]" << false;
    QTest::newRow("bracket remark") << apps << QString() << "Names" << "CCleaner Pro (x64)" << "CCleaner Pro " << false;
    QTest::newRow("bracket remark, right button")
        << apps << QString() << "Names" << "CCleaner Pro (x64)" << "CCleaner Pro " << true;
    QTest::newRow("Portable") << int(frmMain::TabPortable) << "Portable" << "Portable Apps"
                              << "Portable Blocked" << "Portable Blocked" << false;
    QTest::newRow("Slim, right button") << int(frmMain::TabSlim) << "Slim" << "Slim Apps" << "Slim Other"
                                        << "Slim Other" << true;
    QTest::newRow("Special") << int(frmMain::TabSpecial) << "Special" << "Special Apps" << "Special Other"
                             << "Special Other" << false;
}

void BrowseWindowTest::mouseDownCopiesNameIntoSearch()
{
    QFETCH(int, tab);
    QFETCH(QString, prefix);
    QFETCH(QString, category);
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    QFETCH(bool, rightButton);
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(tab, tab == frmMain::TabSpecial ? int(frmMain::TabSpecialEntries) : -1));
    const QByteArray p = prefix.toLatin1();
    auto *cats = s->list(prefix.isEmpty() ? "lstCat" : ("lstCat" + p).constData());
    auto *list = s->list(prefix.isEmpty() ? "lstApps" : ("lst" + p).constData());
    auto *box = s->child<QLineEdit>(("txt" + (prefix.isEmpty() ? QByteArray("Apps") : p) + "Search").constData());
    QVERIFY(cats && list && box);
    QVERIFY(clickLine(cats, category));
    QCOMPARE(box->text(), kPlaceholder);
    QVERIFY(textColour(box) != kEditingGrey);

    QVERIFY(clickLine(list, entry, rightButton ? Qt::RightButton : Qt::LeftButton));
    closePopups();
    QCOMPARE(box->text(), shown);
    QCOMPARE(textColour(box), kEditingGrey);
}

void BrowseWindowTest::mouseDownOnPageNamesIt()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabPages));
    auto *label = s->child<QLabel>("lblPages");
    QVERIFY(label);
    QVERIFY(clickLine(s->list("lstCatPages"), "Help Pages"));
    QVERIFY(clickLine(s->list("lstPages"), "Help Forum"));
    QCOMPARE(label->text(), QStringLiteral("Help Forum"));
    QVERIFY(clickLine(s->list("lstPages"), "Blocked Page", Qt::RightButton));
    closePopups();
    QCOMPARE(label->text(), QStringLiteral("Blocked Page"));
}

void BrowseWindowTest::rightButtonOpensEntryMenu()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QVERIFY(clickLine(s->list("lstApps"), "Firefox", Qt::RightButton));
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("mnMain"));
    QVERIFY(menu->defaultAction());
    QCOMPARE(menu->defaultAction()->objectName(), QStringLiteral("mnuDownload"));
    // The entry under the pointer is the one the menu acts on.
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/mozilla/firefox.exe"));
    QVERIFY(menu->defaultAction()->isEnabled());
    closePopups();

    // A left click pops nothing up.
    QVERIFY(clickLine(s->list("lstApps"), "Opera"));
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

void BrowseWindowTest::hoverOverDownloadShowsNameKeepsStatus()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    auto *list = s->list("lstApps");
    // Chosen without the mouse, so the box still shows its placeholder.
    list->setCurrentRow(rowOf(list, QStringLiteral("Firefox")));
    const QString link = QStringLiteral("https://example.org/mozilla/firefox.exe");
    QCOMPARE(s->panel(), link);
    auto *box = s->child<QLineEdit>("txtAppsSearch");
    QCOMPARE(box->text(), kPlaceholder);

    auto *download = s->button("cmdDownload");
    QVERIFY(download->isVisible() && download->isEnabled());
    QTest::mouseMove(download, download->rect().center());
    QTRY_COMPARE(box->text(), QStringLiteral("Firefox"));
    QCOMPARE(textColour(box), kEditingGrey);
    QCOMPARE(s->panel(), link);
    QCOMPARE(s->state.currentLink(), link);
    QVERIFY(s->downloads.isEmpty());
}

// ----------------------------------------------------------------- double click

void BrowseWindowTest::doubleClickOffDoesNothing()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(!s->window.optionsPage->chkPerformOpsWithDoubleClick->isChecked());
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(doubleClickLine(s->list("lstApps"), "Firefox"));
    QVERIFY(doubleClickLine(s->list("lstApps"), "Firebird"));
    QTest::qWait(20);
    QVERIFY(s->downloads.isEmpty());
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(m_urls.urls.isEmpty());
    // Selecting still worked.
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/abc/firebird.exe"));
}

void BrowseWindowTest::doubleClickDownloads()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    QVERIFY(s->state.options().performOpsWithDoubleClick);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(doubleClickLine(s->list("lstApps"), "Thunderbird"));
    QCOMPARE(s->downloads, QStringList{"https://example.org/ABC/thunderbird.exe"});
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(m_urls.urls.isEmpty());

    // The same on another database.
    QVERIFY(showTab(frmMain::TabPortable));
    QVERIFY(clickLine(s->list("lstCatPortable"), "Portable Apps"));
    QVERIFY(doubleClickLine(s->list("lstPortable"), "Portable Other"));
    QCOMPARE(s->downloads, (QStringList{"https://example.org/ABC/thunderbird.exe",
                                        "https://example.org/portable/other.exe"}));
}

void BrowseWindowTest::doubleClickBlacklistedAsksYes()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    s->prompter.answers = {true};
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(doubleClickLine(s->list("lstApps"), "Firebird"));

    const QString link = QStringLiteral("https://example.org/abc/firebird.exe");
    QCOMPARE(s->prompter.messages.size(), 1);
    QCOMPARE(s->prompter.messages[0].kind, QStringLiteral("ask"));
    QCOMPARE(s->prompter.messages[0].title, QStringLiteral("DDL not available for Firebird"));
    QCOMPARE(s->prompter.messages[0].text,
             QStringLiteral("A Direct Download Link for \"Firebird\" is not available.\r\n"
                            "Do you want instead to open the Download page?\r\n"
                            " \r\n"
                            "This Download page is secure: ")
                 + link);
    QCOMPARE(m_urls.urls, QStringList{link});
    QVERIFY(s->downloads.isEmpty());
}

void BrowseWindowTest::doubleClickBlacklistedAsksNo()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    s->prompter.answers = {false};
    QVERIFY(showTab(frmMain::TabSlim));
    QVERIFY(clickLine(s->list("lstCatSlim"), "Slim Apps"));
    QVERIFY(doubleClickLine(s->list("lstSlim"), "Slim Blocked"));
    QCOMPARE(s->prompter.messages.size(), 1);
    QCOMPARE(s->prompter.messages[0].title, QStringLiteral("DDL not available for Slim Blocked"));
    QVERIFY(s->prompter.messages[0].text.endsWith(
        QStringLiteral("This Download page is secure: https://example.org/abc/sb.exe")));
    QVERIFY(m_urls.urls.isEmpty());
    QVERIFY(s->downloads.isEmpty());
}

void BrowseWindowTest::doubleClickOpensPage()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabPages));
    QVERIFY(clickLine(s->list("lstCatPages"), "Help Pages"));
    // Off: the page is only selected.
    QVERIFY(doubleClickLine(s->list("lstPages"), "Help Forum"));
    QTest::qWait(10);
    QVERIFY(m_urls.urls.isEmpty());

    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    QVERIFY(doubleClickLine(s->list("lstPages"), "Help Forum"));
    QCOMPARE(m_urls.urls, QStringList{"https://example.org/forum"});
    // Pages are never downloaded and never barred: no question.
    QVERIFY(doubleClickLine(s->list("lstPages"), "Blocked Page"));
    QCOMPARE(m_urls.urls, (QStringList{"https://example.org/forum", "https://example.org/abc/page"}));
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(s->downloads.isEmpty());
}

void BrowseWindowTest::doubleClickRunsCommandEntry()
{
    if (m_work.contains(QLatin1Char(' ')))
        QSKIP("The command lines name files of the temporary folder without quotes.");
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstCatSpecial"), "Commands"));
    const QString blank = QDir(m_work).filePath(QStringLiteral("with blank"));
    const QString semi = QDir(m_work).filePath(QStringLiteral("semi;colon"));
    QVERIFY(doubleClickLine(s->list("lstSpecial"), "Touch cmd"));
    QCOMPARE(s->state.currentLink(), QStringLiteral("touch \"%1\" %2").arg(blank, semi));
    // The quoted part is one argument; no shell reads the ";".
    QTRY_VERIFY(QFile::exists(blank) && QFile::exists(semi));
    QTest::qWait(50);
    QVERIFY(!QFile::exists(QDir(m_work).filePath(QStringLiteral("with"))));
    QVERIFY(!QFile::exists(QDir(m_work).filePath(QStringLiteral("semi"))));
    QVERIFY(s->downloads.isEmpty());
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(m_urls.urls.isEmpty());
}

void BrowseWindowTest::doubleClickCapitalCmdDownloads()
{
    Session *s = start();
    QVERIFY(s);
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstCatSpecial"), "Commands"));
    QVERIFY(doubleClickLine(s->list("lstSpecial"), "CMD Shortcuts"));
    QCOMPARE(s->downloads, QStringList{"https://example.org/cmd-shortcuts.zip"});
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(s->button("cmdDownloadSpecial")->isVisible());
    QVERIFY(!s->button("cmdRunApp")->isVisible());
}

void BrowseWindowTest::runButtonRunsCommand()
{
    if (m_work.contains(QLatin1Char(' ')))
        QSKIP("The command lines name files of the temporary folder without quotes.");
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstCatSpecial"), "Commands"));
    QVERIFY(clickLine(s->list("lstSpecial"), "Write cmd"));
    auto *run = s->button("cmdRunApp");
    QVERIFY(run);
    QVERIFY(run->isVisible() && run->isEnabled());
    const QString made = QDir(m_work).filePath(QStringLiteral("from-button"));
    QVERIFY(!QFile::exists(made));
    QTest::mouseClick(run, Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(made));
    QVERIFY(s->prompter.messages.isEmpty());
    QVERIFY(s->downloads.isEmpty());
}

void BrowseWindowTest::runButtonReportsCommandThatCannotStart()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabSpecial, frmMain::TabSpecialEntries));
    QVERIFY(clickLine(s->list("lstCatSpecial"), "Commands"));
    QVERIFY(clickLine(s->list("lstSpecial"), "Broken cmd"));
    auto *run = s->button("cmdRunApp");
    QVERIFY(run->isVisible());
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(s->prompter.messages.size(), 1);
    QCOMPARE(s->prompter.messages[0].kind, QStringLiteral("warn"));
    QVERIFY2(s->prompter.messages[0].text.contains(QStringLiteral("/nonexistent/program")),
             qPrintable(s->prompter.messages[0].text));
    QVERIFY(s->downloads.isEmpty());
    QVERIFY(m_urls.urls.isEmpty());

    // The double click reports it the same way.
    s->window.optionsPage->chkPerformOpsWithDoubleClick->setChecked(true);
    QVERIFY(doubleClickLine(s->list("lstSpecial"), "Broken cmd"));
    QCOMPARE(s->prompter.messages.size(), 2);
    QCOMPARE(s->prompter.messages[1].kind, QStringLiteral("warn"));
    QVERIFY(s->prompter.messages[1].text.contains(QStringLiteral("/nonexistent/program")));
}

// ---------------------------------------------------------------- context menu

void BrowseWindowTest::copyLinkAndName()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Names"));
    QVERIFY(clickLine(s->list("lstApps"), "CCleaner Pro (x64)"));
    QClipboard *clipboard = QGuiApplication::clipboard();
    QCOMPARE(clipboard->text(), QStringLiteral("clipboard before"));

    s->action("mnuURLtoClipboard")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("https://example.org/ccpro.exe"));
    // The whole name, remark included (the search box cut is not used).
    s->action("mnuCopyAppName")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("CCleaner Pro (x64)"));

    QVERIFY(clickLine(s->list("lstApps"), "7-Zip*"));
    s->action("mnuCopyAppName")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("7-Zip*"));

    // Another database's items copy its own selection.
    QVERIFY(showTab(frmMain::TabPortable));
    QVERIFY(clickLine(s->list("lstCatPortable"), "Portable Apps"));
    QVERIFY(clickLine(s->list("lstPortable"), "Portable Blocked"));
    s->action("mnuURLtoClipboardPortable")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("https://example.org/abc/pb.exe"));
    s->action("mnuCopyPortableName")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("Portable Blocked"));
}

void BrowseWindowTest::blockDirectDownloadMail()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Names"));
    QVERIFY(clickLine(s->list("lstApps"), "Odd Link"));
    const QString link = QStringLiteral("https://example.org/get it.exe?a=1&b=2#part 50%");
    QCOMPARE(s->state.currentLink(), link);

    QAction *block = s->action("mnuBlockDirectDownload");
    QVERIFY(block);
    QCOMPARE(block->text(), QStringLiteral("Direct Download for this App not allowed?"));
    block->trigger();
    QCOMPARE(m_urls.urls.size(), 1);
    const QString expected = QStringLiteral("mailto:") + QLatin1String(urls::FeedbackMail)
        + QStringLiteral("?Subject=Direct%20Download%20not%20allowed."
                         "&Body=Please%20Prevent%20this%20Fetchora%20ID%3A%20"
                         "https%3A%2F%2Fexample.org%2Fget%20it.exe%3Fa%3D1%26b%3D2%23part%2050%25"
                         "%20from%20Direct%20Download.");
    QCOMPARE(m_urls.urls.first(), expected);

    // Read back as a mail client does: the link arrives whole.
    const QUrl mail(m_urls.urls.first(), QUrl::StrictMode);
    QVERIFY(mail.isValid());
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QCOMPARE(mail.path(), QLatin1String(urls::FeedbackMail));
    QVERIFY(!mail.hasFragment());
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItems().size(), 2);
    QCOMPARE(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded),
             QStringLiteral("Direct Download not allowed."));
    QCOMPARE(query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded),
             QStringLiteral("Please Prevent this Fetchora ID: ") + link + QStringLiteral(" from Direct Download."));
    QVERIFY(s->downloads.isEmpty());
}

void BrowseWindowTest::menuDownloadAndFromPage()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(clickLine(s->list("lstApps"), "Firefox"));
    s->action("mnuDownload")->trigger();
    QCOMPARE(s->downloads, QStringList{"https://example.org/mozilla/firefox.exe"});
    QVERIFY(m_urls.urls.isEmpty());

    QVERIFY(clickLine(s->list("lstApps"), "Firebird"));
    QAction *fromPage = s->action("mnuDownloadFromPage");
    QCOMPARE(fromPage->text(), QStringLiteral("Direct Download from Page"));
    fromPage->trigger();
    QCOMPARE(m_urls.urls, QStringList{"https://example.org/abc/firebird.exe"});
    QCOMPARE(s->downloads.size(), 1);

    // The page's buttons do the same.
    QTest::mouseClick(s->button("cmdDownloadFromPage"), Qt::LeftButton);
    QCOMPARE(m_urls.urls, (QStringList{"https://example.org/abc/firebird.exe",
                                       "https://example.org/abc/firebird.exe"}));
    QVERIFY(clickLine(s->list("lstApps"), "Thunderbird"));
    QTest::mouseClick(s->button("cmdDownload"), Qt::LeftButton);
    QCOMPARE(s->downloads, (QStringList{"https://example.org/mozilla/firefox.exe",
                                        "https://example.org/ABC/thunderbird.exe"}));
}

void BrowseWindowTest::sortEntries()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Sorting"));
    auto *list = s->list("lstApps");
    const QString foobar = QStringLiteral("Foo\u00A6\u00A6Bar");
    QCOMPARE(list->items(), (QStringList{"beta", "Alpha", "Zulu", "alpha", foobar}));

    // A barred entry: direct download off, download page on.
    QVERIFY(clickLine(list, "beta"));
    const QString link = QStringLiteral("https://example.org/abc/beta.exe");
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());

    QAction *sort = s->action("mnuSort");
    QVERIFY(sort);
    sort->trigger();
    // Character codes: capitals before small letters, "Z" before "a".
    QCOMPARE(list->items(), (QStringList{"Alpha", foobar, "Zulu", "alpha", "beta"}));
    QCOMPARE(list->count(), 5);
    QCOMPARE(s->child<QLabel>("lblCountApps")->text(), QStringLiteral("5"));
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(s->state.currentLink(), link);
    QCOMPARE(s->panel(), link);
    QVERIFY(!s->button("cmdDownload")->isEnabled());
    QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());
    QVERIFY(!s->action("mnuDownload")->isEnabled());
    QVERIFY(s->action("mnuDownloadFromPage")->isEnabled());

    // Downloadable entry, sorted again: both stay on.
    QVERIFY(clickLine(list, "Zulu"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    sort->trigger();
    QCOMPARE(list->items(), (QStringList{"Alpha", foobar, "Zulu", "alpha", "beta"}));
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/zulu.exe"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
    // The actions still act on the link chosen before the sort.
    s->action("mnuDownload")->trigger();
    QCOMPARE(s->downloads, QStringList{"https://example.org/zulu.exe"});
}

void BrowseWindowTest::sortCategories()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    auto *cats = s->list("lstCat");
    const QString toolsExtra = QStringLiteral("Tools\u00A6\u00A6Extra");
    QCOMPARE(cats->items(), (QStringList{"Browsers", "Cleaners", "Names", "Sorting", "Empty", toolsExtra}));
    QVERIFY(clickLine(cats, "Browsers"));
    QVERIFY(clickLine(s->list("lstApps"), "Firefox"));

    QAction *sort = s->action("mnuSortCat");
    QVERIFY(sort);
    sort->trigger();
    QCOMPARE(cats->items(), (QStringList{"Browsers", "Cleaners", "Empty", "Names", "Sorting", toolsExtra}));
    QCOMPARE(cats->count(), 6);
    QCOMPARE(cats->currentRow(), -1);
    QCOMPARE(s->state.currentLink(), QStringLiteral("https://example.org/mozilla/firefox.exe"));
    QVERIFY(s->button("cmdDownload")->isEnabled());
    QVERIFY(s->button("cmdDownloadFromPage")->isEnabled());
    QVERIFY(s->action("mnuDownload")->isEnabled());
    QVERIFY(s->action("mnuDownloadFromPage")->isEnabled());

    // The category with "¦¦" in its name still lists its entries.
    QVERIFY(clickLine(cats, toolsExtra));
    QCOMPARE(s->list("lstApps")->items(), QStringList{"Everything"});
}

void BrowseWindowTest::linkActionsIgnoreHints()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabApps));
    QVERIFY(clickLine(s->list("lstCat"), "Browsers"));
    QVERIFY(clickLine(s->list("lstApps"), "Thunderbird"));
    const QString link = QStringLiteral("https://example.org/ABC/thunderbird.exe");

    QVERIFY(showTab(frmMain::TabHome));
    auto *getApps = s->button("cmdGetApps");
    QVERIFY(getApps->isVisible());
    QTest::mouseMove(getApps, getApps->rect().center());
    QTRY_COMPARE(s->panel(), kAppsHint);
    QCOMPARE(s->state.currentLink(), link);

    s->action("mnuURLtoClipboard")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), link);
    s->action("mnuDownload")->trigger();
    QCOMPARE(s->downloads, QStringList{link});
    s->action("mnuDownloadFromPage")->trigger();
    QCOMPARE(m_urls.urls, QStringList{link});
    s->action("mnuBlockDirectDownload")->trigger();
    QCOMPARE(m_urls.urls.size(), 2);
    QCOMPARE(QUrlQuery(QUrl(m_urls.urls[1])).queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded),
             QStringLiteral("Please Prevent this Fetchora ID: ") + link + QStringLiteral(" from Direct Download."));
    QCOMPARE(s->panel(), kAppsHint);
}

// ---------------------------------------------------------------- options page

void BrowseWindowTest::optionsListsShowFiles()
{
    QVERIFY(writeFile(path("FOBlacklist.def"), "/abc/\r\n\r\n  spaced item  \r\nlast"));
    QVERIFY(writeFile(path("FOAdware.def"), "CCleaner\n\nBundleWare\n"));
    QVERIFY(writeFile(path("FOSignatures.ddl"), "FOApps.def\rFOPortable.def\r\n\r\nFOSlim.def\r\n"));
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabOptions));
    QCOMPARE(s->list("lstBlacklist")->items(), (QStringList{"/abc/", "", "  spaced item  ", "last"}));
    QCOMPARE(s->list("lstAdware")->items(), (QStringList{"CCleaner", "", "BundleWare"}));
    QCOMPARE(s->list("lstSignatures")->items(),
             (QStringList{"FOApps.def", "FOPortable.def", "", "FOSlim.def"}));
}

void BrowseWindowTest::adwareListFollowsOption()
{
    Session *s = start();
    QVERIFY(s);
    QVERIFY(showTab(frmMain::TabOptions));
    QCheckBox *check = s->window.optionsPage->chkAdSupportWarning;
    auto *adware = s->list("lstAdware");
    QVERIFY(!check->isChecked());
    QVERIFY(!adware->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
    QVERIFY(check->isChecked());
    QVERIFY(adware->isEnabled());
    QVERIFY(s->state.options().adSupportWarning);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
    QVERIFY(!check->isChecked());
    QVERIFY(!adware->isEnabled());
    // The other lists stay usable.
    QVERIFY(s->list("lstBlacklist")->isEnabled());
    QVERIFY(s->list("lstSignatures")->isEnabled());
}

void BrowseWindowTest::editBlacklistOpensFile()
{
    // A data folder with a blank in its name: the address must carry it encoded.
    m_data = m_tmp->filePath(QStringLiteral("My Data"));
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(writeCatalogue(m_data, m_work));
    Session *s = start();
    QVERIFY(s);
    QAction *edit = s->action("mnuEditBlacklist");
    QVERIFY(edit);
    QCOMPARE(edit->text(), QStringLiteral("Edit Blacklist"));
    edit->trigger();
    QString expected = QStringLiteral("file://") + QDir(m_data).absoluteFilePath(QStringLiteral("FOBlacklist.def"));
    expected.replace(QLatin1Char(' '), QStringLiteral("%20"));
    QCOMPARE(m_urls.urls, QStringList{expected});
    QVERIFY(s->prompter.messages.isEmpty());
}

void BrowseWindowTest::editBlacklistFailureWarns()
{
    Session *s = start(true);
    QVERIFY(s);
    s->recording.result = false;
    s->action("mnuEditBlacklist")->trigger();
    const QString file = QDir(m_data).absoluteFilePath(QStringLiteral("FOBlacklist.def"));
    QCOMPARE(s->recording.opened.size(), 1);
    QCOMPARE(s->recording.opened.first(), QUrl::fromLocalFile(file));
    QCOMPARE(s->prompter.messages.size(), 1);
    QCOMPARE(s->prompter.messages[0].kind, QStringLiteral("warn"));
    QVERIFY2(s->prompter.messages[0].text.contains(QDir::toNativeSeparators(file)),
             qPrintable(s->prompter.messages[0].text));

    // When the file opens, nothing is said.
    s->recording.result = true;
    s->action("mnuEditBlacklist")->trigger();
    QCOMPARE(s->recording.opened.size(), 2);
    QCOMPARE(s->prompter.messages.size(), 1);
}

QTEST_MAIN(BrowseWindowTest)
#include "tst_browsewindow.moc"
