#pragma once

#include "platform/Prompter.h"
#include "platform/Shell.h"

#include <QStringList>
#include <QUrl>

namespace fetchora::test {

// Answers the program's questions from a script and records every message.
class ScriptedPrompter : public Prompter
{
public:
    struct Message
    {
        QString kind, text, title; // kind "inform", "warn", "critical" or "ask"; a title for questions only
    };
    QList<Message> messages;
    QList<bool> answers; // consumed by askYesNo, front first; No when empty

    void inform(const QString &text) override { messages.append({QStringLiteral("inform"), text, {}}); }
    void warn(const QString &text) override { messages.append({QStringLiteral("warn"), text, {}}); }
    void critical(const QString &text) override { messages.append({QStringLiteral("critical"), text, {}}); }
    bool askYesNo(const QString &text, const QString &title = {}) override
    {
        messages.append({QStringLiteral("ask"), text, title});
        return answers.isEmpty() ? false : answers.takeFirst();
    }
};

// Records what would have been handed to the browser, mail client or file opener.
class RecordingShell : public Shell
{
public:
    QList<QUrl> opened;
    bool result = true;
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return result;
    }
};

// Writes bytes to a file, creating folders; fails the calling test on error.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// The source tree's bundled Data folder.
QString bundledDataDir();

} // namespace fetchora::test
