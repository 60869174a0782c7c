#include "WindowFixture.h"

#include "app/pages/SpecialPage.h"
#include "widgets/StatusBar.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTabWidget>
#include <QTest>

#include <optional>

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
    : state(engine, kind == Desktop ? static_cast<Shell &>(desktop) : static_cast<Shell &>(shell), prompter,
            dataDir),
      window(state)
{
    state.setDirectDownloadHandler([this](const QString &link) { downloads.append(link); });
}

QString AppRun::panel() const { return window.statusBar->panelText(0); }

QStringList AppRun::items(const char *name) const
{
    const ListBox *l = list(name);
    return l ? l->items() : QStringList{QStringLiteral("<no %1>").arg(QLatin1String(name))};
}

int AppRun::row(const char *name) const
{
    const ListBox *l = list(name);
    return l ? l->currentRow() : -2;
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
    if (show) {
        app->window.show();
        if (!QTest::qWaitForWindowExposed(&app->window))
            return nullptr;
        // Let the placement settle (the outer size is fixed up once shown).
        QTest::qWait(20);
    }
    return app.get();
}

bool WindowFixture::closeApp()
{
    if (!app)
        return false;
    const bool closed = app->window.close();
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

int rowOf(const ListBox *list, const QString &text)
{
    for (int i = 0; list && i < list->count(); ++i) {
        if (list->text(i) == text)
            return i;
    }
    return -1;
}

namespace {
// Where to press on a listed line; null when it is not listed or not on screen.
std::optional<QPoint> lineSpot(ListBox *list, int row, bool scroll)
{
    if (!list || !list->isVisible() || row < 0)
        return std::nullopt;
    if (scroll)
        list->scrollTo(list->model()->index(row, 0));
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    if (!list->viewport()->rect().contains(at))
        return std::nullopt;
    return at;
}
} // namespace

bool clickRow(ListBox *list, const QString &text, Qt::MouseButton button)
{
    const int row = rowOf(list, text);
    const auto at = lineSpot(list, row, true);
    if (!at)
        return false;
    QTest::mouseClick(list->viewport(), button, {}, *at);
    return list->currentRow() == row;
}

bool doubleClickRow(ListBox *list, const QString &text)
{
    const int row = rowOf(list, text);
    const auto at = lineSpot(list, row, false);
    if (!at)
        return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, *at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, *at);
    return list->currentRow() == row;
}

void hover(QWidget *widget, const QPoint &offset)
{
    QTest::mouseMove(widget, widget->rect().center() + offset);
}

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    QCoreApplication::processEvents();
}

} // namespace fetchora::test
