#include "widgets/ListBox.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace fetchora;

class TestListBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAndCurrentRow()
    {
        ListBox list;
        QSignalSpy rows(&list, &ListBox::currentRowChanged);
        QSignalSpy counts(&list, &ListBox::countChanged);
        list.setItems({"Browsers", "All", "Tools"});
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.items(), QStringList({"Browsers", "All", "Tools"}));
        QCOMPARE(counts.size(), 1);
        QCOMPARE(counts.last().first().toInt(), 3);
        QCOMPARE(list.currentRow(), -1);
        QCOMPARE(list.currentText(), QString());

        list.setCurrentRow(1);
        QCOMPARE(list.currentRow(), 1);
        QCOMPARE(list.currentText(), QString("All"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.last().first().toInt(), 1);
        // Setting the same row again is no change.
        list.setCurrentRow(1);
        QCOMPARE(rows.size(), 1);

        // A row the list does not have clears the selection and says so.
        list.setCurrentRow(7);
        QCOMPARE(list.currentRow(), -1);
        QCOMPARE(rows.last().first().toInt(), -1);
        QVERIFY(list.selectionModel()->selectedIndexes().isEmpty());

        list.setCurrentRow(2);
        list.setItems({"Other"});
        QCOMPARE(list.currentRow(), -1);
        QCOMPARE(rows.last().first().toInt(), -1);
        QCOMPARE(list.text(0), QString("Other"));
        QCOMPARE(list.text(1), QString());
        QCOMPARE(list.text(-1), QString());

        list.clear();
        QCOMPARE(list.count(), 0);
        QCOMPARE(counts.last().first().toInt(), 0);
    }

    void clickingALineMakesItCurrent()
    {
        ListBox list;
        list.setItems({"one", "two", "three"});
        list.resize(200, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy rows(&list, &ListBox::currentRowChanged);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualRect(list.model()->index(2, 0)).center());
        QCOMPARE(list.currentRow(), 2);
        QCOMPARE(rows.size(), 1);
        // Lines are not edited in place.
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                           list.visualRect(list.model()->index(2, 0)).center());
        QCOMPARE(list.text(2), QString("three"));
        QVERIFY(!list.findChild<QLineEdit *>());
    }

    void findExactMatchesWholeText()
    {
        ListBox list;
        list.setItems({"Windows Starter Kit 2", "WINDOWS STARTER KIT", "Windows Starter Kit"});
        QCOMPARE(list.findExact("Windows Starter Kit"), 1);
        QCOMPARE(list.findExact("Windows Starter Kit", Qt::CaseSensitive), 2);
        QCOMPARE(list.findExact("Windows Starter Kit", Qt::CaseInsensitive, 2), 2);
        QCOMPARE(list.findExact("Windows"), -1);
    }

    void sortedListKeepsAlphabeticalOrder()
    {
        ListBox list;
        list.setSorted(true);
        list.setItems({"zip", "Apple", "banana"});
        QCOMPARE(list.items(), QStringList({"Apple", "banana", "zip"}));
        list.addItem("Cherry");
        list.addItems({"aardvark", "Zulu"});
        QCOMPARE(list.items(), QStringList({"aardvark", "Apple", "banana", "Cherry", "zip", "Zulu"}));

        ListBox plain;
        plain.addItems({"b", "a"});
        plain.addItem("c");
        QCOMPARE(plain.items(), QStringList({"b", "a", "c"}));
    }
};

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
