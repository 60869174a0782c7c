#include "TestSupport.h"

#include "actions/frmAdware.h"
#include "widgets/isButton.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWindow>

using namespace fetchora;

namespace {

// The colour the title strip is painted in, read from a point of the strip
// that no caption text covers.
QColor paintedTitleColour(QWidget *strip)
{
    const QImage image = strip->grab().toImage();
    if (image.isNull())
        return {};
    const QPoint corner(1, 1);
    return image.pixelColor(corner.x() * image.devicePixelRatio(), corner.y() * image.devicePixelRatio());
}

} // namespace

class FrmAdwareTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void sitsInBottomRightCornerOfUsableArea();
    void showForSetsCaptionAndStaysInCorner();
    void noticeText();
    void titleStripColourFollowsTheme_data();
    void titleStripColourFollowsTheme();
    void neverTakesTheFocus();
    void draggingTitleStripMovesWindow_data();
    void draggingTitleStripMovesWindow();
    void releasedStripNoLongerDrags();
    void knowTheRiskClosesAndDeletes();

private:
    QPointer<frmAdware> m_window;
};

void FrmAdwareTest::init()
{
    // Keep the pointer off every window so no hover is left from an earlier test.
    QCursor::setPos(QPoint(3000, 3000));
    QCoreApplication::processEvents();
}

void FrmAdwareTest::cleanup()
{
    delete m_window.data();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void FrmAdwareTest::sitsInBottomRightCornerOfUsableArea()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    const QRect area = screen->availableGeometry();

    m_window = new frmAdware(QStringLiteral("Default"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    const QRect frame = m_window->frameGeometry();
    QCOMPARE(frame.bottomRight(), area.bottomRight());
    // Wholly on the usable area, not just touching its corner.
    QVERIFY(area.contains(frame));
    QVERIFY(frame.width() > 50 && frame.height() > 30);

    // Moved away, it goes back into the corner when asked.
    m_window->move(area.topLeft() + QPoint(5, 7));
    QTRY_COMPARE(m_window->frameGeometry().topLeft(), area.topLeft() + QPoint(5, 7));
    m_window->placeInCorner();
    QTRY_COMPARE(m_window->frameGeometry().bottomRight(), area.bottomRight());
}

void FrmAdwareTest::showForSetsCaptionAndStaysInCorner()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    m_window = new frmAdware(QStringLiteral("Dark"));
    QVERIFY(!m_window->isVisible());
    m_window->showFor(QStringLiteral("Fetchora - CCleaner Free"));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QVERIFY(m_window->isVisible());
    auto *caption = m_window->findChild<QLabel *>(QStringLiteral("lblCaption"));
    QVERIFY(caption);
    QCOMPARE(caption, m_window->lblCaption);
    QCOMPARE(caption->text(), QStringLiteral("Fetchora - CCleaner Free"));
    QCOMPARE(m_window->frameGeometry().bottomRight(), area.bottomRight());

    // A second notice only changes the caption of the window already up.
    m_window->showFor(QStringLiteral("Fetchora - Another App"));
    QCOMPARE(caption->text(), QStringLiteral("Fetchora - Another App"));
    QVERIFY(m_window->isVisible());
}

void FrmAdwareTest::noticeText()
{
    m_window = new frmAdware(QStringLiteral("Default"));
    QCOMPARE(m_window->objectName(), QStringLiteral("frmAdware"));
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Please pay attention while installing this Ad-supported application!"));
    auto *button = m_window->findChild<isButton *>(QStringLiteral("cmdDownload"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("I know the Risk!"));
    QVERIFY(m_window->findChild<QWidget *>(QStringLiteral("PicTitleBar")));
}

void FrmAdwareTest::titleStripColourFollowsTheme_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("Default") << QStringLiteral("Default") << QColor(103, 103, 103);
    QTest::newRow("Dark") << QStringLiteral("Dark") << QColor(66, 66, 66);
    QTest::newRow("Cyan") << QStringLiteral("Cyan") << QColor(12, 128, 237);
    QTest::newRow("Ocean") << QStringLiteral("Ocean") << QColor(0, 191, 255);
    QTest::newRow("Magenta") << QStringLiteral("Magenta") << QColor(217, 0, 115);
    QTest::newRow("Violet") << QStringLiteral("Violet") << QColor(170, 0, 255);
    QTest::newRow("Brown") << QStringLiteral("Brown") << QColor(160, 80, 0);
    QTest::newRow("Teal") << QStringLiteral("Teal") << QColor(0, 171, 169);
    QTest::newRow("Green") << QStringLiteral("Green") << QColor(3, 140, 67);
    QTest::newRow("unknown name") << QStringLiteral("Purple Haze") << QColor(103, 103, 103);
    QTest::newRow("empty name") << QString() << QColor(103, 103, 103);
}

void FrmAdwareTest::titleStripColourFollowsTheme()
{
    QFETCH(QString, theme);
    QFETCH(QColor, colour);
    m_window = new frmAdware(theme);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    auto *strip = m_window->findChild<QWidget *>(QStringLiteral("PicTitleBar"));
    QVERIFY(strip);
    QVERIFY(strip->height() > 2);
    const QColor painted = paintedTitleColour(strip);
    QVERIFY(painted.isValid());
    QCOMPARE(painted.rgb(), colour.rgb());
    // The middle of the strip's lower edge row is strip colour as well (the
    // caption is inset from the edges).
    const QImage image = strip->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    QCOMPARE(image.pixelColor(int((strip->width() - 2) * dpr), int(1 * dpr)).rgb(), colour.rgb());
}

void FrmAdwareTest::neverTakesTheFocus()
{
    // The window system is told not to activate the notice: neither when it
    // appears nor when it is clicked. (The offscreen test platform activates
    // every window it shows whatever it is told, so the request itself is what
    // can be checked here.)
    m_window = new frmAdware(QStringLiteral("Default"));
    QVERIFY(m_window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(m_window->testAttribute(Qt::WA_ShowWithoutActivating));
    // A window of its own, not a child painted inside the main window.
    QVERIFY(m_window->isWindow());
    m_window->showFor(QStringLiteral("Fetchora - CCleaner Free"));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QVERIFY(m_window->windowHandle());
    QVERIFY(m_window->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

void FrmAdwareTest::draggingTitleStripMovesWindow_data()
{
    QTest::addColumn<bool>("onCaption");
    QTest::addColumn<QPoint>("delta");
    QTest::newRow("strip, up and left") << false << QPoint(-120, -90);
    QTest::newRow("strip, a little") << false << QPoint(-7, -3);
    QTest::newRow("caption text, up and left") << true << QPoint(-200, -150);
}

void FrmAdwareTest::draggingTitleStripMovesWindow()
{
    QFETCH(bool, onCaption);
    QFETCH(QPoint, delta);
    m_window = new frmAdware(QStringLiteral("Default"));
    m_window->showFor(QStringLiteral("Fetchora - Drag Me"));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    const QPoint before = m_window->frameGeometry().topLeft();

    QWidget *target = onCaption ? static_cast<QWidget *>(m_window->lblCaption) : m_window->PicTitleBar;
    // A point of the strip beside the caption, or on the caption's text.
    const QPoint grip = onCaption ? QPoint(5, target->height() / 2)
                                  : QPoint(target->width() - 4, target->height() / 2);
    QVERIFY(target->rect().contains(grip));
    if (!onCaption)
        QVERIFY(!m_window->lblCaption->geometry().contains(grip));

    QTest::mousePress(target, Qt::LeftButton, {}, grip);
    QTest::mouseMove(target, grip + delta);
    QTRY_COMPARE(m_window->frameGeometry().topLeft(), before + delta);
    QTest::mouseRelease(target, Qt::LeftButton, {}, grip);
    // Still where it was dragged to after letting go.
    QTest::qWait(10);
    QCOMPARE(m_window->frameGeometry().topLeft(), before + delta);
    QVERIFY(m_window->isVisible());
}

void FrmAdwareTest::releasedStripNoLongerDrags()
{
    m_window = new frmAdware(QStringLiteral("Default"));
    m_window->showFor(QStringLiteral("Fetchora - Drag Me"));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    const QPoint before = m_window->frameGeometry().topLeft();
    QWidget *strip = m_window->PicTitleBar;
    const QPoint grip(strip->width() - 4, strip->height() / 2);

    QTest::mousePress(strip, Qt::LeftButton, {}, grip);
    QTest::mouseMove(strip, grip + QPoint(-30, -20));
    QTRY_COMPARE(m_window->frameGeometry().topLeft(), before + QPoint(-30, -20));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, grip);

    // Pointer travels over the strip with no button held: the window stays put.
    const QPoint after = m_window->frameGeometry().topLeft();
    QTest::mouseMove(strip, QPoint(strip->width() / 3, strip->height() / 2));
    QTest::mouseMove(strip, QPoint(strip->width() / 4, strip->height() / 2 + 1));
    QTest::qWait(20);
    QCOMPARE(m_window->frameGeometry().topLeft(), after);
}

void FrmAdwareTest::knowTheRiskClosesAndDeletes()
{
    m_window = new frmAdware(QStringLiteral("Default"));
    m_window->showFor(QStringLiteral("Fetchora - CCleaner Free"));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    auto *button = m_window->findChild<isButton *>(QStringLiteral("cmdDownload"));
    QVERIFY(button);
    QVERIFY(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    // Gone from the screen at once, and freed once the event loop runs.
    if (m_window)
        QVERIFY(!m_window->isVisible());
    QTRY_VERIFY(m_window.isNull());
}

QTEST_MAIN(FrmAdwareTest)
#include "tst_frmadware.moc"
