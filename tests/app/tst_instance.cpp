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
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../src/fetchora"));
}

// A catalogue that needs no update question, so a started program just waits.
bool writeDataFolder(const QString &dir)
{
    return writeFile(QDir(dir).filePath(QStringLiteral("FOVersion.ini")),
                     "[Signature]\r\nVersion=2024.06.01\r\n")
        && writeFile(QDir(dir).filePath(QStringLiteral("FOApps.def")),
                     "[Browsers]\r\nFirefox=https://example.org/firefox.exe\r\n"
                     "[Tools]\r\nEverything=https://example.org/everything.exe\r\n");
}

} // namespace

class InstanceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void secondStartOnSameFolderLeavesSettingsAlone();
    void secondStartOnSameFolderCreatesNoSettingsFile();
    void startOnOtherFolderRunsAlongside();
    void exitWhenShownReportsTime();

private:
    QProcess *launch(const QString &dataDir, const QStringList &extra = {});
    bool waitUntilUp(QProcess *process, const QString &dataDir);
    void stop(QProcess *process);

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QStringList m_dataDirs;
};

void InstanceTest::initTestCase()
{
    QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
}

void InstanceTest::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void InstanceTest::cleanup()
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

QProcess *InstanceTest::launch(const QString &dataDir, const QStringList &extra)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setProgram(programPath());
    process->setArguments(QStringList{QStringLiteral("--data-dir"), dataDir} + extra);
    process->start();
    if (!m_dataDirs.contains(dataDir))
        m_dataDirs.append(dataDir);
    QProcess *raw = process.get();
    m_processes.push_back(std::move(process));
    return raw->waitForStarted(10000) ? raw : nullptr;
}

bool InstanceTest::waitUntilUp(QProcess *process, const QString &dataDir)
{
    // Up means: still running and answering later starts on the catalogue's
    // hand-over channel. Give it at least a moment on top.
    QElapsedTimer since;
    since.start();
    bool answering = false;
    while (since.elapsed() < 15000 && process->state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(SingleInstance::keyFor(dataDir));
        if (probe.waitForConnected(200)) {
            probe.disconnectFromServer();
            answering = true;
            break;
        }
        QTest::qWait(100);
    }
    if (!answering)
        QTest::qWait(1500);
    QTest::qWait(300);
    return process->state() == QProcess::Running;
}

void InstanceTest::stop(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

void InstanceTest::secondStartOnSameFolderLeavesSettingsAlone()
{
    const QString data = m_tmp->filePath(QStringLiteral("Data"));
    QVERIFY(writeDataFolder(data));
    const QString settings = QDir(data).filePath(QStringLiteral("Fetchora.ini"));
    QVERIFY(writeFile(settings, "[frmMain]\r\nTab=1\r\nCatApps=1\r\n"
                                "[WindowState]\r\nLeft=300\r\nTop=450\r\nHeight=8300\r\nWidth=12000\r\n"));
    const QByteArray bytesBefore = readFile(settings);
    // An older time stamp, so any rewrite shows even within the same second.
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    {
        QFile f(settings);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QDateTime mtimeBefore = QFileInfo(settings).lastModified();

    QProcess *first = launch(data);
    QVERIFY(first);
    QVERIFY(waitUntilUp(first, data));

    QProcess *second = launch(data);
    QVERIFY(second);
    QVERIFY2(second->waitForFinished(10000), "a second start on the same catalogue keeps running");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);

    QCOMPARE(readFile(settings), bytesBefore);
    QCOMPARE(QFileInfo(settings).lastModified(), mtimeBefore);

    // The first one is unaffected.
    QTest::qWait(500);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(readFile(settings), bytesBefore);

    // A third start is sent away just the same.
    QProcess *third = launch(data);
    QVERIFY(third);
    QVERIFY(third->waitForFinished(10000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(QFileInfo(settings).lastModified(), mtimeBefore);
}

void InstanceTest::secondStartOnSameFolderCreatesNoSettingsFile()
{
    const QString data = m_tmp->filePath(QStringLiteral("Data"));
    QVERIFY(writeDataFolder(data));
    const QString settings = QDir(data).filePath(QStringLiteral("Fetchora.ini"));
    QVERIFY(!QFileInfo::exists(settings));

    QProcess *first = launch(data);
    QVERIFY(first);
    QVERIFY(waitUntilUp(first, data));

    QProcess *second = launch(data);
    QVERIFY(second);
    QVERIFY2(second->waitForFinished(10000), "a second start on the same catalogue keeps running");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(!QFileInfo::exists(settings));
    QCOMPARE(first->state(), QProcess::Running);
}

void InstanceTest::startOnOtherFolderRunsAlongside()
{
    const QString dataA = m_tmp->filePath(QStringLiteral("A/Data"));
    const QString dataB = m_tmp->filePath(QStringLiteral("B/Data"));
    QVERIFY(writeDataFolder(dataA));
    QVERIFY(writeDataFolder(dataB));

    QProcess *first = launch(dataA);
    QVERIFY(first);
    QVERIFY(waitUntilUp(first, dataA));

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

void InstanceTest::exitWhenShownReportsTime()
{
    const QString data = m_tmp->filePath(QStringLiteral("Data"));
    QVERIFY(writeDataFolder(data));
    QProcess *process = launch(data, {QStringLiteral("--exit-when-shown")});
    QVERIFY(process);
    QVERIFY2(process->waitForFinished(20000), "the program did not leave once shown");
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);

    const QStringList lines = QString::fromLocal8Bit(process->readAllStandardOutput())
                                  .split(QRegularExpression(QStringLiteral("\r?\n")),
                                         Qt::SkipEmptyParts);
    bool found = false;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("shown-ms "))) {
            found = true;
            QVERIFY2(QRegularExpression(QStringLiteral("^shown-ms \\d+$")).match(line).hasMatch(),
                     qPrintable(line));
        }
    }
    QVERIFY2(found, qPrintable(lines.join(QLatin1Char('|'))));
    // A measuring start leaves without saving anything.
    QVERIFY(!QFileInfo::exists(QDir(data).filePath(QStringLiteral("Fetchora.ini"))));
}

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
