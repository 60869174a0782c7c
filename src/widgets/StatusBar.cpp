#include "widgets/StatusBar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QTextDocument>
#include <QtMath>

namespace fetchora {

namespace {

constexpr int kPanelPadding = 6;
// A side panel grows with its text up to this many average characters; past
// that it elides like panel 0 so it never squeezes the main line away.
constexpr int kSidePanelMaxChars = 40;

} // namespace

// One panel of the status line. Painting is done here so the line can be
// flattened and elided to whatever width the layout hands out.
class StatusPanel : public QWidget
{
public:
    StatusPanel(bool stretches, QWidget *parent) : QWidget(parent), m_stretches(stretches)
    {
        setSizePolicy(stretches ? QSizePolicy::Expanding : QSizePolicy::Preferred, QSizePolicy::Preferred);
    }

    const QString &text() const { return m_text; }

    void setText(const QString &text)
    {
        m_text = text;
        m_line = StatusBar::singleLine(text);
        // A file name such as "<setup>.exe" must not be taken for markup.
        setToolTip(Qt::mightBeRichText(text) ? QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped()
                           + QStringLiteral("</p>")
                                             : text);
        if (!m_stretches)
            updateGeometry();
        update();
    }

    void setTextColor(const QColor &color)
    {
        m_color = color;
        update();
    }

    QString displayText() const
    {
        const qreal room = qMax(0, width() - 2 * kPanelPadding);
        return QFontMetricsF(font()).elidedText(m_line, Qt::ElideRight, room);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics fm = fontMetrics();
        const int height = fm.height() + 6;
        if (m_stretches)
            return QSize(fm.averageCharWidth() * 20, height);
        // Rounded up: glyph advances are fractional and a width rounded down
        // would elide the last letter of a text that was meant to fit.
        const int fullWidth = qCeil(QFontMetricsF(font()).horizontalAdvance(m_line));
        const int textWidth = qMin(fullWidth, fm.averageCharWidth() * kSidePanelMaxChars);
        return QSize(textWidth + 2 * kPanelPadding, height);
    }

    QSize minimumSizeHint() const override
    {
        // Panel 0 may shrink to nothing (it elides); side panels keep room for a
        // few characters so they do not vanish when the window is narrowed.
        const QFontMetrics fm = fontMetrics();
        const int width = m_stretches ? 0 : qMin(sizeHint().width(), fm.averageCharWidth() * 4 + 2 * kPanelPadding);
        return QSize(width, fm.height() + 2);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(m_color);
        p.setFont(font());
        const QRect r = rect().adjusted(kPanelPadding, 0, -kPanelPadding, 0);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, displayText());
    }

private:
    bool m_stretches;
    QString m_text; // as set, handed back by panelText()
    QString m_line; // as painted before eliding
    QColor m_color;
};

StatusBar::StatusBar(QWidget *parent)
    : QWidget(parent), m_background(defaultBackgroundColor()), m_foreground(defaultForegroundColor())
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(2, 1, 2, 1);
    m_layout->setSpacing(3);
    // The program writes to panel 0 from the first moment on.
    addPanel();
}

QColor StatusBar::defaultBackgroundColor()
{
    return QColor(0xe6, 0xe9, 0xef);
}

QColor StatusBar::defaultForegroundColor()
{
    return QColor(0x22, 0x22, 0x22);
}

QString StatusBar::singleLine(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &ch : line) {
        switch (ch.unicode()) {
        case '\n':
        case '\r':
        case '\t':
        case '\v':
        case '\f':
        case 0x0085: // next line
        case 0x2028: // line separator
        case 0x2029: // paragraph separator
            ch = QLatin1Char(' ');
            break;
        default: break;
        }
    }
    return line;
}

int StatusBar::panelCount() const
{
    return int(m_panels.size());
}

int StatusBar::addPanel(const QString &text)
{
    const int index = int(m_panels.size());
    auto *panel = new StatusPanel(index == 0, this);
    panel->setObjectName(QStringLiteral("ucStatusBarPanel") + QString::number(index));
    panel->setTextColor(m_foreground);
    panel->setText(text);
    m_layout->addWidget(panel, index == 0 ? 1 : 0);
    m_panels.append(panel);
    update();
    return index;
}

void StatusBar::setPanelText(int index, const QString &text)
{
    if (index < 0 || index >= m_panels.size())
        return;
    StatusPanel *panel = m_panels.at(index);
    if (panel->text() == text)
        return;
    panel->setText(text);
    Q_EMIT panelTextChanged(index, text);
}

QString StatusBar::panelText(int index) const
{
    if (index < 0 || index >= m_panels.size())
        return {};
    return m_panels.at(index)->text();
}

QString StatusBar::panelDisplayText(int index) const
{
    if (index < 0 || index >= m_panels.size())
        return {};
    return m_panels.at(index)->displayText();
}

QWidget *StatusBar::panel(int index) const
{
    if (index < 0 || index >= m_panels.size())
        return nullptr;
    return m_panels.at(index);
}

void StatusBar::setColors(const QColor &background, const QColor &foreground)
{
    const QColor bg = background.isValid() ? background : defaultBackgroundColor();
    const QColor fg = foreground.isValid() ? foreground : defaultForegroundColor();
    if (bg == m_background && fg == m_foreground)
        return;
    m_background = bg;
    m_foreground = fg;
    for (StatusPanel *panel : std::as_const(m_panels))
        panel->setTextColor(m_foreground);
    update();
}

QSize StatusBar::sizeHint() const
{
    const QSize fromLayout = QWidget::sizeHint();
    return QSize(fromLayout.width(), qMax(fromLayout.height(), fontMetrics().height() + 8));
}

QSize StatusBar::minimumSizeHint() const
{
    const QSize fromLayout = QWidget::minimumSizeHint();
    return QSize(fromLayout.width(), qMax(fromLayout.height(), fontMetrics().height() + 8));
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), m_background);

    // A faint line along the top parts the bar from the window content, and one
    // between neighbouring panels.
    QColor line = m_foreground;
    line.setAlphaF(0.25f);
    p.setPen(line);
    p.drawLine(rect().topLeft(), rect().topRight());
    for (int i = 1; i < m_panels.size(); ++i) {
        const QRect g = m_panels.at(i)->geometry();
        const int x = g.left() - (m_layout->spacing() + 1) / 2;
        p.drawLine(x, g.top() + 2, x, g.bottom() - 2);
    }
}

} // namespace fetchora
