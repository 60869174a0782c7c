#include "TestSupport.h"

#include "platform/SingleInstance.h"

#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace fetchora;

// Real program starts while Fetchora already runs on the same catalogue, and
// several starts at once.
class InstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp, m_runtime; // a catalogue; the session's runtime folder
    QProcess m_program;             // killed, should it still run, when the test ends
    const QByteArray m_tmpdir = qgetenv("TMPDIR");
    const QByteArray m_stored = "[frmMain]\r\nTab=1\r\nCatApps=0\r\n";

    void start(QProcess &program)
    {
        // The program sits in build/src, the tests in build/tests.
        program.start(QCoreApplication::applicationDirPath() + "/../src/fetchora", {"--data-dir", m_tmp.path()});
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No update question to wait on, and settings that must stay as they are.
        QVERIFY(test::writeFile(m_tmp.filePath("FOVersion.ini"), "[Signature]\r\nVersion=1\r\n")
                && test::writeFile(m_tmp.filePath("Fetchora.ini"), m_stored));
        cleanup();
    }

    void cleanup()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("TMPDIR", m_tmpdir);
    }

    // The running one is this test, listening for later starts the way the
    // program does; another user listens under the name once used in the
    // shared temporary folder, and is not taken for it.
    void secondStartHandsOverAndLeavesSettingsAlone()
    {
        QLocalServer squatter;
        QVERIFY(squatter.listen(SingleInstance::keyFor(m_tmp.path())));
        SingleInstance running(SingleInstance::keyFor(m_tmp.path()));
        QVERIFY(running.tryBecomePrimary() && running.error().isEmpty());
        struct stat socket;
        QVERIFY(lstat(QFile::encodeName(m_runtime.filePath(SingleInstance::keyFor(m_tmp.path()))), &socket) == 0);
        QCOMPARE(socket.st_mode & 077, 0u);
        QSignalSpy handedOver(&running, &SingleInstance::activationRequested);
        start(m_program);
        QVERIFY(m_program.waitForFinished(15000));
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program.exitCode(), 0);
        QTRY_COMPARE(handedOver.count(), 1);
        QCOMPARE(test::readFile(m_tmp.filePath("Fetchora.ini")), m_stored);
    }

    void lockAndSocketSitInAFolderOfTheUsersOwn_data()
    {
        QTest::addColumn<QString>("runtime"); // the session's runtime folder: "none", "own", "open" to others
        QTest::addColumn<QString>("found");   // in the temporary folder under the program's name: "", "own", ...
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("runtime folder") << "own" << "" << "runtime 700";
        QTest::newRow("none") << "none" << "" << "made 700";
        QTest::newRow("runtime folder open to others") << "open" << "" << "made 700";
        QTest::newRow("made before") << "none" << "own" << "made 700";
        QTest::newRow("open to others") << "open" << "open" << "refused: other users have access to it";
        QTest::newRow("another user's") << "none" << "foreign" << "refused: it belongs to another user";
        // clang-format on
    }

    void lockAndSocketSitInAFolderOfTheUsersOwn()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, found);
        QFETCH(QString, expected);
        QTemporaryDir shared;
        const QString own = shared.filePath("fetchora-" + QString::number(geteuid()));
        const QString runtimeDir = shared.filePath("runtime");
        auto make = [](const QString &path, bool open) {
            return QDir().mkdir(path) && chmod(QFile::encodeName(path), open ? 0755 : 0700) == 0;
        };
        QVERIFY(runtime == "none" || make(runtimeDir, runtime == "open"));
        QVERIFY(found.isEmpty() || make(own, found == "open"));
        if (found == "foreign" && chown(QFile::encodeName(own), 65534, 65534) != 0)
            QSKIP("Only root can give a folder to another user.");
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        runtime == "none" ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir));
        QString error;
        const QString folder = SingleInstance::privateFolder(&error);
        struct stat made;
        const QString mode = lstat(QFile::encodeName(folder), &made) ? ""
                                                                     : ' ' + QString::number(made.st_mode & 0777, 8);
        QCOMPARE(folder == runtimeDir ? "runtime" + mode
                     : folder == own  ? "made" + mode
                                      : "refused: " + error.section(": ", 1).chopped(1),
                 expected);
        // With no safe place to meet other starts, the program runs all the same.
        SingleInstance alone(SingleInstance::keyFor(shared.path()));
        QVERIFY(alone.tryBecomePrimary() && alone.error().contains(error));
    }

    // Of three starts at the same instant one stays and the others hand over
    // to it, as does a later start. The one that stayed is killed, so every
    // round after the first takes over the lock of a program that died.
    void simultaneousStartsLeaveOneRunning()
    {
        for (int round = 0; round < 10; ++round) {
            QProcess starts[3], later;
            for (QProcess &program : starts)
                start(program);
            auto ended = [&] {
                QStringList ends;
                for (QProcess &p : starts)
                    ends << (p.state() != QProcess::NotRunning ? "running"
                                                               : QString::number(p.exitCode() + 10 * p.exitStatus()));
                ends.sort();
                return ends.join(' ');
            };
            QTRY_COMPARE_WITH_TIMEOUT(ended(), "0 0 running", 30000);
            start(later);
            QVERIFY(later.waitForFinished(15000));
            QCOMPARE(later.exitCode() + 10 * later.exitStatus(), 0);
            QCOMPARE(ended(), "0 0 running");
            for (QProcess &program : starts)
                program.kill(), program.waitForFinished();
        }
    }
};

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
