#include "TestSupport.h"

#include "platform/SingleInstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;

// A real program start while Fetchora already runs on the same catalogue: the
// running one is this test, listening for later starts the way the program does.
class InstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QProcess m_program; // killed, should it still run, when the test ends

private Q_SLOTS:
    void secondStartHandsOverAndLeavesSettingsAlone()
    {
        // No update question to wait on, and settings that must stay as they are.
        const QByteArray stored = "[frmMain]\r\nTab=1\r\nCatApps=0\r\n";
        const QString settings = m_tmp.filePath("Fetchora.ini");
        QVERIFY(test::writeFile(m_tmp.filePath("FOVersion.ini"), "[Signature]\r\nVersion=1\r\n")
                && test::writeFile(settings, stored));
        SingleInstance running(SingleInstance::keyFor(m_tmp.path()));
        QVERIFY(running.tryBecomePrimary());
        QSignalSpy handedOver(&running, &SingleInstance::activationRequested);

        // The program sits in build/src, the tests in build/tests.
        m_program.start(QCoreApplication::applicationDirPath() + "/../src/fetchora", {"--data-dir", m_tmp.path()});
        QVERIFY(m_program.waitForFinished(15000));
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program.exitCode(), 0);
        QTRY_COMPARE(handedOver.count(), 1);
        QCOMPARE(test::readFile(settings), stored);
    }
};

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
