#pragma once

#include "catalogue/Catalogue.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class QAction;
class QLineEdit;
class QMenu;

namespace fetchora {

class AppState;
class CataloguePage;
class ListBox;
class AdSupportedNotice;
class MainWindow;

// What the user does with the catalogue lists of the main window: selecting
// categories and entries, the search boxes' find-next, the context menus,
// double clicks and the actions on the selected entry.
class BrowseController : public QObject
{
    Q_OBJECT
public:
    BrowseController(AppState &state, MainWindow &window);
    // The ad-supported notice is a window of its own; it goes with the main window.
    ~BrowseController() override;

    // The context menu of a database's entry list and of its category list.
    QMenu *entryMenu(Database db) const;
    QMenu *categoryMenu(Database db) const;
    AdSupportedNotice *adSupportedNotice() const;
    // The find-next position of a search box (-1: next search starts at the top).
    int searchPosition(QLineEdit *box) const { return m_searchPositions.value(box, -1); }

    // The actions, for menus, buttons and double clicks alike.
    void directDownload();
    void openInBrowser();
    void runCommandEntry();
    void copyLink();
    void copyName(Database db);
    void askToBlockDirectDownload();
    void sortEntries(Database db);
    void sortCategories(Database db);

    // Special command entries are run, not downloaded: their download items
    // follow the selection.
    void applyCommandEntryState(bool command);

Q_SIGNALS:
    // An entry of a database was chosen (clicked, found or moved to), once per choice.
    void entryChosen(fetchora::Database db, const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Page
    {
        CataloguePage *page = nullptr;
        Database db = Database::Apps;
        QMenu *entryMenu = nullptr;
        QMenu *categoryMenu = nullptr;
        QAction *download = nullptr;
        QAction *fromPage = nullptr;
    };

    void buildMenus(Page &p);
    void wirePage(Page &p);
    void entrySelected(Page &p);
    void categoryListed(Page &p);
    void entryDoubleClicked(Page &p);
    void entryPressed(Page &p, Qt::MouseButton button, const QPoint &globalPos);
    void searchKeyPressed(Page &p);
    void showLink(const QString &link);
    void copyNameIntoSearch(Page &p);
    Page *pageOf(Database db);
    const Page *pageOf(Database db) const;
    void wireProtectionLists();

    AppState &m_state;
    MainWindow &m_window;
    QList<Page> m_pages;
    QHash<QLineEdit *, int> m_searchPositions;
    QPointer<AdSupportedNotice> m_adware;
};

} // namespace fetchora
