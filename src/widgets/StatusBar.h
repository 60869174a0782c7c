#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

class QHBoxLayout;

namespace fetchora {

class StatusPanel;

// The status line along the bottom of a Fetchora window. It is split into
// panels; panel 0 always exists, takes all spare width and holds the one line
// the program reports progress and hints in. Further panels sit to its right,
// as wide as their text.
//
// Each panel shows a single line: line breaks show as spaces and text too long
// for the panel is cut off with an ellipsis, while panelText() and the panel's
// tool tip keep the text exactly as it was set.
class StatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget *parent = nullptr);

    int panelCount() const;
    int addPanel(const QString &text = {});

    // An index that does not exist is ignored: nothing changes, no signal.
    void setPanelText(int index, const QString &text);
    // Empty for an index that does not exist.
    QString panelText(int index) const;
    // The line as currently painted: flattened to one line and elided to the
    // panel's present width. Empty for an index that does not exist.
    QString panelDisplayText(int index) const;
    // nullptr for an index that does not exist.
    QWidget *panel(int index) const;

    // An invalid colour keeps the default for that slot.
    void setColors(const QColor &background, const QColor &foreground);
    QColor backgroundColor() const { return m_background; }
    QColor foregroundColor() const { return m_foreground; }

    static QColor defaultBackgroundColor();
    static QColor defaultForegroundColor();

    // The text with every kind of line break replaced by a space.
    static QString singleLine(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void panelTextChanged(int index, const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QHBoxLayout *m_layout = nullptr;
    QList<StatusPanel *> m_panels;
    QColor m_background;
    QColor m_foreground;
};

} // namespace fetchora
