#include "BrowseController.h"

#include "actions/LinkActions.h"
#include "actions/ui/AdSupportedNotice.h"
#include "app/MainWindow.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SpecialPage.h"
#include "catalogue/Browsing.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "widgets/ListBox.h"
#include "widgets/StatusBar.h"
#include "widgets/ThemedButton.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace fetchora {

namespace {

const QColor kEditingGrey(64, 64, 64);

void setTextColour(QLineEdit *box, const QColor &colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    box->setPalette(palette);
}

// The names the settings file, the tests and the other windows know the menus by.
struct MenuNames
{
    const char *menu, *download, *fromPage, *copyLink, *copyName, *block, *sort, *categoryMenu, *sortCategories;
};

MenuNames namesFor(Database db)
{
    switch (db) {
    case Database::Apps:
        return {"mnMain",
                "mnuDownload",
                "mnuDownloadFromPage",
                "mnuURLtoClipboard",
                "mnuCopyAppName",
                "mnuBlockDirectDownload",
                "mnuSort",
                "mnSortCat",
                "mnuSortCat"};
    case Database::Portable:
        return {"mnPortable",
                "mnuDownloadPortable",
                "mnuDownloadPortableFromPage",
                "mnuURLtoClipboardPortable",
                "mnuCopyPortableName",
                "mnuBlockDirectDownloadPortable",
                "mnuSortPortable",
                "mnSortCatPortable",
                "mnuSortCatPortable"};
    case Database::Slim:
        return {"mnSlim",
                "mnuDownloadSlim",
                "mnuDownloadSlimFromPage",
                "mnuURLtoClipboardSlim",
                "mnuCopySlimName",
                "mnuBlockDirectDownloadSlim",
                "mnuSortSlim",
                "mnSortCatSlim",
                "mnuSortCatSlim"};
    case Database::Special:
        return {"mnSpecial",
                "mnuDownloadSpecial",
                "mnuDownloadSpecialFromPage",
                "mnuURLtoClipboardSpecial",
                "mnuCopySpecialName",
                "mnuBlockDirectDownloadSpecial",
                "mnuSortSpecial",
                "mnSortCatSpecial",
                "mnuSortCatSpecial"};
    case Database::Pages:
        return {"mnPages", nullptr,        "mnuVisitPage",   "mnuURLtoClipboardPage", nullptr,
                nullptr,   "mnuSortPages", "mnSortCatPages", "mnuSortCatPages"};
    case Database::Install:
        return {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "mnSortCatInstall", "mnuSortCatInstall"};
    }
    return {};
}

QAction *addAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

bool isAppList(Database db)
{
    return db == Database::Apps || db == Database::Portable || db == Database::Slim || db == Database::Special;
}

} // namespace

BrowseController::BrowseController(AppState &state, MainWindow &window)
    : QObject(&window), m_state(state), m_window(window)
{
    const std::pair<CataloguePage *, Database> pages[] = {{window.appsPage, Database::Apps},
                                                          {window.portablePage, Database::Portable},
                                                          {window.slimPage, Database::Slim},
                                                          {window.specialPage->special, Database::Special},
                                                          {window.specialPage->pages, Database::Pages},
                                                          {window.installPage, Database::Install}};
    for (const auto &[page, db] : pages) {
        Page p;
        p.page = page;
        p.db = db;
        m_pages.append(p);
    }
    for (Page &p : m_pages) {
        buildMenus(p);
        wirePage(p);
    }
    wireProtectionLists();
}

BrowseController::~BrowseController()
{
    delete m_adware.data();
}

BrowseController::Page *BrowseController::pageOf(Database db)
{
    for (Page &p : m_pages) {
        if (p.db == db)
            return &p;
    }
    return nullptr;
}

const BrowseController::Page *BrowseController::pageOf(Database db) const
{
    return const_cast<BrowseController *>(this)->pageOf(db);
}

AdSupportedNotice *BrowseController::adSupportedNotice() const
{
    return m_adware.data();
}

QMenu *BrowseController::entryMenu(Database db) const
{
    const Page *p = pageOf(db);
    return p ? p->entryMenu : nullptr;
}

QMenu *BrowseController::categoryMenu(Database db) const
{
    const Page *p = pageOf(db);
    return p ? p->categoryMenu : nullptr;
}

void BrowseController::buildMenus(Page &p)
{
    const MenuNames names = namesFor(p.db);
    const Database db = p.db;
    p.categoryMenu = new QMenu(&m_window);
    p.categoryMenu->setObjectName(QLatin1String(names.categoryMenu));
    connect(addAction(p.categoryMenu, names.sortCategories, QStringLiteral("Sort A-Z")), &QAction::triggered, this,
            [this, db] { sortCategories(db); });
    if (!names.menu)
        return;

    p.entryMenu = new QMenu(&m_window);
    p.entryMenu->setObjectName(QLatin1String(names.menu));
    if (names.download) {
        p.download = addAction(p.entryMenu, names.download, QStringLiteral("Direct Download"));
        connect(p.download, &QAction::triggered, this, &BrowseController::directDownload);
        p.fromPage = addAction(p.entryMenu, names.fromPage, QStringLiteral("Direct Download from Page"));
        p.entryMenu->setDefaultAction(p.download);
    } else {
        p.fromPage = addAction(p.entryMenu, names.fromPage, QStringLiteral("Visit Page Now!"));
        p.entryMenu->setDefaultAction(p.fromPage);
    }
    connect(p.fromPage, &QAction::triggered, this, &BrowseController::openInBrowser);
    p.entryMenu->addSeparator();
    connect(addAction(p.entryMenu, names.copyLink,
                      db == Database::Pages ? QStringLiteral("Copy Page Link to Clipboard")
                                            : QStringLiteral("Copy Download Link to Clipboard")),
            &QAction::triggered, this, &BrowseController::copyLink);
    if (names.copyName)
        connect(addAction(p.entryMenu, names.copyName, QStringLiteral("Copy App Name to Clipboard")),
                &QAction::triggered, this, [this, db] { copyName(db); });
    if (names.block) {
        QMenu *report = p.entryMenu->addMenu(QStringLiteral("Report Problem ..."));
        connect(addAction(report, names.block, QStringLiteral("Direct Download for this App not allowed?")),
                &QAction::triggered, this, &BrowseController::askToBlockDirectDownload);
    }
    p.entryMenu->addSeparator();
    connect(addAction(p.entryMenu, names.sort, QStringLiteral("Sort A-Z")), &QAction::triggered, this,
            [this, db] { sortEntries(db); });
    if (p.download)
        p.download->setEnabled(false);
    p.fromPage->setEnabled(false);
}

void BrowseController::wirePage(Page &p)
{
    CataloguePage *page = p.page;
    const Database db = p.db;
    connect(page, &CataloguePage::categoryListed, this, [this, db] { categoryListed(*pageOf(db)); });
    connect(page->categories, &ListBox::mousePressed, this, [this, db](Qt::MouseButton button, const QPoint &at) {
        if (button == Qt::RightButton)
            pageOf(db)->categoryMenu->popup(at);
    });
    if (db == Database::Install)
        return; // its entries belong to the install manager

    // A click on the entry already chosen runs the selection again: it shows
    // the link over a hint and brings back a closed ad-supported notice.
    connect(page->entries, &ListBox::rowChosen, this, [this, db] { entrySelected(*pageOf(db)); });
    connect(page->entries, &ListBox::doubleClicked, this, [this, db] { entryDoubleClicked(*pageOf(db)); });
    connect(page->entries, &ListBox::mousePressed, this,
            [this, db](Qt::MouseButton button, const QPoint &at) { entryPressed(*pageOf(db), button, at); });

    if (isAppList(db)) {
        connect(page->download, &ThemedButton::clicked, this, &BrowseController::directDownload);
        connect(page->fromPage, &ThemedButton::clicked, this, &BrowseController::openInBrowser);
        // Pointing at an action shows which entry it acts on, in the search box;
        // the status bar keeps the link.
        for (ThemedButton *button : {page->download, page->fromPage})
            connect(button, &ThemedButton::mouseMoved, this, [this, db] { copyNameIntoSearch(*pageOf(db)); });
        if (db == Database::Special) {
            ThemedButton *run = m_window.specialPage->runButton;
            connect(run, &ThemedButton::clicked, this, &BrowseController::runCommandEntry);
            connect(run, &ThemedButton::mouseMoved, this, [this, db] { copyNameIntoSearch(*pageOf(db)); });
        }
    } else {
        connect(page->fromPage, &ThemedButton::clicked, this, &BrowseController::openInBrowser);
    }
    if (page->search) {
        m_searchPositions.insert(page->search, -1);
        page->search->installEventFilter(this);
    }
}

void BrowseController::showLink(const QString &link)
{
    m_state.setCurrentLink(link);
    // Shown even when the link is the one already held: a hint may be on display.
    m_window.statusBar->setPanelText(0, link);
}

void BrowseController::categoryListed(Page &p)
{
    if (p.download)
        p.download->setEnabled(false);
    if (p.fromPage)
        p.fromPage->setEnabled(false);
}

void BrowseController::entrySelected(Page &p)
{
    CataloguePage *page = p.page;
    const QString name = page->entries->currentText();
    const QString category = page->categories->currentText();
    if (p.db == Database::Pages) {
        const QString link = m_state.catalogue().value(p.db, category, name);
        if (!link.isEmpty()) {
            page->fromPage->setEnabled(true);
            p.fromPage->setEnabled(true);
            showLink(link);
        }
        Q_EMIT entryChosen(p.db, name);
        return;
    }

    const EntrySelection selection = selectEntry(m_state.catalogue(), p.db, category, name, m_state.lists(),
                                                 m_state.options().adSupportWarning);
    if (selection.hasLink) {
        showLink(selection.link);
        page->fromPage->setEnabled(true);
        p.fromPage->setEnabled(true);
        page->download->setEnabled(selection.directDownload);
        p.download->setEnabled(selection.directDownload);
    }
    switch (selection.warning) {
    case EntrySelection::Warning::Show:
        // A notice the user closed is deleting itself; a new one takes its place.
        if (m_adware && m_adware->isHidden())
            m_adware = nullptr;
        if (!m_adware)
            m_adware = new AdSupportedNotice(m_window.optionsPage->themeCombo->currentText());
        m_adware->showFor(selection.warningCaption);
        break;
    case EntrySelection::Warning::Close:
        if (m_adware)
            m_adware->close();
        break;
    case EntrySelection::Warning::Untouched: break;
    }
    if (p.db == Database::Special)
        applyCommandEntryState(isCommandEntry(name) && m_window.specialPage->tabs->currentIndex() == 0);
    Q_EMIT entryChosen(p.db, name);
}

void BrowseController::applyCommandEntryState(bool command)
{
    Page *p = pageOf(Database::Special);
    if (!p || !p->download)
        return;
    // A command entry has nothing to download; for any other entry the items
    // keep the state its selection gave them.
    if (command) {
        p->download->setEnabled(false);
        p->fromPage->setEnabled(false);
    }
}

void BrowseController::entryDoubleClicked(Page &p)
{
    if (!m_state.options().performOpsWithDoubleClick)
        return;
    if (p.db == Database::Pages) {
        openInBrowser();
        return;
    }
    CataloguePage *page = p.page;
    const QString name = page->entries->currentText();
    if (page->download->isEnabled()) {
        if (p.db == Database::Special && isCommandEntry(name))
            runCommandEntry();
        else
            directDownload();
        return;
    }
    const QString link = m_state.currentLink();
    if (m_state.prompter().askYesNo(ddlNotAvailableText(name, link), ddlNotAvailableTitle(name)))
        openInBrowser();
}

void BrowseController::entryPressed(Page &p, Qt::MouseButton button, const QPoint &globalPos)
{
    if (button == Qt::RightButton && p.entryMenu)
        p.entryMenu->popup(globalPos, p.entryMenu->defaultAction());
    if (p.db == Database::Pages)
        m_window.specialPage->pageLabel->setText(p.page->entries->currentText());
    else
        copyNameIntoSearch(p);
}

void BrowseController::copyNameIntoSearch(Page &p)
{
    QLineEdit *box = p.page->search;
    if (!box)
        return;
    box->setText(p.page->entries->currentText());
    setTextColour(box, kEditingGrey);
}

bool BrowseController::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || !m_searchPositions.contains(box))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        // A click into the box starts a new search.
        box->clear();
        setTextColour(box, kEditingGrey);
        m_searchPositions[box] = -1;
    } else if (event->type() == QEvent::KeyPress && !static_cast<QKeyEvent *>(event)->text().isEmpty()) {
        // Keys that type something (Enter and Backspace included) search;
        // moving the cursor or pressing Shift does not.
        for (Page &p : m_pages) {
            if (p.page->search == box) {
                searchKeyPressed(p);
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event); // the key still goes into the box
}

void BrowseController::searchKeyPressed(Page &p)
{
    QLineEdit *box = p.page->search;
    // The text as it stands before the key's character goes in.
    const FindNextResult result = findNext(p.page->entries->items(), box->text(), m_searchPositions.value(box, -1));
    if (result.match >= 0)
        p.page->entries->setCurrentRow(result.match);
    m_searchPositions[box] = result.nextPosition;
    if (result.nextPosition < 0) {
        box->setFocus();
        box->setCursorPosition(int(box->text().size()));
    }
}

void BrowseController::directDownload()
{
    m_state.startDirectDownload(m_state.currentLink());
}

void BrowseController::openInBrowser()
{
    openWebLink(m_state.shell(), m_state.prompter(), m_state.currentLink());
}

void BrowseController::runCommandEntry()
{
    CataloguePage *special = m_window.specialPage->special;
    if (!isCommandEntry(special->entries->currentText()))
        return;
    QString error;
    if (!startCommandLine(m_state.currentLink(), &error))
        m_state.prompter().warn(error);
}

void BrowseController::copyLink()
{
    QGuiApplication::clipboard()->setText(m_state.currentLink());
}

void BrowseController::copyName(Database db)
{
    if (const Page *p = pageOf(db))
        QGuiApplication::clipboard()->setText(p->page->entries->currentText());
}

void BrowseController::askToBlockDirectDownload()
{
    m_state.shell().openUrl(blockDirectDownloadMail(m_state.currentLink()));
}

void BrowseController::sortEntries(Database db)
{
    if (const Page *p = pageOf(db))
        p->page->entries->setItems(sortedByCharacterCode(p->page->entries->items()));
}

void BrowseController::sortCategories(Database db)
{
    if (const Page *p = pageOf(db))
        p->page->categories->setItems(sortedByCharacterCode(p->page->categories->items()));
}

void BrowseController::wireProtectionLists()
{
    OptionsPage *options = m_window.optionsPage;
    auto fill = [this, options] {
        const ProtectionLists &lists = m_state.lists();
        options->signatureList->setItems(lists.signatures);
        options->blacklistList->setItems(lists.blacklist);
        options->adwareList->setItems(lists.adware);
    };
    fill();
    connect(&m_state, &AppState::listsChanged, this, fill);

    options->adwareList->setEnabled(options->adSupportWarningCheck->isChecked());
    connect(options->adSupportWarningCheck, &QCheckBox::toggled, options->adwareList, &QWidget::setEnabled);

    const struct
    {
        ListBox *list;
        const char *menuName, *itemName, *caption;
        QString path;
    } editable[] = {
        {options->blacklistList, "mnEditBlacklist", "mnuEditBlacklist", "Edit Blacklist",
         blacklistPath(m_state.dataDir())},
        {options->adwareList, "mnEditAds", "mnuEditAds", "Edit Ad-supported Apps", adwarePath(m_state.dataDir())},
        {options->signatureList, "mnEditSignatures", "mnuEditSignatures", "Edit Signatures",
         signaturesPath(m_state.dataDir())},
    };
    for (const auto &e : editable) {
        auto *menu = new QMenu(&m_window);
        menu->setObjectName(QLatin1String(e.menuName));
        const QString path = e.path;
        connect(addAction(menu, e.itemName, QLatin1String(e.caption)), &QAction::triggered, this, [this, path] {
            if (!openWithAssociatedProgram(m_state.shell(), path))
                m_state.prompter().warn(
                    QStringLiteral("%1 could not be opened for editing. Please open it with a text editor.")
                        .arg(QDir::toNativeSeparators(path)));
        });
        connect(e.list, &ListBox::mousePressed, menu, [menu](Qt::MouseButton button, const QPoint &at) {
            if (button == Qt::RightButton)
                menu->popup(at);
        });
    }
}

} // namespace fetchora
