#include "widgets/ThemedButton.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace fetchora {

namespace {

constexpr int kRadius = 4;
constexpr int kHorizontalPadding = 14;
constexpr int kVerticalPadding = 7;
constexpr int kIconGap = 6;

// Relative luminance as the eye weighs it; decides whether a caption drawn on
// this colour should be white or dark.
double luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return (0.299 * rgb.redF() + 0.587 * rgb.greenF() + 0.114 * rgb.blueF()) * rgb.alphaF()
        + (1.0 - rgb.alphaF()); // a see-through fill shows the (light) window behind it
}

QColor mixColors(const QColor &a, const QColor &b, double weightOfB)
{
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    const double w = qBound(0.0, weightOfB, 1.0);
    return QColor::fromRgbF(float(x.redF() * (1 - w) + y.redF() * w), float(x.greenF() * (1 - w) + y.greenF() * w),
                            float(x.blueF() * (1 - w) + y.blueF() * w), float(x.alphaF() * (1 - w) + y.alphaF() * w));
}

} // namespace

ThemedButton::ThemedButton(QWidget *parent) : QPushButton(parent)
{
    init();
}

ThemedButton::ThemedButton(const QString &text, QWidget *parent) : QPushButton(text, parent)
{
    init();
}

void ThemedButton::init()
{
    m_first = defaultFirstColor();
    m_second = defaultSecondColor();
    // Without tracking, moves only arrive while a mouse button is held and the
    // hint line of the window would lag behind the pointer.
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, true);
}

QColor ThemedButton::defaultFirstColor()
{
    return QColor(0x2d, 0x6c, 0xdf);
}

QColor ThemedButton::defaultSecondColor()
{
    return QColor(0x4a, 0x8c, 0xf5);
}

void ThemedButton::setColors(const QColor &first, const QColor &second)
{
    const QColor newFirst = first.isValid() ? first : defaultFirstColor();
    const QColor newSecond = second.isValid() ? second : defaultSecondColor();
    if (newFirst == m_first && newSecond == m_second)
        return;
    m_first = newFirst;
    m_second = newSecond;
    update();
}

QSize ThemedButton::sizeHint() const
{
    ensurePolished();
    const QFontMetrics fm(font());
    // The ampersand of a keyboard shortcut is not drawn, so it takes no room.
    int w = text().isEmpty() ? 0 : fm.size(Qt::TextShowMnemonic, text()).width();
    int h = fm.height();
    if (!icon().isNull()) {
        const QSize is = iconSize();
        w += is.width() + (text().isEmpty() ? 0 : kIconGap);
        h = qMax(h, is.height());
    }
    w += 2 * kHorizontalPadding;
    h += 2 * kVerticalPadding;
    // Short captions such as "OK" still get a button that is easy to hit.
    return QSize(qMax(w, 75), qMax(h, 26));
}

QSize ThemedButton::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(2 * kRadius + fm.averageCharWidth() * 2, fm.height() + 4);
}

QColor ThemedButton::currentFill() const
{
    if (!isEnabled()) {
        // Washed out towards grey so a disabled button never looks clickable
        // whatever colours the window chose.
        const int grey = qGray(m_first.rgb());
        return mixColors(m_first, QColor(grey, grey, grey), 0.7).lighter(125);
    }
    if (isDown() || isChecked())
        return m_second.darker(112);
    if (m_hovered)
        return m_second;
    return m_first;
}

void ThemedButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);

    const QColor fill = currentFill();
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(body, kRadius, kRadius);
    p.fillPath(path, fill);
    p.setPen(QPen(fill.darker(120), 1.0));
    p.drawPath(path);

    QColor caption = luminance(fill) > 0.6 ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
    if (!isEnabled())
        caption = mixColors(caption, fill, 0.45);

    if (hasFocus()) {
        QPen focusPen(caption, 1.0, Qt::DotLine);
        p.setPen(focusPen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body.adjusted(2.5, 2.5, -2.5, -2.5), kRadius - 1, kRadius - 1);
    }

    // Icon and caption are centred together, the icon to the left.
    const QFontMetrics fm(font());
    QRect content = rect().adjusted(kHorizontalPadding / 2, 2, -kHorizontalPadding / 2, -2);
    const bool hasIcon = !icon().isNull();
    const QSize is = hasIcon ? iconSize() : QSize();
    const int gap = hasIcon && !text().isEmpty() ? kIconGap : 0;
    const int available = qMax(0, content.width() - is.width() - gap);
    const QString shown = fm.elidedText(text(), Qt::ElideRight, available, Qt::TextShowMnemonic);
    const int textWidth = shown.isEmpty() ? 0 : fm.size(Qt::TextShowMnemonic, shown).width();
    const int total = is.width() + gap + textWidth;
    int x = content.x() + (content.width() - total) / 2;
    if (hasIcon) {
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QPixmap pm = icon().pixmap(is, devicePixelRatioF(), mode);
        p.drawPixmap(QRect(QPoint(x, content.y() + (content.height() - is.height()) / 2), is), pm);
        x += is.width() + gap;
    }
    if (!shown.isEmpty()) {
        p.setPen(caption);
        p.setFont(font());
        const QRect textRect(x, content.y(), content.right() - x + 1, content.height());
        int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
            flags |= Qt::TextHideMnemonic;
        p.drawText(textRect, flags, shown);
    }
}

void ThemedButton::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT mouseMoved();
    QPushButton::mouseMoveEvent(event);
}

void ThemedButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void ThemedButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

} // namespace fetchora
