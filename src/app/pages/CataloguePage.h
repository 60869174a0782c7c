#pragma once

#include "catalogue/Catalogue.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace fetchora {

class ListBox;
class ThemedButton;

// The control names of one database's page; the settings file and the rest of
// the program know the controls by these names.
struct CataloguePageNames
{
    const char *search = nullptr; // no search box when null
    const char *categories;
    const char *entries;
    const char *countCategories;
    const char *countEntries;
    const char *download = nullptr; // no direct download button when null
    const char *downloadCaption = "Direct Download";
    const char *fromPage;
    const char *fromPageCaption;
};

// Category list, entry list, their counts, a search box and the action buttons
// of one database. Selecting a category lists its entries from the file on disk.
class CataloguePage : public QWidget
{
    Q_OBJECT
public:
    CataloguePage(Catalogue &catalogue, Database db, const CataloguePageNames &names, QWidget *parent = nullptr);

    Database database() const { return m_db; }
    void setCategories(const QStringList &names);

    QLineEdit *search = nullptr;
    ListBox *categories = nullptr;
    ListBox *entries = nullptr;
    QLabel *countCategories = nullptr;
    QLabel *countEntries = nullptr;
    ThemedButton *download = nullptr;
    ThemedButton *fromPage = nullptr;
    QWidget *extraButtons = nullptr; // room for buttons of a particular database

    // The selected entry's name, empty when none.
    QString selectedEntryName() const;

Q_SIGNALS:
    void categoryListed(const QString &category);

private:
    void onCategorySelected();

    Catalogue &m_catalogue;
    Database m_db;
};

} // namespace fetchora
