#include "HttpTestServer.h"
#include "TestSupport.h"
#include "ProductUrls.h"
#include "app/AppWindows.h"
#include "app/frmMain.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "platform/ProfileEngine.h"
#include "state/AppState.h"
#include "update/UpdateSource.h"
#include "update/frmDDLMirrors.h"
#include "update/frmUpdate.h"
#include "widgets/ListBox.h"
#include "widgets/isButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace fetchora;

namespace {

// A main window on a temporary catalogue, with the update windows wired as in
// the program.
struct Program
{
    QTemporaryDir dir;
    ProfileEngine engine;
    test::RecordingShell shell;
    test::ScriptedPrompter prompter;
    QNetworkAccessManager network;
    std::unique_ptr<AppState> state;
    std::unique_ptr<frmMain> main;
    std::unique_ptr<AppWindows> windows;
    QStringList downloads;

    explicit Program(const QByteArray &localVersion = "[Signature]\r\nVersion=2013.03.01\r\n")
    {
        test::writeFile(dir.filePath("FOApps.def"), "[Old]\r\nA=https://a/1\r\n");
        test::writeFile(dir.filePath("FOSignatures.ddl"), "FOApps.def\r\nFOBlacklist.def\r\n");
        test::writeFile(dir.filePath("FOBlacklist.def"), "old\r\n");
        if (!localVersion.isEmpty())
            test::writeFile(dir.filePath("FOVersion.ini"), localVersion);
        state = std::make_unique<AppState>(engine, shell, prompter, dir.path());
        state->setDirectDownloadHandler([this](const QString &link) { downloads.append(link); });
        main = std::make_unique<frmMain>(*state);
        main->startUp();
        main->show();
        windows = std::make_unique<AppWindows>(*state, *main, network);
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    QStringList log() const
    {
        return windows->updateWindow()->txtUpdate->toPlainText().split('\n');
    }
};

// The server's side: a mirror folder with a version file and the catalogue.
void serveMirror(test::HttpTestServer &server, const QByteArray &signatureVersion,
                 const QByteArray &programVersion = "1.0.0")
{
    server.serveBytes("/m/FOVersion.ini", "[Fetchora]\r\nVersion=" + programVersion
                                              + "\r\nChangelog=New things\r\nNews=All good\r\n"
                                                "[Signature]\r\nVersion=" + signatureVersion
                                              + "\r\nChangelog=More apps\r\nNews=Nothing new\r\n");
    server.serveBytes("/m/FOApps.def", "[New]\r\nB=https://b/1\r\n[Newer]\r\n");
    server.serveBytes("/m/FOBlacklist.def", "new\r\n");
}

} // namespace

class TestUpdateWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trustMarkFollowsTheAddress()
    {
        Program p;
        p.main->optionsPage->txtSignatureServer->setText(internationalMirror());
        frmUpdate *w = p.windows->showUpdateWindow();
        QVERIFY(w->ImgUpdateSourceTrust->isVisibleTo(w));
        QVERIFY(!w->ImgUpdateSourceDubious->isVisibleTo(w));
        QCOMPARE(w->lblUpdateSource->text(), QString("Your Updates are downloaded from a trusted Source."));
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());

        // Without its last "/" the address is some other folder.
        p.main->optionsPage->txtSignatureServer->setText(internationalMirror().chopped(1));
        QCOMPARE(w->lblUpdateSource->text(), QString("This Update Source is unknown. Update feature has been disabled."));
        QVERIFY(w->ImgUpdateSourceDubious->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
        QVERIFY(w->cmdCheckforUpdatesFetchora->isEnabled());
        // Back to a trusted address: marked trusted, the button stays off until a fresh start.
        p.main->optionsPage->txtSignatureServer->setText(germanMirror());
        QVERIFY(w->ImgUpdateSourceTrust->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
        w->reset();
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());
        QCOMPARE(w->lblSignatureVersion->text(), QString("2013.03.01"));
        QCOMPARE(w->lblVersionFetchora->text(),
                 QString("%1.%2.%3").arg(FETCHORA_VERSION_MAJOR).arg(FETCHORA_VERSION_MINOR).arg(FETCHORA_VERSION_PATCH));
    }

    void catalogueUpdateThenRestartShowsTheNewCatalogue()
    {
        test::HttpTestServer server;
        QVERIFY(server.listen());
        serveMirror(server, "2013.03.08");
        Program p;
        const QString base = server.url("/m/").toString();
        p.main->optionsPage->txtSignatureServer->setText(base);
        frmUpdate *w = p.windows->showUpdateWindow();
        w->setTrustedMirrors({base});
        w->runDefinitionUpdate();

        QVERIFY(p.log().contains("FOApps.def Updated successfully."));
        QVERIFY(p.log().contains("Please Restart Fetchora."));
        QCOMPARE(w->windowTitle(), QString("Fetchora - Update"));
        QVERIFY(w->cmdRestart->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isVisibleTo(w));
        QVERIFY(!w->cmdCheckforUpdatesFetchora->isVisibleTo(w));
        QCOMPARE(test::readFile(p.file("FOBlacklist.def")), QByteArray("new\r\n"));
        // The main window still shows the old catalogue until the restart.
        QCOMPARE(p.main->apps->categories->items(), QStringList({"Old"}));

        QTest::mouseClick(w->cmdRestart, Qt::LeftButton);
        QCOMPARE(p.main->apps->categories->items(), QStringList({"New", "Newer"}));
        QCOMPARE(p.state->lists().blacklist, QStringList({"new"}));
        QCOMPARE(w->lblSignatureVersion->text(), QString("2013.03.08"));
        QVERIFY(w->cmdChangelog->isVisibleTo(w));
        QVERIFY(!w->cmdRestart->isVisibleTo(w));
    }

    void newerProgramOffersTheSetupAndTheChangelog()
    {
        test::HttpTestServer server;
        QVERIFY(server.listen());
        serveMirror(server, "2013.03.01", "99.0.0");
        Program p;
        const QString base = server.url("/m/").toString();
        p.main->optionsPage->txtSignatureServer->setText(base);
        frmUpdate *w = p.windows->showUpdateWindow();
        w->setTrustedMirrors({base});
        p.prompter.answers = {true};
        w->runProgramCheck();
        QVERIFY(p.log().contains("Version 99.0.0 of Fetchora is available."));
        QCOMPARE(p.downloads, QStringList({QString::fromLatin1(urls::SetupDownload)}));
        QVERIFY(w->cmdChangelog->isVisibleTo(w));
        QTest::mouseClick(w->cmdChangelog, Qt::LeftButton);
        QCOMPARE(p.shell.opened.last(), QUrl(QString::fromLatin1(urls::Changelog)));
        QTest::mouseClick(w->cmdFacebook, Qt::LeftButton);
        QCOMPARE(p.shell.opened.last(), QUrl(QString::fromLatin1(urls::FacebookPage)));
    }

    void automaticCheckRunsEachCheckOnce()
    {
        test::HttpTestServer server;
        QVERIFY(server.listen());
        serveMirror(server, "2013.03.01");
        Program p;
        const QString base = server.url("/m/").toString();
        p.main->optionsPage->txtSignatureServer->setText(base);
        p.main->optionsPage->chkAutoUpdate->setChecked(true);
        p.windows->scheduleAutomaticCheck(0);
        QTRY_VERIFY(p.windows->updateWindow());
        p.windows->updateWindow()->setTrustedMirrors({base});
        QTRY_VERIFY(p.log().contains("You are using the latest Version of Fetchora."));
        QTest::qWait(100);
        QCOMPARE(server.requestCount("/m/FOVersion.ini"), 2); // one per check
        const QStringList log = p.log();
        QVERIFY(log.indexOf("Your Signature File(s) is Up-to-Date.") < log.indexOf("You are using the latest Version of Fetchora."));
    }

    void noAutomaticCheckWhenSwitchedOff()
    {
        Program p;
        p.windows->scheduleAutomaticCheck(0);
        QTest::qWait(50);
        QVERIFY(!p.windows->updateWindow());
        // Opened by hand, nothing runs by itself.
        frmUpdate *w = p.windows->showUpdateWindow();
        QTest::qWait(50);
        QVERIFY(w->txtUpdate->toPlainText().isEmpty());
    }

    void startUpQuestionOpensTheUpdateWindow()
    {
        Program p{QByteArray()};
        p.prompter.answers = {true};
        p.main->askForUpdateIfNeeded();
        QVERIFY(p.windows->updateWindow());
        QVERIFY(p.windows->updateWindow()->isVisible());
        QCOMPARE(p.windows->updateWindow()->lblSignatureVersion->text(), QString("Unknown"));
    }

    void switchingMirrors()
    {
        Program p;
        p.main->optionsPage->txtSignatureServer->setText(internationalMirror());
        frmDDLMirrors *m = p.windows->showMirrorWindow();
        QTest::mouseClick(m->cmdGermanMirror, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(p.file("FOVersion.ini")));
        QCOMPARE(p.main->optionsPage->txtSignatureServer->text(), germanMirror());
        QCOMPARE(p.main->home->lblMirror->text(), QString("German"));
        QCOMPARE(p.main->SSTab1->currentIndex(), int(frmMain::TabOptions));
        QCOMPARE(p.prompter.messages.size(), 2);
        QCOMPARE(p.prompter.messages[0].text, QString("German Mirror successfully activated.\r\nFetchora will Restart Now!"));
        QCOMPARE(p.prompter.messages[1].text, QString("Please Update your Signature files now to get Apps from the German Mirror."));
        frmUpdate *w = p.windows->updateWindow();
        QVERIFY(w && w->isVisible());
        // The catalogue version was forgotten, so the next update fetches everything.
        QCOMPARE(w->lblSignatureVersion->text(), QString("Unknown"));
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());

        // Back to International: trusted again, named again.
        m = p.windows->showMirrorWindow();
        QTest::mouseClick(m->cmdInternationalMirror, Qt::LeftButton);
        QCOMPARE(p.main->home->lblMirror->text(), QString("International"));
        QCOMPARE(p.windows->updateWindow()->lblUpdateSource->text(), QString("Your Updates are downloaded from a trusted Source."));
    }

    void customMirrorIsUntrusted()
    {
        Program p;
        frmDDLMirrors *m = p.windows->showMirrorWindow();
        QCOMPARE(m->txtCustomMirror->text(), QString("https://"));
        QTest::keyClick(m->txtCustomMirror, Qt::Key_Return);
        QCOMPARE(p.main->optionsPage->txtSignatureServer->text(), QString("https://"));
        QCOMPARE(p.main->home->lblMirror->text(), QString("Custom"));
        QCOMPARE(p.prompter.messages[0].text, QString("Custom Mirror successfully activated.\r\nFetchora will Restart Now!"));
        frmUpdate *w = p.windows->updateWindow();
        QCOMPARE(w->lblUpdateSource->text(), QString("This Update Source is unknown. Update feature has been disabled."));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
    }

    void unassignedMirrorsAndContact()
    {
        Program p;
        frmDDLMirrors *m = p.windows->showMirrorWindow();
        QCOMPARE(m->unassigned.size(), 6);
        QTest::mouseClick(m->unassigned[3], Qt::LeftButton);
        QCOMPARE(p.prompter.messages.size(), 1);
        QCOMPARE(p.prompter.messages[0].kind, QString("critical"));
        QCOMPARE(p.prompter.messages[0].text, QString("This Mirror is NOT assigned.\r\n"
                                                      "If you want to provide this Mirror in your Language, please contact us."));
        Q_EMIT m->lblContact->linkActivated("#");
        QCOMPARE(p.shell.opened.size(), 1);
        const QUrl mail = p.shell.opened.first();
        QCOMPARE(mail.scheme(), QString("mailto"));
        QCOMPARE(QUrlQuery(mail).queryItemValue("Body", QUrl::FullyDecoded),
                 QString("I want to Provide a Mirror for [Site Name] or in [Language]"));
        QCOMPARE(QUrlQuery(mail).queryItemValue("Subject", QUrl::FullyDecoded), QString("Fetchora - Mirror"));
    }

    void mirrorNameOpensTheMirrorWindow()
    {
        Program p;
        QTest::mouseClick(p.main->home->lblMirror, Qt::LeftButton);
        QVERIFY(QApplication::topLevelWidgets().contains(static_cast<QWidget *>(p.main->findChild<frmDDLMirrors *>())));
    }
};

QTEST_MAIN(TestUpdateWindows)
#include "tst_updatewindows.moc"
