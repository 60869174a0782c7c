#include "CataloguePage.h"

#include "widgets/ListBox.h"
#include "widgets/ThemedButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace fetchora {

namespace {

ListBox *makeList(const char *name, QWidget *parent)
{
    auto *list = new ListBox(parent);
    list->setObjectName(QLatin1String(name));
    // Borderless lists that scroll sideways for long names by themselves.
    list->setFrameShape(QFrame::NoFrame);
    return list;
}

QLabel *makeCount(const char *name, QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

CataloguePage::CataloguePage(Catalogue &catalogue, Database db, const CataloguePageNames &names, QWidget *parent)
    : QWidget(parent), m_catalogue(catalogue), m_db(db)
{
    auto *layout = new QVBoxLayout(this);
    if (names.search) {
        search = new QLineEdit(QStringLiteral("Search ..."), this);
        search->setObjectName(QLatin1String(names.search));
        QPalette palette = search->palette();
        palette.setColor(QPalette::Text, QColor(128, 128, 128));
        search->setPalette(palette);
        layout->addWidget(search);
    }

    categories = makeList(names.categories, this);
    entries = makeList(names.entries, this);
    countCategories = makeCount(names.countCategories, this);
    countEntries = makeCount(names.countEntries, this);
    // The category column keeps its width; the entry list takes what the
    // window gives.
    categories->setFixedWidth(250);

    auto *catColumn = new QVBoxLayout;
    catColumn->addWidget(categories, 1);
    catColumn->addWidget(countCategories);
    auto *entryColumn = new QVBoxLayout;
    entryColumn->addWidget(entries, 1);
    entryColumn->addWidget(countEntries);
    auto *lists = new QHBoxLayout;
    lists->addLayout(catColumn);
    lists->addLayout(entryColumn, 1);
    layout->addLayout(lists, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    extraButtons = new QWidget(this);
    auto *extra = new QHBoxLayout(extraButtons);
    extra->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(extraButtons);
    if (names.download) {
        download = new ThemedButton(QLatin1String(names.downloadCaption), this);
        download->setObjectName(QLatin1String(names.download));
        download->setEnabled(false);
        buttons->addWidget(download);
    }
    fromPage = new ThemedButton(QLatin1String(names.fromPageCaption), this);
    fromPage->setObjectName(QLatin1String(names.fromPage));
    fromPage->setEnabled(false);
    buttons->addWidget(fromPage);
    layout->addLayout(buttons);

    auto count = [](ListBox *list, QLabel *label) {
        connect(list, &ListBox::countChanged, label, [label](int n) { label->setText(QString::number(n)); });
    };
    count(categories, countCategories);
    count(entries, countEntries);

    // Every choice of a category lists it afresh, also a click on the one
    // already chosen: the file may have changed since.
    connect(categories, &ListBox::rowChosen, this, &CataloguePage::onCategorySelected);
}

void CataloguePage::setCategories(const QStringList &names)
{
    categories->setItems(names);
}

QString CataloguePage::selectedEntryName() const
{
    return entries->currentText();
}

void CataloguePage::onCategorySelected()
{
    // Losing the selection (a sort, a reload) is not choosing a category.
    if (categories->currentRow() < 0)
        return;
    entries->clear();
    if (download)
        download->setEnabled(false);
    fromPage->setEnabled(false);
    const QString category = categories->currentText();
    entries->setItems(m_catalogue.entries(m_db, category));
    Q_EMIT categoryListed(category);
}

} // namespace fetchora
