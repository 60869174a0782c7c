#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"
#include "actions/ui/SaveLocationChooser.h"
#include "actions/ui/DownloadDialog.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/ThemedButton.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

namespace {

// Answers the save-as question from a script (an empty answer is a cancel)
// and records what it was offered.
class ScriptedChooser : public SaveLocationChooser
{
public:
    QStringList answers;
    QStringList offered;
    QList<QWidget *> parents;

    QString chooseSaveFile(QWidget *parent, const QString &suggestedPath) override
    {
        parents.append(parent);
        offered.append(QDir::fromNativeSeparators(suggestedPath));
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

QString hashText(const QByteArray &body)
{
    return QString::fromLatin1(sha256Hex(body));
}

} // namespace

class DownloadWindowTest : public DownloadTestCase
{
    Q_OBJECT

    // Opens the window for a path on the test server.
    DownloadDialog *open(const QString &route, QWidget *owner = nullptr, AppState *state = nullptr)
    {
        DownloadDialog::Services services;
        services.chooser = &m_chooser;
        services.network = m_nam.get();
        return DownloadDialog::start(state ? *state : *m_state, m_server->url(route).toString(), owner, services);
    }

    QString rememberedFolder()
    {
        return m_profiles->readString(m_state->settingsPath(), QStringLiteral("frmDownload"), QStringLiteral("LastFolder"));
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<ProfileEngine> m_profiles;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<AppState> m_state;
    ScriptedChooser m_chooser;

private Q_SLOTS:
    void init()
    {
        DownloadTestCase::init();
        // A home of our own, so "the Downloads folder" is one the test controls.
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", m_home->path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (m_home->path() + QStringLiteral("/.config")).toLocal8Bit());
        qunsetenv("XDG_DOWNLOAD_DIR");

        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_data->isValid());
        m_profiles = std::make_unique<ProfileEngine>();
        m_shell = std::make_unique<RecordingShell>();
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_state = std::make_unique<AppState>(*m_profiles, *m_shell, *m_prompter, m_data->path());
        m_chooser = ScriptedChooser();
    }

    void cleanup()
    {
        // Windows still open are closed (and so cancelled) before the services go.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<DownloadDialog *>(w))
                delete w;
        }
        DownloadTestCase::cleanup();
        m_state.reset();
        m_prompter.reset();
        m_shell.reset();
        m_profiles.reset();
        m_data.reset();
        m_home.reset();
    }

    void windowWhileConnecting()
    {
        m_server->stallBeforeHeaders(QStringLiteral("/slow-answer"));
        const QString link = m_server->url(QStringLiteral("/slow-answer")).toString();
        QWidget owner;
        QPointer<DownloadDialog> w = open(QStringLiteral("/slow-answer"), &owner);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Fetchora - Download"));
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(w->isWindow()); // its own window even with an owner
        QVERIFY(!w->isModal()); // the rest of the program stays usable
        QVERIFY(w->isVisible());
        QVERIFY(w->cancelButton->isVisible());
        QVERIFY(!w->closeButton->isVisible());
        QVERIFY(!w->openButton->isVisible());
        QVERIFY(!w->hashEdit->isVisible());
        QCOMPARE(w->statusLabel->text(), QStringLiteral("Requesting %1 ...").arg(link));
        QVERIFY(QTest::qWaitFor([&] { return m_server->requestCount(QStringLiteral("/slow-answer")) == 1; },
                                kDownloadWaitMs));
        QCOMPARE(w->stage(), DownloadDialog::Stage::Requesting);
        QCOMPARE(w->statusLabel->text(), QStringLiteral("Requesting %1 ...").arg(link));
        QVERIFY(m_chooser.offered.isEmpty()); // nothing to save yet
        w->close();
        QTRY_VERIFY_WITH_TIMEOUT(!w, kDownloadWaitMs);
    }

    void wholeFlowSavesFileAndShowsHash()
    {
        const QByteArray body = sampleBytes(150000, 1);
        m_server->serveBytes(QStringLiteral("/apps/Tool Setup.exe"), body);
        const QString target = path(QStringLiteral("Tool Setup.exe"));
        m_chooser.answers = {target};

        QPointer<DownloadDialog> w = open(QStringLiteral("/apps/Tool Setup.exe"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.at(0).at(0).toBool(), true);

        // The question was asked once, by this window, offering the server's name.
        QCOMPARE(m_chooser.offered.size(), 1);
        QCOMPARE(QFileInfo(m_chooser.offered.at(0)).fileName(), QStringLiteral("Tool Setup.exe"));
        QCOMPARE(m_chooser.parents.at(0), w.data());

        QCOMPARE(readFile(target), body);
        QVERIFY(!QFileInfo::exists(partPath(target)));
        QCOMPARE(w->stage(), DownloadDialog::Stage::Succeeded);
        QCOMPARE(w->hashEdit->text(), hashText(body));
        QVERIFY(w->hashEdit->isReadOnly()); // selectable, not editable
        QVERIFY(w->hashEdit->isVisible());
        QCOMPARE(w->pathEdit->text(), QDir::toNativeSeparators(target));
        QCOMPARE(w->sizeLabel->text(), QStringLiteral("146 KB of 146 KB"));
        QCOMPARE(w->progressBar->value(), w->progressBar->maximum());
        QVERIFY(w->openButton->isVisible());
        QVERIFY(w->openFolderButton->isVisible());
        QVERIFY(w->closeButton->isVisible());
        QVERIFY(!w->cancelButton->isVisible());
        QVERIFY(!w->retryButton->isVisible());

        // The folder is remembered for the next download.
        QCOMPARE(QDir::fromNativeSeparators(rememberedFolder()), QFileInfo(target).absolutePath());

        QTest::mouseClick(w->closeButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w, kDownloadWaitMs);
        QCOMPARE(readFile(target), body); // closing after success keeps the file
    }

    void offeredFolder_data()
    {
        QTest::addColumn<bool>("downloadsExists");
        QTest::addColumn<bool>("rememberedVanished");
        QTest::addColumn<QString>("folder"); // below the home folder

        QTest::newRow("first time, in the Downloads folder") << true << false << "Downloads";
        QTest::newRow("without a Downloads folder, at home") << false << false << "";
        QTest::newRow("remembered folder gone, at home") << false << true << "";
    }

    void offeredFolder()
    {
        QFETCH(bool, downloadsExists);
        QFETCH(bool, rememberedVanished);
        QFETCH(QString, folder);

        const QString expected = QDir::cleanPath(m_home->filePath(folder));
        if (downloadsExists)
            QVERIFY(QDir().mkpath(m_home->filePath(QStringLiteral("Downloads"))));
        QString error;
        if (rememberedVanished)
            QVERIFY(m_profiles->writeString(m_state->settingsPath(), QStringLiteral("frmDownload"), QStringLiteral("LastFolder"),
                                            path(QStringLiteral("removed-long-ago")), &error));
        m_server->serveBytes(QStringLiteral("/x/first.zip"), "zip");
        QPointer<DownloadDialog> w = open(QStringLiteral("/x/first.zip"));
        QVERIFY(QTest::qWaitFor([&] { return !w; }, kDownloadWaitMs)); // no answer: cancelled, closed
        QCOMPARE(m_chooser.offered, QStringList{QDir(expected).filePath(QStringLiteral("first.zip"))});
        QCOMPARE(DownloadDialog::startFolder(*m_state), expected);
    }

    void rememberedFolderUsedNextTime()
    {
        m_server->serveBytes(QStringLiteral("/one.bin"), sampleBytes(1000, 2));
        m_server->serveBytes(QStringLiteral("/two.bin"), sampleBytes(2000, 3));
        const QString chosenFolder = path(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(chosenFolder));
        m_chooser.answers = {chosenFolder + QStringLiteral("/one.bin")};

        QPointer<DownloadDialog> first = open(QStringLiteral("/one.bin"));
        QSignalSpy firstDone(first.data(), &DownloadDialog::downloadFinished);
        QVERIFY(firstDone.wait(kDownloadWaitMs));
        QVERIFY(firstDone.at(0).at(0).toBool());
        first->close();
        QTRY_VERIFY_WITH_TIMEOUT(!first, kDownloadWaitMs);

        // The settings file holds it for any later start of the program.
        const QByteArray settings = readFile(m_state->settingsPath());
        QVERIFY2(settings.contains("[frmDownload]"), settings.constData());
        QVERIFY2(settings.contains("LastFolder=" + QDir::toNativeSeparators(chosenFolder).toUtf8()), settings.constData());

        ProfileEngine freshEngine; // nothing kept in memory from the first window
        RecordingShell shell;
        ScriptedPrompter prompter;
        AppState restarted(freshEngine, shell, prompter, m_data->path());
        QPointer<DownloadDialog> second = open(QStringLiteral("/two.bin"), nullptr, &restarted);
        QVERIFY(QTest::qWaitFor([&] { return !second; }, kDownloadWaitMs)); // chooser out of answers: cancelled
        QCOMPARE(m_chooser.offered.size(), 2);
        QCOMPARE(m_chooser.offered.at(1), QDir(chosenFolder).filePath(QStringLiteral("two.bin")));
    }

    void cancelledChooserWritesNothingAndCloses()
    {
        m_server->serveGenerated(QStringLiteral("/big.iso"), 3 * 1024 * 1024);
        m_chooser.answers = {QString()};
        QPointer<DownloadDialog> w = open(QStringLiteral("/big.iso"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(QTest::qWaitFor([&] { return !w; }, kDownloadWaitMs));
        QCOMPARE(m_chooser.offered.size(), 1);
        QCOMPARE(done.count(), 0); // a cancel is not an outcome to report
        QCOMPARE(folderEntries(m_dir->path()), QStringList());
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        // Nothing remembered either: no folder was chosen.
        QCOMPARE(rememberedFolder(), QString());
    }

    void openAndOpenFolderGoThroughTheShell()
    {
        m_server->serveBytes(QStringLiteral("/app.msi"), sampleBytes(5000, 4));
        const QString folder = path(QStringLiteral("setup files"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/app.msi");
        m_chooser.answers = {target};
        QPointer<DownloadDialog> w = open(QStringLiteral("/app.msi"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));

        QTest::mouseClick(w->openFolderButton, Qt::LeftButton);
        QCOMPARE(m_shell->opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
        QTest::mouseClick(w->openButton, Qt::LeftButton);
        QCOMPARE(m_shell->opened.size(), 2);
        QCOMPARE(m_shell->opened.at(1), QUrl::fromLocalFile(target));
        QVERIFY(m_shell->opened.at(1).isLocalFile());
        QVERIFY(m_prompter->messages.isEmpty());
        QVERIFY(w); // opening leaves the window for the hash to be compared
    }

    void failedOpenIsReported()
    {
        m_server->serveBytes(QStringLiteral("/app.msi"), "x");
        m_chooser.answers = {path(QStringLiteral("app.msi"))};
        m_shell->result = false;
        QPointer<DownloadDialog> w = open(QStringLiteral("/app.msi"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QTest::mouseClick(w->openButton, Qt::LeftButton);
        QCOMPARE(m_prompter->messages.size(), 1);
        QCOMPARE(m_prompter->messages.at(0).kind, QStringLiteral("warn"));
        QVERIFY(m_prompter->messages.at(0).text.contains(QDir::toNativeSeparators(path(QStringLiteral("app.msi")))));
    }

    void failureShowsErrorAndRetryWorks()
    {
        const QByteArray body = sampleBytes(80000, 5);
        m_server->cutAfter(QStringLiteral("/later.zip"), body, 30000);
        const QString target = path(QStringLiteral("later.zip"));
        QVERIFY(writeFile(target, "an older copy"));
        m_chooser.answers = {target};

        QPointer<DownloadDialog> w = open(QStringLiteral("/later.zip"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QCOMPARE(w->stage(), DownloadDialog::Stage::Failed);
        QCOMPARE(w->statusLabel->text(), w->job()->errorText());
        QVERIFY2(w->statusLabel->text().contains(QStringLiteral("cut off after 30000 of 80000 bytes")),
                 qPrintable(w->statusLabel->text()));
        QVERIFY(w->closeButton->isVisible());
        QVERIFY(w->retryButton->isVisible());
        QVERIFY(!w->cancelButton->isVisible());
        QVERIFY(!w->openButton->isVisible());
        QVERIFY(w->hashEdit->text().isEmpty());
        QCOMPARE(readFile(target), QByteArray("an older copy"));
        QVERIFY(!QFileInfo::exists(partPath(target)));

        // The server recovers; Retry saves to the same file without asking again.
        m_server->serveBytes(QStringLiteral("/later.zip"), body);
        QTest::mouseClick(w->retryButton, Qt::LeftButton);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.at(1).at(0).toBool(), true);
        QCOMPARE(m_chooser.offered.size(), 1);
        QCOMPARE(readFile(target), body);
        QCOMPARE(w->hashEdit->text(), hashText(body));
        QCOMPARE(m_server->requestCount(QStringLiteral("/later.zip")), 2);
    }

    void stoppingMidDownloadCleansUp_data()
    {
        QTest::addColumn<bool>("cancelButton"); // or closing the window
        QTest::newRow("Cancel") << true;
        QTest::newRow("closing the window") << false;
    }

    void stoppingMidDownloadCleansUp()
    {
        QFETCH(bool, cancelButton);
        m_server->stallAfter(QStringLiteral("/huge.iso"), sampleBytes(400000, 6), 120000);
        const QString target = path(QStringLiteral("huge.iso"));
        m_chooser.answers = {target};
        QPointer<DownloadDialog> w = open(QStringLiteral("/huge.iso"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(QTest::qWaitFor([&] { return w && w->job()->receivedBytes() == 120000; }, kDownloadWaitMs));
        QCOMPARE(w->stage(), DownloadDialog::Stage::Downloading);
        QVERIFY(w->cancelButton->isVisible());
        QCOMPARE(w->fileLabel->text(), QDir::toNativeSeparators(target));
        QVERIFY(QFileInfo::exists(partPath(target)));

        if (cancelButton)
            QTest::mouseClick(w->cancelButton, Qt::LeftButton);
        else
            QVERIFY(w->close());
        QTRY_VERIFY_WITH_TIMEOUT(!w, kDownloadWaitMs);
        QCOMPARE(done.count(), 0);
        verifyNothingLeft(target);
    }

    void twoWindowsRunIndependently()
    {
        // A holds its connection open half-way; B completes meanwhile; then A is
        // cancelled and B is untouched, and a third finishes next to B.
        const QByteArray bodyB = sampleBytes(90000, 8);
        const QByteArray bodyC = sampleBytes(700000, 9);
        m_server->stallAfter(QStringLiteral("/a.bin"), sampleBytes(300000, 10), 100000);
        m_server->serveBytes(QStringLiteral("/b.bin"), bodyB);
        m_server->serveBytes(QStringLiteral("/c.bin"), bodyC);
        const QString targetA = path(QStringLiteral("a.bin"));
        const QString targetB = path(QStringLiteral("b.bin"));
        const QString targetC = path(QStringLiteral("c.bin"));

        m_chooser.answers = {targetA};
        QPointer<DownloadDialog> a = open(QStringLiteral("/a.bin"));
        QVERIFY(QTest::qWaitFor([&] { return a && a->job()->receivedBytes() == 100000; }, kDownloadWaitMs));

        m_chooser.answers = {targetB};
        QPointer<DownloadDialog> b = open(QStringLiteral("/b.bin"));
        QSignalSpy bDone(b.data(), &DownloadDialog::downloadFinished);
        QSignalSpy aDone(a.data(), &DownloadDialog::downloadFinished);
        QVERIFY(bDone.wait(kDownloadWaitMs));
        QVERIFY(bDone.at(0).at(0).toBool());
        QCOMPARE(aDone.count(), 0);
        QCOMPARE(a->stage(), DownloadDialog::Stage::Downloading);
        QCOMPARE(readFile(targetB), bodyB);

        QTest::mouseClick(a->cancelButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!a, kDownloadWaitMs);
        QVERIFY(!QFileInfo::exists(partPath(targetA)));
        QVERIFY(b);
        QCOMPARE(b->stage(), DownloadDialog::Stage::Succeeded);
        QCOMPARE(b->hashEdit->text(), hashText(bodyB));
        QCOMPARE(readFile(targetB), bodyB);

        m_chooser.answers = {targetC};
        QPointer<DownloadDialog> c = open(QStringLiteral("/c.bin"));
        QSignalSpy cDone(c.data(), &DownloadDialog::downloadFinished);
        QVERIFY(cDone.wait(kDownloadWaitMs));
        QCOMPARE(readFile(targetC), bodyC);
        QCOMPARE(c->hashEdit->text(), hashText(bodyC));
        QCOMPARE(b->hashEdit->text(), hashText(bodyB));
        QCOMPARE(bDone.count(), 1);
    }

    void humanSizes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0 bytes";
        QTest::newRow("one") << qint64(1) << "1 byte";
        QTest::newRow("below a KB") << qint64(1023) << "1023 bytes";
        QTest::newRow("one KB") << qint64(1024) << "1.0 KB";
        QTest::newRow("one and a half KB") << qint64(1536) << "1.5 KB";
        QTest::newRow("just below a MB") << qint64(1024 * 1024 - 100) << "1.0 MB";
        QTest::newRow("MB") << qint64(15.2 * 1024 * 1024) << "15.2 MB";
        QTest::newRow("200 MB") << qint64(200) * 1024 * 1024 << "200 MB";
        QTest::newRow("GB") << qint64(1288490189) << "1.2 GB";
        QTest::newRow("TB") << qint64(3) * 1024 * 1024 * 1024 * 1024 << "3.0 TB";
    }

    void humanSizes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(DownloadDialog::humanSize(bytes), text);
    }

    void humanDurations()
    {
        QCOMPARE(DownloadDialog::humanDuration(0), QStringLiteral("0 s"));
        QCOMPARE(DownloadDialog::humanDuration(59), QStringLiteral("59 s"));
        QCOMPARE(DownloadDialog::humanDuration(200), QStringLiteral("3 min 20 s"));
        QCOMPARE(DownloadDialog::humanDuration(7500), QStringLiteral("2 h 5 min"));
        QCOMPARE(DownloadDialog::humanDuration(-5), QStringLiteral("0 s"));
    }
};

QTEST_MAIN(DownloadWindowTest)
#include "tst_downloaddialog.moc"
