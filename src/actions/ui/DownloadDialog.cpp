#include "DownloadDialog.h"

#include "actions/DownloadJob.h"
#include "actions/LinkActions.h"
#include "platform/ProfileEngine.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"
#include "state/AppState.h"
#include "widgets/ThemedButton.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QProgressBar>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace fetchora {

namespace {

// Labels change at most this often; a fast download reports thousands of
// pieces a second and the eye needs a handful.
constexpr qint64 kRefreshMs = 250;
// The speed is the average over this much of the recent past.
constexpr qint64 kSpeedWindowMs = 4000;

QNetworkAccessManager *sharedNetwork()
{
    // One manager for every download window, so connections to the same host
    // are pooled; it lives as long as the program.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

SaveLocationChooser *defaultChooser()
{
    static FileDialogSaveLocationChooser chooser;
    return &chooser;
}

} // namespace

QString FileDialogSaveLocationChooser::chooseSaveFile(QWidget *parent, const QString &suggestedPath)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Fetchora - Save Download As"), suggestedPath);
}

DownloadDialog *DownloadDialog::start(AppState &state, const QString &link, QWidget *parent, const Services &services)
{
    auto *window = new DownloadDialog(state, link, services, parent);
    window->show();
    window->begin();
    return window;
}

DownloadDialog::DownloadDialog(AppState &state, const QString &link, const Services &services, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state), m_link(link.trimmed()),
      m_chooser(services.chooser ? services.chooser : defaultChooser())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Fetchora - Download"));
    setObjectName(QStringLiteral("frmDownload"));

    m_job = new DownloadJob(services.network ? services.network : sharedNetwork(), this);
    if (services.connectTimeoutMs > 0)
        m_job->setConnectTimeout(services.connectTimeoutMs);
    if (services.idleTimeoutMs > 0)
        m_job->setIdleTimeout(services.idleTimeoutMs);
    // Queued: the save-as question runs its own event loop, which must not sit
    // inside the network reply's signal.
    connect(m_job, &DownloadJob::metaDataReady, this, &DownloadDialog::onMetaData, Qt::QueuedConnection);
    connect(m_job, &DownloadJob::progress, this, &DownloadDialog::onProgress);
    connect(m_job, &DownloadJob::finished, this, &DownloadDialog::onFinished);

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    statusLabel = new QLabel(this);
    named(statusLabel, "lblStatus");
    statusLabel->setWordWrap(true);
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fileLabel = new QLabel(this);
    named(fileLabel, "lblFile");
    fileLabel->setTextFormat(Qt::PlainText);
    fileLabel->setWordWrap(true);
    progressBar = new QProgressBar(this);
    named(progressBar, "prgProgress");
    progressBar->setRange(0, 0);
    sizeLabel = new QLabel(this);
    named(sizeLabel, "lblSize");
    speedLabel = new QLabel(this);
    named(speedLabel, "lblSpeed");
    pathCaption = new QLabel(QStringLiteral("Saved to:"), this);
    named(pathCaption, "lblPathCaption");
    pathEdit = new QLineEdit(this);
    named(pathEdit, "txtPath");
    pathEdit->setReadOnly(true);
    hashCaption = new QLabel(QStringLiteral("SHA-256:"), this);
    named(hashCaption, "lblShaCaption");
    hashEdit = new QLineEdit(this);
    named(hashEdit, "txtSha256");
    hashEdit->setReadOnly(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    hashEdit->setFont(mono);

    openButton = new ThemedButton(QStringLiteral("Open"), this);
    named(openButton, "cmdOpen");
    openFolderButton = new ThemedButton(QStringLiteral("Open Folder"), this);
    named(openFolderButton, "cmdOpenFolder");
    retryButton = new ThemedButton(QStringLiteral("Retry"), this);
    named(retryButton, "cmdRetry");
    openInBrowserButton = new ThemedButton(QStringLiteral("Open in Browser"), this);
    named(openInBrowserButton, "cmdOpenInBrowser");
    cancelButton = new ThemedButton(QStringLiteral("Cancel"), this);
    named(cancelButton, "cmdCancel");
    closeButton = new ThemedButton(QStringLiteral("Close"), this);
    named(closeButton, "cmdClose");

    auto *result = new QGridLayout;
    result->addWidget(pathCaption, 0, 0);
    result->addWidget(pathEdit, 0, 1);
    result->addWidget(hashCaption, 1, 0);
    result->addWidget(hashEdit, 1, 1);
    auto *sizes = new QHBoxLayout;
    sizes->addWidget(sizeLabel);
    sizes->addStretch(1);
    sizes->addWidget(speedLabel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (ThemedButton *b : {openButton, openFolderButton, openInBrowserButton, retryButton, cancelButton, closeButton})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel);
    layout->addWidget(fileLabel);
    layout->addWidget(progressBar);
    layout->addLayout(sizes);
    layout->addLayout(result);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    connect(cancelButton, &ThemedButton::clicked, this, &DownloadDialog::cancelAndClose);
    connect(closeButton, &ThemedButton::clicked, this, &DownloadDialog::close);
    connect(openButton, &ThemedButton::clicked, this, &DownloadDialog::openFile);
    connect(openFolderButton, &ThemedButton::clicked, this, &DownloadDialog::openFolder);
    connect(retryButton, &ThemedButton::clicked, this, &DownloadDialog::begin);
    connect(openInBrowserButton, &ThemedButton::clicked, this, &DownloadDialog::openInBrowser);

    setStage(Stage::Requesting);
}

DownloadDialog::~DownloadDialog()
{
    m_closing = true;
    m_job->disconnect(this);
}

void DownloadDialog::begin()
{
    if (m_job->isRunning())
        return;
    setStage(Stage::Requesting);
    statusLabel->setText(QStringLiteral("Requesting %1 ...").arg(m_link));
    m_job->start(QUrl::fromUserInput(m_link));
}

QString DownloadDialog::startFolder(AppState &state)
{
    const QString remembered = QDir::fromNativeSeparators(
        state.profiles().readString(state.settingsPath(), settingsSection(), settingsKey()).trimmed());
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return QDir::cleanPath(remembered);
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty() && QFileInfo(downloads).isDir())
        return QDir::cleanPath(downloads);
    return QDir::homePath();
}

void DownloadDialog::onMetaData(const QString &suggestedName, qint64 total)
{
    Q_UNUSED(total);
    if (m_closing || m_job->state() != DownloadJob::State::AwaitingTarget)
        return;
    QString target = m_chosenTarget;
    if (target.isEmpty()) {
        setStage(Stage::Choosing);
        statusLabel->setText(QStringLiteral("Choose where to save %1.").arg(suggestedName));
        const QString suggested = QDir(startFolder(m_state)).filePath(suggestedName);
        QPointer<DownloadDialog> alive(this);
        target = m_chooser->chooseSaveFile(this, QDir::toNativeSeparators(suggested));
        // The download may have failed meanwhile (its failure is shown already).
        if (!alive || m_closing || m_job->state() != DownloadJob::State::AwaitingTarget)
            return;
        if (target.isEmpty()) {
            cancelAndClose();
            return;
        }
        target = QDir::fromNativeSeparators(target);
        m_chosenTarget = target;
        // The next download starts where this one went. A settings file that
        // cannot be written costs only that convenience, not the download.
        const QString folder = QFileInfo(target).absolutePath();
        m_state.profiles().writeString(m_state.settingsPath(), settingsSection(), settingsKey(),
                                       QDir::toNativeSeparators(folder));
    }
    setStage(Stage::Downloading);
    statusLabel->setText(QStringLiteral("Downloading %1").arg(m_link));
    fileLabel->setText(QDir::toNativeSeparators(target));
    m_samples.clear();
    m_lastShownMs = -1;
    m_clock.start();
    showProgress(0, m_job->totalBytes(), true);
    m_job->saveTo(target);
}

void DownloadDialog::onProgress(qint64 received, qint64 total)
{
    showProgress(received, total, false);
}

void DownloadDialog::showProgress(qint64 received, qint64 total, bool force)
{
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    m_samples.append({now, received});
    while (m_samples.size() > 2 && now - m_samples.at(1).first >= kSpeedWindowMs)
        m_samples.removeFirst();
    if (!force && m_lastShownMs >= 0 && now - m_lastShownMs < kRefreshMs)
        return;
    m_lastShownMs = now;

    if (total > 0) {
        progressBar->setRange(0, 1000);
        progressBar->setValue(int(std::min<qint64>(1000, received * 1000 / total)));
        sizeLabel->setText(QStringLiteral("%1 of %2").arg(humanSize(received), humanSize(total)));
    } else {
        progressBar->setRange(0, 0); // size unknown: a busy bar
        sizeLabel->setText(humanSize(received));
    }

    const qint64 spanMs = m_samples.last().first - m_samples.first().first;
    const qint64 spanBytes = m_samples.last().second - m_samples.first().second;
    if (spanMs < 500 || spanBytes <= 0) {
        speedLabel->setText(received > 0 ? QString() : QStringLiteral("Waiting for data ..."));
        return;
    }
    const double perSecond = double(spanBytes) * 1000.0 / double(spanMs);
    QString speed = humanSize(qint64(perSecond)) + QStringLiteral("/s");
    if (total > 0 && total > received)
        speed += QStringLiteral(", %1 left").arg(humanDuration(qint64((total - received) / perSecond) + 1));
    speedLabel->setText(speed);
}

void DownloadDialog::onFinished(bool ok)
{
    if (m_closing || m_job->state() == DownloadJob::State::Cancelled)
        return;
    if (ok) {
        setStage(Stage::Succeeded);
        showProgress(m_job->receivedBytes(), m_job->receivedBytes(), true);
        progressBar->setRange(0, 1000);
        progressBar->setValue(1000);
        speedLabel->clear();
        statusLabel->setText(QStringLiteral("The download is complete."));
        pathEdit->setText(QDir::toNativeSeparators(m_job->targetPath()));
        pathEdit->setCursorPosition(0);
        hashEdit->setText(QString::fromLatin1(m_job->sha256()));
        hashEdit->setCursorPosition(0);
    } else {
        setStage(m_job->failure() == NetError::Kind::WebPage ? Stage::WebPage : Stage::Failed);
        statusLabel->setText(m_job->errorText());
        speedLabel->clear();
        progressBar->setRange(0, 1000);
        progressBar->setValue(0);
    }
    Q_EMIT downloadFinished(ok);
}

void DownloadDialog::setStage(Stage stage)
{
    m_stage = stage;
    const bool done = stage == Stage::Succeeded;
    const bool failed = stage == Stage::Failed;
    const bool page = stage == Stage::WebPage;
    const bool running = !done && !failed && !page;
    cancelButton->setVisible(running);
    closeButton->setVisible(!running);
    retryButton->setVisible(failed);
    openInBrowserButton->setVisible(page);
    openButton->setVisible(done);
    openFolderButton->setVisible(done);
    pathCaption->setVisible(done);
    pathEdit->setVisible(done);
    hashCaption->setVisible(done);
    hashEdit->setVisible(done);
    const bool transfer = stage == Stage::Downloading || done;
    progressBar->setVisible(stage != Stage::Requesting && stage != Stage::Choosing && !page);
    fileLabel->setVisible(transfer);
    sizeLabel->setVisible(transfer);
    speedLabel->setVisible(stage == Stage::Downloading);
    if (stage == Stage::Requesting || stage == Stage::Choosing) {
        fileLabel->clear();
        sizeLabel->clear();
        speedLabel->clear();
        pathEdit->clear();
        hashEdit->clear();
    }
    (running ? cancelButton : page ? openInBrowserButton : closeButton)->setDefault(true);
}

void DownloadDialog::cancelAndClose()
{
    m_closing = true;
    m_job->cancel();
    close();
}

void DownloadDialog::closeEvent(QCloseEvent *event)
{
    // Closing the window is a cancel: nothing half-written stays behind.
    m_closing = true;
    m_job->cancel();
    QWidget::closeEvent(event);
}

void DownloadDialog::openFile()
{
    const QString path = m_job->targetPath();
    if (!m_state.shell().openUrl(QUrl::fromLocalFile(path)))
        m_state.prompter().warn(QStringLiteral("%1 could not be opened.").arg(QDir::toNativeSeparators(path)));
}

void DownloadDialog::openFolder()
{
    const QString folder = QFileInfo(m_job->targetPath()).absolutePath();
    if (!m_state.shell().openUrl(QUrl::fromLocalFile(folder)))
        m_state.prompter().warn(
            QStringLiteral("The folder %1 could not be opened.").arg(QDir::toNativeSeparators(folder)));
}

void DownloadDialog::openInBrowser()
{
    openWebLink(m_state.shell(), m_state.prompter(), m_link);
}

QString DownloadDialog::humanSize(qint64 bytes)
{
    if (bytes < 1024)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = -1;
    // 1023.7 KB would print as "1024 KB": such a value counts as the next unit.
    while ((value >= 1023.5 || unit < 0) && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    // Three figures are plenty: "1.5 MB", "15.2 MB", "200 MB".
    const QString number = value < 100.0 ? QString::number(value, 'f', 1) : QString::number(qRound64(value));
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString DownloadDialog::humanDuration(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg((seconds % 3600) / 60);
}

} // namespace fetchora
