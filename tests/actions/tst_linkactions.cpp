#include "TestSupport.h"
#include "ProductUrls.h"
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
    void blockMailCarriesTheLinkWhole()
    {
        const QString link = "https://example.org/get?a=1&b=2#part 100%";
        const QUrl url = blockDirectDownloadMail(link);
        QCOMPARE(url.scheme(), QString("mailto"));
        QCOMPARE(url.path(), QString::fromLatin1(urls::FeedbackMail));
        const QByteArray encoded = url.toEncoded();
        QCOMPARE(encoded,
                 "mailto:" + QByteArray(urls::FeedbackMail)
                     + "?Subject=Direct%20Download%20not%20allowed."
                       "&Body=Please%20Prevent%20this%20Fetchora%20ID%3A%20"
                       "https%3A%2F%2Fexample.org%2Fget%3Fa%3D1%26b%3D2%23part%20100%25"
                       "%20from%20Direct%20Download.");
        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue("Body", QUrl::FullyDecoded),
                 "Please Prevent this Fetchora ID: " + link + " from Direct Download.");
        QCOMPARE(query.queryItemValue("Subject", QUrl::FullyDecoded), QString("Direct Download not allowed."));
    }

    void browserAddresses()
    {
        QCOMPARE(browserUrl("https://example.org/a b").toString(QUrl::FullyEncoded),
                 QString("https://example.org/a%20b"));
        QCOMPARE(browserUrl("  https://example.org/x  ").host(), QString("example.org"));
        QCOMPARE(browserUrl("www.example.org/page").scheme(), QString("http"));
    }

    void notAvailableQuestion()
    {
        QCOMPARE(ddlNotAvailableTitle("7-Zip"), QString("DDL not available for 7-Zip"));
        QCOMPARE(ddlNotAvailableText("7-Zip", "https://7-zip.org/"),
                 QString("A Direct Download Link for \"7-Zip\" is not available.\r\n"
                         "Do you want instead to open the Download page?\r\n"
                         " \r\n"
                         "This Download page is secure: https://7-zip.org/"));
    }

    void commandLinesStartRealProcesses()
    {
        QTemporaryDir dir;
        const QString marker = dir.filePath("ran.txt");
        QString error;
        QVERIFY2(startCommandLine("touch \"" + marker + "\"", &error), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 5000);

        QVERIFY(!startCommandLine("/nonexistent/program --flag", &error));
        QVERIFY(error.contains("/nonexistent/program --flag"));
        QVERIFY(!startCommandLine("   ", &error));
    }
};

QTEST_GUILESS_MAIN(TestLinkActions)
#include "tst_linkactions.moc"
