#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace fetchora {

// How the bytes of a text file people edit by hand are turned into text. A file
// that starts with a UTF-16 byte order mark is UTF-16 in that byte order (Windows
// writes such "Unicode" INI files); one that is valid UTF-8 throughout is UTF-8
// (its byte order mark, if any, is kept on write); anything else is taken to be
// Windows-1252, the code page these files were traditionally written in.
enum class TextEncoding { Utf8, Utf8Bom, Windows1252, Utf16Le, Utf16Be };

TextEncoding detectEncoding(QByteArrayView bytes);
bool isValidUtf8(QByteArrayView bytes);
bool isUtf16(TextEncoding encoding);
// The byte order mark a file of that encoding starts with (empty for none).
QByteArrayView byteOrderMark(TextEncoding encoding);

// Decodes without a BOM check: callers pass the bytes after any BOM. UTF-16 is
// taken unit by unit, unpaired surrogates included, and an odd last byte is
// left out, so that encoding the text again gives the same units back.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// Encodes for the given file encoding, without a BOM. Returns false when the
// text holds a character the encoding cannot store (only possible for
// Windows-1252).
bool encodeText(const QString &text, TextEncoding encoding, QByteArray *out);

} // namespace fetchora
