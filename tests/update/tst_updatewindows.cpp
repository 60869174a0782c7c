#include "HttpTestServer.h"
#include "ProductUrls.h"
#include "WindowFixture.h"
#include "app/AppWindows.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "update/UpdateSource.h"
#include "update/frmDDLMirrors.h"
#include "update/frmUpdate.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QUrlQuery>

using namespace fetchora;

namespace {

const QString kTrusted = "Your Updates are downloaded from a trusted Source.";
const QString kUnknown = "This Update Source is unknown. Update feature has been disabled.";

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

// A main window on a temporary catalogue, with the update windows wired as in
// the program.
class TestUpdateWindows : public QObject, public test::WindowFixture
{
    Q_OBJECT

    QNetworkAccessManager m_network;
    std::unique_ptr<AppWindows> m_windows;
    std::unique_ptr<test::HttpTestServer> m_server;

    bool startProgram(const QByteArray &localVersion = "[Signature]\r\nVersion=2013.03.01\r\n")
    {
        if (!setUpFolder()
            || !put({{"FOApps.def", "[Old]\r\nA=https://a/1\r\n"},
                     {"FOSignatures.ddl", "FOApps.def\r\nFOBlacklist.def\r\n"},
                     {"FOBlacklist.def", "old\r\n"}})
            || (!localVersion.isEmpty() && !put("FOVersion.ini", localVersion)) || !start())
            return false;
        m_windows = std::make_unique<AppWindows>(app->state, app->window, m_network);
        return true;
    }

    QLineEdit *server() const { return app->window.optionsPage->txtSignatureServer; }
    QStringList log() const { return m_windows->updateWindow()->txtUpdate->toPlainText().split('\n'); }

    // The update window pointed at the test server's mirror, trusted as the
    // real ones are.
    frmUpdate *updateWindowOnTestMirror()
    {
        const QString base = m_server->url("/m/").toString();
        server()->setText(base);
        frmUpdate *w = m_windows->showUpdateWindow();
        w->setTrustedMirrors({base});
        return w;
    }

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<test::HttpTestServer>();
        QVERIFY(m_server->listen());
    }

    void cleanup()
    {
        m_windows.reset();
        tearDown();
        m_server.reset();
    }

    void trustMarkFollowsTheAddress()
    {
        QVERIFY(startProgram());
        server()->setText(internationalMirror());
        frmUpdate *w = m_windows->showUpdateWindow();
        QVERIFY(w->ImgUpdateSourceTrust->isVisibleTo(w));
        QVERIFY(!w->ImgUpdateSourceDubious->isVisibleTo(w));
        QCOMPARE(w->lblUpdateSource->text(), kTrusted);
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());

        // Without its last "/" the address is some other folder.
        server()->setText(internationalMirror().chopped(1));
        QCOMPARE(w->lblUpdateSource->text(), kUnknown);
        QVERIFY(w->ImgUpdateSourceDubious->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
        QVERIFY(w->cmdCheckforUpdatesFetchora->isEnabled());
        // Back to a trusted address: marked trusted, the button stays off until a fresh start.
        server()->setText(germanMirror());
        QVERIFY(w->ImgUpdateSourceTrust->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
        w->reset();
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());
        QCOMPARE(w->lblSignatureVersion->text(), "2013.03.01");
        QCOMPARE(w->lblVersionFetchora->text(), QString("%1.%2.%3")
                                                    .arg(FETCHORA_VERSION_MAJOR)
                                                    .arg(FETCHORA_VERSION_MINOR)
                                                    .arg(FETCHORA_VERSION_PATCH));
    }

    void catalogueUpdateThenRestartShowsTheNewCatalogue()
    {
        serveMirror(*m_server, "2013.03.08");
        QVERIFY(startProgram());
        frmUpdate *w = updateWindowOnTestMirror();
        w->runDefinitionUpdate();

        QVERIFY(log().contains("FOApps.def Updated successfully."));
        QVERIFY(log().contains("Please Restart Fetchora."));
        QCOMPARE(w->windowTitle(), "Fetchora - Update");
        QVERIFY(w->cmdRestart->isVisibleTo(w));
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isVisibleTo(w));
        QVERIFY(!w->cmdCheckforUpdatesFetchora->isVisibleTo(w));
        QCOMPARE(test::readFile(dataFile("FOBlacklist.def")), QByteArray("new\r\n"));
        // The main window still shows the old catalogue until the restart.
        QCOMPARE(app->window.apps->categories->items(), QStringList({"Old"}));

        QTest::mouseClick(w->cmdRestart, Qt::LeftButton);
        QCOMPARE(app->window.apps->categories->items(), QStringList({"New", "Newer"}));
        QCOMPARE(app->state.lists().blacklist, QStringList({"new"}));
        QCOMPARE(w->lblSignatureVersion->text(), "2013.03.08");
        QVERIFY(w->cmdChangelog->isVisibleTo(w));
        QVERIFY(!w->cmdRestart->isVisibleTo(w));
    }

    void newerProgramOffersTheSetupAndTheChangelog()
    {
        serveMirror(*m_server, "2013.03.01", "99.0.0");
        QVERIFY(startProgram());
        frmUpdate *w = updateWindowOnTestMirror();
        app->prompter.answers = {true};
        w->runProgramCheck();
        QVERIFY(log().contains("Version 99.0.0 of Fetchora is available."));
        QCOMPARE(app->downloads, QStringList({QString::fromLatin1(urls::SetupDownload)}));
        QVERIFY(w->cmdChangelog->isVisibleTo(w));
        QTest::mouseClick(w->cmdChangelog, Qt::LeftButton);
        QCOMPARE(app->shell.opened.last(), QUrl(QString::fromLatin1(urls::Changelog)));
        QTest::mouseClick(w->cmdFacebook, Qt::LeftButton);
        QCOMPARE(app->shell.opened.last(), QUrl(QString::fromLatin1(urls::FacebookPage)));
    }

    void automaticCheckRunsEachCheckOnce()
    {
        serveMirror(*m_server, "2013.03.01");
        QVERIFY(startProgram());
        const QString base = m_server->url("/m/").toString();
        server()->setText(base);
        app->window.optionsPage->chkAutoUpdate->setChecked(true);
        m_windows->scheduleAutomaticCheck(0);
        QTRY_VERIFY(m_windows->updateWindow());
        m_windows->updateWindow()->setTrustedMirrors({base});
        QTRY_VERIFY(log().contains("You are using the latest Version of Fetchora."));
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount("/m/FOVersion.ini"), 2); // one per check
        QVERIFY(log().indexOf("Your Signature File(s) is Up-to-Date.")
                < log().indexOf("You are using the latest Version of Fetchora."));
    }

    void noAutomaticCheckWhenSwitchedOff()
    {
        QVERIFY(startProgram());
        m_windows->scheduleAutomaticCheck(0);
        QTest::qWait(50);
        QVERIFY(!m_windows->updateWindow());
        // Opened by hand, nothing runs by itself.
        frmUpdate *w = m_windows->showUpdateWindow();
        QTest::qWait(50);
        QVERIFY(w->txtUpdate->toPlainText().isEmpty());
    }

    void startUpQuestionOpensTheUpdateWindow()
    {
        QVERIFY(startProgram(QByteArray()));
        app->prompter.answers = {true};
        app->window.askForUpdateIfNeeded();
        QVERIFY(m_windows->updateWindow());
        QVERIFY(m_windows->updateWindow()->isVisible());
        QCOMPARE(m_windows->updateWindow()->lblSignatureVersion->text(), "Unknown");
    }

    void switchingMirrors()
    {
        QVERIFY(startProgram());
        server()->setText(internationalMirror());
        QTest::mouseClick(m_windows->showMirrorWindow()->cmdGermanMirror, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(dataFile("FOVersion.ini")));
        QCOMPARE(server()->text(), germanMirror());
        QCOMPARE(app->window.home->lblMirror->text(), "German");
        QCOMPARE(app->window.SSTab1->currentIndex(), int(frmMain::TabOptions));
        QCOMPARE(app->prompter.messages.size(), 2);
        QCOMPARE(app->prompter.messages[0].text, "German Mirror successfully activated.\r\nFetchora will Restart Now!");
        QCOMPARE(app->prompter.messages[1].text,
                 "Please Update your Signature files now to get Apps from the German Mirror.");
        frmUpdate *w = m_windows->updateWindow();
        QVERIFY(w && w->isVisible());
        // The catalogue version was forgotten, so the next update fetches everything.
        QCOMPARE(w->lblSignatureVersion->text(), "Unknown");
        QVERIFY(w->cmdUpdateSignatureDefinitions->isEnabled());

        // Back to International: trusted again, named again.
        QTest::mouseClick(m_windows->showMirrorWindow()->cmdInternationalMirror, Qt::LeftButton);
        QCOMPARE(app->window.home->lblMirror->text(), "International");
        QCOMPARE(m_windows->updateWindow()->lblUpdateSource->text(), kTrusted);
    }

    void customMirrorIsUntrusted()
    {
        QVERIFY(startProgram());
        frmDDLMirrors *m = m_windows->showMirrorWindow();
        QCOMPARE(m->txtCustomMirror->text(), "https://");
        QTest::keyClick(m->txtCustomMirror, Qt::Key_Return);
        QCOMPARE(server()->text(), "https://");
        QCOMPARE(app->window.home->lblMirror->text(), "Custom");
        QCOMPARE(app->prompter.messages[0].text, "Custom Mirror successfully activated.\r\nFetchora will Restart Now!");
        frmUpdate *w = m_windows->updateWindow();
        QCOMPARE(w->lblUpdateSource->text(), kUnknown);
        QVERIFY(!w->cmdUpdateSignatureDefinitions->isEnabled());
    }

    void unassignedMirrorsAndContact()
    {
        QVERIFY(startProgram());
        frmDDLMirrors *m = m_windows->showMirrorWindow();
        QCOMPARE(m->unassigned.size(), 6);
        QTest::mouseClick(m->unassigned[3], Qt::LeftButton);
        QCOMPARE(app->prompter.messages.size(), 1);
        QCOMPARE(app->prompter.messages[0].kind, "critical");
        QCOMPARE(app->prompter.messages[0].text,
                 "This Mirror is NOT assigned.\r\n"
                 "If you want to provide this Mirror in your Language, please contact us.");
        Q_EMIT m->lblContact->linkActivated("#");
        QCOMPARE(app->shell.opened.size(), 1);
        const QUrl mail = app->shell.opened.first();
        QCOMPARE(mail.scheme(), "mailto");
        QCOMPARE(QUrlQuery(mail).queryItemValue("Body", QUrl::FullyDecoded),
                 "I want to Provide a Mirror for [Site Name] or in [Language]");
        QCOMPARE(QUrlQuery(mail).queryItemValue("Subject", QUrl::FullyDecoded), "Fetchora - Mirror");
    }

    void mirrorNameOpensTheMirrorWindow()
    {
        QVERIFY(startProgram());
        QTest::mouseClick(app->window.home->lblMirror, Qt::LeftButton);
        QVERIFY(QApplication::topLevelWidgets().contains(
            static_cast<QWidget *>(app->window.findChild<frmDDLMirrors *>())));
    }
};

QTEST_MAIN(TestUpdateWindows)
#include "tst_updatewindows.moc"
