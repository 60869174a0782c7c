#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

namespace fetchora {

class ThemedButton;

// The notice that the selected application is ad-supported. It sits in the
// bottom-right corner of the screen's usable area, never takes the focus from
// the main window, and is moved by dragging its own title strip.
class AdSupportedNotice : public QWidget
{
    Q_OBJECT
public:
    explicit AdSupportedNotice(const QString &themeName, QWidget *parent = nullptr);

    // Title strip colour for a theme name; invalid for a name it does not know.
    static QColor titleColor(const QString &themeName);

    // Shows the window without activating it, captioned for the entry.
    void showFor(const QString &caption);
    // Puts the window into the bottom-right corner of the available screen area.
    void placeInCorner();

    QWidget *titleBar;
    QLabel *captionLabel;
    QLabel *warningImage;
    QLabel *messageLabel;
    ThemedButton *acknowledgeButton;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPoint m_dragOffset;
    bool m_dragging = false;
};

} // namespace fetchora
