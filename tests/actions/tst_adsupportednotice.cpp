#include "TestSupport.h"

#include "actions/ui/AdSupportedNotice.h"
#include "widgets/ThemedButton.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWindow>

using namespace fetchora;

class FrmAdwareTest : public QObject
{
    Q_OBJECT

    QPointer<AdSupportedNotice> m_window;

    // A notice in `theme`, shown plainly or for an app's caption, once it is on screen.
    bool show(const QString &theme, const QString &caption = {})
    {
        m_window = new AdSupportedNotice(theme);
        if (caption.isEmpty())
            m_window->show();
        else
            m_window->showFor(caption);
        return QTest::qWaitForWindowExposed(m_window);
    }

private Q_SLOTS:
    void init()
    {
        // Keep the pointer off every window so no hover is left from an earlier test.
        QCursor::setPos(QPoint(3000, 3000));
        QCoreApplication::processEvents();
    }

    void cleanup()
    {
        delete m_window.data();
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows)
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void sitsInBottomRightCornerOfUsableArea()
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QRect area = screen->availableGeometry();
        QVERIFY(show("Default"));
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

    void showForSetsCaptionAndStaysInCorner()
    {
        m_window = new AdSupportedNotice("Dark");
        QVERIFY(!m_window->isVisible());
        m_window->showFor("Fetchora - CCleaner Free");
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QVERIFY(m_window->isVisible());
        auto *caption = m_window->findChild<QLabel *>("lblCaption");
        QVERIFY(caption);
        QCOMPARE(caption, m_window->captionLabel);
        QCOMPARE(caption->text(), "Fetchora - CCleaner Free");
        QCOMPARE(m_window->frameGeometry().bottomRight(),
                 QGuiApplication::primaryScreen()->availableGeometry().bottomRight());

        // A second notice only changes the caption of the window already up.
        m_window->showFor("Fetchora - Another App");
        QCOMPARE(caption->text(), "Fetchora - Another App");
        QVERIFY(m_window->isVisible());
    }

    void noticeText()
    {
        m_window = new AdSupportedNotice("Default");
        QCOMPARE(m_window->objectName(), "frmAdware");
        auto *label = m_window->findChild<QLabel *>("Label1");
        QVERIFY(label);
        QCOMPARE(label->text(), "Please pay attention while installing this Ad-supported application!");
        auto *button = m_window->findChild<ThemedButton *>("cmdDownload");
        QVERIFY(button);
        QCOMPARE(button->text(), "I know the Risk!");
        QVERIFY(m_window->findChild<QWidget *>("PicTitleBar"));
    }

    void titleStripColourFollowsTheme_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("Default") << "Default" << QColor(103, 103, 103);
        QTest::newRow("Dark") << "Dark" << QColor(66, 66, 66);
        QTest::newRow("Cyan") << "Cyan" << QColor(12, 128, 237);
        QTest::newRow("Ocean") << "Ocean" << QColor(0, 191, 255);
        QTest::newRow("Magenta") << "Magenta" << QColor(217, 0, 115);
        QTest::newRow("Violet") << "Violet" << QColor(170, 0, 255);
        QTest::newRow("Brown") << "Brown" << QColor(160, 80, 0);
        QTest::newRow("Teal") << "Teal" << QColor(0, 171, 169);
        QTest::newRow("Green") << "Green" << QColor(3, 140, 67);
        QTest::newRow("unknown name") << "Purple Haze" << QColor(103, 103, 103);
        QTest::newRow("empty name") << QString() << QColor(103, 103, 103);
    }

    void titleStripColourFollowsTheme()
    {
        QFETCH(QString, theme);
        QFETCH(QColor, colour);
        QVERIFY(show(theme));
        auto *strip = m_window->findChild<QWidget *>("PicTitleBar");
        QVERIFY(strip);
        QVERIFY(strip->height() > 2);
        // Read where no caption text covers the strip: near its top left
        // corner, and in the middle of its lower edge row (the caption is
        // inset from the edges).
        const QImage image = strip->grab().toImage();
        QVERIFY(!image.isNull());
        const qreal dpr = image.devicePixelRatio();
        QVERIFY(image.pixelColor(int(1 * dpr), int(1 * dpr)).isValid());
        QCOMPARE(image.pixelColor(int(1 * dpr), int(1 * dpr)).rgb(), colour.rgb());
        QCOMPARE(image.pixelColor(int((strip->width() - 2) * dpr), int(1 * dpr)).rgb(), colour.rgb());
    }

    void neverTakesTheFocus()
    {
        // The window system is told not to activate the notice: neither when it
        // appears nor when it is clicked. (The offscreen test platform activates
        // every window it shows whatever it is told, so the request itself is what
        // can be checked here.)
        m_window = new AdSupportedNotice("Default");
        QVERIFY(m_window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(m_window->testAttribute(Qt::WA_ShowWithoutActivating));
        // A window of its own, not a child painted inside the main window.
        QVERIFY(m_window->isWindow());
        m_window->showFor("Fetchora - CCleaner Free");
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QVERIFY(m_window->windowHandle());
        QVERIFY(m_window->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    }

    void draggingTitleStripMovesWindow_data()
    {
        QTest::addColumn<bool>("onCaption");
        QTest::addColumn<QPoint>("delta");
        QTest::newRow("strip, up and left") << false << QPoint(-120, -90);
        QTest::newRow("strip, a little") << false << QPoint(-7, -3);
        QTest::newRow("strip, then released") << false << QPoint(-30, -20);
        QTest::newRow("caption text, up and left") << true << QPoint(-200, -150);
    }

    void draggingTitleStripMovesWindow()
    {
        QFETCH(bool, onCaption);
        QFETCH(QPoint, delta);
        QVERIFY(show("Default", "Fetchora - Drag Me"));
        const QPoint before = m_window->frameGeometry().topLeft();
        QWidget *strip = m_window->titleBar;
        QWidget *target = onCaption ? static_cast<QWidget *>(m_window->captionLabel) : strip;
        // A point of the strip beside the caption, or on the caption's text.
        const QPoint grip = onCaption ? QPoint(5, target->height() / 2)
                                      : QPoint(target->width() - 4, target->height() / 2);
        QVERIFY(target->rect().contains(grip));
        if (!onCaption)
            QVERIFY(!m_window->captionLabel->geometry().contains(grip));

        QTest::mousePress(target, Qt::LeftButton, {}, grip);
        QTest::mouseMove(target, grip + delta);
        QTRY_COMPARE(m_window->frameGeometry().topLeft(), before + delta);
        QTest::mouseRelease(target, Qt::LeftButton, {}, grip);
        // Still where it was dragged to after letting go.
        QTest::qWait(10);
        QCOMPARE(m_window->frameGeometry().topLeft(), before + delta);
        QVERIFY(m_window->isVisible());

        // Pointer travels over the strip with no button held: the window stays put.
        QTest::mouseMove(strip, QPoint(strip->width() / 3, strip->height() / 2));
        QTest::mouseMove(strip, QPoint(strip->width() / 4, strip->height() / 2 + 1));
        QTest::qWait(20);
        QCOMPARE(m_window->frameGeometry().topLeft(), before + delta);
    }

    void knowTheRiskClosesAndDeletes()
    {
        QVERIFY(show("Default", "Fetchora - CCleaner Free"));
        auto *button = m_window->findChild<ThemedButton *>("cmdDownload");
        QVERIFY(button);
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        // Gone from the screen at once, and freed once the event loop runs.
        if (m_window)
            QVERIFY(!m_window->isVisible());
        QTRY_VERIFY(m_window.isNull());
    }
};

QTEST_MAIN(FrmAdwareTest)
#include "tst_adsupportednotice.moc"
