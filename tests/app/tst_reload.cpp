#include "WindowFixture.h"

#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

using namespace fetchora;

// After an update or a change of mirror the main window reads every file again
// and shows the result without losing what the user had chosen.
class TestReload : public QObject, public test::WindowFixture
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { tearDown(); }

    void reloadShowsNewFilesAndKeepsChoices()
    {
        QVERIFY(setUpFolder());
        QVERIFY(put({{"FOVersion.ini", "[Signature]\r\nVersion=1\r\n"},
                     {"FOApps.def", "[Browsers]\r\nFirefox=https://a/1\r\n[Tools]\r\nOld=https://a/2\r\n"},
                     {"FOBlacklist.def", "old-host\r\n"}}));
        QVERIFY(start());
        MainWindow &w = app->window;
        w.tabs->setCurrentIndex(MainWindow::TabApps);
        w.appsPage->categories->setCurrentRow(1);
        w.optionsPage->adSupportWarningCheck->setChecked(true);
        w.optionsPage->updateAddressEdit->setText("https://mirror.example/");
        w.appsPage->entries->setCurrentRow(0);
        QCOMPARE(app->state.currentLink(), "https://a/2");

        // An update replaced the files.
        QVERIFY(put({{"FOApps.def", "[Browsers]\r\nFirefox=https://a/1\r\n[Tools]\r\nNew=https://b/2\r\n"
                                    "Old=https://a/2\r\n[Games]\r\n"},
                     {"FOBlacklist.def", "new-host\r\n"},
                     {"FOVersion.ini", "[Signature]\r\nVersion=2\r\n"}}));
        w.reload();

        QCOMPARE(w.appsPage->categories->items(), QStringList({"Browsers", "Tools", "Games"}));
        QCOMPARE(w.appsPage->categories->currentRow(), 1);
        QCOMPARE(w.appsPage->entries->items(), QStringList({"New", "Old"}));
        QCOMPARE(w.tabs->currentIndex(), int(MainWindow::TabApps));
        QVERIFY(w.optionsPage->adSupportWarningCheck->isChecked());
        QCOMPARE(w.optionsPage->updateAddressEdit->text(), "https://mirror.example/");
        QCOMPARE(app->state.lists().blacklist, QStringList({"new-host"}));
        QCOMPARE(w.optionsPage->blacklistList->items(), QStringList({"new-host"}));
        QVERIFY(app->panel().endsWith("Signature Version: 2"));
        // The old selection's link is gone with the entry list.
        QVERIFY(app->state.currentLink().isEmpty());
        QVERIFY(app->prompter.messages.isEmpty());
    }
};

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
