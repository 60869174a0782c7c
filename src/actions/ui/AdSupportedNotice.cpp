#include "AdSupportedNotice.h"

#include "widgets/ThemedButton.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace fetchora {

namespace {
const QColor kDesignTitleColor(103, 103, 103);
}

QColor AdSupportedNotice::titleColor(const QString &themeName)
{
    static const QList<QPair<QString, QColor>> table = {
        {QStringLiteral("Default"), QColor(103, 103, 103)}, {QStringLiteral("Dark"), QColor(66, 66, 66)},
        {QStringLiteral("Cyan"), QColor(12, 128, 237)},     {QStringLiteral("Ocean"), QColor(0, 191, 255)},
        {QStringLiteral("Magenta"), QColor(217, 0, 115)},   {QStringLiteral("Violet"), QColor(170, 0, 255)},
        {QStringLiteral("Brown"), QColor(160, 80, 0)},      {QStringLiteral("Teal"), QColor(0, 171, 169)},
        {QStringLiteral("Green"), QColor(3, 140, 67)}};
    for (const auto &[name, colour] : table) {
        if (name == themeName)
            return colour;
    }
    return {};
}

AdSupportedNotice::AdSupportedNotice(const QString &themeName, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("frmAdware"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Fetchora"));

    titleBar = new QWidget(this);
    titleBar->setObjectName(QStringLiteral("PicTitleBar"));
    titleBar->setAutoFillBackground(true);
    const QColor colour = titleColor(themeName);
    QPalette palette = titleBar->palette();
    palette.setColor(QPalette::Window, colour.isValid() ? colour : kDesignTitleColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    titleBar->setPalette(palette);
    titleBar->setCursor(Qt::SizeAllCursor);

    captionLabel = new QLabel(QStringLiteral("Fetchora"), titleBar);
    captionLabel->setObjectName(QStringLiteral("lblCaption"));
    QFont bold = captionLabel->font();
    bold.setBold(true);
    captionLabel->setFont(bold);
    auto *titleLayout = new QHBoxLayout(titleBar);
    titleLayout->setContentsMargins(8, 4, 8, 4);
    titleLayout->addWidget(captionLabel);

    warningImage = new QLabel(this);
    warningImage->setObjectName(QStringLiteral("ImgAdware"));
    warningImage->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
    messageLabel = new QLabel(QStringLiteral("Please pay attention while installing this Ad-supported application!"),
                              this);
    messageLabel->setObjectName(QStringLiteral("Label1"));
    messageLabel->setWordWrap(true);
    acknowledgeButton = new ThemedButton(QStringLiteral("I know the Risk!"), this);
    acknowledgeButton->setObjectName(QStringLiteral("cmdDownload"));
    connect(acknowledgeButton, &ThemedButton::clicked, this, &QWidget::close);

    auto *body = new QHBoxLayout;
    body->addWidget(warningImage, 0, Qt::AlignTop);
    body->addWidget(messageLabel, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(acknowledgeButton);
    auto *content = new QVBoxLayout;
    content->setContentsMargins(10, 8, 10, 10);
    content->addLayout(body);
    content->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(titleBar);
    layout->addLayout(content);
    setFixedWidth(340);

    titleBar->installEventFilter(this);
    captionLabel->installEventFilter(this);
    adjustSize();
    placeInCorner();
}

void AdSupportedNotice::placeInCorner()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    // The corner of the usable area itself, wherever the taskbar stands.
    move(area.right() + 1 - outer.width(), area.bottom() + 1 - outer.height());
}

void AdSupportedNotice::showFor(const QString &caption)
{
    captionLabel->setText(caption);
    if (!isVisible())
        show();
}

bool AdSupportedNotice::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Only mouse events are mouse events: the strip gets paint and layout events too.
    if ((watched != titleBar && watched != captionLabel)
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    if (type == QEvent::MouseMove && m_dragging && (mouse->buttons() & Qt::LeftButton)) {
        move(mouse->globalPosition().toPoint() - m_dragOffset);
        return true;
    }
    if (type == QEvent::MouseButtonRelease)
        m_dragging = false;
    return QWidget::eventFilter(watched, event);
}

} // namespace fetchora
