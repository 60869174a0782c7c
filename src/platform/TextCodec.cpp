#include "TextCodec.h"

#include <array>

namespace fetchora {

namespace {

// 0x80..0x9F of Windows-1252. The five bytes the code page leaves undefined map
// to the C1 control of the same value, as Windows itself does, so every byte
// survives a decode/encode round trip.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    // Qt's check is strict (no overlong forms, no surrogates, nothing past
    // U+10FFFF) and skips ASCII runs with vector instructions.
    return bytes.isValidUtf8();
}

bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

QByteArrayView byteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom: return "\xEF\xBB\xBF";
    case TextEncoding::Utf16Le: return "\xFF\xFE";
    case TextEncoding::Utf16Be: return "\xFE\xFF";
    case TextEncoding::Utf8:
    case TextEncoding::Windows1252: break;
    }
    return {};
}

TextEncoding detectEncoding(QByteArrayView bytes)
{
    // Neither mark can start UTF-8 text, and Windows reads a file that starts
    // with one as UTF-16 whatever follows.
    if (bytes.startsWith("\xFF\xFE"))
        return TextEncoding::Utf16Le;
    if (bytes.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16Be;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return isValidUtf8(bytes.sliced(3)) ? TextEncoding::Utf8Bom : TextEncoding::Windows1252;
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (isUtf16(encoding)) {
        const bool big = encoding == TextEncoding::Utf16Be;
        QString out(bytes.size() / 2, Qt::Uninitialized);
        char16_t *dst = reinterpret_cast<char16_t *>(out.data());
        for (qsizetype i = 0; i < out.size(); ++i) {
            const auto first = static_cast<unsigned char>(bytes[2 * i]);
            const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
            dst[i] = big ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
        }
        return out;
    }
    if (encoding != TextEncoding::Windows1252)
        return QString::fromUtf8(bytes);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        dst[i] = (c >= 0x80 && c <= 0x9F) ? QChar(kCp1252High[c - 0x80]) : QChar(c);
    }
    return out;
}

bool encodeText(const QString &text, TextEncoding encoding, QByteArray *out)
{
    if (isUtf16(encoding)) {
        const bool big = encoding == TextEncoding::Utf16Be;
        QByteArray result(text.size() * 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t u = text[i].unicode();
            result[2 * i] = char(big ? u >> 8 : u & 0xFF);
            result[2 * i + 1] = char(big ? u & 0xFF : u >> 8);
        }
        *out = result;
        return true;
    }
    if (encoding != TextEncoding::Windows1252) {
        *out = text.toUtf8();
        return true;
    }
    QByteArray result;
    result.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            result.append(char(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i) {
            if (kCp1252High[i] == u) {
                found = i;
                break;
            }
        }
        if (found < 0)
            return false;
        result.append(char(0x80 + found));
    }
    *out = result;
    return true;
}

} // namespace fetchora
