#include "widgets/ToolBar.h"
#include "widgets/ThemedButton.h"
#include "widgets/StatusBar.h"

#include <QAbstractButton>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace fetchora;

namespace {

// Colour of one pixel of what the widget paints right now.
QColor pixelAt(QWidget *widget, QPoint pos)
{
    const QImage image = widget->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(QPoint(int(pos.x() * dpr), int(pos.y() * dpr)));
}

bool closeTo(const QColor &a, const QColor &b, int tolerance = 6)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// A point of the button body clear of the caption and the rounded corners.
QPoint bodyPoint(QWidget *button)
{
    return QPoint(5, button->height() / 2);
}

// A button in a window of its own, placed where the pointer can be moved
// on and off it; shown by the caller.
ThemedButton *buttonIn(QWidget &window, const QString &caption = {})
{
    window.resize(300, 120);
    auto *button = new ThemedButton(caption, &window);
    button->setGeometry(20, 20, 120, 32);
    return button;
}

// A bar (McToolBar or ucStatusBar) paints `at` in its default background
// first and in the colour set afterwards, and reports the colours it was given.
template <typename Bar>
void verifyBarRecoloured(Bar &bar, QPoint at, const QColor &background, const QColor &foreground)
{
    const QColor before = pixelAt(&bar, at);
    QVERIFY2(closeTo(before, Bar::defaultBackgroundColor()), qPrintable(before.name()));
    bar.setColors(background, foreground);
    QCOMPARE(bar.backgroundColor(), background);
    QCOMPARE(bar.foregroundColor(), foreground);
    const QColor after = pixelAt(&bar, at);
    QVERIFY(after != before);
    QVERIFY2(closeTo(after, background), qPrintable(after.name()));
}

} // namespace

class WidgetsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Park the pointer away from where the test windows appear so no hover
        // state leaks from one test into the next.
        QCursor::setPos(QPoint(2000, 2000));
        QCoreApplication::processEvents();
    }

    // ---- isButton

    void buttonClicks()
    {
        ThemedButton button(QStringLiteral("Download"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QAbstractButton::clicked);

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);

        // Pressing and releasing outside the button is no click.
        QTest::mousePress(&button, Qt::LeftButton);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() + 20, button.height() + 20));
        QCOMPARE(clicked.count(), 1);

        // Right button does not click.
        QTest::mouseClick(&button, Qt::RightButton);
        QCOMPARE(clicked.count(), 1);

        // The space key does, once the button has the focus.
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(clicked.count(), 2);
    }

    void disabledButtonIgnoresClicksAndMoves()
    {
        QWidget window;
        ThemedButton *button = buttonIn(window, QStringLiteral("Remove"));
        button->setEnabled(false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QSignalSpy moved(button, &ThemedButton::mouseMoved);
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseMove(button, QPoint(10, 10));
        QTest::mouseMove(button, QPoint(30, 12));
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(moved.count(), 0);

        // Enabled again it works as before.
        button->setEnabled(true);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
    }

    void buttonMouseMoveEmitsMouseMoved()
    {
        QWidget window;
        ThemedButton *button = buttonIn(window, QStringLiteral("Search"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(button->hasMouseTracking());

        QSignalSpy moved(button, &ThemedButton::mouseMoved);
        // Over the window but not over the button: nothing.
        QTest::mouseMove(&window, QPoint(250, 100));
        QCOMPARE(moved.count(), 0);

        QTest::mouseMove(button, QPoint(10, 10));
        QTRY_VERIFY(moved.count() >= 1);
        const int afterFirst = int(moved.count());
        QTest::mouseMove(button, QPoint(40, 15));
        QTRY_VERIFY(moved.count() > afterFirst);
    }

    void buttonColorsChangePaint()
    {
        ThemedButton button;
        QVERIFY(button.firstColor().isValid());
        QVERIFY(button.secondColor().isValid());
        button.resize(120, 32);
        const QPoint at = bodyPoint(&button);
        const QColor before = pixelAt(&button, at);
        QVERIFY2(closeTo(before, ThemedButton::defaultFirstColor()), qPrintable(before.name()));

        const QColor red(200, 30, 30);
        button.setColors(red, QColor(30, 160, 30));
        QCOMPARE(button.firstColor(), red);
        QCOMPARE(button.secondColor(), QColor(30, 160, 30));
        const QColor after = pixelAt(&button, at);
        QVERIFY(after != before);
        QVERIFY2(closeTo(after, red), qPrintable(after.name()));

        // The centre changes too (with no caption there is nothing drawn over it).
        const QPoint centre = button.rect().center();
        button.setColors(QColor(0, 0, 255), QColor(0, 255, 0));
        const QColor blueCentre = pixelAt(&button, centre);
        button.setColors(QColor(255, 255, 0), QColor(0, 255, 0));
        const QColor yellowCentre = pixelAt(&button, centre);
        QVERIFY(blueCentre != yellowCentre);
        QVERIFY2(closeTo(yellowCentre, QColor(255, 255, 0)), qPrintable(yellowCentre.name()));

        // Disabled it must not look like either enabled colour.
        button.setEnabled(false);
        const QColor disabled = pixelAt(&button, at);
        QVERIFY2(!closeTo(disabled, QColor(255, 255, 0), 20), qPrintable(disabled.name()));

        // An invalid colour falls back to its default; the other is kept.
        button.setColors(QColor(1, 2, 3), QColor(4, 5, 6));
        button.setColors(QColor(), QColor(10, 20, 30));
        QCOMPARE(button.firstColor(), ThemedButton::defaultFirstColor());
        QCOMPARE(button.secondColor(), QColor(10, 20, 30));
        button.setColors(QColor(10, 20, 30), QColor());
        QCOMPARE(button.secondColor(), ThemedButton::defaultSecondColor());
    }

    void buttonHoverUsesSecondColor()
    {
        QWidget window;
        ThemedButton *button = buttonIn(window);
        const QColor first(200, 30, 30);
        const QColor second(30, 160, 30);
        button->setColors(first, second);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QPoint at = bodyPoint(button);
        QVERIFY(closeTo(pixelAt(button, at), first));
        QTest::mouseMove(button, QPoint(30, 10));
        QTRY_VERIFY(button->underMouse());
        QVERIFY2(closeTo(pixelAt(button, at), second), qPrintable(pixelAt(button, at).name()));

        // Leaving goes back to the first colour.
        QTest::mouseMove(&window, QPoint(250, 100));
        QTRY_VERIFY(!button->underMouse());
        QVERIFY(closeTo(pixelAt(button, at), first));
    }

    void buttonCaptionContrast()
    {
        // A caption of solid "█" characters fills the centre with caption colour:
        // white on a dark fill, dark on a light fill.
        ThemedButton button(QString(8, QChar(0x2588)));
        QFont f = button.font();
        f.setPixelSize(24);
        button.setFont(f);
        button.resize(button.sizeHint());
        const QPoint centre = button.rect().center();

        button.setColors(QColor(10, 10, 60), QColor(10, 10, 60));
        const QColor onDark = pixelAt(&button, centre);
        button.setColors(QColor(250, 250, 210), QColor(250, 250, 210));
        const QColor onLight = pixelAt(&button, centre);
        QVERIFY2(qGray(onDark.rgb()) > 200, qPrintable(onDark.name()));
        QVERIFY2(qGray(onLight.rgb()) < 80, qPrintable(onLight.name()));
    }

    void buttonSizeHintFollowsCaption()
    {
        ThemedButton shortButton(QStringLiteral("OK"));
        ThemedButton longButton(QStringLiteral("Download all selected programs now"));
        QVERIFY(shortButton.sizeHint().isValid());
        QVERIFY(longButton.sizeHint().width() > shortButton.sizeHint().width());
        const int textWidth = longButton.fontMetrics().horizontalAdvance(longButton.text());
        QVERIFY(longButton.sizeHint().width() > textWidth);
        QVERIFY(longButton.sizeHint().height() > longButton.fontMetrics().height());

        // The shortcut ampersand takes no room.
        ThemedButton plain(QStringLiteral("Downloads folder"));
        ThemedButton withShortcut(QStringLiteral("&Downloads folder"));
        QCOMPARE(withShortcut.sizeHint(), plain.sizeHint());
    }

    // ---- McToolBar

    void toolBarEachButtonReportsItsIndex()
    {
        ToolBar bar;
        const QStringList captions = {QStringLiteral("Catalogue"), QStringLiteral("Search"),
                                      QStringLiteral("Download"), QStringLiteral("Install"),
                                      QStringLiteral("Updates"), QStringLiteral("Settings"),
                                      QStringLiteral("Help"), QStringLiteral("Exit")};
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(bar.addButton(captions.at(i)), i);
        QCOMPARE(bar.buttonCount(), 8);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));

        QSignalSpy spy(&bar, &ToolBar::buttonClicked);
        // Out of order, so an index cannot come from a counter.
        const QList<int> order = {5, 0, 7, 2, 1, 6, 3, 4};
        for (int i : order) {
            QAbstractButton *button = bar.button(i);
            QVERIFY(button);
            QVERIFY(button->isVisible());
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(spy.count(), order.size());
        for (int n = 0; n < order.size(); ++n)
            QCOMPARE(spy.at(n).at(0).toInt(), order.at(n));

        // Buttons do not overlap: each is at its own place, left to right.
        for (int i = 1; i < 8; ++i)
            QVERIFY(bar.button(i)->geometry().left() >= bar.button(i - 1)->geometry().right());
    }

    void toolBarButtonsAreNamedAndCaptioned()
    {
        ToolBar bar;
        QCOMPARE(bar.buttonCount(), 0);
        QVERIFY(!bar.button(0));
        QVERIFY(bar.buttonCaption(0).isEmpty());
        bar.addButton(QStringLiteral("Catalogue"));
        bar.addButton(QStringLiteral("&Settings"), QIcon());
        QCOMPARE(bar.buttonCaption(0), QStringLiteral("Catalogue"));
        QCOMPARE(bar.buttonCaption(1), QStringLiteral("&Settings"));
        QCOMPARE(bar.button(0)->objectName(), QStringLiteral("McToolBarButton0"));
        QCOMPARE(bar.button(1)->objectName(), QStringLiteral("McToolBarButton1"));
        QCOMPARE(bar.findChild<QAbstractButton *>(QStringLiteral("McToolBarButton1")), bar.button(1));
        QCOMPARE(bar.button(1)->text(), QStringLiteral("&Settings"));
        auto *tool = qobject_cast<QToolButton *>(bar.button(0));
        QVERIFY(tool);
        QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(tool->autoRaise());

        // Out of range there is no button and no caption.
        QVERIFY(!bar.button(-1));
        QVERIFY(!bar.button(2));
        QVERIFY(bar.buttonCaption(-1).isEmpty());
        QVERIFY(bar.buttonCaption(2).isEmpty());
    }

    void toolBarReportsMouseMoves()
    {
        ToolBar bar;
        bar.addButton(QStringLiteral("Catalogue"));
        bar.addButton(QStringLiteral("Search"));
        bar.addButton(QStringLiteral("Download"));
        bar.resize(600, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(bar.hasMouseTracking());

        QSignalSpy moved(&bar, &ToolBar::mouseMoved);
        // The right end is free space, away from the buttons.
        const QPoint free(bar.width() - 20, bar.height() / 2);
        QVERIFY(!bar.childAt(free));
        QTest::mouseMove(&bar, free);
        QTRY_COMPARE(moved.count(), 1);
        QTest::mouseMove(&bar, free - QPoint(10, 0));
        QTRY_COMPARE(moved.count(), 2);

        QAbstractButton *button = bar.button(1);
        QTest::mouseMove(button, QPoint(button->width() / 2, button->height() / 2));
        QTRY_VERIFY(moved.count() >= 3);
        // One move is reported once, not once by the button and again by the bar.
        QTest::qWait(20);
        QCOMPARE(moved.count(), 3);
        QTest::mouseMove(button, QPoint(button->width() / 2 + 3, button->height() / 2));
        QTRY_COMPARE(moved.count(), 4);

        // A disabled button still reports through the bar.
        button->setEnabled(false);
        QTest::mouseMove(button, QPoint(button->width() / 2 - 3, button->height() / 2));
        QTRY_COMPARE(moved.count(), 5);
    }

    void toolBarGeneratedIconWhenNoneGiven()
    {
        ToolBar bar;
        bar.addButton(QStringLiteral("Catalogue"));
        QPixmap given(16, 16);
        given.fill(Qt::magenta);
        bar.addButton(QStringLiteral("Search"), QIcon(given));

        const QIcon generated = bar.button(0)->icon();
        QVERIFY(!generated.isNull());
        // The generated picture is not blank: the square fills its middle.
        const QImage image = generated.pixmap(32, 32).toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.pixelColor(4, image.height() / 2).alpha(), 255);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // rounded corner stays clear

        // A given icon is used as is.
        const QImage own = bar.button(1)->icon().pixmap(16, 16).toImage();
        QCOMPARE(own.pixelColor(8, 8), QColor(Qt::magenta));

        // Theme colours redraw the generated picture, never the given one.
        bar.setColors(QColor(Qt::white), QColor(200, 0, 0));
        const QImage recoloured = bar.button(0)->icon().pixmap(32, 32).toImage();
        QVERIFY(closeTo(recoloured.pixelColor(4, recoloured.height() / 2), QColor(200, 0, 0)));
        QCOMPARE(bar.button(1)->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::magenta));

        // Captions without a letter still get a picture.
        QVERIFY(!ToolBar::generatedIcon(QString(), QColor(), QColor()).isNull());
    }

    void toolBarColorsChangePaint()
    {
        ToolBar bar;
        bar.addButton(QStringLiteral("Catalogue"));
        bar.resize(400, bar.sizeHint().height());
        verifyBarRecoloured(bar, QPoint(bar.width() - 10, bar.height() / 2), QColor(20, 40, 90), QColor(Qt::white));

        // The caption colour reaches the buttons.
        QCOMPARE(bar.button(0)->palette().color(QPalette::ButtonText), QColor(Qt::white));

        // Invalid colours fall back to the defaults.
        bar.setColors(QColor(), QColor());
        QCOMPARE(bar.backgroundColor(), ToolBar::defaultBackgroundColor());
        QCOMPARE(bar.foregroundColor(), ToolBar::defaultForegroundColor());
    }

    void toolBarStyle()
    {
        ToolBar bar;
        bar.resize(300, 60);
        bar.setColors(QColor(100, 100, 100), QColor(Qt::black));
        QCOMPARE(bar.barStyle(), int(ToolBar::FlatStyle));
        const QPoint top(150, 2);
        const QPoint bottom(150, 57);
        QCOMPARE(pixelAt(&bar, top), pixelAt(&bar, bottom));

        bar.setBarStyle(ToolBar::GradientStyle);
        QCOMPARE(bar.barStyle(), int(ToolBar::GradientStyle));
        const QColor gradTop = pixelAt(&bar, top);
        const QColor gradBottom = pixelAt(&bar, bottom);
        QVERIFY(qGray(gradTop.rgb()) > qGray(gradBottom.rgb()));

        bar.setBarStyle(ToolBar::FramedStyle);
        QCOMPARE(bar.barStyle(), int(ToolBar::FramedStyle));
        QVERIFY(pixelAt(&bar, QPoint(150, 59)) != pixelAt(&bar, QPoint(150, 30)));

        // A value this version does not know falls back to the flat bar.
        bar.setBarStyle(42);
        QCOMPARE(bar.barStyle(), int(ToolBar::FlatStyle));
        bar.setBarStyle(-1);
        QCOMPARE(bar.barStyle(), int(ToolBar::FlatStyle));
        QCOMPARE(pixelAt(&bar, top), pixelAt(&bar, bottom));
    }

    // ---- ucStatusBar

    void statusBarTextRoundTrip()
    {
        StatusBar bar;
        QCOMPARE(bar.panelCount(), 1);
        QVERIFY(bar.panel(0));
        QVERIFY(bar.panelText(0).isEmpty());
        QSignalSpy spy(&bar, &StatusBar::panelTextChanged);
        const QStringList texts = {QStringLiteral("Ready"), QStringLiteral("Downloading 7-Zip (3 of 12)…"),
                                   QStringLiteral("Ünïcødé – 下载 – تحميل"),
                                   QStringLiteral("  spaces kept  "), QStringLiteral("<b>not markup</b>"),
                                   QString()};
        for (const QString &text : texts) {
            bar.setPanelText(0, text);
            QCOMPARE(bar.panelText(0), text);
            QCOMPARE(spy.last().at(0).toInt(), 0);
            QCOMPARE(spy.last().at(1).toString(), text);
        }
        QCOMPARE(spy.count(), texts.size());
    }

    void statusBarUnchangedTextNoSignal()
    {
        StatusBar bar;
        QSignalSpy spy(&bar, &StatusBar::panelTextChanged);
        bar.setPanelText(0, QString()); // already empty
        QCOMPARE(spy.count(), 0);
        bar.setPanelText(0, QStringLiteral("Checking for updates"));
        bar.setPanelText(0, QStringLiteral("Checking for updates"));
        bar.setPanelText(0, QString(QStringLiteral("Checking for ")) + QStringLiteral("updates"));
        QCOMPARE(spy.count(), 1);
        // A different text, even if it only differs in case or a line break, is a change.
        bar.setPanelText(0, QStringLiteral("checking for updates"));
        bar.setPanelText(0, QStringLiteral("checking for\nupdates"));
        QCOMPARE(spy.count(), 3);
    }

    void statusBarOutOfRangeIsSafe()
    {
        StatusBar bar;
        bar.setPanelText(0, QStringLiteral("Main"));
        QSignalSpy spy(&bar, &StatusBar::panelTextChanged);
        bar.setPanelText(1, QStringLiteral("nowhere"));
        bar.setPanelText(-1, QStringLiteral("nowhere"));
        bar.setPanelText(1000000, QStringLiteral("nowhere"));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(bar.panelCount(), 1);
        QVERIFY(bar.panelText(1).isEmpty());
        QVERIFY(bar.panelText(-1).isEmpty());
        QVERIFY(bar.panelText(INT_MAX).isEmpty());
        QVERIFY(bar.panelDisplayText(3).isEmpty());
        QVERIFY(!bar.panel(1));
        QVERIFY(!bar.panel(-1));
        // Panel 0 is untouched.
        QCOMPARE(bar.panelText(0), QStringLiteral("Main"));
    }

    void statusBarLongTextElidedButKept()
    {
        StatusBar bar;
        bar.resize(200, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));

        QString longText;
        for (int i = 0; i < 40; ++i)
            longText += QStringLiteral("segment%1 ").arg(i);
        longText += QStringLiteral("END");
        bar.setPanelText(0, longText);
        QCOMPARE(bar.panelText(0), longText);

        const QString shown = bar.panelDisplayText(0);
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown.size() < longText.size());
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QVERIFY(shown.startsWith(QStringLiteral("segment0")));
        QVERIFY(bar.panel(0)->fontMetrics().horizontalAdvance(shown) <= bar.panel(0)->width());

        // A text that fits shows whole.
        bar.setPanelText(0, QStringLiteral("Ready"));
        QCOMPARE(bar.panelDisplayText(0), QStringLiteral("Ready"));
    }

    void statusBarLineBreaksShownAsSpaces()
    {
        StatusBar bar;
        bar.resize(800, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));

        const QString text = QStringLiteral("first\nsecond\r\nthird\rfourth") + QChar(0x2028) + QStringLiteral("fifth");
        bar.setPanelText(0, text);
        QCOMPARE(bar.panelText(0), text);
        QCOMPARE(bar.panelDisplayText(0), QStringLiteral("first second third fourth fifth"));

        // Painted on one row even when the bar is tall enough for three: solid
        // blocks on separate lines would put ink a line above the middle.
        const QString block(2, QChar(0x2588));
        bar.setPanelText(0, block + QLatin1Char('\n') + block + QLatin1Char('\n') + block);
        bar.setColors(QColor(Qt::white), QColor(Qt::black));
        bar.resize(800, 200);
        QTRY_COMPARE(bar.panel(0)->height(), 200 - 2);
        QWidget *panel = bar.panel(0);
        const int x = 6 + panel->fontMetrics().horizontalAdvance(block) / 2;
        const int lineHeight = panel->fontMetrics().height();
        const int middle = panel->height() / 2;
        QVERIFY(qGray(pixelAt(panel, QPoint(x, middle)).rgb()) < 80);
        QVERIFY(qGray(pixelAt(&bar, panel->mapToParent(QPoint(x, middle - lineHeight))).rgb()) > 200);
        QVERIFY(qGray(pixelAt(&bar, panel->mapToParent(QPoint(x, middle + lineHeight))).rgb()) > 200);

        QCOMPARE(StatusBar::singleLine(QStringLiteral("\n")), QStringLiteral(" "));
        QCOMPARE(StatusBar::singleLine(QStringLiteral("a\r\n\r\nb")), QStringLiteral("a  b"));
        QCOMPARE(StatusBar::singleLine(QString()), QString());
    }

    void statusBarToolTipIsFullText()
    {
        StatusBar bar;
        bar.resize(150, bar.sizeHint().height());
        const QString text = QStringLiteral("Downloading LibreOffice_7.6.4_Win_x86-64.msi from the German mirror");
        bar.setPanelText(0, text);
        QCOMPARE(bar.panel(0)->toolTip(), text);
        bar.setPanelText(0, QString());
        QVERIFY(bar.panel(0)->toolTip().isEmpty());

        // Text that looks like markup is shown literally, not interpreted.
        bar.setPanelText(0, QStringLiteral("<b>setup</b>.exe"));
        QVERIFY(bar.panel(0)->toolTip().contains(QStringLiteral("&lt;b&gt;setup&lt;/b&gt;.exe")));
        QCOMPARE(bar.panelText(0), QStringLiteral("<b>setup</b>.exe"));
    }

    void statusBarExtraPanels()
    {
        StatusBar bar;
        QSignalSpy spy(&bar, &StatusBar::panelTextChanged);
        QCOMPARE(bar.addPanel(QStringLiteral("12 programs")), 1);
        QCOMPARE(bar.addPanel(), 2);
        QCOMPARE(bar.panelCount(), 3);
        QCOMPARE(spy.count(), 0); // adding is no text change
        QCOMPARE(bar.panelText(1), QStringLiteral("12 programs"));
        QVERIFY(bar.panelText(2).isEmpty());

        bar.setPanelText(2, QStringLiteral("Online"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 2);
        QCOMPARE(bar.panelText(2), QStringLiteral("Online"));
        QCOMPARE(bar.panelText(1), QStringLiteral("12 programs"));
        QVERIFY(bar.panelText(0).isEmpty());

        // Panel 0 takes the spare width; side panels fit their text.
        bar.resize(700, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(bar.panel(0)->width() > bar.panel(1)->width());
        QCOMPARE(bar.panelDisplayText(1), QStringLiteral("12 programs"));
        QVERIFY(bar.panel(1)->geometry().left() > bar.panel(0)->geometry().right());
        QVERIFY(bar.panel(2)->geometry().left() > bar.panel(1)->geometry().right());
    }

    void statusBarColorsChangePaint()
    {
        StatusBar bar;
        bar.resize(300, bar.sizeHint().height());
        verifyBarRecoloured(bar, QPoint(bar.width() / 2, bar.height() - 2), QColor(0, 60, 0), QColor(Qt::yellow));

        // The text is painted in the foreground colour: a solid block character
        // puts it in the middle of panel 0.
        QFont f = bar.font();
        f.setPixelSize(20);
        bar.setFont(f);
        bar.resize(300, bar.sizeHint().height());
        bar.setPanelText(0, QString(10, QChar(0x2588)));
        QWidget *panel = bar.panel(0);
        const int blockWidth = panel->fontMetrics().horizontalAdvance(QString(10, QChar(0x2588)));
        const QColor text = pixelAt(panel, QPoint(6 + blockWidth / 2, panel->height() / 2));
        QVERIFY2(closeTo(text, QColor(Qt::yellow), 40), qPrintable(text.name()));
    }
};

QTEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
