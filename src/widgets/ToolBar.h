#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;
class QToolButton;

namespace fetchora {

// The row of big captioned picture buttons along the top of a Fetchora window.
// Buttons are addressed by the index addButton() returned; the window reacts to
// buttonClicked(index) instead of wiring each button itself.
class ToolBar : public QWidget
{
    Q_OBJECT

public:
    // How the bar's background is drawn. Stored in the user's settings as a
    // number, so the values must never be renumbered.
    enum BarStyle {
        FlatStyle = 0,     // one plain colour
        GradientStyle = 1, // light at the top, darker at the bottom
        FramedStyle = 2,   // plain colour with a dividing line along the bottom
    };

    explicit ToolBar(QWidget *parent = nullptr);

    // Adds a button at the right end and returns its index. With no icon the
    // button gets a generated one (a rounded square with the caption's first
    // letter) so that the bar never shows empty picture slots.
    int addButton(const QString &caption, const QIcon &icon = {});
    int buttonCount() const;
    // Empty for an index that does not exist.
    QString buttonCaption(int index) const;
    // nullptr for an index that does not exist.
    QAbstractButton *button(int index) const;

    // Unknown values (say from a settings file written by a newer version)
    // fall back to FlatStyle.
    void setBarStyle(int style);
    int barStyle() const { return m_style; }

    // An invalid colour keeps the default for that slot.
    void setColors(const QColor &background, const QColor &foreground);
    QColor backgroundColor() const { return m_background; }
    QColor foregroundColor() const { return m_foreground; }

    static QColor defaultBackgroundColor();
    static QColor defaultForegroundColor();

    // The picture shown for a button added without an icon.
    static QIcon generatedIcon(const QString &caption, const QColor &background, const QColor &foreground,
                               int size = 32);

Q_SIGNALS:
    void buttonClicked(int index);
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry
    {
        QToolButton *button = nullptr;
        QString caption;
        bool generated = false;
    };

    void applyColors(const Entry &entry);

    QHBoxLayout *m_layout = nullptr;
    QList<Entry> m_entries;
    int m_style = FlatStyle;
    QColor m_background;
    QColor m_foreground;
};

} // namespace fetchora
