#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/ListBox.h"
#include "widgets/ucStatusBar.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;

// After an update or a change of mirror the main window reads every file again
// and shows the result without losing what the user had chosen.
class TestReload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reloadShowsNewFilesAndKeepsChoices()
    {
        QTemporaryDir dir;
        test::writeFile(dir.filePath("FOVersion.ini"), "[Signature]\r\nVersion=1\r\n");
        test::writeFile(dir.filePath("FOApps.def"), "[Browsers]\r\nFirefox=https://a/1\r\n[Tools]\r\nOld=https://a/2\r\n");
        test::writeFile(dir.filePath("FOBlacklist.def"), "old-host\r\n");
        ProfileEngine engine;
        test::RecordingShell shell;
        test::ScriptedPrompter prompter;
        AppState state(engine, shell, prompter, dir.path());
        frmMain w(state);
        w.startUp();
        w.show();
        w.SSTab1->setCurrentIndex(frmMain::TabApps);
        w.apps->categories->setCurrentRow(1);
        w.optionsPage->chkAdSupportWarning->setChecked(true);
        w.optionsPage->txtSignatureServer->setText("https://mirror.example/");
        w.apps->entries->setCurrentRow(0);
        QCOMPARE(state.currentLink(), QString("https://a/2"));

        // An update replaced the files.
        test::writeFile(dir.filePath("FOApps.def"),
                        "[Browsers]\r\nFirefox=https://a/1\r\n[Tools]\r\nNew=https://b/2\r\nOld=https://a/2\r\n[Games]\r\n");
        test::writeFile(dir.filePath("FOBlacklist.def"), "new-host\r\n");
        test::writeFile(dir.filePath("FOVersion.ini"), "[Signature]\r\nVersion=2\r\n");
        w.reload();

        QCOMPARE(w.apps->categories->items(), QStringList({"Browsers", "Tools", "Games"}));
        QCOMPARE(w.apps->categories->currentRow(), 1);
        QCOMPARE(w.apps->entries->items(), QStringList({"New", "Old"}));
        QCOMPARE(w.SSTab1->currentIndex(), int(frmMain::TabApps));
        QVERIFY(w.optionsPage->chkAdSupportWarning->isChecked());
        QCOMPARE(w.optionsPage->txtSignatureServer->text(), QString("https://mirror.example/"));
        QCOMPARE(state.lists().blacklist, QStringList({"new-host"}));
        QCOMPARE(w.optionsPage->lstBlacklist->items(), QStringList({"new-host"}));
        QVERIFY(w.ucStatusBar1->panelText(0).endsWith("Signature Version: 2"));
        // The old selection's link is gone with the entry list.
        QVERIFY(state.currentLink().isEmpty());
        QVERIFY(prompter.messages.isEmpty());
    }
};

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
