#pragma once

#include "TestSupport.h"

#include "app/MainWindow.h"
#include "platform/ProfileEngine.h"
#include "platform/ui/DesktopShell.h"
#include "state/AppState.h"
#include "widgets/ListBox.h"
#include "widgets/StatusBar.h"
#include "widgets/ThemedButton.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace fetchora::test {

// Takes what the program hands to the desktop (browser, mail client, file
// opener) for as long as it lives, so nothing leaves the machine.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher();
    ~UrlCatcher() override;
    QStringList urls; // as the desktop would get them, fully encoded
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url.toString(QUrl::FullyEncoded)); }
};

// One program start: its own engine (nothing kept from an earlier start), the
// recording services or the real desktop shell, and the main window. Direct
// downloads are recorded instead of fetched.
struct AppRun
{
    enum ShellKind { Recording, Desktop };

    ProfileEngine engine;
    DesktopShell desktop;
    RecordingShell shell;
    ScriptedPrompter prompter;
    QStringList downloads;
    AppState state;
    MainWindow window;

    explicit AppRun(const QString &dataDir, ShellKind kind = Recording);

    template<typename T> T *child(const char *name) const { return window.findChild<T *>(QLatin1String(name)); }
    ListBox *list(const char *name) const { return child<ListBox>(name); }
    ThemedButton *button(const char *name) const { return child<ThemedButton>(name); }
    QAction *action(const char *name) const { return child<QAction>(name); }
    // The lines of a list, and its current row (-2 when the window has no such list).
    QStringList items(const char *name) const
    {
        return list(name) ? list(name)->items() : QStringList{QStringLiteral("<none>")};
    }
    int row(const char *name) const { return list(name) ? list(name)->currentRow() : -2; }
    QString panel() const { return window.statusBar->panelText(0); } // the status bar's text
};

// A temporary Data folder and the program started on it, one at a time.
class WindowFixture
{
public:
    // A fresh temporary folder holding an empty Data folder; the pointer is
    // parked where no window is, so no hover leaks between tests.
    bool setUpFolder();
    // Ends the program (popups first) and removes the folder.
    void tearDown();

    QString dataFile(const QString &name) const { return QDir(dataDir).filePath(name); }
    QString besideData(const QString &name) const { return tmp->filePath(name); }
    bool put(const QString &name, const QByteArray &bytes) { return writeFile(dataFile(name), bytes); }
    bool put(std::initializer_list<std::pair<const char *, QByteArray>> files);

    // Ends the running program, then fills a new window from `dir` (the Data
    // folder when empty) and, with `show`, waits until it is on screen; null
    // when it never appears.
    AppRun *start(bool show = true, AppRun::ShellKind shell = AppRun::Recording, const QString &dir = {});
    // Closes the main window as the user does; whether it agreed to close.
    bool closeApp();

    std::unique_ptr<QTemporaryDir> tmp;
    QString dataDir;
    std::unique_ptr<AppRun> app;
};

// The lines of a definition or list file, each ended by "\r\n" as the
// shipped files are.
QByteArray crlf(std::initializer_list<const char *> lines);

// Shows a page of the main window (and an inner page of the Special page
// when `inner` >= 0); false when the window did not follow.
bool showTab(MainWindow &window, int tab, int inner = -1);

// -1 when not listed.
inline int rowOf(const ListBox *list, const QString &text)
{
    return list ? int(list->items().indexOf(text)) : -1;
}
// Presses the mouse on a line the way a user does, scrolled into view; false
// when the line is not listed or not on screen, or did not become current.
// A double click comes as the window system delivers it: a click, then the
// second press arriving as a double click.
bool pressRow(ListBox *list, const QString &text, Qt::MouseButton button, bool doubleClick);
inline bool clickRow(ListBox *list, const QString &text, Qt::MouseButton button = Qt::LeftButton)
{
    return pressRow(list, text, button, false);
}
inline bool doubleClickRow(ListBox *list, const QString &text)
{
    return pressRow(list, text, Qt::LeftButton, true);
}

// Moves the pointer over the middle of a widget, `offset` away from it.
inline void hover(QWidget *widget, const QPoint &offset = {})
{
    QTest::mouseMove(widget, widget->rect().center() + offset);
}
void closePopups();

} // namespace fetchora::test
