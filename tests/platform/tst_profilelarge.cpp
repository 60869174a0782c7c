#include "TestSupport.h"
#include "platform/ProfileEngine.h"

#include <QTemporaryDir>
#include <QTest>

using namespace fetchora;

// Large files are read in pieces; everything that can fall on the edge of a
// piece (a line end, a CRLF pair, a multi-byte character, a header, a line
// longer than a piece) must read exactly as in a small file.
class TestProfileLarge : public QObject
{
    Q_OBJECT

private:
    // Sections "S<i>" with one key each, padded so that headers, line ends and
    // characters land on every offset around the piece boundaries.
    static QByteArray build(const QByteArray &eol, int sections, QByteArray *tail = nullptr)
    {
        QByteArray out;
        for (int i = 0; i < sections; ++i) {
            out += "[S" + QByteArray::number(i) + "]" + eol;
            out += "Key=caf\xC3\xA9-" + QByteArray(i % 97, 'x') + eol;
            out += "Pad" + QByteArray::number(i) + "=" + QByteArray(1 + (i * 7919) % 1500, 'p') + eol;
        }
        if (tail)
            out += *tail;
        return out;
    }

private Q_SLOTS:
    void piecesDoNotChangeWhatIsRead_data()
    {
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("CRLF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void piecesDoNotChangeWhatIsRead()
    {
        QFETCH(QByteArray, eol);
        QTemporaryDir dir;
        const QString path = dir.filePath("big.def");
        const int count = 3000; // well over a megabyte
        QVERIFY(test::writeFile(path, build(eol, count)));
        ProfileEngine engine;
        const QStringList names = engine.sectionNames(path);
        QCOMPARE(names.size(), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(names[i], QString("S%1").arg(i));
            const QString key = engine.readString(path, names[i], "Key");
            QCOMPARE(key, QString::fromUtf8("caf\xC3\xA9-") + QString(i % 97, 'x'));
            QCOMPARE(engine.readString(path, names[i], "Pad" + QString::number(i)).size(),
                     1 + (i * 7919) % 1500);
            QCOMPARE(engine.keyNames(path, names[i]), QStringList({"Key", "Pad" + QString::number(i)}));
        }
        QCOMPARE(engine.fileEncoding(path), TextEncoding::Utf8);
    }

    void oneBadByteAtTheEndMakesTheWholeFileWindows1252()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("big.def");
        QByteArray tail = "[Last]\r\nName=\xE9t\xE9\r\n";
        QVERIFY(test::writeFile(path, build("\r\n", 800, &tail)));
        ProfileEngine engine;
        QCOMPARE(engine.fileEncoding(path), TextEncoding::Windows1252);
        QCOMPARE(engine.readString(path, "Last", "Name"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
        // The UTF-8 bytes near the start now read as two Windows-1252 characters.
        QCOMPARE(engine.readString(path, "S0", "Key"), QString::fromUtf8("caf\xC3\x83\xC2\xA9-"));
    }

    void aLineLongerThanAPiece()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.def");
        const QByteArray huge(3 * 1024 * 1024, 'v');
        QVERIFY(test::writeFile(path, "[A]\r\nLong=" + huge + "\r\n[B]\r\nShort=s"));
        ProfileEngine engine;
        QCOMPARE(engine.sectionNames(path), QStringList({"A", "B"}));
        QCOMPARE(engine.readString(path, "A", "Long").size(), huge.size());
        QCOMPARE(engine.readString(path, "B", "Short"), QString("s"));
    }

    void aFileCutShortAfterItWasReadGivesNoGarbage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cut.def");
        QVERIFY(test::writeFile(path, build("\n", 2000)));
        ProfileEngine engine;
        QCOMPARE(engine.sectionNames(path).size(), 2000);
        // Another program truncates the file; the next call sees the change.
        QVERIFY(test::writeFile(path, "[S0]\nKey=new\n"));
        QCOMPARE(engine.sectionNames(path), QStringList({"S0"}));
        QCOMPARE(engine.readString(path, "S0", "Key"), QString("new"));
        QVERIFY(engine.readString(path, "S1999", "Key").isEmpty());
    }

    void editsInALargeFileKeepEveryOtherByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("edit.def");
        const QByteArray before = build("\r\n", 1500);
        QVERIFY(test::writeFile(path, before));
        ProfileEngine engine;
        QVERIFY(engine.writeString(path, "S1000", "Key", "changed"));
        QByteArray expected = before;
        const QByteArray oldLine = "[S1000]\r\nKey=caf\xC3\xA9-" + QByteArray(1000 % 97, 'x') + "\r\n";
        const qsizetype at = expected.indexOf(oldLine);
        QVERIFY(at > 0);
        expected.replace(at, oldLine.size(), "[S1000]\r\nKey=changed\r\n");
        QCOMPARE(test::readFile(path), expected);
        QCOMPARE(engine.readString(path, "S1000", "Key"), QString("changed"));
    }
};

QTEST_GUILESS_MAIN(TestProfileLarge)
#include "tst_profilelarge.moc"
