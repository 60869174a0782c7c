#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"
#include "actions/ui/DownloadDialog.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/ThemedButton.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
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

    // Opens a window for `route` that will save to `target` (empty: the user
    // cancels the save-as question) and, when asked to, waits for the end.
    QPointer<DownloadDialog> open(const QString &route, const QString &target, bool wait = true)
    {
        m_chooser.answers = {target};
        DownloadDialog::Services services{.chooser = &m_chooser, .network = m_nam.get()};
        QPointer<DownloadDialog> w = DownloadDialog::start(*m_state, m_server->url(route).toString(), nullptr,
                                                           services);
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        if (wait && !done.wait(kDownloadWaitMs))
            qWarning("the download did not end in time");
        return w;
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
    }

    void failsThenSavesWhereTheUserChose()
    {
        const QByteArray body = sampleBytes(2 * 1024 * 1024, 1);
        m_server->cutAfter(QStringLiteral("/apps/Tool Setup.exe"), body,
                           1024 * 1024); // far more than is read before the offer
        const QString target = path(QStringLiteral("Data/Tool Setup.exe"));
        QPointer<DownloadDialog> w = open(QStringLiteral("/apps/Tool Setup.exe"), target);
        QCOMPARE(m_chooser.offered, QStringList{m_home->filePath(QStringLiteral("Tool Setup.exe"))});
        QCOMPARE(w->stage(), DownloadDialog::Stage::Failed);
        QCOMPARE(w->statusLabel->text(), w->job()->errorText());
        QVERIFY(w->retryButton->isVisible() && !w->openButton->isVisible());
        // The server recovers; Retry saves to the same file without asking again.
        m_server->serveBytes(QStringLiteral("/apps/Tool Setup.exe"), body);
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QTest::mouseClick(w->retryButton, Qt::LeftButton);
        QVERIFY(done.wait(kDownloadWaitMs));
        QCOMPARE(m_chooser.offered.size(), 1);
        QVERIFY(readFile(target) == body);
        QCOMPARE(w->hashEdit->text(), QString::fromLatin1(sha256Hex(body)));
        QCOMPARE(w->pathEdit->text(), QDir::toNativeSeparators(target));
        QCOMPARE(w->sizeLabel->text(), QStringLiteral("2.0 MB of 2.0 MB"));
        // The folder is kept in the settings file for the next download.
        QCOMPARE(ProfileEngine().readString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                            QStringLiteral("LastFolder")),
                 QDir::toNativeSeparators(path("Data")));
        QTest::mouseClick(w->openFolderButton, Qt::LeftButton);
        m_shell->result = false;
        QTest::mouseClick(w->openButton, Qt::LeftButton);
        QCOMPARE(m_shell->opened, (QList<QUrl>{QUrl::fromLocalFile(path("Data")), QUrl::fromLocalFile(target)}));
        QCOMPARE(m_prompter->messages.size(), 1); // the failed open is reported
    }

    void startFolder()
    {
        // The remembered folder while it exists, else Downloads, else home.
        QCOMPARE(DownloadDialog::startFolder(*m_state), m_home->path());
        QVERIFY(QDir().mkpath(m_home->filePath(QStringLiteral("Downloads"))));
        QCOMPARE(DownloadDialog::startFolder(*m_state), m_home->filePath(QStringLiteral("Downloads")));
        QVERIFY(m_profiles->writeString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                        QStringLiteral("LastFolder"),
                                        QDir::toNativeSeparators(path(QStringLiteral("Data")))));
        QCOMPARE(DownloadDialog::startFolder(*m_state), path(QStringLiteral("Data")));
        QVERIFY(QDir(m_home->filePath(QStringLiteral("Downloads"))).removeRecursively());
        QVERIFY(QDir(path(QStringLiteral("Data"))).rename(path("Data"), path("Moved")));
        QCOMPARE(DownloadDialog::startFolder(*m_state), m_home->path());
    }

    void webPageIsOfferedToTheBrowser()
    {
        m_server->serveBytes(QStringLiteral("/download"), "<!DOCTYPE html><html>Get Tool</html>", "text/html");
        QPointer<DownloadDialog> w = open(QStringLiteral("/download"), path(QStringLiteral("page.html")));
        QCOMPARE(w->stage(), DownloadDialog::Stage::WebPage);
        QVERIFY(m_chooser.offered.isEmpty());
        QCOMPARE(folderEntries(m_dir->path()), QStringList{"Data"});
        QVERIFY(!w->retryButton->isVisible() && !w->openButton->isVisible() && w->openInBrowserButton->isVisible());
        QVERIFY(!w->isModal()); // the rest of the program stays usable meanwhile
        QTest::mouseClick(w->findChild<ThemedButton *>(QStringLiteral("cmdOpenInBrowser")), Qt::LeftButton);
        QCOMPARE(m_shell->opened, QList<QUrl>{m_server->url(QStringLiteral("/download"))});
    }

    void stoppingLeavesNothing_data()
    {
        QTest::addColumn<int>("how");
        // clang-format off
        QTest::newRow("no file chosen") << 0;
        QTest::newRow("Cancel mid-body") << 1;
        QTest::newRow("window closed mid-body") << 2;
        // clang-format on
    }

    void stoppingLeavesNothing()
    {
        QFETCH(int, how);
        m_server->stallAfter(QStringLiteral("/huge.iso"), sampleBytes(400000, 6), 120000);
        QPointer<DownloadDialog> w = open(QStringLiteral("/huge.iso"),
                                          how > 0 ? path(QStringLiteral("huge.iso")) : QString(), false);
        QSignalSpy done(w.data(), &DownloadDialog::downloadFinished);
        QVERIFY(QTest::qWaitFor([&] { return !w || w->job()->receivedBytes() == 120000; }, kDownloadWaitMs));
        if (how == 1)
            QTest::mouseClick(w->cancelButton, Qt::LeftButton);
        else if (how == 2)
            QVERIFY(w->close());
        QCOMPARE(folderEntries(m_dir->path()), QStringList{"Data"}); // at once, not only once the window is gone
        QTRY_VERIFY_WITH_TIMEOUT(!w, kDownloadWaitMs);
        QCOMPARE(done.count(), 0); // a cancel is not an outcome to report
        const QString remembered = ProfileEngine().readString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                                              QStringLiteral("LastFolder"));
        QCOMPARE(remembered, how == 0 ? QString() : QDir::toNativeSeparators(m_dir->path()));
    }

    void humanSizes()
    {
        const QStringList sizes = {DownloadDialog::humanSize(1023), DownloadDialog::humanSize(1536),
                                   DownloadDialog::humanSize(1024 * 1024 - 100),
                                   DownloadDialog::humanSize(qint64(200) << 20)};
        QCOMPARE(sizes, (QStringList{"1023 bytes", "1.5 KB", "1.0 MB", "200 MB"}));
        QCOMPARE(DownloadDialog::humanDuration(7500), QStringLiteral("2 h 5 min"));
    }
};

QTEST_MAIN(DownloadDialogTest)
#include "tst_downloaddialog.moc"
