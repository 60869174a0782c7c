#include "WindowFixture.h"

#include "ProductUrls.h"
#include "actions/ui/AdSupportedNotice.h"
#include "app/BrowseController.h"
#include "app/pages/OptionsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QUrlQuery>

using namespace fetchora;
using namespace fetchora::test;

namespace {

const QColor kEditingGrey(64, 64, 64);
const QString kPlaceholder = "Search ...";
const QString kAppsHint = "Here you will find a list of the Best and most common Applications for every purpose.";

// Which of a page's four download controls are enabled: the Download and the
// From Page buttons, then the same two menu items ('-' for one that is off).
const QString kAll = "DPdp";
const QString kPageOnly = "-P-p";
const QString kNone = "----";

// What the program did outside its window, in one line.
QString outcome(const QStringList &downloads = {}, int messages = 0, const QStringList &desktop = {})
{
    return QString("downloads [%1], %2 messages, desktop [%3]")
        .arg(downloads.join(", "), QString::number(messages), desktop.join(", "));
}

// The ad-supported notices on screen; with `alive`, every one not yet freed.
QList<AdSupportedNotice *> notices(bool alive = false)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<AdSupportedNotice *> out;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == QLatin1String("frmAdware") && (alive || w->isVisible()))
            out.append(qobject_cast<AdSupportedNotice *>(w));
    }
    return out;
}

// The caption of the one notice on screen, else how many there are.
QString noticeCaption()
{
    const QList<AdSupportedNotice *> shown = notices();
    if (shown.size() != 1 || !shown.first())
        return QString("<%1 notices>").arg(shown.size());
    auto *label = shown.first()->findChild<QLabel *>("lblCaption");
    return label ? label->text() : "<no caption>";
}

// Once the events ran: the caption of the one notice, which must be the only
// one not yet freed.
QString onlyNotice()
{
    QCoreApplication::processEvents();
    const auto alive = notices(true).size();
    return alive == 1 ? noticeCaption() : QString("<%1 notices alive>").arg(alive);
}

// Waits (as QTRY does) for exactly one notice and gives its caption.
QString noticeShown()
{
    (void)QTest::qWaitFor([] { return notices().size() == 1; });
    return noticeCaption();
}

bool noticeGone()
{
    return QTest::qWaitFor([] { return notices().isEmpty(); });
}

// Gives a notice that should not come the time to come, then looks.
bool noNotice()
{
    QTest::qWait(20);
    return notices().isEmpty();
}

QColor textColour(const QLineEdit *box)
{
    return box->palette().color(QPalette::Text);
}

// A walk through one database page: a category, a downloadable and a barred
// entry in it, then another category and an entry there.
struct Walk
{
    QString page, category;
    QStringList listed;
    QString good, goodLink, barred, barredLink, category2, good2, good2Link;
};

// A double click on an entry with the option on, and what comes of it.
struct DoubleClick
{
    QString page, category, entry;
    bool answer; // to the question for a barred link
    QStringList downloads;
    QString offeredPage; // in the question; no question when empty
    QStringList desktop;
};

} // namespace

Q_DECLARE_METATYPE(Walk)
Q_DECLARE_METATYPE(DoubleClick)

class BrowseWindowTest : public QObject, public WindowFixture
{
    Q_OBJECT

    enum How { Plain = 0, AdwareWarning = 1, PerformOnDoubleClick = 2, Recording = 4 };

    std::unique_ptr<UrlCatcher> m_urls;
    QString m_work;
    QString m_page;

    // Starts the program; with a page ("Home", "Apps", "Options", "Portable",
    // "Slim", "Special", "Pages") shows it and picks `category` there.
    bool open(const QString &page = {}, const QString &category = {}, int how = Plain)
    {
        if (!start(true, (how & Recording) ? AppRun::Recording : AppRun::Desktop))
            return false;
        if (how & AdwareWarning)
            option(true)->setChecked(true);
        if (how & PerformOnDoubleClick)
            option(false)->setChecked(true);
        return page.isEmpty() || go(page, category);
    }

    bool go(const QString &page, const QString &category = {})
    {
        static const QHash<QString, std::pair<int, int>> tabs = {
            {"Home", {MainWindow::TabHome, -1}}, {"Apps", {MainWindow::TabApps, -1}}, {"Options", {MainWindow::TabOptions, -1}},
            {"Portable", {MainWindow::TabPortable, -1}}, {"Slim", {MainWindow::TabSlim, -1}},
            {"Special", {MainWindow::TabSpecial, MainWindow::TabSpecialEntries}},
            {"Pages", {MainWindow::TabSpecial, MainWindow::TabPages}}};
        m_page = page;
        const auto [tab, inner] = tabs.value(page, {-1, -1});
        return tab >= 0 && showTab(app->window, tab, inner) && (category.isEmpty() || clickRow(cats(), category));
    }

    // Object names on the page on display: the Apps page has lstCat, lstApps,
    // cmdDownload; the others carry their name (lstCatSlim, lstSlim, cmdDownloadSlim).
    QByteArray db() const { return m_page == QLatin1String("Apps") ? QByteArray() : m_page.toLatin1(); }
    ListBox *cats() const { return app->list("lstCat" + db()); }
    ListBox *entries() const { return app->list("lst" + m_page.toLatin1()); }
    QLineEdit *searchBox() const { return app->child<QLineEdit>("txt" + m_page.toLatin1() + "Search"); }
    bool pick(const QString &entry, Qt::MouseButton b = Qt::LeftButton) { return clickRow(entries(), entry, b); }
    bool pickTwice(const QString &entry) { return doubleClickRow(entries(), entry); }
    QString noticeFor(const QString &entry) { return pick(entry) ? noticeShown() : entry + " not clickable"; }
    QString link() const { return app->state.currentLink(); }
    // The current link, when the status bar shows the same.
    QString chosen() const { return link() == app->panel() ? link() : link() + " (status bar: " + app->panel() + ")"; }
    QString done() const { return outcome(app->downloads, app->prompter.messages.size(), m_urls->urls); }
    QCheckBox *option(bool adware) const
    {
        OptionsPage *page = app->window.optionsPage;
        return adware ? page->adSupportWarningCheck : page->doubleClickCheck;
    }

    QString offers() const
    {
        QString out;
        for (const char *stem : {"cmd", "mnu"}) {
            for (const char *tail : {"", "FromPage"}) {
                const QByteArray name = stem + QByteArray("Download") + db() + tail;
                auto *widget = app->child<QWidget>(name);
                auto *action = app->child<QAction>(name);
                if (!widget && !action)
                    return "<no " + QString::fromLatin1(name) + ">";
                const bool on = widget ? widget->isEnabled() : action->isEnabled();
                out += on ? QLatin1Char("DPdp"[out.size()]) : QLatin1Char('-');
            }
        }
        return out;
    }

    // Clicks an entry, then tells the link chosen and the download controls:
    // "https://example.org/x.exe DPdp".
    QString choose(const QString &entry) { return pick(entry) ? chosen() + ' ' + offers() : entry + " not clickable"; }

    // Asks the search box for the next match with Enter (which types nothing
    // into it), optionally with the cursor at the start of the text, or by
    // typing a letter; then what it found.
    QString findNext(bool cursorAtStart = false)
    {
        if (cursorAtStart)
            searchBox()->setCursorPosition(0);
        QTest::keyClick(searchBox(), Qt::Key_Return);
        return found();
    }
    QString type(char letter)
    {
        QTest::keyClick(searchBox(), letter);
        return found();
    }

    // The entry the search box found and where its next search starts.
    QString found() const
    {
        return QString("%1 @%2").arg(entries()->currentText(),
                                     QString::number(app->window.browseController->searchPosition(searchBox())));
    }

    // The catalogue every test starts from. Links under "/abc/" are barred by
    // the default blacklist; "/ABC/" is not.
    bool writeCatalogue()
    {
        QByteArray special = crlf({"[Special Apps]", "CCleaner Special=https://example.org/special/ccs.exe",
            "Special Blocked=https://example.org/abc/spb.exe", "Special Other=https://example.org/special/other.exe",
            "[Commands]", "Touch cmd=touch \"DIR/with blank\" DIR/semi;colon", "Write cmd=touch DIR/from-button",
            "Broken cmd=/nonexistent/program --flag", "CMD Shortcuts=https://example.org/cmd-shortcuts.zip"});
        special.replace("DIR", m_work.toUtf8());
        return put({
            {"FOApps.def", crlf({"[Browsers]", "Opera=https://example.org/opera/opera.exe",
                "Firefox=https://example.org/mozilla/firefox.exe", "Firebird=https://example.org/abc/firebird.exe",
                "Thunderbird=https://example.org/ABC/thunderbird.exe",
                "[Cleaners]", "NoLink Cleaner=", "CCleaner Free=https://example.org/ccleaner/free.exe",
                "ccleaner lite=https://example.org/ccleaner/lite.exe", "Defraggler=https://example.org/defraggler.exe",
                "Blocked Cleaner=https://example.org/abc/blocked.exe", "BundleWare Tool=https://example.org/bundle.exe",
                "[Names]", "7-Zip*=https://example.org/7z.exe", "CCleaner Pro (x64)=https://example.org/ccpro.exe",
                "Quick search ... helper=https://example.org/qs.exe",
                "Odd Link=https://example.org/get it.exe?a=1&b=2#part 50%",
                "[Sorting]", "beta=https://example.org/abc/beta.exe", "Alpha=https://example.org/alpha.exe",
                "Zulu=https://example.org/zulu.exe", "alpha=https://example.org/alpha2.exe",
                "Foo\u00A6\u00A6Bar=https://example.org/foobar.exe",
                "[Empty]", "[Tools\u00A6\u00A6Extra]", "Everything=https://example.org/everything.exe"})},
            {"FOPortable.def", crlf({"[Portable Apps]", "CCleaner Portable=https://example.org/portable/ccp.exe",
                "Portable Blocked=https://example.org/abc/pb.exe",
                "Portable Other=https://example.org/portable/other.exe",
                "[Portable Two]", "Portable Two=https://example.org/portable/two.exe"})},
            {"FOSlim.def", crlf({"[Slim Apps]", "CCleaner Slim=https://example.org/slim/ccs.exe",
                "Slim Blocked=https://example.org/abc/sb.exe", "Slim Other=https://example.org/slim/other.exe",
                "[Slim Two]", "Slim Two=https://example.org/slim/two.exe"})},
            {"FOSpecial.def", special},
            {"FOPages.def", crlf({"[Help Pages]", "Help Forum=https://example.org/forum",
                "Blocked Page=https://example.org/abc/page", "[Scanners]", "Online Scanner=https://example.org/scan"})},
            {"FInstalls.def", "[Install Set]\r\nSilent A=setup-a.exe /S\r\n"},
            {"FOVersion.ini", "[Signature]\r\nVersion=2024.06.01\r\n"},
            {"FOBlacklist.def", "/abc/\r\nblocked.example.net\r\n"},
            {"FOAdware.def", "CCleaner\r\nBundleWare\r\n"},
            {"FOSignatures.ddl", "FOApps.def\r\nFOPortable.def\r\n"}});
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(setUpFolder());
        m_work = besideData("work");
        QVERIFY(QDir().mkpath(m_work));
        QVERIFY(writeCatalogue());
        m_urls = std::make_unique<UrlCatcher>();
        QGuiApplication::clipboard()->setText("clipboard before");
    }

    void cleanup()
    {
        closePopups();
        for (AdSupportedNotice *w : notices())
            w->close();
        tearDown();
        m_urls.reset();
    }

    // Categories and entries

    void selectingCategoryListsEntriesAndDisablesDownloads_data()
    {
        QTest::addColumn<Walk>("walk");
        QTest::newRow("Apps") << Walk{"Apps", "Browsers", {"Opera", "Firefox", "Firebird", "Thunderbird"},
                                      "Firefox", "https://example.org/mozilla/firefox.exe",
                                      "Firebird", "https://example.org/abc/firebird.exe",
                                      "Cleaners", "Defraggler", "https://example.org/defraggler.exe"};
        QTest::newRow("Portable") << Walk{"Portable", "Portable Apps",
                                          {"CCleaner Portable", "Portable Blocked", "Portable Other"},
                                          "Portable Other", "https://example.org/portable/other.exe",
                                          "Portable Blocked", "https://example.org/abc/pb.exe",
                                          "Portable Two", "Portable Two", "https://example.org/portable/two.exe"};
        QTest::newRow("Slim") << Walk{"Slim", "Slim Apps", {"CCleaner Slim", "Slim Blocked", "Slim Other"},
                                      "Slim Other", "https://example.org/slim/other.exe",
                                      "Slim Blocked", "https://example.org/abc/sb.exe",
                                      "Slim Two", "Slim Two", "https://example.org/slim/two.exe"};
        QTest::newRow("Special") << Walk{"Special", "Special Apps",
                                         {"CCleaner Special", "Special Blocked", "Special Other"},
                                         "Special Other", "https://example.org/special/other.exe",
                                         "Special Blocked", "https://example.org/abc/spb.exe",
                                         "Commands", "CMD Shortcuts", "https://example.org/cmd-shortcuts.zip"};
    }

    void selectingCategoryListsEntriesAndDisablesDownloads()
    {
        QFETCH(Walk, walk);
        QVERIFY(open(walk.page));
        // Nothing to download before an entry is chosen.
        QCOMPARE(offers(), kNone);
        QVERIFY(clickRow(cats(), walk.category));
        QCOMPARE(entries()->items(), walk.listed);
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(choose(walk.good), walk.goodLink + ' ' + kAll);
        QCOMPARE(choose(walk.barred), walk.barredLink + ' ' + kPageOnly);
        QCOMPARE(choose(walk.good), walk.goodLink + ' ' + kAll);

        // Another category: its entries replace the list, nothing is
        // downloadable until one of them is chosen.
        QVERIFY(clickRow(cats(), walk.category2));
        QVERIFY(rowOf(entries(), walk.good2) >= 0);
        QCOMPARE(rowOf(entries(), walk.good), -1);
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(offers(), kNone);
        // The link stays what was chosen last.
        QCOMPARE(link(), walk.goodLink);
        QCOMPARE(choose(walk.good2), walk.good2Link + ' ' + kAll);
    }

    void blacklistFileBarsLinks_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("items");
        // Opera, Firefox, Firebird, Thunderbird, then Portable Other.
        QTest::addColumn<QString>("offered");
        // ".../abc/..." holds the item; ".../ABC/..." does not.
        QTest::newRow("case sensitive") << false << QByteArray("abc\r\n") << QStringList{"abc"}
                                        << "DPdp DPdp -P-p DPdp DPdp";
        // An empty line is held by every link.
        QTest::newRow("empty line bars every link")
            << false << QByteArray("nothing-matches-this\r\n\r\nneither-this\r\n")
            << QStringList{"nothing-matches-this", "", "neither-this"} << "-P-p -P-p -P-p -P-p -P-p";
        // One item followed by its line end: no empty item, nothing else barred.
        QTest::newRow("last line end adds no item")
            << false << QByteArray("nothing-matches-this\r\n") << QStringList{"nothing-matches-this"}
            << "DPdp DPdp DPdp DPdp DPdp";
        QTest::newRow("empty file") << false << QByteArray() << QStringList() << "DPdp DPdp DPdp DPdp DPdp";
        QTest::newRow("no file") << true << QByteArray() << QStringList() << "DPdp DPdp DPdp DPdp DPdp";
    }

    void blacklistFileBarsLinks()
    {
        QFETCH(bool, missing);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, items);
        QFETCH(QString, offered);
        QVERIFY(missing ? QFile::remove(dataFile("FOBlacklist.def")) : put("FOBlacklist.def", file));
        QVERIFY(open("Apps", "Browsers"));
        QCOMPARE(app->state.lists().blacklist, items);
        QStringList got;
        for (const char *name : {"Opera", "Firefox", "Firebird", "Thunderbird"})
            got << (pick(name) ? offers() : "<" + QString(name) + " not clickable>");
        QCOMPARE(link(), "https://example.org/ABC/thunderbird.exe");
        QVERIFY(go("Portable", "Portable Apps"));
        got << (pick("Portable Other") ? offers() : "<Portable Other not clickable>");
        QCOMPARE(got.join(' '), offered);
    }

    void entryWithoutValueKeepsLinkAndButtons()
    {
        QVERIFY(open("Apps", "Browsers"));
        QCOMPARE(choose("Firefox"), "https://example.org/mozilla/firefox.exe DPdp");
        QVERIFY(clickRow(cats(), "Cleaners"));
        QCOMPARE(offers(), kNone);
        // Right after another category an entry without a value gives nothing
        // to download; the link stays.
        QCOMPARE(choose("NoLink Cleaner"), "https://example.org/mozilla/firefox.exe ----");
        QCOMPARE(choose("Defraggler"), "https://example.org/defraggler.exe DPdp");
        // After a downloadable entry: everything stays enabled and the link kept.
        QCOMPARE(choose("NoLink Cleaner"), "https://example.org/defraggler.exe DPdp");
        // After a barred entry: direct download stays off.
        QVERIFY(pick("Blocked Cleaner"));
        QCOMPARE(choose("NoLink Cleaner"), "https://example.org/abc/blocked.exe -P-p");
    }

    void pageSelectionEnablesVisitWithoutBlacklist()
    {
        // Even a blacklist that bars every link leaves pages to visit.
        QVERIFY(put("FOBlacklist.def", "/abc/\r\n\r\n"));
        QVERIFY(open("Pages"));
        auto *visit = app->button("cmdVisitPage");
        QVERIFY(visit);
        QVERIFY(!visit->isEnabled());
        QVERIFY(clickRow(cats(), "Help Pages"));
        QCOMPARE(entries()->items(), (QStringList{"Help Forum", "Blocked Page"}));
        QVERIFY(!visit->isEnabled());
        QVERIFY(pick("Blocked Page"));
        QCOMPARE(chosen(), "https://example.org/abc/page");
        QVERIFY(visit->isEnabled());
        QVERIFY(app->action("mnuVisitPage")->isEnabled());

        QVERIFY(clickRow(cats(), "Scanners"));
        QVERIFY(!visit->isEnabled());
        QVERIFY(pick("Online Scanner"));
        QCOMPARE(app->panel(), "https://example.org/scan");
        QVERIFY(visit->isEnabled());
    }

    // Ad-supported warning

    void adwareNoticeFollowsSelection()
    {
        QVERIFY(open("Apps", "Cleaners", AdwareWarning));
        QVERIFY(app->state.options().adSupportWarning);
        // "CCleaner" does not mark "ccleaner lite".
        QVERIFY(pick("ccleaner lite"));
        QCOMPARE(notices().size(), 0);
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        QCOMPARE(app->window.browseController->adSupportedNotice(), notices().first());
        // The selection still gives its link.
        QCOMPARE(link(), "https://example.org/ccleaner/free.exe");
        QVERIFY(pick("Defraggler") && noticeGone());
        // And it comes back for the next match.
        QCOMPARE(noticeFor("BundleWare Tool"), "Fetchora - BundleWare Tool");
        QVERIFY(pick("ccleaner lite") && noticeGone());

        // The notice already up is reused, not replaced, from another category as well.
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        QPointer<AdSupportedNotice> first = notices().first();
        QVERIFY(pick("BundleWare Tool"));
        QCOMPARE(onlyNotice(), "Fetchora - BundleWare Tool");
        QCOMPARE(notices().first(), first.data());
        QVERIFY(clickRow(cats(), "Names") && pick("CCleaner Pro (x64)"));
        QCOMPARE(onlyNotice(), "Fetchora - CCleaner Pro (x64)");

        // The Slim list warns the same way.
        QVERIFY(go("Slim", "Slim Apps"));
        QCOMPARE(noticeFor("CCleaner Slim"), "Fetchora - CCleaner Slim");
        QVERIFY(pick("Slim Other") && noticeGone());
    }

    void adwareNoticeNeverShownWithOptionOff()
    {
        QVERIFY(open("Apps", "Cleaners"));
        QVERIFY(!option(true)->isChecked());
        QVERIFY(pick("CCleaner Free") && pick("BundleWare Tool"));
        QVERIFY(noNotice());
        QVERIFY(!app->window.browseController->adSupportedNotice());

        // Switched on and off again: no notice either.
        option(true)->setChecked(true);
        option(true)->setChecked(false);
        QVERIFY(!app->state.options().adSupportWarning);
        QVERIFY(pick("CCleaner Free"));
        QVERIFY(noNotice());
    }

    void adwareNoticeUntouchedWithEmptyList()
    {
        QVERIFY(put("FOAdware.def", QByteArray()));
        QVERIFY(open("Apps", "Cleaners", AdwareWarning));
        QVERIFY(pick("CCleaner Free"));
        QVERIFY(noNotice());

        // A notice already up (the list was emptied since, e.g. by an update)
        // is not closed by the next selection either.
        ProtectionLists lists = app->state.lists();
        lists.adware = QStringList{"CCleaner"};
        app->state.setLists(lists);
        QVERIFY(pick("Defraggler"));
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        lists.adware.clear();
        app->state.setLists(lists);
        QVERIFY(pick("Defraggler"));
        QTest::qWait(20);
        QCOMPARE(noticeCaption(), "Fetchora - CCleaner Free");
    }

    void adwareNoticeUntouchedByPortableAndSpecial()
    {
        QVERIFY(open({}, {}, AdwareWarning));
        // Matching names on the Portable and Special lists show nothing.
        QVERIFY(go("Portable", "Portable Apps") && pick("CCleaner Portable"));
        QVERIFY(go("Special", "Special Apps") && pick("CCleaner Special"));
        QVERIFY(noNotice());

        // A notice from the Apps list is neither recaptioned nor closed by them.
        QVERIFY(go("Apps", "Cleaners"));
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        QVERIFY(go("Portable") && pick("Portable Other") && pick("CCleaner Portable"));
        QVERIFY(go("Special") && pick("Special Other") && pick("CCleaner Special"));
        QTest::qWait(20);
        QCOMPARE(noticeCaption(), "Fetchora - CCleaner Free");
        QCOMPARE(link(), "https://example.org/special/ccs.exe");
    }

    void adwareNoticeLeavesFocusAndUsesChosenTheme()
    {
        QVERIFY(open());
        QComboBox *theme = app->window.optionsPage->themeCombo;
        const int cyan = theme->findText("Cyan");
        QVERIFY(cyan >= 0);
        theme->setCurrentIndex(cyan);
        option(true)->setChecked(true);
        QVERIFY(go("Apps", "Cleaners"));
        entries()->setFocus();
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        AdSupportedNotice *notice = notices().first();
        // The window system is asked not to activate it (the offscreen platform
        // activates whatever it shows, so the request is what is checked).
        QVERIFY(notice->isWindow());
        QVERIFY(notice->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(notice->testAttribute(Qt::WA_ShowWithoutActivating));
        // Not a child of the main window's own widgets.
        QVERIFY(!app->window.isAncestorOf(notice));
        // Keyboard input of the main window is where the user left it.
        QCOMPARE(app->window.focusWidget(), entries());

        QVERIFY(QTest::qWaitForWindowExposed(notice));
        auto *strip = notice->findChild<QWidget *>("PicTitleBar");
        QVERIFY(strip);
        const QImage image = strip->grab().toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.pixelColor(1, 1).rgb(), QColor(12, 128, 237).rgb());
    }

    void storedOptionsApplyAtStart()
    {
        QVERIFY(put("Fetchora.ini", "[frmMain]\r\nchkAdSupportWarning=1\r\nchkPerformOpsWithDoubleClick=1\r\n"));
        QVERIFY(open());
        QVERIFY(option(true)->isChecked());
        QVERIFY(app->state.options().adSupportWarning);
        QVERIFY(app->state.options().performOpsWithDoubleClick);
        QVERIFY(app->list("lstAdware")->isEnabled());

        QVERIFY(go("Apps", "Cleaners"));
        QCOMPARE(noticeFor("CCleaner Free"), "Fetchora - CCleaner Free");
        QVERIFY(pickTwice("Defraggler"));
        QCOMPARE(app->downloads, QStringList{"https://example.org/defraggler.exe"});
        QVERIFY(noticeGone());
    }

    // Search boxes

    void searchBoxWalksMatchesAndWraps()
    {
        QVERIFY(open("Apps", "Browsers"));
        QLineEdit *box = searchBox();
        QVERIFY(box);
        // A click into the box empties it, also when it holds text.
        QCOMPARE(box->text(), kPlaceholder);
        QVERIFY(textColour(box) != kEditingGrey);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QCOMPARE(textColour(box), kEditingGrey);
        QCOMPARE(app->window.browseController->searchPosition(box), -1);
        box->setText("something");
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());

        box->setText("fire");
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(findNext(), "Firefox @1");
        // Finding selects the entry the same way a click does.
        QCOMPARE(chosen() + ' ' + offers(), "https://example.org/mozilla/firefox.exe DPdp");
        QCOMPARE(findNext(), "Firebird @2");
        QCOMPARE(chosen() + ' ' + offers(), "https://example.org/abc/firebird.exe -P-p");

        // Nothing further down: the selection stays, the next search starts at
        // the top and the cursor is put behind the text.
        QCOMPARE(findNext(true), "Firebird @-1");
        QCOMPARE(box->cursorPosition(), int(box->text().size()));
        QCOMPARE(box->text(), "fire");
        QCOMPARE(findNext(), "Firefox @1");

        // Moving the cursor or pressing Shift searches nothing.
        for (Qt::Key key : {Qt::Key_End, Qt::Key_Left, Qt::Key_Home, Qt::Key_Shift})
            QTest::keyClick(box, key);
        QCOMPARE(found(), "Firefox @1");

        // A click into the box starts a new search from the top.
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QCOMPARE(app->window.browseController->searchPosition(box), -1);
        box->setText("fire");
        QCOMPARE(findNext(), "Firefox @1");

        // Blanks around the text and its case do not matter. Thunderbird is
        // the last entry: found, and the next search starts over.
        QTest::mouseClick(box, Qt::LeftButton);
        box->setText("  BiRd ");
        QCOMPARE(findNext(), "Firebird @2");
        QCOMPARE(findNext(true), "Thunderbird @-1");
        QCOMPARE(box->cursorPosition(), int(box->text().size()));
        QCOMPARE(findNext(), "Firebird @2");

        // Another page puts the placeholder back but keeps where the next
        // search starts.
        for (const char *page : {"Home", "Apps"}) {
            QVERIFY(go(page));
            QCOMPARE(box->text(), kPlaceholder);
            QCOMPARE(app->window.browseController->searchPosition(box), 2);
        }
    }

    void findNextWhileTyping()
    {
        QVERIFY(open("Apps", "Browsers"));
        QLineEdit *box = searchBox();
        QTest::mouseClick(box, Qt::LeftButton);
        // Each key searches the text as it stood before the key: "f" searches "",
        // "i" searches "f" after Opera, "r" "fi" after Firefox, "e" finds no "fir"
        // after Firebird, and the second "f" searches "fire" from the top.
        const std::tuple<char, const char *, const char *> steps[] = {{'f', "Opera @0", "f"},
                                                                      {'i', "Firefox @1", "fi"},
                                                                      {'r', "Firebird @2", "fir"},
                                                                      {'e', "Firebird @-1", "fire"},
                                                                      {'f', "Firefox @1", "firef"}};
        for (const auto &[key, expected, typed] : steps) {
            QCOMPARE(type(key), expected);
            QCOMPARE(box->text(), typed);
        }
    }

    void placeholderIsSearchedWithoutClick()
    {
        QVERIFY(open("Apps", "Names"));
        QCOMPARE(searchBox()->text(), kPlaceholder);
        QCOMPARE(entries()->currentRow(), -1);
        QVERIFY(findNext().startsWith("Quick search ... helper @"));
        QCOMPARE(link(), "https://example.org/qs.exe");
    }

    void findNextInEmptyList()
    {
        QVERIFY(open("Apps", "Empty"));
        QCOMPARE(entries()->count(), 0);
        QTest::mouseClick(searchBox(), Qt::LeftButton);
        // "a" searches "", which every name holds; then a search for "a".
        QCOMPARE(type('a'), " @-1");
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(findNext(), " @-1");
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(link(), QString());
    }

    // Mouse on the lists and buttons

    void mouseDownCopiesNameIntoSearch_data()
    {
        QTest::addColumn<QStringList>("at"); // page, category, entry
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("rightButton");
        QTest::newRow("plain") << QStringList{"Apps", "Browsers", "Thunderbird"} << "Thunderbird" << false;
        QTest::newRow("plain, right button") << QStringList{"Apps", "Browsers", "Opera"} << "Opera" << true;
        QTest::newRow("pick mark") << QStringList{"Apps", "Names", "7-Zip*"} << "7-Zip [PICK]" << false;
        QTest::newRow("bracket remark")
            << QStringList{"Apps", "Names", "CCleaner Pro (x64)"} << "CCleaner Pro " << false;
        QTest::newRow("bracket remark, right button")
            << QStringList{"Apps", "Names", "CCleaner Pro (x64)"} << "CCleaner Pro " << true;
        QTest::newRow("Portable") << QStringList{"Portable", "Portable Apps", "Portable Blocked"} << "Portable Blocked"
                                  << false;
        QTest::newRow("Slim, right button") << QStringList{"Slim", "Slim Apps", "Slim Other"} << "Slim Other" << true;
        QTest::newRow("Special") << QStringList{"Special", "Special Apps", "Special Other"} << "Special Other" << false;
    }

    void mouseDownCopiesNameIntoSearch()
    {
        QFETCH(QStringList, at);
        QFETCH(QString, shown);
        QFETCH(bool, rightButton);
        QVERIFY(open(at[0], at[1]));
        QLineEdit *box = searchBox();
        QVERIFY(box);
        QCOMPARE(box->text(), kPlaceholder);
        QVERIFY(textColour(box) != kEditingGrey);
        QVERIFY(pick(at[2], rightButton ? Qt::RightButton : Qt::LeftButton));
        closePopups();
        QCOMPARE(box->text(), shown);
        QCOMPARE(textColour(box), kEditingGrey);
    }

    void mouseDownOnPageNamesIt()
    {
        QVERIFY(open("Pages", "Help Pages"));
        auto *label = app->child<QLabel>("lblPages");
        QVERIFY(label);
        QVERIFY(pick("Help Forum"));
        QCOMPARE(label->text(), "Help Forum");
        QVERIFY(pick("Blocked Page", Qt::RightButton));
        closePopups();
        QCOMPARE(label->text(), "Blocked Page");
    }

    void rightButtonOpensEntryMenu()
    {
        QVERIFY(open("Apps", "Browsers"));
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QVERIFY(pick("Firefox", Qt::RightButton));
        QTRY_VERIFY(QApplication::activePopupWidget());
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), "mnMain");
        QVERIFY(menu->defaultAction());
        QCOMPARE(menu->defaultAction()->objectName(), "mnuDownload");
        // The entry under the pointer is the one the menu acts on.
        QCOMPARE(link(), "https://example.org/mozilla/firefox.exe");
        QVERIFY(menu->defaultAction()->isEnabled());
        closePopups();

        // A left click pops nothing up.
        QVERIFY(pick("Opera"));
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }

    void hoverOverDownloadShowsNameKeepsStatus()
    {
        QVERIFY(open("Apps", "Browsers"));
        // Chosen without the mouse, so the box still shows its placeholder.
        entries()->setCurrentRow(rowOf(entries(), "Firefox"));
        QCOMPARE(app->panel(), "https://example.org/mozilla/firefox.exe");
        QCOMPARE(searchBox()->text(), kPlaceholder);

        auto *download = app->button("cmdDownload");
        QVERIFY(download->isVisible() && download->isEnabled());
        hover(download);
        QTRY_COMPARE(searchBox()->text(), "Firefox");
        QCOMPARE(textColour(searchBox()), kEditingGrey);
        QCOMPARE(chosen(), "https://example.org/mozilla/firefox.exe");
        QVERIFY(app->downloads.isEmpty());
    }

    // Double click

    void doubleClickOffDoesNothing()
    {
        QVERIFY(open("Apps", "Browsers"));
        QVERIFY(!option(false)->isChecked());
        QVERIFY(pickTwice("Firefox"));
        QVERIFY(pickTwice("Firebird"));
        QTest::qWait(20);
        QCOMPARE(done(), outcome());
        // Selecting still worked.
        QCOMPARE(link(), "https://example.org/abc/firebird.exe");

        // A page is only selected as well.
        QVERIFY(go("Pages", "Help Pages"));
        QVERIFY(pickTwice("Help Forum"));
        QTest::qWait(10);
        QCOMPARE(done(), outcome());
    }

    void doubleClickActs_data()
    {
        const QString firebird = "https://example.org/abc/firebird.exe";
        QTest::addColumn<DoubleClick>("click");
        QTest::newRow("download") << DoubleClick{"Apps", "Browsers", "Thunderbird", false,
                                                 {"https://example.org/ABC/thunderbird.exe"}, {}, {}};
        QTest::newRow("download, other database")
            << DoubleClick{"Portable", "Portable Apps", "Portable Other", false,
                           {"https://example.org/portable/other.exe"}, {}, {}};
        QTest::newRow("barred, page wanted")
            << DoubleClick{"Apps", "Browsers", "Firebird", true, {}, firebird, {firebird}};
        QTest::newRow("barred, page not wanted")
            << DoubleClick{"Slim", "Slim Apps", "Slim Blocked", false, {}, "https://example.org/abc/sb.exe", {}};
        // Pages are never downloaded and never barred: no question.
        QTest::newRow("page")
            << DoubleClick{"Pages", "Help Pages", "Help Forum", true, {}, {}, {"https://example.org/forum"}};
        QTest::newRow("barred page")
            << DoubleClick{"Pages", "Help Pages", "Blocked Page", true, {}, {}, {"https://example.org/abc/page"}};
        // Upper case "CMD" is no command mark.
        QTest::newRow("CMD in capitals") << DoubleClick{"Special", "Commands", "CMD Shortcuts", false,
                                                        {"https://example.org/cmd-shortcuts.zip"}, {}, {}};
    }

    void doubleClickActs()
    {
        QFETCH(DoubleClick, click);
        QVERIFY(open(click.page, click.category, PerformOnDoubleClick));
        QVERIFY(app->state.options().performOpsWithDoubleClick);
        app->prompter.answers = {click.answer};
        QVERIFY(pickTwice(click.entry));
        QCOMPARE(done(), outcome(click.downloads, click.offeredPage.isEmpty() ? 0 : 1, click.desktop));
        if (!click.offeredPage.isEmpty()) {
            const auto &asked = app->prompter.messages.first();
            QCOMPARE(asked.kind, "ask");
            QCOMPARE(asked.title, "DDL not available for " + click.entry);
            QCOMPARE(asked.text, QString("A Direct Download Link for \"%1\" is not available.\r\n"
                                         "Do you want instead to open the Download page?\r\n"
                                         " \r\n"
                                         "This Download page is secure: %2")
                                     .arg(click.entry, click.offeredPage));
        }
        if (click.page == QLatin1String("Special")) {
            QVERIFY(app->button("cmdDownloadSpecial")->isVisible());
            QVERIFY(!app->button("cmdRunApp")->isVisible());
        }
    }

    void doubleClickRunsCommandEntry()
    {
        if (m_work.contains(' '))
            QSKIP("The command lines name files of the temporary folder without quotes.");
        QVERIFY(open("Special", "Commands", PerformOnDoubleClick));
        const QDir work(m_work);
        QVERIFY(pickTwice("Touch cmd"));
        QCOMPARE(link(), QString("touch \"%1\" %2").arg(work.filePath("with blank"), work.filePath("semi;colon")));
        // The quoted part is one argument; no shell reads the ";".
        QTRY_VERIFY(QFile::exists(work.filePath("with blank")) && QFile::exists(work.filePath("semi;colon")));
        QTest::qWait(50);
        QVERIFY(!QFile::exists(work.filePath("with")));
        QVERIFY(!QFile::exists(work.filePath("semi")));
        QCOMPARE(done(), outcome());
    }

    void runButtonRunsCommand()
    {
        if (m_work.contains(' '))
            QSKIP("The command lines name files of the temporary folder without quotes.");
        QVERIFY(open("Special", "Commands"));
        QVERIFY(pick("Write cmd"));
        auto *run = app->button("cmdRunApp");
        QVERIFY(run && run->isVisible() && run->isEnabled());
        const QString made = QDir(m_work).filePath("from-button");
        QVERIFY(!QFile::exists(made));
        QTest::mouseClick(run, Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(made));
        QCOMPARE(done(), outcome());
    }

    void runButtonReportsCommandThatCannotStart()
    {
        QVERIFY(open("Special", "Commands"));
        QVERIFY(pick("Broken cmd"));
        auto *run = app->button("cmdRunApp");
        QVERIFY(run->isVisible());
        QTest::mouseClick(run, Qt::LeftButton);
        QCOMPARE(done(), outcome({}, 1));
        // The double click reports it the same way.
        option(false)->setChecked(true);
        QVERIFY(pickTwice("Broken cmd"));
        QCOMPARE(done(), outcome({}, 2));
        for (const auto &message : std::as_const(app->prompter.messages)) {
            QCOMPARE(message.kind, "warn");
            QVERIFY2(message.text.contains("/nonexistent/program"), qPrintable(message.text));
        }
    }

    // Context menu

    void copyLinkAndName()
    {
        QVERIFY(open("Apps", "Names"));
        QVERIFY(pick("CCleaner Pro (x64)"));
        QClipboard *clipboard = QGuiApplication::clipboard();
        QCOMPARE(clipboard->text(), "clipboard before");
        auto copy = [&](const char *action) {
            app->action(action)->trigger();
            return clipboard->text();
        };
        QCOMPARE(copy("mnuURLtoClipboard"), "https://example.org/ccpro.exe");
        // The whole name, remark included (the search box cut is not used).
        QCOMPARE(copy("mnuCopyAppName"), "CCleaner Pro (x64)");
        QVERIFY(pick("7-Zip*"));
        QCOMPARE(copy("mnuCopyAppName"), "7-Zip*");
        // Another database's items copy its own selection.
        QVERIFY(go("Portable", "Portable Apps"));
        QVERIFY(pick("Portable Blocked"));
        QCOMPARE(copy("mnuURLtoClipboardPortable"), "https://example.org/abc/pb.exe");
        QCOMPARE(copy("mnuCopyPortableName"), "Portable Blocked");
    }

    void blockDirectDownloadMail()
    {
        QVERIFY(open("Apps", "Names"));
        QVERIFY(pick("Odd Link"));
        const QString odd = "https://example.org/get it.exe?a=1&b=2#part 50%";
        QCOMPARE(link(), odd);

        QAction *block = app->action("mnuBlockDirectDownload");
        QVERIFY(block);
        QCOMPARE(block->text(), "Direct Download for this App not allowed?");
        block->trigger();
        QCOMPARE(done(), outcome({}, 0,
                                 {"mailto:" + QString(urls::FeedbackMail)
                                  + "?Subject=Direct%20Download%20not%20allowed."
                                    "&Body=Please%20Prevent%20this%20Fetchora%20ID%3A%20"
                                    "https%3A%2F%2Fexample.org%2Fget%20it.exe%3Fa%3D1%26b%3D2%23part%2050%25"
                                    "%20from%20Direct%20Download."}));

        // Read back as a mail client does: the link arrives whole.
        const QUrl mail(m_urls->urls.first(), QUrl::StrictMode);
        QVERIFY(mail.isValid());
        QCOMPARE(mail.scheme(), "mailto");
        QCOMPARE(mail.path(), QLatin1String(urls::FeedbackMail));
        QVERIFY(!mail.hasFragment());
        const QUrlQuery query(mail);
        QCOMPARE(query.queryItems().size(), 2);
        QCOMPARE(query.queryItemValue("Subject", QUrl::FullyDecoded), "Direct Download not allowed.");
        QCOMPARE(query.queryItemValue("Body", QUrl::FullyDecoded),
                 "Please Prevent this Fetchora ID: " + odd + " from Direct Download.");
    }

    void menuDownloadAndFromPage()
    {
        const QString firefox = "https://example.org/mozilla/firefox.exe";
        const QString firebird = "https://example.org/abc/firebird.exe";
        QVERIFY(open("Apps", "Browsers"));
        QVERIFY(pick("Firefox"));
        app->action("mnuDownload")->trigger();
        QCOMPARE(done(), outcome({firefox}));

        QVERIFY(pick("Firebird"));
        QAction *fromPage = app->action("mnuDownloadFromPage");
        QCOMPARE(fromPage->text(), "Direct Download from Page");
        fromPage->trigger();
        QCOMPARE(done(), outcome({firefox}, 0, {firebird}));

        // The page's buttons do the same.
        QTest::mouseClick(app->button("cmdDownloadFromPage"), Qt::LeftButton);
        QCOMPARE(done(), outcome({firefox}, 0, {firebird, firebird}));
        QVERIFY(pick("Thunderbird"));
        QTest::mouseClick(app->button("cmdDownload"), Qt::LeftButton);
        QCOMPARE(app->downloads, (QStringList{firefox, "https://example.org/ABC/thunderbird.exe"}));
    }

    void sortEntries()
    {
        QVERIFY(open("Apps", "Sorting"));
        const QString foobar = "Foo\u00A6\u00A6Bar";
        QCOMPARE(entries()->items(), (QStringList{"beta", "Alpha", "Zulu", "alpha", foobar}));
        // A barred entry: direct download off, download page on.
        QCOMPARE(choose("beta"), "https://example.org/abc/beta.exe -P-p");

        QAction *sort = app->action("mnuSort");
        QVERIFY(sort);
        sort->trigger();
        // Character codes: capitals before small letters, "Z" before "a".
        QCOMPARE(entries()->items(), (QStringList{"Alpha", foobar, "Zulu", "alpha", "beta"}));
        QCOMPARE(entries()->count(), 5);
        QCOMPARE(app->child<QLabel>("lblCountApps")->text(), "5");
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(chosen() + ' ' + offers(), "https://example.org/abc/beta.exe -P-p");

        // Downloadable entry, sorted again: both stay on.
        QCOMPARE(choose("Zulu"), "https://example.org/zulu.exe DPdp");
        sort->trigger();
        QCOMPARE(entries()->items(), (QStringList{"Alpha", foobar, "Zulu", "alpha", "beta"}));
        QCOMPARE(entries()->currentRow(), -1);
        QCOMPARE(chosen() + ' ' + offers(), "https://example.org/zulu.exe DPdp");
        // The actions still act on the link chosen before the sort.
        app->action("mnuDownload")->trigger();
        QCOMPARE(app->downloads, QStringList{"https://example.org/zulu.exe"});
    }

    void sortCategories()
    {
        QVERIFY(open("Apps"));
        const QString toolsExtra = "Tools\u00A6\u00A6Extra";
        QCOMPARE(cats()->items(), (QStringList{"Browsers", "Cleaners", "Names", "Sorting", "Empty", toolsExtra}));
        QVERIFY(clickRow(cats(), "Browsers"));
        QVERIFY(pick("Firefox"));

        QAction *sort = app->action("mnuSortCat");
        QVERIFY(sort);
        sort->trigger();
        QCOMPARE(cats()->items(), (QStringList{"Browsers", "Cleaners", "Empty", "Names", "Sorting", toolsExtra}));
        QCOMPARE(cats()->count(), 6);
        QCOMPARE(cats()->currentRow(), -1);
        QCOMPARE(chosen() + ' ' + offers(), "https://example.org/mozilla/firefox.exe DPdp");

        // The category with "¦¦" in its name still lists its entries.
        QVERIFY(clickRow(cats(), toolsExtra));
        QCOMPARE(entries()->items(), QStringList{"Everything"});
    }

    void linkActionsIgnoreHints()
    {
        const QString thunderbird = "https://example.org/ABC/thunderbird.exe";
        QVERIFY(open("Apps", "Browsers"));
        QVERIFY(pick("Thunderbird"));

        QVERIFY(go("Home"));
        auto *getApps = app->button("cmdGetApps");
        QVERIFY(getApps->isVisible());
        hover(getApps);
        QTRY_COMPARE(app->panel(), kAppsHint);
        QCOMPARE(link(), thunderbird);

        app->action("mnuURLtoClipboard")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), thunderbird);
        app->action("mnuDownload")->trigger();
        app->action("mnuDownloadFromPage")->trigger();
        QCOMPARE(done(), outcome({thunderbird}, 0, {thunderbird}));
        app->action("mnuBlockDirectDownload")->trigger();
        QCOMPARE(m_urls->urls.size(), 2);
        QCOMPARE(QUrlQuery(QUrl(m_urls->urls[1])).queryItemValue("Body", QUrl::FullyDecoded),
                 "Please Prevent this Fetchora ID: " + thunderbird + " from Direct Download.");
        QCOMPARE(app->panel(), kAppsHint);
    }

    // Options page

    void optionsListsShowFiles()
    {
        QVERIFY(put({{"FOBlacklist.def", "/abc/\r\n\r\n  spaced item  \r\nlast"},
                     {"FOAdware.def", "CCleaner\n\nBundleWare\n"},
                     {"FOSignatures.ddl", "FOApps.def\rFOPortable.def\r\n\r\nFOSlim.def\r\n"}}));
        QVERIFY(open("Options"));
        QCOMPARE(app->items("lstBlacklist"), (QStringList{"/abc/", "", "  spaced item  ", "last"}));
        QCOMPARE(app->items("lstAdware"), (QStringList{"CCleaner", "", "BundleWare"}));
        QCOMPARE(app->items("lstSignatures"), (QStringList{"FOApps.def", "FOPortable.def", "", "FOSlim.def"}));
    }

    void adwareListFollowsOption()
    {
        QVERIFY(open("Options"));
        QCheckBox *check = option(true);
        auto *adware = app->list("lstAdware");
        QVERIFY(!check->isChecked());
        QVERIFY(!adware->isEnabled());
        for (bool on : {true, false}) {
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
            QCOMPARE(check->isChecked(), on);
            QCOMPARE(adware->isEnabled(), on);
            QCOMPARE(app->state.options().adSupportWarning, on);
        }
        // The other lists stay usable.
        QVERIFY(app->list("lstBlacklist")->isEnabled());
        QVERIFY(app->list("lstSignatures")->isEnabled());
    }

    void editBlacklistOpensFile()
    {
        // A data folder with a blank in its name: the address must carry it encoded.
        dataDir = besideData("My Data");
        QVERIFY(writeCatalogue());
        QVERIFY(open());
        QAction *edit = app->action("mnuEditBlacklist");
        QVERIFY(edit);
        QCOMPARE(edit->text(), "Edit Blacklist");
        edit->trigger();
        QString expected = "file://" + QDir(dataDir).absoluteFilePath("FOBlacklist.def");
        QCOMPARE(done(), outcome({}, 0, {expected.replace(' ', "%20")}));
    }

    void editBlacklistFailureWarns()
    {
        QVERIFY(open({}, {}, Recording));
        app->shell.result = false;
        app->action("mnuEditBlacklist")->trigger();
        const QString file = QDir(dataDir).absoluteFilePath("FOBlacklist.def");
        QCOMPARE(app->shell.opened, QList<QUrl>{QUrl::fromLocalFile(file)});
        QCOMPARE(app->prompter.messages.size(), 1);
        QCOMPARE(app->prompter.messages[0].kind, "warn");
        QVERIFY2(app->prompter.messages[0].text.contains(QDir::toNativeSeparators(file)),
                 qPrintable(app->prompter.messages[0].text));

        // When the file opens, nothing is said.
        app->shell.result = true;
        app->action("mnuEditBlacklist")->trigger();
        QCOMPARE(app->shell.opened.size(), 2);
        QCOMPARE(app->prompter.messages.size(), 1);
    }
};

QTEST_MAIN(BrowseWindowTest)
#include "tst_browsewindow.moc"
