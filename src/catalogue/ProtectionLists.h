#pragma once

#include <QString>
#include <QStringList>

namespace fetchora {

// The three plain lists beside the catalogue: links that may not be downloaded
// directly, names of ad-supported applications, and the definition files an
// update fetches. One item per line, kept exactly as written (blanks and empty
// lines included).
struct ProtectionLists
{
    QStringList signatures;
    QStringList blacklist;
    QStringList adware;

    // A link is barred when any blacklist item occurs in it, case significant.
    // An empty item occurs in every text.
    bool isBarred(const QString &link) const;
    // The first adware item the name contains, -1 when none.
    int adwareItemIn(const QString &name) const;
};

QString signaturesPath(const QString &dataDir);
QString blacklistPath(const QString &dataDir);
QString adwarePath(const QString &dataDir);

// The index of the first item contained in text (case-sensitive substring),
// -1 when none is.
int firstContainedItem(const QString &text, const QStringList &items);

// Reads one list file. Lines end at CRLF, CR or LF; a last line end adds no
// item. A missing file is an empty list; a file that exists but cannot be read
// is an empty list too, with *error saying why.
QStringList readListFile(const QString &path, QString *error = nullptr);

// Loads signatures, blacklist and adware, in that order. Problems are collected
// in *errors, one line per file.
ProtectionLists loadProtectionLists(const QString &dataDir, QStringList *errors = nullptr);

} // namespace fetchora
