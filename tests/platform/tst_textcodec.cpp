// Tests for the text codec behind the INI files people edit by hand: how a file's
// bytes are classified (UTF-8, UTF-8 with a byte order mark, Windows-1252) and how
// text goes to and from Windows-1252 without losing a single byte.

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <QtTest>

#include <optional>

using namespace fetchora;

namespace {

#define BYTES(s) QByteArray((s), int(sizeof(s) - 1))

// A deliberately plain, byte-by-byte UTF-8 checker used as a second opinion for
// the randomised comparison below: shortest form only, no surrogates, nothing
// above U+10FFFF, no truncated sequences.
bool referenceValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// The code points Windows-1252 assigns to 0x80..0x9F; 0 marks the five bytes the
// code page leaves unassigned (for those only a lossless round trip matters).
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

Q_DECLARE_METATYPE(fetchora::TextEncoding)

class TestTextCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");

        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ascii") << BYTES("[General]\r\nKey=value\n") << true;
        QTest::newRow("nul inside") << BYTES("a\0b") << true;
        QTest::newRow("two-byte e acute") << BYTES("caf\xC3\xA9") << true;
        QTest::newRow("lowest two-byte U+0080") << BYTES("\xC2\x80") << true;
        QTest::newRow("highest two-byte U+07FF") << BYTES("\xDF\xBF") << true;
        QTest::newRow("lowest three-byte U+0800") << BYTES("\xE0\xA0\x80") << true;
        QTest::newRow("euro sign") << BYTES("\xE2\x82\xAC") << true;
        QTest::newRow("cjk") << BYTES("\xE6\xBC\xA2") << true;
        QTest::newRow("last before surrogates U+D7FF") << BYTES("\xED\x9F\xBF") << true;
        QTest::newRow("first after surrogates U+E000") << BYTES("\xEE\x80\x80") << true;
        QTest::newRow("byte order mark U+FEFF") << BYTES("\xEF\xBB\xBF") << true;
        QTest::newRow("U+FFFF") << BYTES("\xEF\xBF\xBF") << true;
        QTest::newRow("lowest four-byte U+10000") << BYTES("\xF0\x90\x80\x80") << true;
        QTest::newRow("emoji") << BYTES("\xF0\x9F\x98\x80") << true;
        QTest::newRow("highest U+10FFFF") << BYTES("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("mixed text")
            << BYTES("[\xC3\x84RGER]\nk=\xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\xBC\xA2\n") << true;

        QTest::newRow("lone continuation") << BYTES("\x80") << false;
        QTest::newRow("continuation after ascii") << BYTES("abc\xBF") << false;
        QTest::newRow("cp1252 e acute") << BYTES("caf\xE9") << false;
        QTest::newRow("cp1252 e acute before ascii") << BYTES("caf\xE9s") << false;
        QTest::newRow("overlong nul C0 80") << BYTES("\xC0\x80") << false;
        QTest::newRow("overlong slash C0 AF") << BYTES("\xC0\xAF") << false;
        QTest::newRow("overlong C1 BF") << BYTES("\xC1\xBF") << false;
        QTest::newRow("overlong three-byte E0 80 80") << BYTES("\xE0\x80\x80") << false;
        QTest::newRow("overlong three-byte U+07FF") << BYTES("\xE0\x9F\xBF") << false;
        QTest::newRow("overlong four-byte F0 80 80 80") << BYTES("\xF0\x80\x80\x80") << false;
        QTest::newRow("overlong four-byte U+FFFF") << BYTES("\xF0\x8F\xBF\xBF") << false;
        QTest::newRow("high surrogate U+D800") << BYTES("\xED\xA0\x80") << false;
        QTest::newRow("low surrogate U+DFFF") << BYTES("\xED\xBF\xBF") << false;
        QTest::newRow("surrogate pair as CESU") << BYTES("\xED\xA0\xBD\xED\xB8\x80") << false;
        QTest::newRow("above U+10FFFF") << BYTES("\xF4\x90\x80\x80") << false;
        QTest::newRow("F5 lead") << BYTES("\xF5\x80\x80\x80") << false;
        QTest::newRow("F8 five-byte lead") << BYTES("\xF8\x88\x80\x80\x80") << false;
        QTest::newRow("FE") << BYTES("\xFE") << false;
        QTest::newRow("FF") << BYTES("\xFF") << false;
        QTest::newRow("two-byte cut at end") << BYTES("abc\xC3") << false;
        QTest::newRow("three-byte cut at end") << BYTES("abc\xE2\x82") << false;
        QTest::newRow("four-byte cut at end") << BYTES("abc\xF0\x9F\x98") << false;
        QTest::newRow("two-byte lead before ascii") << BYTES("\xC3" "A") << false;
        QTest::newRow("three-byte lead before line end") << BYTES("\xE2\x82\n") << false;
        QTest::newRow("four-byte with ascii in tail") << BYTES("\xF0\x9F" "A" "\x80") << false;
        QTest::newRow("bad byte after long ascii run") << BYTES("abcdefghijklmnopqrstuvwxyz\xE9") << false;
        QTest::newRow("bad byte between ascii runs") << BYTES("abcdefghijklmnop\x80qrstuvwxyz012345") << false;
    }

    void validUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(isValidUtf8(bytes), valid);
    }

    // A checker that skips over plain ASCII in blocks must still see a bad byte, or a
    // sequence cut by the end of the data, wherever it sits relative to a block.
    void validUtf8AtEveryOffset_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("valid");
        QTest::newRow("cp1252 byte") << BYTES("\xE9") << false;
        QTest::newRow("cut two-byte") << BYTES("\xC3") << false;
        QTest::newRow("cut four-byte") << BYTES("\xF0\x9F\x98") << false;
        QTest::newRow("surrogate") << BYTES("\xED\xA0\x80") << false;
        QTest::newRow("good two-byte") << BYTES("\xC3\xA9") << true;
        QTest::newRow("good four-byte") << BYTES("\xF0\x9F\x98\x80") << true;
    }

    void validUtf8AtEveryOffset()
    {
        QFETCH(QByteArray, tail);
        QFETCH(bool, valid);
        for (int before = 0; before <= 33; ++before) {
            for (int after = 0; after <= 17; after += 17) {
                const QByteArray bytes = QByteArray(before, 'a') + tail + QByteArray(after, 'z');
                QVERIFY2(isValidUtf8(bytes) == valid,
                         qPrintable(QStringLiteral("%1 ASCII bytes before, %2 after").arg(before).arg(after)));
            }
        }
    }

    void validUtf8AgreesWithPlainChecker()
    {
        // Bytes biased towards lead and continuation bytes so that almost every kind
        // of good and broken sequence turns up; the seed is fixed so a failure repeats.
        QRandomGenerator gen(20240611);
        const QByteArray pool = BYTES("aZ=\n\x80\x8F\x9F\xA0\xBF\xC0\xC1\xC2\xC3\xDF\xE0\xE1\xEC\xED\xEE\xEF"
                                      "\xF0\xF1\xF3\xF4\xF5\xF8\xFF");
        int validSeen = 0;
        int invalidSeen = 0;
        for (int round = 0; round < 20000; ++round) {
            const int len = int(gen.bounded(1, 12));
            QByteArray bytes;
            for (int i = 0; i < len; ++i)
                bytes.append(pool.at(int(gen.bounded(pool.size()))));
            const bool expected = referenceValidUtf8(bytes);
            expected ? ++validSeen : ++invalidSeen;
            QVERIFY2(isValidUtf8(bytes) == expected, bytes.toHex(' ').constData());
            // Qt's own decoder must agree that valid input decodes without replacement.
            if (expected)
                QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
        }
        QVERIFY(validSeen > 100);
        QVERIFY(invalidSeen > 100);
    }

    void detectEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("expected");

        QTest::newRow("empty") << QByteArray() << TextEncoding::Utf8;
        QTest::newRow("ascii") << BYTES("[A]\nk=1\n") << TextEncoding::Utf8;
        QTest::newRow("utf-8 text") << BYTES("[A]\nk=caf\xC3\xA9\n") << TextEncoding::Utf8;
        QTest::newRow("bom and ascii") << BYTES("\xEF\xBB\xBF[A]\nk=1\n") << TextEncoding::Utf8Bom;
        QTest::newRow("bom and utf-8 text") << BYTES("\xEF\xBB\xBFk=caf\xC3\xA9") << TextEncoding::Utf8Bom;
        QTest::newRow("bom only") << BYTES("\xEF\xBB\xBF") << TextEncoding::Utf8Bom;
        QTest::newRow("bom not at start") << BYTES("a\xEF\xBB\xBF") << TextEncoding::Utf8;
        QTest::newRow("cp1252 e acute") << BYTES("[A]\nk=caf\xE9\n") << TextEncoding::Windows1252;
        QTest::newRow("cp1252 euro") << BYTES("k=\x80") << TextEncoding::Windows1252;
        QTest::newRow("cp1252 smart quotes") << BYTES("k=\x93quoted\x94") << TextEncoding::Windows1252;
        QTest::newRow("utf-8 then one bad byte at the end")
            << BYTES("k=caf\xC3\xA9\nz=\xE9") << TextEncoding::Windows1252;
        QTest::newRow("bom then bad byte") << BYTES("\xEF\xBB\xBFk=\xE9") << TextEncoding::Windows1252;
        QTest::newRow("cut bom") << BYTES("\xEF\xBB[A]") << TextEncoding::Windows1252;
    }

    void detectEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, expected);
        QCOMPARE(fetchora::detectEncoding(bytes), expected);
    }

    void decodeUtf8()
    {
        const QByteArray bytes = BYTES("[\xC3\x84RGER]\nk=\xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\xBC\xA2");
        const QString expected = QStringLiteral("[ÄRGER]\nk=€ 😀 漢");
        QCOMPARE(decodeText(bytes, TextEncoding::Utf8), expected);
        // The caller has already stepped over the byte order mark; the text is the same.
        QCOMPARE(decodeText(bytes, TextEncoding::Utf8Bom), expected);
        QCOMPARE(decodeText(QByteArray(), TextEncoding::Utf8), QString());
    }

    void encodeUtf8()
    {
        const QString text = QStringLiteral("café € 😀 漢");
        const QByteArray expected = BYTES("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\xBC\xA2");
        QByteArray out;
        QVERIFY(encodeText(text, TextEncoding::Utf8, &out));
        QCOMPARE(out, expected);

        QByteArray withBom;
        QVERIFY(encodeText(text, TextEncoding::Utf8Bom, &withBom));
        // Whether or not the mark is added here, the text itself must be plain UTF-8.
        QVERIFY(withBom == expected || withBom == BYTES("\xEF\xBB\xBF") + expected);

        QByteArray empty = "stale";
        QVERIFY(encodeText(QString(), TextEncoding::Utf8, &empty));
        QVERIFY(empty.isEmpty());
    }

    void windows1252DecodesKnownBytes()
    {
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            const QString text = decodeText(one, TextEncoding::Windows1252);
            QVERIFY2(text.size() == 1, qPrintable(QStringLiteral("byte 0x%1").arg(b, 2, 16, QLatin1Char('0'))));
            const char16_t got = text.at(0).unicode();
            char16_t expected = char16_t(b);
            if (b >= 0x80 && b <= 0x9F) {
                expected = kHigh[b - 0x80];
                if (expected == 0)
                    continue; // unassigned byte: only the round trip below matters
            }
            QVERIFY2(got == expected, qPrintable(QStringLiteral("byte 0x%1 gave U+%2, expected U+%3")
                                                     .arg(b, 2, 16, QLatin1Char('0'))
                                                     .arg(int(got), 4, 16, QLatin1Char('0'))
                                                     .arg(int(expected), 4, 16, QLatin1Char('0'))));
        }
        QCOMPARE(decodeText(BYTES("caf\xE9 \x80 \x93x\x94"), TextEncoding::Windows1252),
                 QStringLiteral("café € “x”"));
    }

    void windows1252RoundTripsAllBytes()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));

        const QString text = decodeText(all, TextEncoding::Windows1252);
        QCOMPARE(text.size(), 256);

        // Every byte must decode to a character of its own, or two different bytes
        // would be written back as the same one.
        QSet<char16_t> distinct;
        for (QChar ch : text)
            distinct.insert(ch.unicode());
        QCOMPARE(distinct.size(), 256);

        QByteArray back;
        QVERIFY(encodeText(text, TextEncoding::Windows1252, &back));
        QCOMPARE(back, all);

        // The same in reverse order and repeated, so position does not matter.
        QByteArray mixed;
        for (int i = 0; i < 3; ++i)
            for (int b = 255; b >= 0; --b)
                mixed.append(char(b));
        QByteArray mixedBack;
        QVERIFY(encodeText(decodeText(mixed, TextEncoding::Windows1252), TextEncoding::Windows1252, &mixedBack));
        QCOMPARE(mixedBack, mixed);
    }

    void windows1252EncodesText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ascii") << QStringLiteral("Key=value") << BYTES("Key=value");
        QTest::newRow("latin-1 letters") << QStringLiteral("café Ärger ÿ") << BYTES("caf\xE9 \xC4rger \xFF");
        QTest::newRow("euro") << QStringLiteral("€") << BYTES("\x80");
        QTest::newRow("smart quotes and dashes") << QStringLiteral("“a” ‘b’ – —")
                                                 << BYTES("\x93" "a\x94 \x91" "b\x92 \x96 \x97");
        QTest::newRow("Y diaeresis and trade mark") << QStringLiteral("Ÿ™") << BYTES("\x9F\x99");
        QTest::newRow("empty") << QString() << QByteArray();
        // NUL is a character like any other: it neither ends nor shortens the text.
        QTest::newRow("NUL inside") << QStringLiteral("a\0b\0\0c") << BYTES("a\0b\0\0c");
    }

    void windows1252EncodesText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QByteArray out;
        QVERIFY(encodeText(text, TextEncoding::Windows1252, &out));
        QCOMPARE(out, expected);
        QCOMPARE(decodeText(out, TextEncoding::Windows1252), text);
    }

    void windows1252RefusesUnstorableText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("cjk") << QStringLiteral("漢");
        QTest::newRow("cjk after storable text") << QStringLiteral("café 漢");
        QTest::newRow("emoji") << QStringLiteral("😀");
        QTest::newRow("A macron U+0100") << QStringLiteral("Ā");
        QTest::newRow("cyrillic") << QStringLiteral("Привет");
        QTest::newRow("replacement character") << QString(QChar(0xFFFD));
        QTest::newRow("lone surrogate") << QString(QChar(0xD800));
    }

    void windows1252RefusesUnstorableText()
    {
        QFETCH(QString, text);
        QByteArray out;
        QVERIFY(!encodeText(text, TextEncoding::Windows1252, &out));
        // UTF-8 can store all of them.
        QByteArray utf8;
        if (text != QString(QChar(0xD800))) {
            QVERIFY(encodeText(text, TextEncoding::Utf8, &utf8));
            QCOMPARE(QString::fromUtf8(utf8), text);
        }
    }
};

QTEST_APPLESS_MAIN(TestTextCodec)

#include "tst_textcodec.moc"
