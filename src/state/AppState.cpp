#include "AppState.h"

#include "state/SettingsFile.h"
#include "update/VersionFile.h"

#include <QDir>

namespace fetchora {

AppState::AppState(ProfileEngine &profiles, Shell &shell, Prompter &prompter, const QString &dataDir, QObject *parent)
    : QObject(parent), m_profiles(profiles), m_shell(shell), m_prompter(prompter), m_dataDir(dataDir),
      m_catalogue(profiles, dataDir)
{ }

QString AppState::settingsPath() const
{
    return settingsFilePath(m_dataDir);
}

void AppState::setCurrentLink(const QString &link)
{
    if (link == m_currentLink)
        return;
    m_currentLink = link;
    Q_EMIT currentLinkChanged(link);
}

void AppState::setOptions(const Options &options)
{
    if (options == m_options)
        return;
    m_options = options;
    Q_EMIT optionsChanged(m_options);
}

void AppState::setLists(const ProtectionLists &lists)
{
    m_lists = lists;
    Q_EMIT listsChanged();
}

void AppState::startDirectDownload(const QString &link)
{
    if (m_directDownload)
        m_directDownload(link);
}

QString AppState::programVersion()
{
    return QStringLiteral("%1.%2.%3 Beta")
        .arg(FETCHORA_VERSION_MAJOR)
        .arg(FETCHORA_VERSION_MINOR)
        .arg(FETCHORA_VERSION_PATCH);
}

QString AppState::versionLine() const
{
    return QStringLiteral("Fetchora Version: ") + programVersion() + QStringLiteral(", Signature Version: ")
        + localSignatureVersion(m_profiles, m_dataDir);
}

} // namespace fetchora
