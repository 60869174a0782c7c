#include "DownloadTestSupport.h"
#include "HttpTestServer.h"
#include "ProductUrls.h"
#include "WindowFixture.h"
#include "app/AppWindows.h"
#include "app/pages/CataloguePage.h"
#include "app/pages/OptionsPage.h"
#include "update/UpdateSource.h"
#include "update/ui/MirrorWindow.h"
#include "update/ui/UpdateWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace fetchora;
using namespace fetchora::test;

// The main window on a temporary catalogue, the update and mirror windows wired
// as in the program, and a mirror folder on the loopback server.
class TestUpdateWindows : public QObject, public test::WindowFixture
{
    Q_OBJECT

    QNetworkAccessManager m_network;
    std::unique_ptr<AppWindows> m_windows;
    test::HttpTestServer m_server;

    bool startProgram()
    {
        if (!setUpFolder()
            || !put({{"FOApps.def", "[Old]\r\nA=https://a/1\r\n"},
                     {"FOSignatures.ddl", "FOApps.def"},
                     {"FOVersion.ini", "[Signature]\r\nVersion=2013.03.01\r\n"}})
            || !start())
            return false;
        m_windows = std::make_unique<AppWindows>(app->state, app->window, m_network);
        return true;
    }
    QLineEdit *address() const { return app->window.optionsPage->updateAddressEdit; }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.listen()); }
    void cleanup()
    {
        m_windows.reset();
        tearDown();
    }

    void checksThenRestart()
    {
        QVERIFY(startProgram());
        m_server.serveBytes("/FOVersion.ini", "[Fetchora]\r\nVersion=99\r\n[Signature]\r\nVersion=2013.03.08\r\n");
        m_server.serveBytes("/FOApps.def", "[New]\r\nB=https://b/1\r\n[Newer]\r\n");
        address()->setText(m_server.url("/").toString());
        UpdateWindow *w = m_windows->showUpdateWindow();
        w->setTrustedMirrors({address()->text()}); // as the built-in mirrors are
        app->prompter.answers = {true};
        QTest::mouseClick(w->checkProgramButton, Qt::LeftButton);
        QCOMPARE(app->downloads.size(), 1); // the setup, to the download dialog
        for (ThemedButton *b : {w->changelogButton, w->facebookButton, w->twitterButton})
            QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(app->shell.opened.mid(0, 2), QList<QUrl>({QUrl(urls::Changelog), QUrl(urls::FacebookPage)}));
        // A tweet that carries the web site, encoded, as its one query value.
        QCOMPARE(app->shell.opened[2].toString(QUrl::FullyEncoded),
                 QString(urls::TwitterTweet) + QUrl::toPercentEncoding(urls::WebSite));

        QTest::mouseClick(w->updateCatalogueButton, Qt::LeftButton);
        QVERIFY(w->restartButton->isVisibleTo(w) && !w->updateCatalogueButton->isVisibleTo(w));
        QTest::mouseClick(w->restartButton, Qt::LeftButton);
        QCOMPARE(app->window.appsPage->categories->items(), QStringList({"New", "Newer"}));
        QCOMPARE(w->catalogueVersionLabel->text(), "2013.03.08");
    }

    // A mirror that never answers: Cancel, or closing the window, stops the fetch at
    // once and leaves the catalogue as it was. While it runs, a second run cannot start.
    void cancellingStopsTheUpdate_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("Cancel") << false;
        QTest::newRow("closing the window") << true;
    }

    void cancellingStopsTheUpdate()
    {
        QFETCH(bool, close);
        QVERIFY(startProgram());
        m_server.serveBytes("/FOVersion.ini", "[Signature]\r\nVersion=2013.03.08\r\n");
        m_server.stallBeforeHeaders("/FOApps.def");
        address()->setText(m_server.url("/").toString());
        QPointer<UpdateWindow> w = m_windows->showUpdateWindow();
        w->setTrustedMirrors({address()->text()});
        w->setLimits({.connectTimeoutMs = 86400000, .idleTimeoutMs = 86400000}); // only a cancel ends the fetch
        auto *cancel = w->findChild<ThemedButton *>("cmdCancel");
        QVERIFY(cancel && !cancel->isVisibleTo(w));
        bool duringRun = false;
        connect(w->logView, &QPlainTextEdit::textChanged, this, [&] {
            if (w->logView->toPlainText().endsWith("Update running ..."))
                QTimer::singleShot(0, w, [&] { // within the hanging fetch
                    duringRun = cancel->isVisible() && !w->updateCatalogueButton->isEnabled()
                        && !w->checkProgramButton->isEnabled();
                    w->runProgramCheck();
                    close ? (void)w->close() : QTest::mouseClick(cancel, Qt::LeftButton);
                    // As a message box of another window would, before the check returns.
                    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                    duringRun = duringRun && w && w->isVisible() != close;
                });
        });
        const int asked = m_server.requestCount("/FOVersion.ini");
        QTest::mouseClick(w->updateCatalogueButton, Qt::LeftButton);
        QVERIFY(duringRun);
        QCOMPARE(m_server.requestCount("/FOVersion.ini"), asked + 1);
        QCOMPARE(readFile(dataFile("FOApps.def")), "[Old]\r\nA=https://a/1\r\n");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.isNull(), close);
        QVERIFY(close
                || (w->logView->toPlainText().endsWith("The installed catalogue is unchanged.")
                    && !cancel->isVisibleTo(w) && w->updateCatalogueButton->isEnabled()));
    }

    // The two ways the program opens the update window by itself: the start-up
    // question's Yes, and the automatic check, which runs only when switched on,
    // once, catalogue first.
    void startUpOpensTheUpdateWindow()
    {
        QVERIFY(startProgram());
        address()->setText(m_server.url("/").toString()); // asks nobody: not a trusted mirror
        m_windows->scheduleAutomaticCheck(0);
        QCoreApplication::processEvents();
        QVERIFY(!m_windows->updateWindow());
        app->window.optionsPage->autoUpdateCheck->setChecked(true);
        m_windows->scheduleAutomaticCheck(0);
        QTRY_VERIFY(m_windows->updateWindow() && !m_windows->updateWindow()->logView->toPlainText().isEmpty());
        const QString log = m_windows->updateWindow()->logView->toPlainText();
        QCOMPARE(log.count("Signatures found in FOApps.def"), 1);
        QVERIFY2(log.indexOf("FOApps.def") < log.indexOf("Version of Fetchora"), qPrintable(log));
        m_windows->updateWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(QFile::remove(dataFile("FOVersion.ini")));
        app->prompter.answers = {true};
        app->window.askForUpdateIfNeeded();
        QVERIFY(m_windows->updateWindow() && m_windows->updateWindow()->isVisible());
    }

    void switchingMirrorsOpensAFreshUpdateWindow_data()
    {
        QTest::addColumn<QString>("mirror"); // a button, or the custom address typed
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("base");
        // clang-format off
        QTest::newRow("German") << "cmdGermanMirror" << "German" << germanMirror();
        QTest::newRow("custom") << "txtCustomMirror" << "Custom" << "https://mirror.example.net/";
        // clang-format on
    }

    void switchingMirrorsOpensAFreshUpdateWindow()
    {
        QFETCH(QString, mirror);
        QFETCH(QString, name);
        QFETCH(QString, base);
        QVERIFY(startProgram());
        m_windows->showUpdateWindow()->addToLog("from before the switch");
        MirrorWindow *m = m_windows->showMirrorWindow();
        if (auto *button = m->findChild<ThemedButton *>(mirror))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            QTest::keyClicks(m->customMirrorEdit, "mirror.example.net/\r");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(address()->text(), base);
        QCOMPARE(app->window.tabs->currentIndex(), int(MainWindow::TabOptions));
        QVERIFY(app->prompter.messages.value(0).text.startsWith(name + " Mirror successfully activated."));
        // The installed version is forgotten, so the next update fetches everything.
        UpdateWindow *w = m_windows->updateWindow();
        QVERIFY(w && w->isVisible() && w->logView->toPlainText().isEmpty());
        QCOMPARE(w->catalogueVersionLabel->text(), "Unknown");
        // A custom mirror is untrusted; the mark follows the address as it is edited, and
        // the catalogue update stays off until the window starts afresh.
        QCOMPARE(w->updateCatalogueButton->isEnabled(), name != "Custom");
        address()->setText(internationalMirror().chopped(1));
        QCOMPARE(w->sourceLabel->text(), "This Update Source is unknown. Update feature has been disabled.");
        QVERIFY(!w->updateCatalogueButton->isEnabled() && w->checkProgramButton->isEnabled());
        address()->setText(internationalMirror());
        QVERIFY(w->trustedImage->isVisibleTo(w) && !w->untrustedImage->isVisibleTo(w)
                && !w->updateCatalogueButton->isEnabled());
        // The mirror window offers the custom address again.
        QCOMPARE(m_windows->showMirrorWindow()->customMirrorEdit->text(), name == "German" ? "https://" : base);
    }
};

QTEST_MAIN(TestUpdateWindows)
#include "tst_updatewindows.moc"
