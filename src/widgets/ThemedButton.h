#pragma once

#include <QColor>
#include <QPushButton>

namespace fetchora {

// The flat, rounded push button of every Fetchora window. Windows give it two
// colours: the first fills it at rest, the second shows while the pointer is
// over it or it is held down. The caption is drawn white or dark, whichever
// reads better on the current fill.
//
// mouseMoved() lets a window update its hint line as the pointer travels over
// its buttons; clicked() and the keyboard (Space, Enter when default) come from
// QPushButton unchanged.
class ThemedButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ThemedButton(QWidget *parent = nullptr);
    explicit ThemedButton(const QString &text, QWidget *parent = nullptr);

    // An invalid colour stands for "keep the default" for that slot, so a window
    // reading colours from a damaged settings file still gets a usable button.
    void setColors(const QColor &first, const QColor &second);
    QColor firstColor() const { return m_first; }
    QColor secondColor() const { return m_second; }

    static QColor defaultFirstColor();
    static QColor defaultSecondColor();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void init();
    QColor currentFill() const;

    QColor m_first;
    QColor m_second;
    bool m_hovered = false;
};

} // namespace fetchora
