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
        frmMain &w = app->window;
        w.SSTab1->setCurrentIndex(frmMain::TabApps);
        w.apps->categories->setCurrentRow(1);
        w.optionsPage->chkAdSupportWarning->setChecked(true);
        w.optionsPage->txtSignatureServer->setText("https://mirror.example/");
        w.apps->entries->setCurrentRow(0);
        QCOMPARE(app->state.currentLink(), "https://a/2");

        // An update replaced the files.
        QVERIFY(put({{"FOApps.def", "[Browsers]\r\nFirefox=https://a/1\r\n[Tools]\r\nNew=https://b/2\r\n"
                                    "Old=https://a/2\r\n[Games]\r\n"},
                     {"FOBlacklist.def", "new-host\r\n"},
                     {"FOVersion.ini", "[Signature]\r\nVersion=2\r\n"}}));
        w.reload();

        QCOMPARE(w.apps->categories->items(), QStringList({"Browsers", "Tools", "Games"}));
        QCOMPARE(w.apps->categories->currentRow(), 1);
        QCOMPARE(w.apps->entries->items(), QStringList({"New", "Old"}));
        QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabApps));
        QVERIFY(w.optionsPage->chkAdSupportWarning->isChecked());
        QCOMPARE(w.optionsPage->txtSignatureServer->text(), "https://mirror.example/");
        QCOMPARE(app->state.lists().blacklist, QStringList({"new-host"}));
        QCOMPARE(w.optionsPage->lstBlacklist->items(), QStringList({"new-host"}));
        QVERIFY(app->panel().endsWith("Signature Version: 2"));
        // The old selection's link is gone with the entry list.
        QVERIFY(app->state.currentLink().isEmpty());
        QVERIFY(app->prompter.messages.isEmpty());
    }
};

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
