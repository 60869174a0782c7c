#pragma once

#include "actions/ui/SaveLocationChooser.h"

#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QProgressBar;

namespace fetchora {

class AppState;
class DownloadJob;
class ThemedButton;

// The save-as file dialog every download window asks by default.
class FileDialogSaveLocationChooser : public SaveLocationChooser
{
public:
    QString chooseSaveFile(QWidget *parent, const QString &suggestedPath) override;
};

// What a download window uses instead of the program's own services (tests).
struct DownloadServices
{
    SaveLocationChooser *chooser = nullptr;   // null: the save-as file dialog
    QNetworkAccessManager *network = nullptr; // null: the program's shared one
    int connectTimeoutMs = 0;                 // 0: the download's own default
    int idleTimeoutMs = 0;
};

// The window that downloads one link: "Requesting ..." while the server is
// asked, then where to save it (starting in the folder used last time, else
// the Downloads folder), then name, progress, size, speed and time left with
// a Cancel button; at the end the saved path and its SHA-256 for comparing
// with the vendor's, with Open / Open Folder, or the reason it failed with
// Retry. A link that leads to a web page saves nothing: the window says so
// and offers to open the page in the browser, where the download is. Cancel
// or closing the window at any time stops the download and leaves nothing
// half-written behind.
//
// Modeless and deleted on close; any number may run side by side.
class DownloadDialog : public QWidget
{
    Q_OBJECT
public:
    using Services = DownloadServices;

    enum class Stage { Requesting, Choosing, Downloading, Succeeded, Failed, WebPage };

    // Opens a download window for `link` and starts it. `parent` only ties the
    // window's life to another window; it may be null.
    static DownloadDialog *start(AppState &state, const QString &link, QWidget *parent = nullptr,
                                 const Services &services = {});

    DownloadDialog(AppState &state, const QString &link, const Services &services = {}, QWidget *parent = nullptr);
    ~DownloadDialog() override;

    void begin(); // asks the server; start() calls it

    QString link() const { return m_link; }
    Stage stage() const { return m_stage; }
    DownloadJob *job() const { return m_job; }

    // Where the save-as question starts: the folder remembered in the settings
    // file when it still exists, else the user's Downloads folder, else home.
    static QString startFolder(AppState &state);
    static QString settingsSection() { return QStringLiteral("frmDownload"); }
    static QString settingsKey() { return QStringLiteral("LastFolder"); }

    // "512 bytes", "1.5 KB", "15.2 MB", "200 MB", "1.2 GB".
    static QString humanSize(qint64 bytes);
    // "45 s", "3 min 20 s", "2 h 5 min".
    static QString humanDuration(qint64 seconds);

    QLabel *statusLabel; // what is going on, or why it failed
    QLabel *fileLabel;   // the file being written
    QProgressBar *progressBar;
    QLabel *sizeLabel;  // received of total
    QLabel *speedLabel; // speed and time left
    QLabel *pathCaption;
    QLineEdit *pathEdit; // the saved file, selectable
    QLabel *hashCaption;
    QLineEdit *hashEdit; // its SHA-256, selectable
    ThemedButton *openButton;
    ThemedButton *openFolderButton;
    ThemedButton *retryButton;
    ThemedButton *openInBrowserButton; // the link is a web page
    ThemedButton *cancelButton;
    ThemedButton *closeButton;

Q_SIGNALS:
    // The download ended; not emitted for a cancel.
    void downloadFinished(bool ok);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onMetaData(const QString &suggestedName, qint64 total);
    void onProgress(qint64 received, qint64 total);
    void onFinished(bool ok);
    void cancelAndClose();
    void openFile();
    void openFolder();
    void openInBrowser();
    void setStage(Stage stage);
    void showProgress(qint64 received, qint64 total, bool force);

    AppState &m_state;
    QString m_link;
    SaveLocationChooser *m_chooser;
    DownloadJob *m_job;
    Stage m_stage = Stage::Requesting;
    QString m_chosenTarget; // kept for Retry, which saves to the same file
    bool m_closing = false;

    QElapsedTimer m_clock; // since the body began to arrive
    qint64 m_lastShownMs = -1;
    QList<QPair<qint64, qint64>> m_samples; // (ms, bytes) of the last few seconds, for the speed
};

} // namespace fetchora
