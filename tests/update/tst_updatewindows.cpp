#include "HttpTestServer.h"
#include "ProductUrls.h"
#include "WindowFixture.h"
#include "app/AppWindows.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/HomePage.h"
#include "app/pages/OptionsPage.h"
#include "update/UpdateSource.h"
#include "update/ui/MirrorWindow.h"
#include "update/ui/UpdateWindow.h"

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

    QLineEdit *server() const { return app->window.optionsPage->updateAddressEdit; }
    QStringList log() const { return m_windows->updateWindow()->logView->toPlainText().split('\n'); }

    // The update window pointed at the test server's mirror, trusted as the
    // real ones are.
    UpdateWindow *updateWindowOnTestMirror()
    {
        const QString base = m_server->url("/m/").toString();
        server()->setText(base);
        UpdateWindow *w = m_windows->showUpdateWindow();
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
        UpdateWindow *w = m_windows->showUpdateWindow();
        QVERIFY(w->trustedImage->isVisibleTo(w));
        QVERIFY(!w->untrustedImage->isVisibleTo(w));
        QCOMPARE(w->sourceLabel->text(), kTrusted);
        QVERIFY(w->updateCatalogueButton->isEnabled());

        // Without its last "/" the address is some other folder.
        server()->setText(internationalMirror().chopped(1));
        QCOMPARE(w->sourceLabel->text(), kUnknown);
        QVERIFY(w->untrustedImage->isVisibleTo(w));
        QVERIFY(!w->updateCatalogueButton->isEnabled());
        QVERIFY(w->checkProgramButton->isEnabled());
        // Back to a trusted address: marked trusted, the button stays off until a fresh start.
        server()->setText(germanMirror());
        QVERIFY(w->trustedImage->isVisibleTo(w));
        QVERIFY(!w->updateCatalogueButton->isEnabled());
        w->reset();
        QVERIFY(w->updateCatalogueButton->isEnabled());
        QCOMPARE(w->catalogueVersionLabel->text(), "2013.03.01");
        QCOMPARE(w->programVersionLabel->text(), QString("%1.%2.%3")
                                                    .arg(FETCHORA_VERSION_MAJOR)
                                                    .arg(FETCHORA_VERSION_MINOR)
                                                    .arg(FETCHORA_VERSION_PATCH));
    }

    void catalogueUpdateThenRestartShowsTheNewCatalogue()
    {
        serveMirror(*m_server, "2013.03.08");
        QVERIFY(startProgram());
        UpdateWindow *w = updateWindowOnTestMirror();
        w->runDefinitionUpdate();

        QVERIFY(log().contains("FOApps.def Updated successfully."));
        QVERIFY(log().contains("Please Restart Fetchora."));
        QCOMPARE(w->windowTitle(), "Fetchora - Update");
        QVERIFY(w->restartButton->isVisibleTo(w));
        QVERIFY(!w->updateCatalogueButton->isVisibleTo(w));
        QVERIFY(!w->checkProgramButton->isVisibleTo(w));
        QCOMPARE(test::readFile(dataFile("FOBlacklist.def")), QByteArray("new\r\n"));
        // The main window still shows the old catalogue until the restart.
        QCOMPARE(app->window.appsPage->categories->items(), QStringList({"Old"}));

        QTest::mouseClick(w->restartButton, Qt::LeftButton);
        QCOMPARE(app->window.appsPage->categories->items(), QStringList({"New", "Newer"}));
        QCOMPARE(app->state.lists().blacklist, QStringList({"new"}));
        QCOMPARE(w->catalogueVersionLabel->text(), "2013.03.08");
        QVERIFY(w->changelogButton->isVisibleTo(w));
        QVERIFY(!w->restartButton->isVisibleTo(w));
    }

    void newerProgramOffersTheSetupAndTheChangelog()
    {
        serveMirror(*m_server, "2013.03.01", "99.0.0");
        QVERIFY(startProgram());
        UpdateWindow *w = updateWindowOnTestMirror();
        app->prompter.answers = {true};
        w->runProgramCheck();
        QVERIFY(log().contains("Version 99.0.0 of Fetchora is available."));
        QCOMPARE(app->downloads, QStringList({QString::fromLatin1(urls::SetupDownload)}));
        QVERIFY(w->changelogButton->isVisibleTo(w));
        QTest::mouseClick(w->changelogButton, Qt::LeftButton);
        QCOMPARE(app->shell.opened.last(), QUrl(QString::fromLatin1(urls::Changelog)));
        QTest::mouseClick(w->facebookButton, Qt::LeftButton);
        QCOMPARE(app->shell.opened.last(), QUrl(QString::fromLatin1(urls::FacebookPage)));
    }

    void automaticCheckRunsEachCheckOnce()
    {
        serveMirror(*m_server, "2013.03.01");
        QVERIFY(startProgram());
        const QString base = m_server->url("/m/").toString();
        server()->setText(base);
        app->window.optionsPage->autoUpdateCheck->setChecked(true);
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
        UpdateWindow *w = m_windows->showUpdateWindow();
        QTest::qWait(50);
        QVERIFY(w->logView->toPlainText().isEmpty());
    }

    void startUpQuestionOpensTheUpdateWindow()
    {
        QVERIFY(startProgram(QByteArray()));
        app->prompter.answers = {true};
        app->window.askForUpdateIfNeeded();
        QVERIFY(m_windows->updateWindow());
        QVERIFY(m_windows->updateWindow()->isVisible());
        QCOMPARE(m_windows->updateWindow()->catalogueVersionLabel->text(), "Unknown");
    }

    void switchingMirrors()
    {
        QVERIFY(startProgram());
        server()->setText(internationalMirror());
        QTest::mouseClick(m_windows->showMirrorWindow()->germanButton, Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(dataFile("FOVersion.ini")));
        QCOMPARE(server()->text(), germanMirror());
        QCOMPARE(app->window.homePage->mirrorLabel->text(), "German");
        QCOMPARE(app->window.tabs->currentIndex(), int(MainWindow::TabOptions));
        QCOMPARE(app->prompter.messages.size(), 2);
        QCOMPARE(app->prompter.messages[0].text, "German Mirror successfully activated.\r\nFetchora will Restart Now!");
        QCOMPARE(app->prompter.messages[1].text,
                 "Please Update your Signature files now to get Apps from the German Mirror.");
        UpdateWindow *w = m_windows->updateWindow();
        QVERIFY(w && w->isVisible());
        // The catalogue version was forgotten, so the next update fetches everything.
        QCOMPARE(w->catalogueVersionLabel->text(), "Unknown");
        QVERIFY(w->updateCatalogueButton->isEnabled());

        // Back to International: trusted again, named again.
        QTest::mouseClick(m_windows->showMirrorWindow()->internationalButton, Qt::LeftButton);
        QCOMPARE(app->window.homePage->mirrorLabel->text(), "International");
        QCOMPARE(m_windows->updateWindow()->sourceLabel->text(), kTrusted);
    }

    void customMirrorIsUntrusted()
    {
        QVERIFY(startProgram());
        MirrorWindow *m = m_windows->showMirrorWindow();
        QCOMPARE(m->customMirrorEdit->text(), "https://");
        QTest::keyClick(m->customMirrorEdit, Qt::Key_Return);
        QCOMPARE(server()->text(), "https://");
        QCOMPARE(app->window.homePage->mirrorLabel->text(), "Custom");
        QCOMPARE(app->prompter.messages[0].text, "Custom Mirror successfully activated.\r\nFetchora will Restart Now!");
        UpdateWindow *w = m_windows->updateWindow();
        QCOMPARE(w->sourceLabel->text(), kUnknown);
        QVERIFY(!w->updateCatalogueButton->isEnabled());
    }

    void unassignedMirrorsAndContact()
    {
        QVERIFY(startProgram());
        MirrorWindow *m = m_windows->showMirrorWindow();
        QCOMPARE(m->unassignedButtons.size(), 6);
        QTest::mouseClick(m->unassignedButtons[3], Qt::LeftButton);
        QCOMPARE(app->prompter.messages.size(), 1);
        QCOMPARE(app->prompter.messages[0].kind, "critical");
        QCOMPARE(app->prompter.messages[0].text,
                 "This Mirror is NOT assigned.\r\n"
                 "If you want to provide this Mirror in your Language, please contact us.");
        Q_EMIT m->contactLink->linkActivated("#");
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
        QTest::mouseClick(app->window.homePage->mirrorLabel, Qt::LeftButton);
        QVERIFY(QApplication::topLevelWidgets().contains(
            static_cast<QWidget *>(app->window.findChild<MirrorWindow *>())));
    }
};

QTEST_MAIN(TestUpdateWindows)
#include "tst_updatewindows.moc"
