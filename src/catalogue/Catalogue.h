#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace fetchora {

class ProfileEngine;
class Shell;

// The six databases the main window shows, one definition file each.
enum class Database { Apps, Portable, Slim, Special, Pages, Install };
inline constexpr std::array<Database, 6> kAllDatabases = {Database::Apps,    Database::Portable, Database::Slim,
                                                          Database::Special, Database::Pages,    Database::Install};

QString definitionFileName(Database db);

// The program's own folder, always ending in a separator.
QString applicationPath();

// The entry names of one category (section) in file order. Lines without "="
// and comment lines name no entry. Every entry comes back, however many.
QStringList readCategoryEntries(ProfileEngine &engine, const QString &databasePath, const QString &category);

// An entry's link, blanks trimmed; empty when the entry has none or is gone.
QString readEntryValue(ProfileEngine &engine, const QString &databasePath, const QString &category,
                       const QString &entry);

// True when something (file or folder) of that name exists.
bool fileExists(const QString &fileName);

// Hands a file to the desktop to open with the program the user associated
// with its type. False when the desktop could not open it.
bool openWithAssociatedProgram(Shell &shell, const QString &filePath);

// The catalogue model: each database's file path and its categories as they
// stood at start-up. Entries and values are read from disk at each selection,
// so a file changed by an update or the add-app window is seen at once.
class Catalogue
{
public:
    Catalogue(ProfileEngine &engine, const QString &dataDir);

    // Reads the category names of all six files (Apps, Portable, Slim, Pages,
    // Special, Install). A missing or unreadable file leaves its list empty.
    void loadCategories();

    const QString &dataDir() const { return m_dataDir; }
    QString path(Database db) const { return m_paths[index(db)]; }
    const QStringList &categories(Database db) const { return m_categories[index(db)]; }

    QStringList entries(Database db, const QString &category) const;
    QString value(Database db, const QString &category, const QString &entry) const;

private:
    static std::size_t index(Database db) { return static_cast<std::size_t>(db); }

    ProfileEngine &m_engine;
    QString m_dataDir;
    std::array<QString, 6> m_paths;
    std::array<QStringList, 6> m_categories;
};

} // namespace fetchora
