// Tests for the notice shown for an ad-supported application, as a real window.

#include "actions/ui/AdSupportedNotice.h"
#include "widgets/ThemedButton.h"

#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWindow>

using namespace fetchora;

class TestAdSupportedNotice : public QObject
{
    Q_OBJECT

    QPointer<AdSupportedNotice> m_notice;

    bool shown(const QString &theme)
    {
        m_notice = new AdSupportedNotice(theme);
        m_notice->showFor("Fetchora - First App");
        return QTest::qWaitForWindowExposed(m_notice);
    }

private Q_SLOTS:
    void cleanup() { delete m_notice.data(); }

    // It stands in the corner of the usable area without taking the focus from the
    // main window, and a later entry only changes its caption.
    void cornerCaptionFocusAndClose()
    {
        QVERIFY(shown("Default"));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m_notice->frameGeometry().bottomRight(), area.bottomRight());
        // The offscreen platform activates every window it shows, so what can be
        // checked is that the window system is asked not to.
        QVERIFY(m_notice->isWindow() && m_notice->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(m_notice->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        m_notice->showFor("Fetchora - Second App");
        QCOMPARE(m_notice->captionLabel->text(), "Fetchora - Second App");
        // Its button closes it for good.
        QTest::mouseClick(m_notice->acknowledgeButton, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_notice.isNull());
    }

    void titleColourFollowsTheme_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QColor>("colour");
        // clang-format off
        QTest::newRow("Cyan") << "Cyan" << QColor(12, 128, 237);
        QTest::newRow("Brown") << "Brown" << QColor(160, 80, 0);
        QTest::newRow("unknown name keeps the design colour") << "cyan" << QColor(103, 103, 103);
        // clang-format on
    }

    void titleColourFollowsTheme()
    {
        QFETCH(QString, theme);
        QFETCH(QColor, colour);
        QVERIFY(shown(theme));
        // Top left of the strip, clear of the caption text.
        const QImage strip = m_notice->titleBar->grab().toImage();
        QCOMPARE(strip.pixelColor(QPoint(1, 1) * strip.devicePixelRatio()), colour);
    }

    // Both the strip and the caption on it drag the window.
    void draggedByItsStrip()
    {
        QVERIFY(shown("Default"));
        QPoint expected = m_notice->frameGeometry().topLeft();
        for (QWidget *grip : {m_notice->titleBar, static_cast<QWidget *>(m_notice->captionLabel)}) {
            const QPoint at(grip->width() - 4, grip->height() / 2);
            QTest::mousePress(grip, Qt::LeftButton, {}, at);
            QTest::mouseMove(grip, at - QPoint(120, 90));
            QTest::mouseRelease(grip, Qt::LeftButton, {}, at - QPoint(120, 90));
            expected -= QPoint(120, 90);
            QTRY_COMPARE(m_notice->frameGeometry().topLeft(), expected);
        }
    }
};

QTEST_MAIN(TestAdSupportedNotice)
#include "tst_adsupportednotice.moc"
