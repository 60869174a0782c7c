#include "ListBox.h"

#include <QMouseEvent>
#include <QStringListModel>

#include <algorithm>

namespace fetchora {

ListBox::ListBox(QWidget *parent) : QListView(parent), m_model(new QStringListModel(this))
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                if (current.row() == previous.row() && current.isValid() == previous.isValid())
                    return;
                const int row = current.isValid() ? current.row() : -1;
                Q_EMIT currentRowChanged(row);
                if (row >= 0) {
                    m_chosenByPress = m_pressing;
                    Q_EMIT rowChosen(row);
                }
            });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ListBox::rowsChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ListBox::rowsChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ListBox::rowsChanged);
}

int ListBox::count() const
{
    return m_model->rowCount();
}

QString ListBox::text(int row) const
{
    if (row < 0 || row >= count())
        return {};
    return m_model->data(m_model->index(row), Qt::DisplayRole).toString();
}

QStringList ListBox::items() const
{
    return m_model->stringList();
}

void ListBox::setItems(const QStringList &lines)
{
    const int previous = currentRow();
    if (m_sorted) {
        QStringList sorted = lines;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        m_model->setStringList(sorted);
    } else {
        m_model->setStringList(lines);
    }
    // A reset forgets the current row without telling anyone; say it.
    if (previous != -1)
        Q_EMIT currentRowChanged(-1);
}

void ListBox::addItem(const QString &line)
{
    addItems({line});
}

void ListBox::addItems(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    if (count() == 0) {
        setItems(lines);
        return;
    }
    for (const QString &line : lines) {
        int row = count();
        if (m_sorted) {
            const QStringList current = m_model->stringList();
            row = int(std::upper_bound(
                          current.begin(), current.end(), line,
                          [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; })
                      - current.begin());
        }
        m_model->insertRows(row, 1);
        m_model->setData(m_model->index(row), line);
    }
}

void ListBox::clear()
{
    setItems({});
}

int ListBox::currentRow() const
{
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ListBox::setCurrentRow(int row)
{
    if (row < 0 || row >= count()) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
        return;
    }
    selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
}

QString ListBox::currentText() const
{
    return text(currentRow());
}

int ListBox::findExact(const QString &text, Qt::CaseSensitivity cs, int from) const
{
    const QStringList lines = m_model->stringList();
    for (int i = qMax(0, from); i < lines.size(); ++i) {
        if (lines[i].compare(text, cs) == 0)
            return i;
    }
    return -1;
}

void ListBox::setSorted(bool sorted)
{
    m_sorted = sorted;
    if (sorted)
        setItems(items());
}

void ListBox::mousePressEvent(QMouseEvent *event)
{
    m_pressing = true;
    m_chosenByPress = false;
    QListView::mousePressEvent(event);
    m_pressing = false;
    // A click on the line that already was current changes nothing in the
    // view, but the user chose it all the same.
    const int row = indexAt(event->position().toPoint()).row();
    if (event->button() == Qt::LeftButton && !m_chosenByPress && row >= 0 && row == currentRow())
        Q_EMIT rowChosen(row);
    Q_EMIT mousePressed(event->button(), event->globalPosition().toPoint());
}

void ListBox::rowsChanged()
{
    const int n = count();
    if (n != m_lastCount) {
        m_lastCount = n;
        Q_EMIT countChanged(n);
    }
}

} // namespace fetchora
