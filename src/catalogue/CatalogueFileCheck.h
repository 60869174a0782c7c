#pragma once

#include <QByteArrayView>
#include <QString>

namespace fetchora {

// What a file of the catalogue holds: categories of entries (the databases), or
// one plain item per line (the blacklist, the adware list and the signature list).
enum class CatalogueFileKind { Definitions, PlainList };

// The three protection lists are plain lists; every other file the signature
// list names holds definitions.
CatalogueFileKind catalogueFileKind(const QString &fileName);

// Why these bytes may not be installed as a catalogue file of that kind, in
// plain words; empty when they may. Every such file is text people edit: no NUL
// bytes, UTF-8 (with or without its mark) or else Windows-1252, and no control
// characters but tab, CR and LF. A definition file also needs at least one
// category holding at least one entry, read as the profile engine reads it, so
// that what passes here shows in the program.
QString catalogueFileProblem(QByteArrayView bytes, CatalogueFileKind kind);

} // namespace fetchora
