#include "Catalogue.h"

#include "platform/ProfileEngine.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace fetchora {

QString definitionFileName(Database db)
{
    switch (db) {
    case Database::Apps: return QStringLiteral("FOApps.def");
    case Database::Portable: return QStringLiteral("FOPortable.def");
    case Database::Slim: return QStringLiteral("FOSlim.def");
    case Database::Special: return QStringLiteral("FOSpecial.def");
    case Database::Pages: return QStringLiteral("FOPages.def");
    case Database::Install: return QStringLiteral("FInstalls.def");
    }
    return {};
}

QString applicationPath()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QStringList readCategoryEntries(ProfileEngine &engine, const QString &databasePath, const QString &category)
{
    return engine.keyNames(databasePath, category);
}

QString readEntryValue(ProfileEngine &engine, const QString &databasePath, const QString &category,
                       const QString &entry)
{
    // The engine already trims blanks; quotes around a whole value are the
    // file format's, not part of the link.
    return engine.value(databasePath, category, entry).value_or(QString());
}

bool fileExists(const QString &fileName)
{
    return !fileName.isEmpty() && QFileInfo::exists(fileName);
}

bool openWithAssociatedProgram(Shell &shell, const QString &filePath)
{
    return shell.openUrl(QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()));
}

Catalogue::Catalogue(ProfileEngine &engine, const QString &dataDir) : m_engine(engine), m_dataDir(dataDir)
{
    for (Database db : kAllDatabases)
        m_paths[index(db)] = QDir(m_dataDir).filePath(definitionFileName(db));
}

void Catalogue::loadCategories()
{
    static constexpr std::array<Database, 6> order = {Database::Apps,  Database::Portable, Database::Slim,
                                                      Database::Pages, Database::Special,  Database::Install};
    for (Database db : order)
        m_categories[index(db)] = m_engine.sectionNames(path(db));
}

QStringList Catalogue::entries(Database db, const QString &category) const
{
    return readCategoryEntries(m_engine, path(db), category);
}

QString Catalogue::value(Database db, const QString &category, const QString &entry) const
{
    return readEntryValue(m_engine, path(db), category, entry);
}

} // namespace fetchora
