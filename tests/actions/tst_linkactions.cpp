// Tests for the addresses built from a link and for starting command entries,
// with real processes.

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

        QCOMPARE(browserUrl("  https://example.org/a b ").toEncoded(), "https://example.org/a%20b");
        QCOMPARE(browserUrl("www.example.org/page").scheme(), "http");
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
