// Tests for the addresses built from a link and for starting command entries,
// with real processes; what reaches the browser is captured.

#include "TestSupport.h"

#include "actions/LinkActions.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace fetchora;

class TestLinkActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Whatever a link holds, the mail client gets subject and body whole.
    void mailAddressesCarryTheirTextWhole()
    {
        const QString link = "https://example.org/get?a=1&b=2+3#part 100%";
        const QUrl mail = mailUrl("someone@example.org", "Subject & more?", "Body: " + link);
        QCOMPARE(mail.path(), "someone@example.org");
        const QUrlQuery query(mail);
        QCOMPARE(query.queryItems().size(), 2);
        QCOMPARE(query.queryItemValue("Subject", QUrl::FullyDecoded), "Subject & more?");
        QCOMPARE(query.queryItemValue("Body", QUrl::FullyDecoded), "Body: " + link);
        QVERIFY(QUrlQuery(blockDirectDownloadMail(link)).queryItemValue("Body", QUrl::FullyDecoded).contains(link));
    }

    // A catalogue line is text anyone can edit or ship in a mirror: only web
    // addresses go to the browser.
    void onlyWebAddressesOpen_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // empty: refused
        // clang-format off
        QTest::newRow("blanks") << "  https://example.org/a b " << "https://example.org/a%20b";
        QTest::newRow("no scheme") << "www.example.org/page" << "http://www.example.org/page";
        QTest::newRow("capitals") << "HTTP://Example.org/x" << "http://example.org/x";
        for (const char *link : {"file:///etc/passwd", "FILE:/etc/passwd", "/etc/passwd", "C:\\Windows\\notepad.exe",
                                 "\\\\server\\share\\tool.exe", "smb://server/share/tool.exe", "javascript:alert(1)",
                                 "data:text/html,<b>x</b>", "https:///no-host", "mailto:someone@example.org", "", "  "})
            QTest::newRow(link) << link << "";
        // clang-format on
    }

    void onlyWebAddressesOpen()
    {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        test::RecordingShell shell;
        test::ScriptedPrompter prompter;
        QCOMPARE(openWebLink(shell, prompter, link), !opened.isEmpty());
        QCOMPARE(shell.opened.isEmpty() ? QString() : shell.opened.first().toEncoded(), opened);
        // What is refused is named in a warning.
        QCOMPARE(prompter.messages.size() == 1 && prompter.messages.first().text.contains(link), opened.isEmpty());
    }

    void commandEntriesStartOrSayWhichFailed()
    {
        QTemporaryDir dir;
        const QString marker = dir.filePath("ran.txt");
        QString error;
        QVERIFY2(startCommandLine("touch \"" + marker + "\"", &error), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);
        QVERIFY(!startCommandLine("/nonexistent/program --flag", &error));
        QVERIFY(error.contains("/nonexistent/program --flag"));
        error.clear();
        QVERIFY(!startCommandLine("   ", &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLinkActions)
#include "tst_linkactions.moc"
