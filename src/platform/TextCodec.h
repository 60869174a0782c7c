#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace fetchora {

// How the bytes of a text file people edit by hand are turned into text. A file
// that is valid UTF-8 throughout is UTF-8 (its byte order mark, if any, is kept
// on write); anything else is taken to be Windows-1252, the code page these files
// were traditionally written in.
enum class TextEncoding { Utf8, Utf8Bom, Windows1252 };

TextEncoding detectEncoding(QByteArrayView bytes);
bool isValidUtf8(QByteArrayView bytes);

// Decodes without a BOM check: callers pass the bytes after any BOM.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// Encodes for the given file encoding. Returns false when the text holds a
// character the encoding cannot store (only possible for Windows-1252).
bool encodeText(const QString &text, TextEncoding encoding, QByteArray *out);

} // namespace fetchora
