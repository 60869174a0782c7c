#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

namespace fetchora {

// A list of plain text lines, as every list of the program is. It holds its
// lines as one string list that it shares with whoever handed it over, so a
// category of ten thousand entries is listed without building an item per line.
class ListBox : public QListView
{
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    int count() const;
    QString text(int row) const; // empty for a row the list does not have
    QStringList items() const;

    // Replaces every line; the current row becomes -1.
    void setItems(const QStringList &lines);
    void addItem(const QString &line);
    void addItems(const QStringList &lines);
    void clear();

    // -1 when no line is current. Setting a row the list does not have clears it.
    int currentRow() const;
    void setCurrentRow(int row);
    QString currentText() const;

    // The first row from `from` on whose text equals `text`; -1 when none.
    int findExact(const QString &text, Qt::CaseSensitivity cs = Qt::CaseInsensitive, int from = 0) const;

    // A sorted list keeps its lines in alphabetical order without regard to case.
    void setSorted(bool sorted);
    bool isSorted() const { return m_sorted; }

Q_SIGNALS:
    void currentRowChanged(int row);
    // The user chose a line: a click on it, also on the line already current,
    // or a move of the current line by the keyboard or the program. A click
    // that makes a line current chooses it once.
    void rowChosen(int row);
    void countChanged(int count);
    // After a mouse button went down on the list (the line under it is current by then).
    void mousePressed(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void rowsChanged();

    QStringListModel *m_model;
    bool m_sorted = false;
    int m_lastCount = 0;
    bool m_pressing = false;
    bool m_chosenByPress = false;
};

} // namespace fetchora
