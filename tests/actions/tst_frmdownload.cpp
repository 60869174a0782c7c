#include "HttpTestServer.h"
#include "TestSupport.h"

#include "actions/DownloadJob.h"
#include "actions/SaveLocationChooser.h"
#include "actions/frmDownload.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "widgets/isButton.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace fetchora;
using fetchora::test::HttpTestServer;
using fetchora::test::readFile;
using fetchora::test::RecordingShell;
using fetchora::test::ScriptedPrompter;
using fetchora::test::writeFile;

namespace {

constexpr int kWaitMs = 15000;

QByteArray sampleBytes(int size, int seed)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 99u;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        out[i] = char(x >> 24);
    }
    return out;
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

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

} // namespace

class DownloadWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowLooksLikeADownloadWindow();
    void showsRequestingWhileConnecting();
    void wholeFlowSavesFileAndShowsHash();
    void firstTimeStartsInDownloadsFolder();
    void withoutDownloadsFolderStartsAtHome();
    void rememberedFolderUsedNextTime();
    void vanishedRememberedFolderIsNotOffered();
    void cancelledChooserWritesNothingAndCloses();
    void openAndOpenFolderGoThroughTheShell();
    void failedOpenIsReported();
    void failureShowsErrorAndRetryWorks();
    void cancelButtonStopsAndCleansUp();
    void closingTheWindowStopsTheDownload();
    void twoWindowsRunIndependently();
    void humanSizes_data();
    void humanSizes();
    void humanDurations();

private:
    frmDownload *open(const QString &link);
    QString out(const QString &name) const { return m_files->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<ProfileEngine> m_profiles;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<QNetworkAccessManager> m_nam;
    std::unique_ptr<HttpTestServer> m_server;
    ScriptedChooser m_chooser;
};

void DownloadWindowTest::initTestCase()
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void DownloadWindowTest::init()
{
    // A home of our own, so "the Downloads folder" is one the test controls.
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_home->path() + QStringLiteral("/.config")).toLocal8Bit());
    qunsetenv("XDG_DOWNLOAD_DIR");

    m_data = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid() && m_files->isValid());
    m_profiles = std::make_unique<ProfileEngine>();
    m_shell = std::make_unique<RecordingShell>();
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_state = std::make_unique<AppState>(*m_profiles, *m_shell, *m_prompter, m_data->path());
    m_nam = std::make_unique<QNetworkAccessManager>();
    m_nam->setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<HttpTestServer>();
    QVERIFY(m_server->listen());
    m_chooser = ScriptedChooser();
}

void DownloadWindowTest::cleanup()
{
    // Windows still open are closed (and so cancelled) before the services go.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmDownload *>(w))
            delete w;
    }
    m_server.reset();
    m_nam.reset();
    m_state.reset();
    m_prompter.reset();
    m_shell.reset();
    m_profiles.reset();
    m_files.reset();
    m_data.reset();
    m_home.reset();
}

frmDownload *DownloadWindowTest::open(const QString &link)
{
    frmDownload::Services services;
    services.chooser = &m_chooser;
    services.network = m_nam.get();
    return frmDownload::start(*m_state, link, nullptr, services);
}

void DownloadWindowTest::windowLooksLikeADownloadWindow()
{
    m_server->stallBeforeHeaders(QStringLiteral("/wait"));
    QWidget owner;
    frmDownload::Services services;
    services.chooser = &m_chooser;
    services.network = m_nam.get();
    QPointer<frmDownload> w = frmDownload::start(*m_state, m_server->url(QStringLiteral("/wait")).toString(),
                                                 &owner, services);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Fetchora - Download"));
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(w->isWindow());      // its own window even with an owner
    QVERIFY(!w->isModal());      // the rest of the program stays usable
    QVERIFY(w->isVisible());
    QVERIFY(w->cmdCancel->isVisible());
    QVERIFY(!w->cmdClose->isVisible());
    QVERIFY(!w->cmdOpen->isVisible());
    QVERIFY(!w->txtSha256->isVisible());
    w->close();
    QTRY_VERIFY_WITH_TIMEOUT(!w, kWaitMs);
}

void DownloadWindowTest::showsRequestingWhileConnecting()
{
    m_server->stallBeforeHeaders(QStringLiteral("/slow-answer"));
    const QString link = m_server->url(QStringLiteral("/slow-answer")).toString();
    QPointer<frmDownload> w = open(link);
    QCOMPARE(w->lblStatus->text(), QStringLiteral("Requesting %1 ...").arg(link));
    QVERIFY(QTest::qWaitFor([&] { return m_server->requestCount(QStringLiteral("/slow-answer")) == 1; }, kWaitMs));
    QCOMPARE(w->stage(), frmDownload::Stage::Requesting);
    QCOMPARE(w->lblStatus->text(), QStringLiteral("Requesting %1 ...").arg(link));
    QVERIFY(m_chooser.offered.isEmpty()); // nothing to save yet
    w->close();
}

void DownloadWindowTest::wholeFlowSavesFileAndShowsHash()
{
    const QByteArray body = sampleBytes(150000, 1);
    m_server->serveBytes(QStringLiteral("/apps/Tool Setup.exe"), body);
    const QString target = out(QStringLiteral("Tool Setup.exe"));
    m_chooser.answers = {target};

    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/apps/Tool Setup.exe")).toString());
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(done.wait(kWaitMs));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);

    // The question was asked once, by this window, offering the server's name.
    QCOMPARE(m_chooser.offered.size(), 1);
    QCOMPARE(QFileInfo(m_chooser.offered.at(0)).fileName(), QStringLiteral("Tool Setup.exe"));
    QCOMPARE(m_chooser.parents.at(0), w.data());

    QCOMPARE(readFile(target), body);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
    QCOMPARE(w->stage(), frmDownload::Stage::Succeeded);
    QCOMPARE(w->txtSha256->text(), QString::fromLatin1(sha256Hex(body)));
    QVERIFY(w->txtSha256->isReadOnly()); // selectable, not editable
    QVERIFY(w->txtSha256->isVisible());
    QCOMPARE(w->txtPath->text(), QDir::toNativeSeparators(target));
    QCOMPARE(w->lblSize->text(), QStringLiteral("146 KB of 146 KB"));
    QCOMPARE(w->prgProgress->value(), w->prgProgress->maximum());
    QVERIFY(w->cmdOpen->isVisible());
    QVERIFY(w->cmdOpenFolder->isVisible());
    QVERIFY(w->cmdClose->isVisible());
    QVERIFY(!w->cmdCancel->isVisible());
    QVERIFY(!w->cmdRetry->isVisible());

    // The folder is remembered for the next download.
    QCOMPARE(QDir::fromNativeSeparators(m_profiles->readString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                                               QStringLiteral("LastFolder"))),
             QFileInfo(target).absolutePath());

    QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w, kWaitMs);
    QCOMPARE(readFile(target), body); // closing after success keeps the file
}

void DownloadWindowTest::firstTimeStartsInDownloadsFolder()
{
    const QString downloads = m_home->filePath(QStringLiteral("Downloads"));
    QVERIFY(QDir().mkpath(downloads));
    m_server->serveBytes(QStringLiteral("/x/first.zip"), "zip");
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/x/first.zip")).toString());
    QVERIFY(QTest::qWaitFor([&] { return !w; }, kWaitMs)); // no answer: cancelled, closed
    QCOMPARE(m_chooser.offered, QStringList{QDir(downloads).filePath(QStringLiteral("first.zip"))});
    QCOMPARE(frmDownload::startFolder(*m_state), QDir::cleanPath(downloads));
}

void DownloadWindowTest::withoutDownloadsFolderStartsAtHome()
{
    m_server->serveBytes(QStringLiteral("/x/first.zip"), "zip");
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/x/first.zip")).toString());
    QVERIFY(QTest::qWaitFor([&] { return !w; }, kWaitMs));
    QCOMPARE(m_chooser.offered, QStringList{QDir(m_home->path()).filePath(QStringLiteral("first.zip"))});
}

void DownloadWindowTest::rememberedFolderUsedNextTime()
{
    m_server->serveBytes(QStringLiteral("/one.bin"), sampleBytes(1000, 2));
    m_server->serveBytes(QStringLiteral("/two.bin"), sampleBytes(2000, 3));
    const QString chosenFolder = out(QStringLiteral("tools"));
    QVERIFY(QDir().mkpath(chosenFolder));
    m_chooser.answers = {chosenFolder + QStringLiteral("/one.bin")};

    QPointer<frmDownload> first = open(m_server->url(QStringLiteral("/one.bin")).toString());
    QSignalSpy firstDone(first.data(), &frmDownload::downloadFinished);
    QVERIFY(firstDone.wait(kWaitMs));
    QVERIFY(firstDone.at(0).at(0).toBool());
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(!first, kWaitMs);

    // The settings file holds it for any later start of the program.
    const QByteArray settings = readFile(m_state->settingsPath());
    QVERIFY2(settings.contains("[frmDownload]"), settings.constData());
    QVERIFY2(settings.contains("LastFolder=" + QDir::toNativeSeparators(chosenFolder).toUtf8()), settings.constData());

    ProfileEngine freshEngine; // nothing kept in memory from the first window
    RecordingShell shell;
    ScriptedPrompter prompter;
    AppState restarted(freshEngine, shell, prompter, m_data->path());
    frmDownload::Services services;
    services.chooser = &m_chooser;
    services.network = m_nam.get();
    QPointer<frmDownload> second =
        frmDownload::start(restarted, m_server->url(QStringLiteral("/two.bin")).toString(), nullptr, services);
    QVERIFY(QTest::qWaitFor([&] { return !second; }, kWaitMs)); // chooser out of answers: cancelled
    QCOMPARE(m_chooser.offered.size(), 2);
    QCOMPARE(m_chooser.offered.at(1), QDir(chosenFolder).filePath(QStringLiteral("two.bin")));
}

void DownloadWindowTest::vanishedRememberedFolderIsNotOffered()
{
    QString error;
    QVERIFY(m_profiles->writeString(m_state->settingsPath(), QStringLiteral("frmDownload"),
                                    QStringLiteral("LastFolder"), out(QStringLiteral("removed-long-ago")), &error));
    m_server->serveBytes(QStringLiteral("/f.txt"), "text");
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/f.txt")).toString());
    QVERIFY(QTest::qWaitFor([&] { return !w; }, kWaitMs));
    QCOMPARE(m_chooser.offered, QStringList{QDir(m_home->path()).filePath(QStringLiteral("f.txt"))});
}

void DownloadWindowTest::cancelledChooserWritesNothingAndCloses()
{
    m_server->serveGenerated(QStringLiteral("/big.iso"), 3 * 1024 * 1024);
    m_chooser.answers = {QString()};
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/big.iso")).toString());
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(QTest::qWaitFor([&] { return !w; }, kWaitMs));
    QCOMPARE(m_chooser.offered.size(), 1);
    QCOMPARE(done.count(), 0); // a cancel is not an outcome to report
    QCOMPARE(QDir(m_files->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(m_home->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // Nothing remembered either: no folder was chosen.
    QCOMPARE(m_profiles->readString(m_state->settingsPath(), QStringLiteral("frmDownload"), QStringLiteral("LastFolder")),
             QString());
}

void DownloadWindowTest::openAndOpenFolderGoThroughTheShell()
{
    m_server->serveBytes(QStringLiteral("/app.msi"), sampleBytes(5000, 4));
    const QString folder = out(QStringLiteral("setup files"));
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QStringLiteral("/app.msi");
    m_chooser.answers = {target};
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/app.msi")).toString());
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(done.wait(kWaitMs));

    QTest::mouseClick(w->cmdOpenFolder, Qt::LeftButton);
    QCOMPARE(m_shell->opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
    QTest::mouseClick(w->cmdOpen, Qt::LeftButton);
    QCOMPARE(m_shell->opened.size(), 2);
    QCOMPARE(m_shell->opened.at(1), QUrl::fromLocalFile(target));
    QVERIFY(m_shell->opened.at(1).isLocalFile());
    QVERIFY(m_prompter->messages.isEmpty());
    QVERIFY(w); // opening leaves the window for the hash to be compared
}

void DownloadWindowTest::failedOpenIsReported()
{
    m_server->serveBytes(QStringLiteral("/app.msi"), "x");
    m_chooser.answers = {out(QStringLiteral("app.msi"))};
    m_shell->result = false;
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/app.msi")).toString());
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(done.wait(kWaitMs));
    QTest::mouseClick(w->cmdOpen, Qt::LeftButton);
    QCOMPARE(m_prompter->messages.size(), 1);
    QCOMPARE(m_prompter->messages.at(0).kind, QStringLiteral("warn"));
    QVERIFY(m_prompter->messages.at(0).text.contains(QDir::toNativeSeparators(out(QStringLiteral("app.msi")))));
}

void DownloadWindowTest::failureShowsErrorAndRetryWorks()
{
    const QString link = m_server->url(QStringLiteral("/later.zip")).toString();
    m_server->cutAfter(QStringLiteral("/later.zip"), sampleBytes(80000, 5), 30000);
    const QString target = out(QStringLiteral("later.zip"));
    QVERIFY(writeFile(target, "an older copy"));
    m_chooser.answers = {target};

    QPointer<frmDownload> w = open(link);
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(done.wait(kWaitMs));
    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(w->stage(), frmDownload::Stage::Failed);
    QCOMPARE(w->lblStatus->text(), w->job()->errorText());
    QVERIFY2(w->lblStatus->text().contains(QStringLiteral("cut off after 30000 of 80000 bytes")),
             qPrintable(w->lblStatus->text()));
    QVERIFY(w->cmdClose->isVisible());
    QVERIFY(w->cmdRetry->isVisible());
    QVERIFY(!w->cmdCancel->isVisible());
    QVERIFY(!w->cmdOpen->isVisible());
    QVERIFY(w->txtSha256->text().isEmpty());
    QCOMPARE(readFile(target), QByteArray("an older copy"));
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));

    // The server recovers; Retry saves to the same file without asking again.
    const QByteArray body = sampleBytes(80000, 5);
    m_server->serveBytes(QStringLiteral("/later.zip"), body);
    QTest::mouseClick(w->cmdRetry, Qt::LeftButton);
    QVERIFY(done.wait(kWaitMs));
    QCOMPARE(done.at(1).at(0).toBool(), true);
    QCOMPARE(m_chooser.offered.size(), 1);
    QCOMPARE(readFile(target), body);
    QCOMPARE(w->txtSha256->text(), QString::fromLatin1(sha256Hex(body)));
    QCOMPARE(m_server->requestCount(QStringLiteral("/later.zip")), 2);
}

void DownloadWindowTest::cancelButtonStopsAndCleansUp()
{
    m_server->stallAfter(QStringLiteral("/huge.iso"), sampleBytes(400000, 6), 120000);
    const QString target = out(QStringLiteral("huge.iso"));
    m_chooser.answers = {target};
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/huge.iso")).toString());
    QSignalSpy done(w.data(), &frmDownload::downloadFinished);
    QVERIFY(QTest::qWaitFor([&] { return w && w->job()->receivedBytes() == 120000; }, kWaitMs));
    QCOMPARE(w->stage(), frmDownload::Stage::Downloading);
    QVERIFY(w->cmdCancel->isVisible());
    QCOMPARE(w->lblFile->text(), QDir::toNativeSeparators(target));
    QVERIFY(QFileInfo::exists(target + QStringLiteral(".part")));

    QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w, kWaitMs);
    QCOMPARE(done.count(), 0);
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
}

void DownloadWindowTest::closingTheWindowStopsTheDownload()
{
    m_server->stallAfter(QStringLiteral("/huge.iso"), sampleBytes(400000, 7), 50000);
    const QString target = out(QStringLiteral("huge.iso"));
    m_chooser.answers = {target};
    QPointer<frmDownload> w = open(m_server->url(QStringLiteral("/huge.iso")).toString());
    QVERIFY(QTest::qWaitFor([&] { return w && w->job()->receivedBytes() == 50000; }, kWaitMs));
    QVERIFY(QFileInfo::exists(target + QStringLiteral(".part")));
    QVERIFY(w->close());
    QTRY_VERIFY_WITH_TIMEOUT(!w, kWaitMs);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral(".part")));
    QVERIFY(!QFileInfo::exists(target));
}

void DownloadWindowTest::twoWindowsRunIndependently()
{
    // A holds its connection open half-way; B completes meanwhile; then A is
    // cancelled and B is untouched, and a third finishes next to B.
    const QByteArray bodyB = sampleBytes(90000, 8);
    const QByteArray bodyC = sampleBytes(700000, 9);
    m_server->stallAfter(QStringLiteral("/a.bin"), sampleBytes(300000, 10), 100000);
    m_server->serveBytes(QStringLiteral("/b.bin"), bodyB);
    m_server->serveBytes(QStringLiteral("/c.bin"), bodyC);
    const QString targetA = out(QStringLiteral("a.bin"));
    const QString targetB = out(QStringLiteral("b.bin"));
    const QString targetC = out(QStringLiteral("c.bin"));

    m_chooser.answers = {targetA};
    QPointer<frmDownload> a = open(m_server->url(QStringLiteral("/a.bin")).toString());
    QVERIFY(QTest::qWaitFor([&] { return a && a->job()->receivedBytes() == 100000; }, kWaitMs));

    m_chooser.answers = {targetB};
    QPointer<frmDownload> b = open(m_server->url(QStringLiteral("/b.bin")).toString());
    QSignalSpy bDone(b.data(), &frmDownload::downloadFinished);
    QSignalSpy aDone(a.data(), &frmDownload::downloadFinished);
    QVERIFY(bDone.wait(kWaitMs));
    QVERIFY(bDone.at(0).at(0).toBool());
    QCOMPARE(aDone.count(), 0);
    QCOMPARE(a->stage(), frmDownload::Stage::Downloading);
    QCOMPARE(readFile(targetB), bodyB);

    QTest::mouseClick(a->cmdCancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!a, kWaitMs);
    QVERIFY(!QFileInfo::exists(targetA + QStringLiteral(".part")));
    QVERIFY(b);
    QCOMPARE(b->stage(), frmDownload::Stage::Succeeded);
    QCOMPARE(b->txtSha256->text(), QString::fromLatin1(sha256Hex(bodyB)));
    QCOMPARE(readFile(targetB), bodyB);

    m_chooser.answers = {targetC};
    QPointer<frmDownload> c = open(m_server->url(QStringLiteral("/c.bin")).toString());
    QSignalSpy cDone(c.data(), &frmDownload::downloadFinished);
    QVERIFY(cDone.wait(kWaitMs));
    QCOMPARE(readFile(targetC), bodyC);
    QCOMPARE(c->txtSha256->text(), QString::fromLatin1(sha256Hex(bodyC)));
    QCOMPARE(b->txtSha256->text(), QString::fromLatin1(sha256Hex(bodyB)));
    QCOMPARE(bDone.count(), 1);
}

void DownloadWindowTest::humanSizes_data()
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

void DownloadWindowTest::humanSizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(frmDownload::humanSize(bytes), text);
}

void DownloadWindowTest::humanDurations()
{
    QCOMPARE(frmDownload::humanDuration(0), QStringLiteral("0 s"));
    QCOMPARE(frmDownload::humanDuration(59), QStringLiteral("59 s"));
    QCOMPARE(frmDownload::humanDuration(200), QStringLiteral("3 min 20 s"));
    QCOMPARE(frmDownload::humanDuration(7500), QStringLiteral("2 h 5 min"));
    QCOMPARE(frmDownload::humanDuration(-5), QStringLiteral("0 s"));
}

QTEST_MAIN(DownloadWindowTest)
#include "tst_frmdownload.moc"
