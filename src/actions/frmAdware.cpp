#include "frmAdware.h"

#include "widgets/isButton.h"

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

QColor frmAdware::titleColor(const QString &themeName)
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

frmAdware::frmAdware(const QString &themeName, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("frmAdware"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Fetchora"));

    PicTitleBar = new QWidget(this);
    PicTitleBar->setObjectName(QStringLiteral("PicTitleBar"));
    PicTitleBar->setAutoFillBackground(true);
    const QColor colour = titleColor(themeName);
    QPalette palette = PicTitleBar->palette();
    palette.setColor(QPalette::Window, colour.isValid() ? colour : kDesignTitleColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    PicTitleBar->setPalette(palette);
    PicTitleBar->setCursor(Qt::SizeAllCursor);

    lblCaption = new QLabel(QStringLiteral("Fetchora"), PicTitleBar);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    QFont bold = lblCaption->font();
    bold.setBold(true);
    lblCaption->setFont(bold);
    auto *titleLayout = new QHBoxLayout(PicTitleBar);
    titleLayout->setContentsMargins(8, 4, 8, 4);
    titleLayout->addWidget(lblCaption);

    ImgAdware = new QLabel(this);
    ImgAdware->setObjectName(QStringLiteral("ImgAdware"));
    ImgAdware->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
    Label1 = new QLabel(QStringLiteral("Please pay attention while installing this Ad-supported application!"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    cmdDownload = new isButton(QStringLiteral("I know the Risk!"), this);
    cmdDownload->setObjectName(QStringLiteral("cmdDownload"));
    connect(cmdDownload, &isButton::clicked, this, &QWidget::close);

    auto *body = new QHBoxLayout;
    body->addWidget(ImgAdware, 0, Qt::AlignTop);
    body->addWidget(Label1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdDownload);
    auto *content = new QVBoxLayout;
    content->setContentsMargins(10, 8, 10, 10);
    content->addLayout(body);
    content->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(PicTitleBar);
    layout->addLayout(content);
    setFixedWidth(340);

    PicTitleBar->installEventFilter(this);
    lblCaption->installEventFilter(this);
    adjustSize();
    placeInCorner();
}

void frmAdware::placeInCorner()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    // The corner of the usable area itself, wherever the taskbar stands.
    move(area.right() + 1 - outer.width(), area.bottom() + 1 - outer.height());
}

void frmAdware::showFor(const QString &caption)
{
    lblCaption->setText(caption);
    if (!isVisible())
        show();
}

bool frmAdware::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != PicTitleBar && watched != lblCaption)
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton) {
            m_dragging = true;
            m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fetchora
