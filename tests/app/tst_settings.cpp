#include "WindowFixture.h"
#include "state/SettingsFile.h"
#include "ui/FormSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

using namespace fetchora;

namespace {

// One control of every kind the settings store knows, an unnamed one, and one
// in a window opened from this one, as the update window is from the main window.
struct SampleWindow : QWidget
{
    QLineEdit *path = new QLineEdit(this), *unnamed = new QLineEdit(this);
    QPlainTextEdit *notes = new QPlainTextEdit(this);
    QCheckBox *tri = new QCheckBox(this);
    QRadioButton *optA = new QRadioButton(this), *optB = new QRadioButton(this);
    QComboBox *theme = new QComboBox(this);
    QListWidget *list = new QListWidget(this);
    QLineEdit *other = new QLineEdit(new QWidget(this, Qt::Window));

    SampleWindow()
    {
        // clang-format off
        for (auto [object, name] : QList<std::pair<QObject *, const char *>>{
                 {this, "frmSample"}, {path, "txtPath"}, {notes, "txtNotes"}, {tri, "chkTri"},
                 {list, "lstItems"}, {optA, "OptA"}, {optB, "OptB"}, {theme, "cboTheme"}, {other, "txtLog"}})
            object->setObjectName(name);
        // clang-format on
        tri->setTristate(true);
        optA->setChecked(true);
        theme->addItems({"Default", "Dark", "Cyan"});
        list->addItems({"a", "b", "c"});
    }
};

} // namespace

class TestSettings : public QObject, public test::WindowFixture
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ProfileEngine m_engine;
    const QString m_file = settingsFilePath(m_dir.path());

private Q_SLOTS:
    void controlsRoundTrip()
    {
        const QString longPath = "  C:\\Tools\\" + QString(300, 'j') + "\\JDownloader.exe ";
        SampleWindow w, restored, again;
        w.path->setText(longPath);
        w.notes->setPlainText("first line\nsecond line");
        w.tri->setCheckState(Qt::PartiallyChecked);
        w.optB->setChecked(true);
        w.theme->setCurrentIndex(2);
        w.list->setCurrentRow(1);
        w.unnamed->setText("never stored");
        w.other->setText("the other window's");
        QVERIFY(saveFormControls(&w, m_engine, m_file));
        QVERIFY(!saveFormControls(&w, m_engine, m_dir.filePath("no such folder/Fetchora.ini")));
        const QByteArray bytes = test::readFile(m_file);
        QVERIFY(bytes.contains("txtNotes=first line~|~second line\r\nchkTri=2\r\nOptA=0\r\nOptB=1\r\n"));
        // Lists are restored only; unnamed controls and other windows' are not stored.
        for (const char *text : {"lstItems", "never stored", "txtLog", "other window"})
            QVERIFY2(!bytes.contains(text), text);
        QVERIFY(loadFormControls(&restored, m_engine, m_file));
        QCOMPARE(restored.path->text(), longPath);
        QCOMPARE(restored.notes->toPlainText(), "first line\nsecond line");
        QCOMPARE(restored.tri->checkState(), Qt::PartiallyChecked);
        QVERIFY(restored.optB->isChecked() && !restored.optA->isChecked());
        QCOMPARE(restored.theme->currentIndex(), 2);
        // A text box the user emptied comes back empty. Numbers edited by hand count
        // by their whole part; an index beyond the items is refused.
        restored.path->clear();
        QVERIFY(saveFormControls(&restored, m_engine, m_file));
        for (auto [key, value] : {std::pair{"chkTri", "1.7"}, {"cboTheme", "5"}, {"lstItems", "2"}})
            QVERIFY(m_engine.writeString(m_file, "frmSample", key, value));
        again.path->setText("Enter here the Path to the JDownloader.exe");
        QVERIFY(loadFormControls(&again, m_engine, m_file));
        QCOMPARE(again.path->text(), QString());
        QCOMPARE(again.tri->checkState(), Qt::Checked);
        QCOMPARE(again.theme->currentIndex(), 0);
        QCOMPARE(again.list->currentRow(), 2);
    }

    // fixtures/Fetchora.ini was written by an earlier version of the program,
    // whose classes had other names, after the user had moved the window,
    // chosen pages and categories and changed options: all of it comes back.
    void settingsOfAnEarlierVersionComeBack()
    {
        QVERIFY(setUpFolder());
        const QDir fixtures(QFINDTESTDATA("fixtures"));
        for (const QString &name : fixtures.entryList(QDir::Files))
            QVERIFY(QFile::copy(fixtures.filePath(name), dataFile(name)));
        QVERIFY(start());
        QCOMPARE(app->window.frameGeometry(), QRect(37, 29, 735, 521));
        QCOMPARE(app->child<QTabWidget>("SSTab1")->currentIndex(), 6);
        QCOMPARE(app->child<QTabWidget>("SSTab2")->currentIndex(), 2);
        // clang-format off
        for (auto [list, category] : QList<std::pair<const char *, const char *>>{
                 {"lstCat", "Security"}, {"lstCatPortable", "Portable Media"}, {"lstCatSlim", "Slim Media"},
                 {"lstCatSpecial", "Runtimes"}, {"lstCatPages", "Virus Scanners"},
                 {"lstCatInstall", "Install Media"}})
            QCOMPARE(app->list(list)->text(app->row(list)), category);
        // clang-format on
        for (const char *option :
             {"chkAutoUpdate", "chkAdSupportWarning", "chkJDownloaderSupport", "chkPerformOpsWithDoubleClick"})
            QVERIFY2(app->child<QCheckBox>(option)->isChecked(), option);
        QCOMPARE(app->child<QComboBox>("cboTheme")->currentText(), "Ocean");
        QCOMPARE(app->child<QLineEdit>("txtJDownloaderPath")->text(), "/opt/jd2/JDownloader.exe");
        QVERIFY(app->child<QLineEdit>("txtSignatureServer")->text().endsWith(".org/fetchora_latest/de/"));

        // A size kept from a larger screen, or typed by hand, is cut to the
        // screen the window lands on, and the window kept on it.
        QVERIFY(closeApp() && put("Fetchora.ini", "[WindowState]\nLeft=600\nTop=600\nHeight=150000\nWidth=150000")
                && start());
        QCOMPARE(app->window.frameGeometry(), app->window.screen()->availableGeometry());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
