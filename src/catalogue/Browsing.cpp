#include "Browsing.h"

#include "catalogue/ProtectionLists.h"

#include <algorithm>

namespace fetchora {

bool isCommandEntry(const QString &name)
{
    return name.contains(QLatin1String("cmd"), Qt::CaseSensitive);
}

bool warnsAboutAdware(Database db)
{
    return db == Database::Apps || db == Database::Slim;
}

EntrySelection selectEntry(const Catalogue &catalogue, Database db, const QString &category, const QString &entry,
                           const ProtectionLists &lists, bool adSupportWarning)
{
    EntrySelection out;
    out.link = catalogue.value(db, category, entry);
    out.hasLink = !out.link.isEmpty();
    if (out.hasLink)
        out.directDownload = !lists.isBarred(out.link);
    // The warning follows the name whether or not a link was found.
    if (adSupportWarning && warnsAboutAdware(db) && !lists.adware.isEmpty()) {
        if (lists.adwareItemIn(entry) >= 0) {
            out.warning = EntrySelection::Warning::Show;
            out.warningCaption = QStringLiteral("Fetchora - ") + entry;
        } else {
            out.warning = EntrySelection::Warning::Close;
        }
    }
    return out;
}

QStringList sortedByCharacterCode(QStringList items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseSensitive) < 0; });
    return items;
}

FindNextResult findNext(const QStringList &names, const QString &searchText, int position)
{
    const QString wanted = searchText.trimmed().toUpper();
    const int last = int(names.size()) - 1;
    for (int i = qMax(position + 1, 0); i <= last; ++i) {
        if (names[i].toUpper().contains(wanted))
            return {i, i < last ? i : -1};
    }
    return {-1, -1};
}

} // namespace fetchora
