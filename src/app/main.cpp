#include "actions/ui/DownloadDialog.h"
#include "app/AppWindows.h"
#include "app/MainWindow.h"
#include "catalogue/Catalogue.h"
#include "net/HttpRequest.h"
#include "platform/ProfileEngine.h"
#include "platform/SingleInstance.h"
#include "platform/ui/DesktopShell.h"
#include "platform/ui/MessageBoxPrompter.h"
#include "state/AppState.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTimer>

#include <cstdio>

using namespace fetchora;

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fetchora"));
    QApplication::setApplicationVersion(AppState::programVersion());
    // Users behind a proxy can download only through it.
    useSystemProxy();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Find, download and install software from a curated catalogue."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDirOption(
        QStringLiteral("data-dir"),
        QStringLiteral("Use the catalogue and settings in DIR instead of the Data folder beside the program."),
        QStringLiteral("DIR"));
    parser.addOption(dataDirOption);
    // For start-up measurements: report the time to the shown window and leave
    // without saving anything.
    QCommandLineOption exitWhenShown(QStringLiteral("exit-when-shown"));
    exitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(exitWhenShown);
    parser.process(app);

    const QString dataDir = parser.isSet(dataDirOption) ? QDir(parser.value(dataDirOption)).absolutePath()
                                                        : applicationPath() + QStringLiteral("Data");
    if (!QFileInfo(dataDir).isDir())
        std::fprintf(stderr, "Fetchora: the Data folder %s does not exist; the catalogue is empty.\n",
                     qPrintable(QDir::toNativeSeparators(dataDir)));

    SingleInstance instance(SingleInstance::keyFor(dataDir));
    if (!parser.isSet(exitWhenShown)) {
        const bool primary = instance.tryBecomePrimary();
        const QString problem = instance.error();
        if (!problem.isEmpty())
            std::fprintf(stderr, "Fetchora: %s\n", qPrintable(problem));
        if (!primary) {
            // A start that reached nobody says so; otherwise nothing at all would show.
            if (!problem.isEmpty())
                MessageBoxPrompter().warn(problem);
            return problem.isEmpty() ? 0 : 1;
        }
    }

    ProfileEngine profiles;
    DesktopShell shell;
    MessageBoxPrompter prompter;
    AppState state(profiles, shell, prompter, dataDir);

    MainWindow window(state);
    prompter.setParentWindow(&window);
    state.setDirectDownloadHandler(
        [&state, &window](const QString &link) { DownloadDialog::start(state, link, &window); });
    QNetworkAccessManager network;
    AppWindows windows(state, window, network);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &MainWindow::bringToFront);

    window.startUp();
    window.show();
    if (parser.isSet(exitWhenShown)) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("shown-ms %lld\n", static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
        return app.exec();
    }
    QTimer::singleShot(0, &window, &MainWindow::afterShown);
    windows.scheduleAutomaticCheck();
    return app.exec();
}
