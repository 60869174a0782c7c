#include "ProtectionLists.h"

#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fetchora {

bool ProtectionLists::isBarred(const QString &link) const
{
    return firstContainedItem(link, blacklist) >= 0;
}

int ProtectionLists::adwareItemIn(const QString &name) const
{
    return firstContainedItem(name, adware);
}

QString signaturesPath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("FOSignatures.ddl"));
}

QString blacklistPath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("FOBlacklist.def"));
}

QString adwarePath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("FOAdware.def"));
}

int firstContainedItem(const QString &text, const QStringList &items)
{
    for (int i = 0; i < items.size(); ++i) {
        if (text.contains(items[i], Qt::CaseSensitive))
            return i;
    }
    return -1;
}

QStringList readListFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 could not be read: %2")
                         .arg(QDir::toNativeSeparators(path),
                              info.isFile() ? file.errorString() : QStringLiteral("it is a folder"));
        return {};
    }
    QByteArray bytes = file.readAll();
    const TextEncoding encoding = detectEncoding(bytes);
    // The byte-order mark of a UTF-8 or UTF-16 file is no part of its first item.
    bytes.remove(0, byteOrderMark(encoding).size());
    const QString text = decodeText(bytes, encoding);

    QStringList items;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        items.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        items.append(text.mid(start));
    return items;
}

ProtectionLists loadProtectionLists(const QString &dataDir, QStringList *errors)
{
    ProtectionLists lists;
    QString error;
    auto load = [&](const QString &path, QStringList &into) {
        error.clear();
        into = readListFile(path, &error);
        if (!error.isEmpty() && errors)
            errors->append(error);
    };
    load(signaturesPath(dataDir), lists.signatures);
    load(blacklistPath(dataDir), lists.blacklist);
    load(adwarePath(dataDir), lists.adware);
    return lists;
}

} // namespace fetchora
