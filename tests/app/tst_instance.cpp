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

    // A catalogue with settings that must stay as they are; the shared
    // temporary folder, and the folder of the user's own made in it.
    QTemporaryDir m_tmp, m_shared;
    const QByteArray m_stored = "[frmMain]\r\nTab=1\r\nCatApps=0\r\n";
    const QString m_own = m_shared.filePath("fetchora-" + QString::number(geteuid()));

private Q_SLOTS:
    // Of three starts at the same instant one stays and the others hand over
    // to it, as does a later start, and none touches the settings. Another
    // user listens under the name once used in the shared temporary folder,
    // and is not taken for the running program. The one that stayed is killed,
    // so every round after the first takes over the lock of a program that died.
    void simultaneousStartsLeaveOneRunning()
    {
        QVERIFY(test::writeFile(m_tmp.filePath("Fetchora.ini"), m_stored));
        // No runtime folder: lock and socket go to a folder of the user's own.
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(m_shared.path()));
        // The program sits in build/src, the tests in build/tests.
        const QString program = QCoreApplication::applicationDirPath() + "/../src/fetchora";
        const QStringList arguments{"--data-dir", m_tmp.path()};
        const QString key = SingleInstance::keyFor(m_tmp.path());
        QLocalServer squatter;
        QVERIFY(squatter.listen(key));
        for (int round = 0; round < 10; ++round) {
            QProcess starts[3], later;
            auto running = [&] { return std::ranges::count_if(starts, [](QProcess &p) { return p.state(); }); };
            for (QProcess &p : starts)
                p.start(program, arguments);
            QTRY_COMPARE_WITH_TIMEOUT(running(), 1, 30000);
            for (QProcess &p : starts)
                QVERIFY(p.state() || p.exitCode() + p.exitStatus() == 0);
            later.start(program, arguments);
            QVERIFY(later.waitForFinished(15000) && later.exitCode() + later.exitStatus() == 0 && running() == 1);
            for (QProcess &p : starts)
                p.kill(), p.waitForFinished();
        }
        // Folder and socket are the user's alone.
        QCOMPARE(QFile::permissions(m_own) & 0x7077, 0x7000);
        QCOMPARE(QFile::permissions(m_own + '/' + key) & 0x77, 0);
        QCOMPARE(test::readFile(m_tmp.filePath("Fetchora.ini")), m_stored);

        // A start asks the running one to show itself.
        SingleInstance running(key), second(key);
        QSignalSpy handedOver(&running, &SingleInstance::activationRequested);
        QVERIFY(running.tryBecomePrimary() && !second.tryBecomePrimary() && second.error().isEmpty());
        QTRY_COMPARE(handedOver.count(), 1);
    }

    // The session's runtime folder serves when it is the user's alone. A
    // folder open to others or someone else's is refused, and the program
    // runs all the same.
    void foldersOthersCanEnterAreRefused()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        qputenv("TMPDIR", QFile::encodeName(m_shared.path()));
        QString error;
        QCOMPARE(SingleInstance::privateFolder(), runtime.path());
        QVERIFY(chmod(QFile::encodeName(runtime.path()), 0703) == 0 && SingleInstance::privateFolder() == m_own);
        QVERIFY(chmod(QFile::encodeName(m_own), 0770) == 0 && SingleInstance::privateFolder(&error).isEmpty());
        QVERIFY(error.contains(m_own));
        if (chown(QFile::encodeName(m_own), 65534, 65534) == 0) // when root, give it to another user
            QVERIFY(chmod(QFile::encodeName(m_own), 0700) == 0 && SingleInstance::privateFolder(&error).isEmpty());
        SingleInstance alone(SingleInstance::keyFor(m_shared.path()));
        QVERIFY(alone.tryBecomePrimary() && alone.error().startsWith(error));
    }
};

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
