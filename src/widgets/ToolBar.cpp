#include "widgets/ToolBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace fetchora {

namespace {

constexpr int kIconSize = 32;

double luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return 0.299 * rgb.redF() + 0.587 * rgb.greenF() + 0.114 * rgb.blueF();
}

// The first character worth showing in a generated picture: captions may carry
// a shortcut ampersand or start with spaces.
QString firstLetter(const QString &caption)
{
    for (const QChar ch : caption) {
        if (ch.isLetterOrNumber())
            return QString(ch).toUpper();
    }
    return QStringLiteral("?");
}

} // namespace

ToolBar::ToolBar(QWidget *parent)
    : QWidget(parent), m_background(defaultBackgroundColor()), m_foreground(defaultForegroundColor())
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(4, 3, 4, 3);
    m_layout->setSpacing(2);
    // Buttons sit at the left; the free space stays at the right end.
    m_layout->addStretch(1);
}

QColor ToolBar::defaultBackgroundColor()
{
    return QColor(0xf0, 0xf3, 0xf8);
}

QColor ToolBar::defaultForegroundColor()
{
    return QColor(0x1f, 0x2a, 0x3c);
}

QIcon ToolBar::generatedIcon(const QString &caption, const QColor &background, const QColor &foreground, int size)
{
    size = qMax(size, 8);
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);

    // The square takes the caption colour so it stands out from the bar; the
    // letter then uses the bar colour, which contrasts with the square.
    const QColor square = foreground.isValid() ? foreground : defaultForegroundColor();
    QColor letter = background.isValid() ? background : defaultBackgroundColor();
    if (qAbs(luminance(letter) - luminance(square)) < 0.3)
        letter = luminance(square) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);

    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(square);
    const qreal inset = size / 16.0;
    const QRectF box(inset, inset, size - 2 * inset, size - 2 * inset);
    p.drawRoundedRect(box, size / 5.0, size / 5.0);

    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qMax(6, int(size * 0.55)));
    p.setFont(font);
    p.setPen(letter);
    p.drawText(box, Qt::AlignCenter, firstLetter(caption));
    p.end();
    return QIcon(pm);
}

int ToolBar::addButton(const QString &caption, const QIcon &icon)
{
    const int index = int(m_entries.size());

    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("McToolBarButton") + QString::number(index));
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setMouseTracking(true);
    button->installEventFilter(this);

    Entry entry;
    entry.button = button;
    entry.caption = caption;
    entry.generated = icon.isNull();
    button->setIcon(entry.generated ? generatedIcon(caption, m_background, m_foreground, kIconSize) : icon);
    applyColors(entry);

    connect(button, &QToolButton::clicked, this, [this, index] { Q_EMIT buttonClicked(index); });

    // Before the trailing stretch, so the buttons stay packed at the left.
    m_layout->insertWidget(index, button);
    m_entries.append(entry);
    return index;
}

int ToolBar::buttonCount() const
{
    return int(m_entries.size());
}

QString ToolBar::buttonCaption(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    return m_entries.at(index).caption;
}

QAbstractButton *ToolBar::button(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return nullptr;
    return m_entries.at(index).button;
}

void ToolBar::setBarStyle(int style)
{
    if (style != FlatStyle && style != GradientStyle && style != FramedStyle)
        style = FlatStyle;
    if (style == m_style)
        return;
    m_style = style;
    update();
}

void ToolBar::setColors(const QColor &background, const QColor &foreground)
{
    const QColor bg = background.isValid() ? background : defaultBackgroundColor();
    const QColor fg = foreground.isValid() ? foreground : defaultForegroundColor();
    if (bg == m_background && fg == m_foreground)
        return;
    m_background = bg;
    m_foreground = fg;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.generated)
            entry.button->setIcon(generatedIcon(entry.caption, m_background, m_foreground, kIconSize));
        applyColors(entry);
    }
    update();
}

void ToolBar::applyColors(const Entry &entry)
{
    // The caption follows the theme; the raised hover panel is drawn by the
    // style from the button colour, kept a shade off the bar so it shows.
    QPalette pal = entry.button->palette();
    for (const QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        pal.setColor(role, m_foreground);
    pal.setColor(QPalette::Button, m_background);
    pal.setColor(QPalette::Window, m_background);
    entry.button->setPalette(pal);
}

void ToolBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    switch (m_style) {
    case GradientStyle: {
        QLinearGradient gradient(r.topLeft(), r.bottomLeft());
        gradient.setColorAt(0.0, m_background.lighter(118));
        gradient.setColorAt(1.0, m_background.darker(112));
        p.fillRect(r, gradient);
        break;
    }
    case FramedStyle: {
        p.fillRect(r, m_background);
        QColor line = m_foreground;
        line.setAlphaF(0.35f);
        p.setPen(line);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        break;
    }
    default: p.fillRect(r, m_background); break;
    }
}

void ToolBar::mouseMoveEvent(QMouseEvent *event)
{
    // A move over a button has already been reported by the event filter; the
    // button passes the move on to the bar, which must not report it twice.
    QWidget *child = childAt(event->position().toPoint());
    bool overButton = false;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (child && (child == entry.button || entry.button->isAncestorOf(child))) {
            overButton = true;
            break;
        }
    }
    if (!overButton)
        Q_EMIT mouseMoved();
    QWidget::mouseMoveEvent(event);
}

bool ToolBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        for (const Entry &entry : std::as_const(m_entries)) {
            if (watched == entry.button) {
                Q_EMIT mouseMoved();
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fetchora
