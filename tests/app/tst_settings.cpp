#include "TestSupport.h"
#include "ui/WindowPlacement.h"
#include "ui/FormSettings.h"
#include "platform/Placement.h"
#include "platform/ProfileEngine.h"
#include "state/SettingsFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace fetchora;

namespace {

// A window with one control of every kind the settings store knows.
struct SampleWindow : QWidget
{
    QLineEdit *path = new QLineEdit(this);
    QPlainTextEdit *notes = new QPlainTextEdit(this);
    QCheckBox *option = new QCheckBox(this);
    QCheckBox *tri = new QCheckBox(this);
    QRadioButton *radioA = new QRadioButton(this);
    QRadioButton *radioB = new QRadioButton(this);
    QComboBox *theme = new QComboBox(this);
    QListWidget *list = new QListWidget(this);
    QLineEdit *unnamed = new QLineEdit(this);
    QSpinBox *spin = new QSpinBox(this); // holds a "qt_" line edit inside

    SampleWindow()
    {
        setObjectName("frmSample");
        path->setObjectName("txtPath");
        notes->setObjectName("txtNotes");
        option->setObjectName("chkOption");
        tri->setObjectName("chkTri");
        tri->setTristate(true);
        radioA->setObjectName("OptA");
        radioB->setObjectName("OptB");
        radioA->setChecked(true);
        theme->setObjectName("cboTheme");
        theme->addItems({"Default", "Dark", "Cyan"});
        list->setObjectName("lstItems");
        list->addItems({"a", "b", "c"});
        spin->setObjectName("spnSomething");
    }
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineBreaksAreKeptOnOneLine()
    {
        QCOMPARE(encodeSettingsText("line1\r\nline2"), QString("line1~|~line2"));
        QCOMPARE(encodeSettingsText("a\nb\rc\r\n"), QString("a~|~b~|~c~|~"));
        QCOMPARE(decodeSettingsText("line1~|~line2"), QString("line1\nline2"));
        QCOMPARE(decodeSettingsText(encodeSettingsText("x\ny")), QString("x\ny"));
        QCOMPARE(settingsFilePath("/some/Data"), QString("/some/Data/Fetchora.ini"));
    }

    void storedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // INT_MIN: not a number
        const int none = std::numeric_limits<int>::min();
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("fraction cut") << "1.7" << 1;
        QTest::newRow("negative fraction") << "-1.9" << -1;
        QTest::newRow("negative") << "-500" << -500;
        QTest::newRow("beyond 16 bits") << "40000" << 40000;
        QTest::newRow("blanks") << "  7 " << 7;
        QTest::newRow("plus") << "+3" << 3;
        QTest::newRow("leading dot") << ".5" << 0;
        QTest::newRow("empty") << "" << none;
        QTest::newRow("text") << "abc" << none;
        QTest::newRow("mixed") << "12abc" << none;
        QTest::newRow("too large") << "99999999999" << none;
        QTest::newRow("two dots") << "1.2.3" << none;
    }
    void storedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto parsed = parseStoredNumber(text);
        if (expected == std::numeric_limits<int>::min())
            QVERIFY(!parsed.has_value());
        else
            QCOMPARE(parsed.value_or(-424242), expected);
    }

    void twipsFollowTheScreenDpi()
    {
        QCOMPARE(pixelsToTwips(600, 96), 9000);
        QCOMPARE(twipsToPixels(8300, 96), 553);
        QCOMPARE(pixelsToTwips(600, 120), 7200);
        QCOMPARE(twipsToPixels(7200, 120), 600);
        QCOMPARE(twipsToPixels(pixelsToTwips(-33, 96), 96), -33);
    }

    void titleBarMustStayReachable()
    {
        const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 2560, 1400)};
        QVERIFY(titleBarReachable(QRect(100, 100, 800, 600), screens));
        // Second screen beyond 32,767 twips is a normal place.
        QVERIFY(titleBarReachable(QRect(3000, 50, 800, 600), screens));
        QVERIFY(titleBarReachable(QRect(-400, 10, 800, 600), screens));
        QVERIFY(!titleBarReachable(QRect(6000, 100, 800, 600), screens));
        QVERIFY(!titleBarReachable(QRect(100, -500, 800, 400), screens));
        QVERIFY(!titleBarReachable(QRect(100, 1500, 800, 600), screens));
        QVERIFY(!titleBarReachable(QRect(100, 100, 800, 600), {}));
    }

    void controlsRoundTrip()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        ProfileEngine engine;
        const QString longPath = "C:\\Tools\\" + QString(300, 'j') + "\\JDownloader.exe";
        {
            SampleWindow w;
            w.path->setText(longPath);
            w.notes->setPlainText("first line\nsecond line");
            w.option->setChecked(true);
            w.tri->setCheckState(Qt::PartiallyChecked);
            w.radioB->setChecked(true);
            w.theme->setCurrentIndex(2);
            w.list->setCurrentRow(1);
            w.unnamed->setText("never stored");
            QString error;
            QVERIFY2(saveFormControls(&w, engine, file, &error), qPrintable(error));
        }
        const QByteArray bytes = test::readFile(file);
        QVERIFY(bytes.contains("[frmSample]"));
        QVERIFY(bytes.contains("txtNotes=first line~|~second line"));
        QVERIFY(bytes.contains("chkOption=1"));
        QVERIFY(bytes.contains("chkTri=2"));
        QVERIFY(bytes.contains("OptA=0"));
        QVERIFY(bytes.contains("OptB=1"));
        QVERIFY(bytes.contains("cboTheme=2"));
        QVERIFY(!bytes.contains("lstItems")); // lists are restored only
        QVERIFY(!bytes.contains("never stored"));
        QVERIFY(!bytes.contains("qt_"));

        SampleWindow restored;
        QVERIFY(loadFormControls(&restored, engine, file));
        QCOMPARE(restored.path->text(), longPath);
        QCOMPARE(restored.notes->toPlainText(), QString("first line\nsecond line"));
        QVERIFY(restored.option->isChecked());
        QCOMPARE(restored.tri->checkState(), Qt::PartiallyChecked);
        QVERIFY(restored.radioB->isChecked());
        QVERIFY(!restored.radioA->isChecked());
        QCOMPARE(restored.theme->currentIndex(), 2);
        QCOMPARE(restored.list->currentRow(), -1);
    }

    void emptiedTextStaysEmpty()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        ProfileEngine engine;
        SampleWindow w;
        w.path->setText("C:\\JDownloader\\JDownloader.exe");
        QVERIFY(saveFormControls(&w, engine, file));
        w.path->clear();
        QVERIFY(saveFormControls(&w, engine, file));
        SampleWindow restored;
        restored.path->setText("Enter here the Path to the JDownloader.exe");
        QVERIFY(loadFormControls(&restored, engine, file));
        QCOMPARE(restored.path->text(), QString());
    }

    void restoreRulesForHandEditedValues()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        test::writeFile(file, "[frmSample]\r\n"
                              "chkOption=1.7\r\n"
                              "chkTri=banana\r\n"
                              "cboTheme=5\r\n"
                              "lstItems=2\r\n"
                              "OptA=\r\n"
                              "txtPath=  spaced  \r\n"
                              "[frmOther]\r\n"
                              "txtNotes=not mine\r\n");
        ProfileEngine engine;
        SampleWindow w;
        w.theme->setCurrentIndex(1);
        w.tri->setCheckState(Qt::Checked);
        QVERIFY(loadFormControls(&w, engine, file));
        QVERIFY(w.option->isChecked());
        QCOMPARE(w.tri->checkState(), Qt::Checked);   // not a number: left alone
        QCOMPARE(w.theme->currentIndex(), 1);         // beyond the items: left alone
        QCOMPARE(w.list->currentRow(), 2);            // lists take a stored index
        QVERIFY(w.radioA->isChecked());               // empty: left alone
        QCOMPARE(w.path->text(), QString("spaced"));  // blanks around values are not kept by hand edits
        QCOMPARE(w.notes->toPlainText(), QString());  // another window's keys are not read
    }

    void valuesWithEdgeBlanksSurviveASave()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        ProfileEngine engine;
        SampleWindow w;
        w.path->setText("  indented ");
        w.notes->setPlainText("\"quoted\"");
        QVERIFY(saveFormControls(&w, engine, file));
        SampleWindow restored;
        QVERIFY(loadFormControls(&restored, engine, file));
        QCOMPARE(restored.path->text(), QString("  indented "));
        QCOMPARE(restored.notes->toPlainText(), QString("\"quoted\""));
    }

    void missingFileChangesNothing()
    {
        QTemporaryDir dir;
        ProfileEngine engine;
        SampleWindow w;
        w.path->setText("design value");
        QVERIFY(!loadFormControls(&w, engine, settingsFilePath(dir.path())));
        QCOMPARE(w.path->text(), QString("design value"));
        QVERIFY(!QFileInfo::exists(settingsFilePath(dir.path())));
    }

    void saveFailsClearlyWithoutDataFolder()
    {
        QTemporaryDir dir;
        ProfileEngine engine;
        SampleWindow w;
        QString error;
        QVERIFY(!saveFormControls(&w, engine, dir.filePath("missing/Fetchora.ini"), &error));
        QVERIFY(!error.isEmpty());
    }

    void unchangedSaveLeavesTheFileAlone()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        ProfileEngine engine;
        SampleWindow w;
        w.path->setText("x");
        QVERIFY(saveFormControls(&w, engine, file));
        const QDateTime before = QFileInfo(file).lastModified();
        const QByteArray bytes = test::readFile(file);
        QTest::qWait(20);
        QVERIFY(saveFormControls(&w, engine, file));
        QCOMPARE(QFileInfo(file).lastModified(), before);
        QCOMPARE(test::readFile(file), bytes);
    }

    void placementIsStoredInTwipsAndCheckedOnRestore()
    {
        QTemporaryDir dir;
        const QString file = settingsFilePath(dir.path());
        ProfileEngine engine;
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QSize outer;
        {
            QWidget w;
            w.setGeometry(area.x() + 30, area.y() + 40, 300, 200);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            outer = w.frameGeometry().size();
            QVERIFY(engine.write(file, windowPlacementWrites(&w, "WindowStateSample")));
        }
        // The stored size is the outer one, frame included.
        QCOMPARE(engine.readString(file, "WindowStateSample", "Height"),
                 QString::number(pixelsToTwips(outer.height(), dpi)));
        QCOMPARE(engine.readString(file, "WindowStateSample", "Width"),
                 QString::number(pixelsToTwips(outer.width(), dpi)));
        {
            // Restored before it is shown, then corrected once the frame is known:
            // a window must not grow by its frame at every start.
            QWidget w;
            restoreWindowPlacement(&w, engine, file, "WindowStateSample");
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(w.size(), QSize(300, 200));
            QCOMPARE(w.frameGeometry().size(), outer);
        }
        // Off every screen: the position is ignored, the size still applies.
        engine.writeString(file, "WindowStateSample", "Left", "40000");
        engine.writeString(file, "WindowStateSample", "Height", "tall");
        {
            QWidget w;
            w.move(area.topLeft() + QPoint(5, 5));
            restoreWindowPlacement(&w, engine, file, "WindowStateSample");
            QCOMPARE(w.pos(), area.topLeft() + QPoint(5, 5));
            QCOMPARE(w.frameGeometry().width(), outer.width());
        }
        // Partly left of the screen, title bar still reachable: applied.
        engine.writeString(file, "WindowStateSample", "Left", "-500");
        {
            QWidget w;
            restoreWindowPlacement(&w, engine, file, "WindowStateSample");
            QCOMPARE(w.pos().x(), twipsToPixels(-500, dpi));
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
