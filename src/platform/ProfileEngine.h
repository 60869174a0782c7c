#pragma once

#include "TextCodec.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace fetchora {

// One change to an INI file; several are applied with a single atomic write.
struct ProfileWrite
{
    enum class Kind { SetValue, DeleteKey, DeleteSection };
    Kind kind = Kind::SetValue;
    QString section;
    QString key;
    QString value;

    static ProfileWrite set(const QString &section, const QString &key, const QString &value)
    {
        return {Kind::SetValue, section, key, value};
    }
    static ProfileWrite removeKey(const QString &section, const QString &key)
    {
        return {Kind::DeleteKey, section, key, {}};
    }
    static ProfileWrite removeSection(const QString &section) { return {Kind::DeleteSection, section, {}, {}}; }
};

// A line of a section as a section read sees it: name and value trimmed, quotes
// kept. Lines without "=" are listed with hasValue false and the whole line as name.
struct ProfileLine
{
    QString name;
    QString value;
    bool hasValue = false;
};

// Reads and writes the INI files the program shares with the people who edit
// them: the definition files, the protection lists, the settings and the version
// file. Results match what the Windows private-profile functions return for the
// same file, but whole: no buffer sizes, nothing cut.
//
// Writing changes only the bytes it must and replaces the file atomically, so a
// hand-edited file keeps its comments, blank lines, line ends and encoding
// (UTF-16 files included), and a crash mid-write leaves the old file in place.
// Writes of one file by several Fetchora processes take turns, so none is lost.
//
// A file is parsed once and the parse is kept while the path names the same file
// in the same state (its identity, size and times); every call still looks at the
// file on disk, so a change made by another program is seen at the next call, and
// a kept parse is never applied to the bytes of another file.
class ProfileEngine
{
public:
    ProfileEngine();
    ~ProfileEngine();
    ProfileEngine(const ProfileEngine &) = delete;
    ProfileEngine &operator=(const ProfileEngine &) = delete;

    // Section names in file order. Headers with an empty name are left out;
    // a repeated header is listed again.
    QStringList sectionNames(const QString &path);
    bool hasSection(const QString &path, const QString &section);

    // The lines of the first section of that name, comments (";" first) left out.
    QList<ProfileLine> sectionLines(const QString &path, const QString &section);
    // The same lines as "name=value" text (lines without "=" as they stand).
    QStringList sectionText(const QString &path, const QString &section);
    // Names of the lines that hold "=", comments left out, in file order.
    QStringList keyNames(const QString &path, const QString &section);

    // The value of the first matching key of the first matching section, with one
    // pair of enclosing quotes removed. Empty optional when not found.
    std::optional<QString> value(const QString &path, const QString &section, const QString &key);
    QString readString(const QString &path, const QString &section, const QString &key,
                       const QString &defaultValue = {});

    // Apply all changes and write the file once. On failure nothing on disk
    // changes and *error (when given) says why in plain words.
    bool write(const QString &path, const QList<ProfileWrite> &changes, QString *error = nullptr);
    bool writeString(const QString &path, const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);
    bool deleteKey(const QString &path, const QString &section, const QString &key, QString *error = nullptr);
    bool deleteSection(const QString &path, const QString &section, QString *error = nullptr);

    // The encoding the file is read and written in (new files: UTF-8).
    TextEncoding fileEncoding(const QString &path);

    // How many times a file's bytes were parsed; lets callers confirm that an
    // unchanged file is served from the kept parse.
    int parseCount() const { return m_parseCount; }
    void forget(const QString &path);
    void clear();

    struct Parsed;

private:
    struct Located;
    std::shared_ptr<const Parsed> load(const QString &path);
    bool locate(const QString &path, const QString &section, Located &at);
    bool readBytes(const QString &path, const QString &section, Located &at);

    QHash<QString, std::shared_ptr<const Parsed>> m_cache;
    QByteArray m_scratch; // reused for section reads, so its pages stay warm
    int m_parseCount = 0;
};

} // namespace fetchora
