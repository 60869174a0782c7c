#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"
#include "actions/ui/DownloadDialog.h"
#include "actions/ui/SaveLocationChooser.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/ThemedButton.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace fetchora;
using namespace fetchora::test;

// Answers the save-as question from a script (an empty answer is a cancel)
// and records what it was offered.
class ScriptedChooser : public SaveLocationChooser
{
public:
    QStringList answers;
    QStringList offered;
    QString chooseSaveFile(QWidget *, const QString &suggestedPath) override
    {
        offered.append(QDir::fromNativeSeparators(suggestedPath));
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

class DownloadDialogTest : public DownloadTestCase
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ProfileEngine> m_profiles;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<AppState> m_state;
    ScriptedChooser m_chooser;

    DownloadDialog *open(const QString &route)
    {
        DownloadDialog::Services services{.chooser = &m_chooser, .network = m_nam.get()};
        return DownloadDialog::start(*m_state, m_server->url(route).toString(), nullptr, services);
    }
    QString remembered()
    {
        return m_profiles->readString(m_state->settingsPath(), QStringLiteral("frmDownload"), QStringLiteral("LastFolder"));
    }

private Q_SLOTS:
    void init()
    {
        DownloadTestCase::init();
        // A home of our own, so "the Downloads folder" is one the test controls.
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", m_home->path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (m_home->path() + QStringLiteral("/.config")).toLocal8Bit());
        qunsetenv("XDG_DOWNLOAD_DIR");
        QVERIFY(QDir().mkpath(path(QStringLiteral("Data"))));
        m_profiles = std::make_unique<ProfileEngine>();
        m_shell = std::make_unique<RecordingShell>();
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_state = std::make_unique<AppState>(*m_profiles, *m_shell, *m_prompter, path(QStringLiteral("Data")));
        m_chooser = ScriptedChooser();
    }

    void cleanup()
    {
        // Windows still open are closed (and so cancelled) before the services go.
        for (QWidget *w : QApplication::topLevelWidgets())
            delete qobject_cast<DownloadDialog *>(w);
        DownloadTestCase::cleanup();
        m_state.reset();
        m_home.reset();
    }

    void savesWhereTheUserChose()
    {
        const QByteArray body = sampleBytes(150000, 1);
        m_server->serveBytes(QStringLiteral("/apps/Tool Setup.exe"), body);
        const QString target = path(QStringLiteral("tools/Tool Setup.exe"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("tools"))));
        m_chooser.answers = {target};
        QPointer<DownloadDialog> w = open(QStringLiteral("/apps/Tool Setup.exe"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.at(0).at(0).toBool(), true);
        QCOMPARE(m_chooser.offered, QStringList{m_home->filePath(QStringLiteral("Tool Setup.exe"))});
        QVERIFY(readFile(target) == body);
        QCOMPARE(w->hashEdit->text(), QString::fromLatin1(sha256Hex(body)));
        QCOMPARE(w->pathEdit->text(), QDir::toNativeSeparators(target));
        QCOMPARE(w->sizeLabel->text(), QStringLiteral("146 KB of 146 KB"));
        QCOMPARE(w->progressBar->value(), w->progressBar->maximum());
        QVERIFY(w->openButton->isVisible() && !w->retryButton->isVisible() && !w->cancelButton->isVisible());
        // The folder is kept in the settings file for the next download.
        QVERIFY(readFile(m_state->settingsPath()).contains("[frmDownload]"));
        QCOMPARE(QDir::fromNativeSeparators(remembered()), path(QStringLiteral("tools")));

        QTest::mouseClick(w->openFolderButton, Qt::LeftButton);
        m_shell->result = false;
        QTest::mouseClick(w->openButton, Qt::LeftButton);
        QCOMPARE(m_shell->opened, (QList<QUrl>{QUrl::fromLocalFile(path(QStringLiteral("tools"))),
                                               QUrl::fromLocalFile(target)}));
        QCOMPARE(m_prompter->messages.size(), 1); // the failed open is reported
        QVERIFY(m_prompter->messages.at(0).text.contains(QDir::toNativeSeparators(target)));
    }

    void startFolder_data()
    {
        QTest::addColumn<QString>("remembered"); // below the scratch folder; empty: none
        QTest::addColumn<QString>("expected");   // below home; "@" the remembered folder
        QTest::newRow("first time, the Downloads folder") << "" << "Downloads";
        QTest::newRow("remembered folder") << "kept" << "@";
        QTest::newRow("remembered folder gone, no Downloads: home") << "removed-long-ago" << "";
    }

    void startFolder()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, expected);
        if (!expected.isEmpty())
            QVERIFY(QDir().mkpath(m_home->filePath(QStringLiteral("Downloads"))) && QDir().mkpath(path(QStringLiteral("kept"))));
        if (!remembered.isEmpty())
            QVERIFY(m_profiles->writeString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                            QStringLiteral("LastFolder"), QDir::toNativeSeparators(path(remembered))));
        const QString folder = expected == QLatin1String("@") ? path(remembered) : m_home->filePath(expected);
        QCOMPARE(DownloadDialog::startFolder(*m_state), QDir::cleanPath(folder));
    }

    void failureOffersRetry()
    {
        const QByteArray body = sampleBytes(80000, 5);
        m_server->cutAfter(QStringLiteral("/later.zip"), body, 30000);
        const QString target = path(QStringLiteral("later.zip"));
        m_chooser.answers = {target};
        QPointer<DownloadDialog> w = open(QStringLiteral("/later.zip"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(w->stage(), DownloadDialog::Stage::Failed);
        QCOMPARE(w->statusLabel->text(), w->job()->errorText());
        QVERIFY(w->retryButton->isVisible() && w->closeButton->isVisible() && !w->openButton->isVisible());

        // The server recovers; Retry saves to the same file without asking again.
        m_server->serveBytes(QStringLiteral("/later.zip"), body);
        QTest::mouseClick(w->retryButton, Qt::LeftButton);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.at(1).at(0).toBool(), true);
        QCOMPARE(m_chooser.offered.size(), 1);
        QVERIFY(readFile(target) == body);
        QCOMPARE(m_server->requestCount(QStringLiteral("/later.zip")), 2);
    }

    void webPageIsOfferedToTheBrowser()
    {
        m_server->serveBytes(QStringLiteral("/download"), "<!DOCTYPE html><html>Get Tool</html>", "text/html");
        QPointer<DownloadDialog> w = open(QStringLiteral("/download"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QCOMPARE(w->stage(), DownloadDialog::Stage::WebPage);
        QVERIFY(m_chooser.offered.isEmpty());
        QCOMPARE(folderEntries(m_dir->path()), QStringList{"Data"});
        QVERIFY(!w->statusLabel->text().contains(QStringLiteral("complete")));
        QVERIFY(!w->retryButton->isVisible() && !w->openButton->isVisible());
        QCOMPARE(w->findChild<ThemedButton *>(QStringLiteral("cmdOpenInBrowser")), w->openInBrowserButton);
        QTest::mouseClick(w->openInBrowserButton, Qt::LeftButton);
        QCOMPARE(m_shell->opened, QList<QUrl>{m_server->url(QStringLiteral("/download"))});
    }

    void stoppingLeavesNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("no file chosen") << 0;
        QTest::newRow("Cancel mid-body") << 1;
        QTest::newRow("window closed mid-body") << 2;
    }

    void stoppingLeavesNothing()
    {
        QFETCH(int, how);
        m_server->stallAfter(QStringLiteral("/huge.iso"), sampleBytes(400000, 6), 120000);
        if (how > 0)
            m_chooser.answers = {path(QStringLiteral("huge.iso"))};
        QPointer<DownloadDialog> w = open(QStringLiteral("/huge.iso"));
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(QTest::qWaitFor([&] { return !w || w->job()->receivedBytes() == 120000; }, kDownloadWaitMs));
        if (how == 1)
            QTest::mouseClick(w->cancelButton, Qt::LeftButton);
        else if (how == 2)
            QVERIFY(w->close());
        QTRY_VERIFY_WITH_TIMEOUT(!w, kDownloadWaitMs);
        QCOMPARE(done.count(), 0); // a cancel is not an outcome to report
        QCOMPARE(folderEntries(m_dir->path()), QStringList{"Data"});
        QCOMPARE(remembered(), how == 0 ? QString() : QDir::toNativeSeparators(m_dir->path()));
    }

    void humanSizes()
    {
        const QList<QPair<qint64, QString>> sizes = {{1, "1 byte"}, {1023, "1023 bytes"}, {1536, "1.5 KB"},
                                                     {1024 * 1024 - 100, "1.0 MB"}, {qint64(200) << 20, "200 MB"}};
        for (const auto &[bytes, text] : sizes)
            QCOMPARE(DownloadDialog::humanSize(bytes), text);
        QCOMPARE(DownloadDialog::humanDuration(7500), QStringLiteral("2 h 5 min"));
    }
};

QTEST_MAIN(DownloadDialogTest)
#include "tst_downloaddialog.moc"
