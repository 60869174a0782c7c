// Tests for the controls every window is built from, as real widgets: what the
// windows rely on from the list box, the themed button, the toolbar and the
// status bar.

#include "widgets/ListBox.h"
#include "widgets/StatusBar.h"
#include "widgets/ThemedButton.h"
#include "widgets/ToolBar.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

using namespace fetchora;

namespace {

QColor pixelAt(QWidget *widget, QPoint pos)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(pos * image.devicePixelRatio());
}

QList<int> firstArguments(const QSignalSpy &spy)
{
    QList<int> out;
    for (const QList<QVariant> &call : spy)
        out << call.first().toInt();
    return out;
}

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listBox()
    {
        ListBox list;
        QSignalSpy rows(&list, &ListBox::currentRowChanged);
        QSignalSpy counts(&list, &ListBox::countChanged);
        list.setItems({"Browsers", "All", "Tools"});
        list.setCurrentRow(1);
        QCOMPARE(list.currentText(), "All");
        list.setCurrentRow(1);
        list.setCurrentRow(7); // a row the list does not have clears the selection
        QCOMPARE(list.currentRow(), -1);
        list.setCurrentRow(2);
        list.setItems({"Other"}); // new lines forget the row and say so
        QCOMPARE(list.currentRow(), -1);
        list.clear();
        QCOMPARE(firstArguments(rows), QList<int>({1, -1, 2, -1}));
        QCOMPARE(firstArguments(counts), QList<int>({3, 1, 0}));
        list.setItems({"Kit 2", "KIT", "Kit"});
        QCOMPARE(list.findExact("Kit"), 1);
        QCOMPARE(list.findExact("Kit", Qt::CaseSensitive), 2);
        QCOMPARE(list.findExact("Kit", Qt::CaseInsensitive, 2), 2);
        QCOMPARE(list.findExact("Ki"), -1);

        list.setSorted(true);
        list.setItems({"zip", "Apple", "banana"});
        list.addItem("Cherry");
        list.addItems({"aardvark", "Zulu"});
        QCOMPARE(list.items(), QStringList({"aardvark", "Apple", "banana", "Cherry", "zip", "Zulu"}));
    }

    // A colour left out (say, read from a damaged settings file) falls back to
    // the default for that slot; the other is kept and painted: the first at
    // rest, the second under the pointer.
    void buttonColours()
    {
        ThemedButton button;
        button.resize(120, 32);
        const QPoint body(5, 16);
        button.setColors(QColor(200, 30, 30), QColor());
        QCOMPARE(button.secondColor(), ThemedButton::defaultSecondColor());
        QCOMPARE(pixelAt(&button, body), QColor(200, 30, 30));
        button.setColors(QColor(), QColor(1, 2, 3));
        QCOMPARE(button.firstColor(), ThemedButton::defaultFirstColor());
        QCOMPARE(button.secondColor(), QColor(1, 2, 3));
        QCOMPARE(pixelAt(&button, body), ThemedButton::defaultFirstColor());
        // The second colour shows while the pointer is over the button.
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseMove(&button, body);
        QTRY_VERIFY(button.underMouse());
        QCOMPARE(pixelAt(&button, body), QColor(1, 2, 3));
    }

    void toolBar()
    {
        ToolBar bar;
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bar.addButton(QStringLiteral("Button %1").arg(i)), i);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy clicked(&bar, &ToolBar::buttonClicked);
        const QList<int> order{3, 0, 4, 1};
        for (int i : order)
            QTest::mouseClick(bar.button(i), Qt::LeftButton);
        QCOMPARE(firstArguments(clicked), order);

        // The style is stored in the settings as a number; one this version does
        // not know (from a newer version or a damaged file) gives the plain bar.
        bar.resize(700, 60); // the right end is clear of buttons
        const auto plain = [&bar] { return pixelAt(&bar, {690, 2}) == pixelAt(&bar, {690, 59}); };
        bar.setBarStyle(ToolBar::GradientStyle);
        QVERIFY(!plain());
        bar.setBarStyle(42);
        QCOMPARE(bar.barStyle(), int(ToolBar::FlatStyle));
        QVERIFY(plain());
        bar.setColors(QColor(20, 40, 90), QColor()); // the theme's accent; the caption keeps its default
        QCOMPARE(pixelAt(&bar, {690, 30}), QColor(20, 40, 90));
    }

    // Panel 0 holds the current link: what was set comes back exactly, while the
    // panel shows it as one line cut to its width.
    void statusBarKeepsTextShowsOneLine()
    {
        StatusBar bar;
        bar.resize(200, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy changed(&bar, &StatusBar::panelTextChanged);
        const QString text = "first\r\nsecond\rthird\n" + QString("segment ").repeated(40);
        bar.setPanelText(0, text);
        bar.setPanelText(0, text);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bar.panelText(0), text);
        QCOMPARE(bar.panel(0)->toolTip(), text); // the whole link, for a line cut short
        const QString shown = bar.panelDisplayText(0);
        QVERIFY2(shown.startsWith("first second third ") && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(bar.panel(0)->fontMetrics().horizontalAdvance(shown) <= bar.panel(0)->width());
        bar.setPanelText(0, "Ready");
        QCOMPARE(bar.panelDisplayText(0), "Ready");
        bar.setColors(QColor(0, 60, 0), QColor()); // the theme's accent, clear of the text
        QCOMPARE(pixelAt(&bar, {bar.width() - 3, bar.height() - 1}), QColor(0, 60, 0));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
