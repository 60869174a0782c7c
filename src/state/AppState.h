#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/ProtectionLists.h"

#include <QObject>
#include <QString>

#include <functional>

namespace fetchora {

class ProfileEngine;
class Prompter;
class Shell;

// The options of the Options page as the rest of the program sees them.
struct Options
{
    bool systray = false;
    bool autoUpdate = false;
    bool adSupportWarning = false;
    bool jdownloaderSupport = false;
    bool performOpsWithDoubleClick = false;
    QString jdownloaderPath;
    QString signatureServer;
    int themeIndex = 0;

    bool operator==(const Options &) const = default;
};

// What the windows share: the services, the catalogue, the options and the
// current selection. Windows observe it through its signals instead of
// reading each other's controls.
class AppState : public QObject
{
    Q_OBJECT
public:
    AppState(ProfileEngine &profiles, Shell &shell, Prompter &prompter, const QString &dataDir,
             QObject *parent = nullptr);

    ProfileEngine &profiles() { return m_profiles; }
    Shell &shell() { return m_shell; }
    Prompter &prompter() { return m_prompter; }
    Catalogue &catalogue() { return m_catalogue; }

    const QString &dataDir() const { return m_dataDir; }
    QString settingsPath() const;

    // The link of the selected entry. Hints shown in the status bar never
    // change it; every link action uses this.
    const QString &currentLink() const { return m_currentLink; }
    void setCurrentLink(const QString &link);

    const Options &options() const { return m_options; }
    void setOptions(const Options &options);

    // The blacklist, adware and signature lists as loaded at start-up.
    const ProtectionLists &lists() const { return m_lists; }
    void setLists(const ProtectionLists &lists);

    // Every window downloads a link the same way; the program sets the
    // download dialog here, tests may set something that records the link.
    using DirectDownloadHandler = std::function<void(const QString &link)>;
    void setDirectDownloadHandler(DirectDownloadHandler handler) { m_directDownload = std::move(handler); }
    void startDirectDownload(const QString &link);

    // "Fetchora Version: X, Signature Version: Y" as the status bar shows it
    // when no hint or link is on display.
    QString versionLine() const;
    static QString programVersion(); // "major.minor.revision Beta"

Q_SIGNALS:
    void currentLinkChanged(const QString &link);
    void optionsChanged(const fetchora::Options &options);
    void listsChanged();

private:
    ProfileEngine &m_profiles;
    Shell &m_shell;
    Prompter &m_prompter;
    QString m_dataDir;
    Catalogue m_catalogue;
    QString m_currentLink;
    Options m_options;
    ProtectionLists m_lists;
    DirectDownloadHandler m_directDownload;
};

} // namespace fetchora
