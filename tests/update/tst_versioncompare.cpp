#include "ProductUrls.h"
#include "update/UpdateSource.h"
#include "update/VersionCompare.h"

#include <QStringList>
#include <QTest>
#include <QUrl>

using namespace fetchora;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// The same mirror with the letters of its host in upper case: a different
// string, although a browser would reach the same server with it.
QString withUpperCaseHost(const QString &base)
{
    const QString host = QUrl(base).host();
    QString out = base;
    out.replace(host, host.toUpper());
    return out;
}

} // namespace

class VersionCompareTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compare_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected"); // sign only

        // Parts are numbers, not text: "10" is newer than "9".
        QTest::newRow("2.1.10 > 2.1.9") << "2.1.10" << "2.1.9" << 1;
        QTest::newRow("1.10 > 1.9") << "1.10" << "1.9" << 1;
        QTest::newRow("10 > 9") << "10" << "9" << 1;
        QTest::newRow("10.0 > 9.99") << "10.0" << "9.99" << 1;
        // Catalogue versions are dates.
        QTest::newRow("2013.03.08 > 2013.03.01") << "2013.03.08" << "2013.03.01" << 1;
        QTest::newRow("2013.10.01 > 2013.09.30") << "2013.10.01" << "2013.09.30" << 1;
        QTest::newRow("2014.01.01 > 2013.12.31") << "2014.01.01" << "2013.12.31" << 1;
        QTest::newRow("leading zeros are the same number") << "2013.03.08" << "2013.3.8" << 0;
        QTest::newRow("equal") << "2.1.5" << "2.1.5" << 0;
        QTest::newRow("equal dates") << "2013.03.08" << "2013.03.08" << 0;
        QTest::newRow("minor decides") << "2.1.5" << "2.2.0" << -1;
        QTest::newRow("major decides over longer tail") << "3" << "2.9.9" << 1;
        // A missing part counts as 0.
        QTest::newRow("2.1 == 2.1.0") << "2.1" << "2.1.0" << 0;
        QTest::newRow("2.1.0.0 == 2.1") << "2.1.0.0" << "2.1" << 0;
        QTest::newRow("2.1 < 2.1.1") << "2.1" << "2.1.1" << -1;
        QTest::newRow("2.1.0.1 > 2.1") << "2.1.0.1" << "2.1" << 1;
        // Parts that are not numbers compare by their character codes.
        QTest::newRow("1.0b > 1.0a") << "1.0b" << "1.0a" << 1;
        QTest::newRow("1.0a < 1.0b") << "1.0a" << "1.0b" << -1;
        QTest::newRow("1.0a > 1.0") << "1.0a" << "1.0" << 1;
        QTest::newRow("upper case before lower case") << "1.0B" << "1.0a" << -1;
        QTest::newRow("letter after digit") << "2.1.b" << "2.1.10" << 1;
        QTest::newRow("beta == beta") << "2.1.beta" << "2.1.beta" << 0;
        // Nothing is older than anything.
        QTest::newRow("empty < 1") << "" << "1" << -1;
        QTest::newRow("empty < 0") << "" << "0" << -1;
        QTest::newRow("empty < 2013.03.01") << "" << "2013.03.01" << -1;
        QTest::newRow("empty < text") << "" << "a" << -1;
        QTest::newRow("empty == empty") << "" << "" << 0;
    }

    void compare()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);

        QCOMPARE(sign(compareVersions(a, b)), expected);
        // Asked the other way round, the answer turns over.
        QCOMPARE(sign(compareVersions(b, a)), -expected);
    }

    void sortedVersionsKeepTheirOrder()
    {
        // Strictly ascending: every pair must come out in list order.
        const QStringList ascending = {
            QString(),   "0.9",      "1",         "1.0.1",      "1.0a",       "1.0b",
            "1.2",       "1.10",     "2.1.5",     "2.1.9",      "2.1.10",     "2.2",
            "10.0",      "2013.03.01", "2013.03.08", "2013.10.01", "2014.01.01",
        };
        for (qsizetype i = 0; i < ascending.size(); ++i) {
            for (qsizetype j = 0; j < ascending.size(); ++j) {
                const int expected = (i > j) - (i < j);
                const int got = sign(compareVersions(ascending[i], ascending[j]));
                if (got != expected)
                    QFAIL(qPrintable(QStringLiteral("compareVersions(\"%1\", \"%2\") gave %3, expected %4")
                                         .arg(ascending[i], ascending[j])
                                         .arg(got)
                                         .arg(expected)));
            }
        }
    }

    void orderIsConsistent()
    {
        // Versions as they turn up in version files, equal ones included.
        const QStringList versions = {
            QString(), "0", "0.0", "1", "1.0", "1.0.0", "1.0a", "1.0b", "1.0B", "1.a", "1.10",
            "1.9", "2.1", "2.1.0", "2.1.9", "2.1.10", "2.1.b", "2013.03.01", "2013.3.1",
            "2013.03.08", "beta", "Beta",
        };
        for (const QString &a : versions) {
            QVERIFY2(compareVersions(a, a) == 0, qPrintable(a));
            for (const QString &b : versions) {
                const int ab = sign(compareVersions(a, b));
                const int ba = sign(compareVersions(b, a));
                if (ab != -ba)
                    QFAIL(qPrintable(QStringLiteral("\"%1\" vs \"%2\" gave %3 but the reverse gave %4")
                                         .arg(a, b)
                                         .arg(ab)
                                         .arg(ba)));
                for (const QString &c : versions) {
                    const int bc = sign(compareVersions(b, c));
                    const int ac = sign(compareVersions(a, c));
                    if (ab <= 0 && bc <= 0 && ac > 0)
                        QFAIL(qPrintable(QStringLiteral("\"%1\" <= \"%2\" <= \"%3\" but \"%1\" > \"%3\"")
                                             .arg(a, b, c)));
                    if (ab == 0 && bc == 0 && ac != 0)
                        QFAIL(qPrintable(QStringLiteral("\"%1\" == \"%2\" == \"%3\" but \"%1\" != \"%3\"")
                                             .arg(a, b, c)));
                }
            }
        }
    }

    void builtInMirrorsAreTheConfiguredOnes()
    {
        QCOMPARE(internationalMirror(), QString::fromLatin1(urls::MirrorInternational));
        QCOMPARE(germanMirror(), QString::fromLatin1(urls::MirrorGerman));
        QCOMPARE(frenchMirror(), QString::fromLatin1(urls::MirrorFrench));
    }

    void trustedMirror_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("trusted");

        const QString international = QString::fromLatin1(urls::MirrorInternational);
        QTest::newRow("international") << international << true;
        QTest::newRow("german") << QString::fromLatin1(urls::MirrorGerman) << true;
        QTest::newRow("french") << QString::fromLatin1(urls::MirrorFrench) << true;

        QString withoutSlash = international;
        withoutSlash.chop(1);
        QTest::newRow("no trailing slash") << withoutSlash << false;
        QTest::newRow("upper-case host") << withUpperCaseHost(international) << false;
        QTest::newRow("upper-case path") << international.left(international.indexOf(QUrl(international).path()))
                                                 + QUrl(international).path().toUpper()
                                          << false;
        QString plainHttp = international;
        plainHttp.replace(QLatin1String("https://"), QLatin1String("http://"));
        QTest::newRow("http instead of https") << plainHttp << false;
        QTest::newRow("two slashes at the end") << international + "/" << false;
        QTest::newRow("sub-folder") << international + "beta/" << false;
        QTest::newRow("leading blank") << " " + international << false;
        QTest::newRow("trailing blank") << international + " " << false;
        QTest::newRow("query added") << international + "?x=1" << false;
        QTest::newRow("other host") << "https://mirror.example.net/fetchora_latest/" << false;
        QTest::newRow("loopback") << "http://127.0.0.1:8080/" << false;
        QTest::newRow("empty") << QString() << false;
    }

    void trustedMirror()
    {
        QFETCH(QString, base);
        QFETCH(bool, trusted);
        QCOMPARE(isTrustedMirror(base), trusted);

        const QUrl url = versionFileUrl(base);
        if (trusted) {
            QCOMPARE(url.toString(), base + QStringLiteral("FOVersion.ini"));
            QVERIFY(url.isValid());
        } else {
            // A custom mirror is never asked; the local version file is read instead.
            QVERIFY2(url.isEmpty(), qPrintable(url.toString()));
        }
    }

    void bareFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("FOApps.def") << "FOApps.def" << true;
        QTest::newRow("FInstalls.def") << "FInstalls.def" << true;
        QTest::newRow("FOBlacklist.def") << "FOBlacklist.def" << true;
        QTest::newRow("inner blank") << "my file.def" << true;
        QTest::newRow("no extension") << "README" << true;

        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "/" << false;
        QTest::newRow("backslash") << "\\" << false;
        QTest::newRow("../x") << "../x" << false;
        QTest::newRow("../evil.def") << "../evil.def" << false;
        QTest::newRow("..\\evil.def") << "..\\evil.def" << false;
        QTest::newRow("sub/x.def") << "sub/x.def" << false;
        QTest::newRow("sub\\x.def") << "sub\\x.def" << false;
        QTest::newRow("C:x") << "C:x" << false;
        QTest::newRow("C:\\x") << "C:\\x" << false;
        QTest::newRow("C:/x.def") << "C:/x.def" << false;
        QTest::newRow("/etc/passwd") << "/etc/passwd" << false;
        QTest::newRow("UNC") << "\\\\server\\share\\x.def" << false;
        QTest::newRow("trailing slash") << "FOApps.def/" << false;
        QTest::newRow("leading blank") << " FOApps.def" << false;
        QTest::newRow("trailing blank") << "FOApps.def " << false;
        QTest::newRow("trailing tab") << "FOApps.def\t" << false;
        QTest::newRow("newline inside") << "FOApps\n.def" << false;
        QTest::newRow("carriage return at end") << "FOApps.def\r" << false;
        QTest::newRow("NUL inside") << QString(QStringLiteral("FOApps.def") + QChar(0) + QStringLiteral("x")) << false;
        QTest::newRow("escape") << QString(QChar(0x1b) + QStringLiteral("x.def")) << false;
    }

    void bareFileName()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QCOMPARE(isBareFileName(name), accepted);
    }
};

QTEST_GUILESS_MAIN(VersionCompareTest)
#include "tst_versioncompare.moc"
