#pragma once

#include "catalogue/Catalogue.h"

#include <QString>
#include <QStringList>

namespace fetchora {

struct ProtectionLists;

// What selecting an entry means for the window: the link it brings, whether
// that link may be downloaded directly, and what happens to the ad-supported
// warning.
struct EntrySelection
{
    enum class Warning { Untouched, Show, Close };

    bool hasLink = false; // false: link, buttons and menus stay as they were
    QString link;
    bool directDownload = false; // meaningful only with a link
    Warning warning = Warning::Untouched;
    QString warningCaption; // "Fetchora - " + name when shown
};

EntrySelection selectEntry(const Catalogue &catalogue, Database db, const QString &category, const QString &entry,
                           const ProtectionLists &lists, bool adSupportWarning);

// Special entries whose name holds "cmd" (exactly, case significant) run their
// value as a command line instead of downloading it.
bool isCommandEntry(const QString &name);

// Only the Apps and Slim lists warn about ad-supported applications.
bool warnsAboutAdware(Database db);

// Sorts by character codes ("Z" before "a"), equal items keeping their order.
QStringList sortedByCharacterCode(QStringList items);

// The search boxes' find-next over the listed entry names: from the position
// after the one found last, the first name containing the text (blanks trimmed,
// case ignored). A match on the last entry, or no match, starts the next
// search at the top again.
struct FindNextResult
{
    int match = -1;        // the row to select, -1 for none
    int nextPosition = -1; // where the next search continues from
};
FindNextResult findNext(const QStringList &names, const QString &searchText, int position);

} // namespace fetchora
