#include "WindowPlacement.h"

#include "platform/Placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace fetchora {

namespace {

double dpiOf(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    for (QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

// The frame is only known once the window manager has decorated the window;
// the stored size is the outer size, so the inner size is set once more then.
class OuterSizeFixer : public QObject
{
public:
    OuterSizeFixer(QWidget *window, QSize outer) : QObject(window), m_window(window), m_outer(outer)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_window->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                if (m_window) {
                    const QSize extra = m_window->frameGeometry().size() - m_window->size();
                    if (!extra.isNull())
                        m_window->resize(m_outer - extra);
                }
                deleteLater();
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    QSize m_outer;
};

} // namespace

QList<ProfileWrite> windowPlacementWrites(QWidget *window, const QString &section)
{
    const double dpi = dpiOf(window);
    // A window in the tray or minimised still reports the place it will come back to.
    const QRect frame = window->isVisible() ? window->frameGeometry()
                                            : QRect(window->pos(), window->frameGeometry().size());
    return {
        ProfileWrite::set(section, QStringLiteral("Left"), QString::number(pixelsToTwips(frame.x(), dpi))),
        ProfileWrite::set(section, QStringLiteral("Top"), QString::number(pixelsToTwips(frame.y(), dpi))),
        ProfileWrite::set(section, QStringLiteral("Height"), QString::number(pixelsToTwips(frame.height(), dpi))),
        ProfileWrite::set(section, QStringLiteral("Width"), QString::number(pixelsToTwips(frame.width(), dpi))),
    };
}

bool saveWindowPlacement(QWidget *window, ProfileEngine &engine, const QString &settingsPath, const QString &section)
{
    QString error;
    if (engine.write(settingsPath, windowPlacementWrites(window, section), &error))
        return true;
    qWarning("Fetchora: placement of %s not saved: %s", qPrintable(window->objectName()), qPrintable(error));
    return false;
}

void restoreWindowPlacement(QWidget *window, ProfileEngine &engine, const QString &settingsPath, const QString &section)
{
    const double dpi = dpiOf(window);
    auto read = [&](const char *key) {
        return parseStoredNumber(engine.readString(settingsPath, section, QLatin1String(key)));
    };
    const auto left = read("Left");
    const auto top = read("Top");
    const auto height = read("Height");
    const auto width = read("Width");

    const QSize extra = window->frameGeometry().size() - window->size();
    QSize outer = window->frameGeometry().size();
    if (width && *width > 0)
        outer.setWidth(twipsToPixels(*width, dpi));
    if (height && *height > 0)
        outer.setHeight(twipsToPixels(*height, dpi));

    const QList<QRect> areas = availableAreas();
    QPoint pos;
    int screen = -1;
    if (left || top) {
        pos = QPoint(left ? twipsToPixels(*left, dpi) : window->frameGeometry().x(),
                     top ? twipsToPixels(*top, dpi) : window->frameGeometry().y());
        screen = titleBarScreen(QRect(pos, outer), areas);
    }
    // No larger than the screen the window lands on: a size kept from a larger
    // screen, or typed by hand, would make a window no screen can show. Never
    // smaller than the window needs, though.
    const QRect available = screen >= 0 ? areas.at(screen)
        : window->screen()              ? window->screen()->availableGeometry()
                                        : QRect();
    if (!available.isEmpty())
        outer = outer.boundedTo(available.size());
    outer = outer.expandedTo(window->minimumSize() + extra);
    if (outer != window->frameGeometry().size()) {
        window->resize(outer - extra);
        new OuterSizeFixer(window, outer);
    }
    if (screen >= 0) {
        // Now that it fits, the whole frame goes on that screen: a title bar
        // that reached it only by a width now cut off would be out of reach.
        const QRect area = areas.at(screen);
        pos.setX(qMax(area.left(), qMin(pos.x(), area.right() + 1 - outer.width())));
        pos.setY(qMax(area.top(), qMin(pos.y(), area.bottom() + 1 - outer.height())));
        window->move(pos);
    }
}

} // namespace fetchora
