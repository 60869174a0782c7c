#include "TestSupport.h"

#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using fetchora::SingleInstance;
using fetchora::test::readFile;
using fetchora::test::writeFile;

namespace {

// The program sits in build/src, the tests in build/tests.
QString programPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../src/fetchora");
}

// The settings file as it is: missing, or its bytes and time stamp.
QString snapshot(const QString &file)
{
    const QFileInfo info(file);
    return info.exists() ? readFile(file) + " @ " + info.lastModified().toString(Qt::ISODateWithMs)
                         : QString("<no settings file>");
}

} // namespace

class InstanceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QStringList m_dataDirs;

    // A catalogue that needs no update question, so a started program just waits.
    QString dataFolder(const QString &name = "Data")
    {
        const QString dir = m_tmp->filePath(name);
        const bool ok = writeFile(QDir(dir).filePath("FOVersion.ini"), "[Signature]\r\nVersion=2024.06.01\r\n")
            && writeFile(QDir(dir).filePath("FOApps.def"),
                         "[Browsers]\r\nFirefox=https://example.org/firefox.exe\r\n"
                         "[Tools]\r\nEverything=https://example.org/everything.exe\r\n");
        return ok ? dir : QString();
    }

    QProcess *launch(const QString &dataDir, const QStringList &extra = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(env);
        process->setProgram(programPath());
        process->setArguments(QStringList{"--data-dir", dataDir} + extra);
        process->start();
        if (!m_dataDirs.contains(dataDir))
            m_dataDirs.append(dataDir);
        QProcess *raw = process.get();
        m_processes.push_back(std::move(process));
        return raw->waitForStarted(10000) ? raw : nullptr;
    }

    // Up means: still running and answering later starts on the catalogue's
    // hand-over channel. Give it at least a moment on top. Null when it is not.
    QProcess *launchUp(const QString &dataDir)
    {
        QProcess *process = launch(dataDir);
        if (!process)
            return nullptr;
        QElapsedTimer since;
        since.start();
        bool answering = false;
        while (!answering && since.elapsed() < 15000 && process->state() == QProcess::Running) {
            QLocalSocket probe;
            probe.connectToServer(SingleInstance::keyFor(dataDir));
            answering = probe.waitForConnected(200);
            if (answering)
                probe.disconnectFromServer();
            else
                QTest::qWait(100);
        }
        if (!answering)
            QTest::qWait(1500);
        QTest::qWait(300);
        return process->state() == QProcess::Running ? process : nullptr;
    }

    // A start on a catalogue already open: it leaves by itself, cleanly.
    bool sentAway(const QString &dataDir)
    {
        QProcess *process = launch(dataDir);
        return process && process->waitForFinished(10000) && process->exitStatus() == QProcess::NormalExit
            && process->exitCode() == 0;
    }

    void stop(QProcess *process)
    {
        if (!process || process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
    }

    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
    }

    void cleanup()
    {
        // Only the processes this test started, one by one.
        for (auto &process : m_processes)
            stop(process.get());
        m_processes.clear();
        // A program ended by a signal leaves its hand-over socket behind.
        for (const QString &dir : std::as_const(m_dataDirs))
            QLocalServer::removeServer(SingleInstance::keyFor(dir));
        m_dataDirs.clear();
        m_tmp.reset();
    }

    void secondStartOnSameFolderLeavesSettingsAlone_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("settings file") << QByteArray("[frmMain]\r\nTab=1\r\nCatApps=1\r\n[WindowState]\r\n"
                                                     "Left=300\r\nTop=450\r\nHeight=8300\r\nWidth=12000\r\n");
        // None is made either.
        QTest::newRow("no settings file") << QByteArray();
    }

    void secondStartOnSameFolderLeavesSettingsAlone()
    {
        QFETCH(QByteArray, settings);
        const QString data = dataFolder();
        QVERIFY(!data.isEmpty());
        const QString file = QDir(data).filePath("Fetchora.ini");
        if (!settings.isEmpty()) {
            QVERIFY(writeFile(file, settings));
            // An older time stamp, so any rewrite shows even within the same second.
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        QCOMPARE(QFileInfo::exists(file), !settings.isEmpty());
        const QString before = snapshot(file);

        QProcess *first = launchUp(data);
        QVERIFY(first);
        QVERIFY2(sentAway(data), "a second start on the same catalogue keeps running");
        QCOMPARE(snapshot(file), before);
        // The first one is unaffected.
        QTest::qWait(500);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(snapshot(file), before);
        // A third start is sent away just the same.
        QVERIFY(sentAway(data));
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(snapshot(file), before);
    }

    void startOnOtherFolderRunsAlongside()
    {
        const QString dataA = dataFolder("A/Data");
        const QString dataB = dataFolder("B/Data");
        QVERIFY(!dataA.isEmpty() && !dataB.isEmpty());
        QProcess *first = launchUp(dataA);
        QVERIFY(first);
        QProcess *other = launch(dataB);
        QVERIFY(other);
        // A start sent away is gone well within this time; this one must stay.
        QVERIFY(!other->waitForFinished(4000));
        QCOMPARE(other->state(), QProcess::Running);
        QCOMPARE(first->state(), QProcess::Running);
        stop(other);
        QCOMPARE(other->state(), QProcess::NotRunning);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void exitWhenShownReportsTime()
    {
        const QString data = dataFolder();
        QVERIFY(!data.isEmpty());
        QProcess *process = launch(data, {"--exit-when-shown"});
        QVERIFY(process);
        QVERIFY2(process->waitForFinished(20000), "the program did not leave once shown");
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);

        const QStringList lines = QString::fromLocal8Bit(process->readAllStandardOutput())
                                      .split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
        const QStringList reports = lines.filter(QRegularExpression("^shown-ms "));
        QVERIFY2(!reports.isEmpty(), qPrintable(lines.join('|')));
        for (const QString &line : reports)
            QVERIFY2(QRegularExpression("^shown-ms \\d+$").match(line).hasMatch(), qPrintable(line));
        // A measuring start leaves without saving anything.
        QVERIFY(!QFileInfo::exists(QDir(data).filePath("Fetchora.ini")));
    }
};

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
