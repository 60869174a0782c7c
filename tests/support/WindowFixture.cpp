#include "WindowFixture.h"

#include "app/pages/SpecialPage.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTabWidget>
#include <QTest>

namespace fetchora::test {

namespace {
const char *const kSchemes[] = {"https", "http", "mailto", "file"};
}

UrlCatcher::UrlCatcher()
{
    for (const char *scheme : kSchemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const char *scheme : kSchemes)
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

AppRun::AppRun(const QString &dataDir, ShellKind kind)
    : state(engine, kind == Desktop ? static_cast<Shell &>(desktop) : static_cast<Shell &>(shell), prompter, dataDir),
      window(state)
{
    state.setDirectDownloadHandler([this](const QString &link) { downloads.append(link); });
}

bool WindowFixture::setUpFolder()
{
    QCursor::setPos(QPoint(3000, 3000));
    QCoreApplication::processEvents();
    tmp = std::make_unique<QTemporaryDir>();
    dataDir = tmp->filePath(QStringLiteral("Data"));
    return tmp->isValid() && QDir().mkpath(dataDir);
}

void WindowFixture::tearDown()
{
    closePopups();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    tmp.reset();
}

bool WindowFixture::put(std::initializer_list<std::pair<const char *, QByteArray>> files)
{
    bool ok = true;
    for (const auto &[name, bytes] : files)
        ok = put(QLatin1String(name), bytes) && ok;
    return ok;
}

AppRun *WindowFixture::start(bool show, AppRun::ShellKind shell, const QString &dir)
{
    app.reset();
    app = std::make_unique<AppRun>(dir.isEmpty() ? dataDir : dir, shell);
    app->window.startUp();
    if (show)
        app->window.show();
    return !show || QTest::qWaitForWindowExposed(&app->window) ? app.get() : nullptr;
}

bool WindowFixture::closeApp()
{
    const bool closed = app && app->window.close();
    QCoreApplication::processEvents();
    return closed;
}

QByteArray crlf(std::initializer_list<const char *> lines)
{
    QByteArray out;
    for (const char *line : lines)
        out += QByteArray(line) + "\r\n";
    return out;
}

bool showTab(MainWindow &w, int tab, int inner)
{
    w.tabs->setCurrentIndex(tab);
    if (inner >= 0)
        w.specialPage->tabs->setCurrentIndex(inner);
    QCoreApplication::processEvents();
    return w.tabs->currentIndex() == tab && (inner < 0 || w.specialPage->tabs->currentIndex() == inner);
}

bool pressRow(ListBox *list, const QString &text, Qt::MouseButton button, bool doubleClick)
{
    const int row = rowOf(list, text);
    if (!list || !list->isVisible() || row < 0)
        return false;
    list->scrollTo(list->model()->index(row, 0));
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    if (!list->viewport()->rect().contains(at))
        return false;
    QTest::mouseClick(list->viewport(), button, {}, at);
    if (doubleClick)
        QTest::mouseDClick(list->viewport(), button, {}, at);
    return list->currentRow() == row;
}

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    QCoreApplication::processEvents();
}

} // namespace fetchora::test
