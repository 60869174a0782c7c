// Tests for the addresses built from a link and for starting command entries;
// what reaches the browser is captured.

#include "TestSupport.h"

#include "actions/LinkActions.h"

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
        QCOMPARE(QUrlQuery(mail).queryItems(QUrl::FullyDecoded),
                 (QList<std::pair<QString, QString>>{{"Subject", "Subject & more?"}, {"Body", "Body: " + link}}));
        QVERIFY(QUrlQuery(blockDirectDownloadMail(link)).queryItemValue("Body", QUrl::FullyDecoded).contains(link));
    }

    // A catalogue line is text anyone can edit or ship in a mirror: only web
    // addresses go to the browser.
    void onlyWebAddressesOpen_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // empty: refused
        // clang-format off
        QTest::newRow("blanks, no scheme") << " www.example.org/a b " << "http://www.example.org/a%20b";
        QTest::newRow("capitals") << "HTTPS://Example.org/x" << "https://example.org/x";
        for (const char *link : {"file:///etc/passwd", "FILE:/etc/passwd", "/etc/passwd", "C:\\Windows\\notepad.exe",
                                 "\\\\server\\share\\tool.exe", "smb://server/share/tool.exe", "javascript:alert(1)",
                                 "https:///no-host", "mailto:someone@example.org", "  "})
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
        QCOMPARE(shell.opened.value(0).toEncoded(), opened.toLatin1());
        QCOMPARE(prompter.messages.value(0).text.contains(link), opened.isEmpty()); // what is refused is named
    }

    // Starting one is tested with the main window's command entries.
    void failedCommandEntriesSaySo()
    {
        QString error, blank;
        QVERIFY(!startCommandLine("/nonexistent/program --flag", &error)
                && error.contains("/nonexistent/program --flag"));
        QVERIFY(!startCommandLine("   ", &blank) && !blank.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLinkActions)
#include "tst_linkactions.moc"
