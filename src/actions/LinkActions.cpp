#include "LinkActions.h"

#include "ProductUrls.h"
#include "platform/Prompter.h"
#include "platform/Shell.h"

#include <QProcess>

namespace fetchora {

QUrl browserUrl(const QString &link)
{
    const QString text = link.trimmed();
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        url = QUrl::fromUserInput(text);
    // The scheme comes lower-cased; a web address without a host would be
    // completed by whatever handles it.
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    return url.isValid() && web && !url.host().isEmpty() ? url : QUrl();
}

bool openWebLink(Shell &shell, Prompter &prompter, const QString &link)
{
    const QUrl url = browserUrl(link);
    if (url.isEmpty()) {
        prompter.warn(QStringLiteral("\"%1\" is not a web address, so Fetchora did not open it. "
                                     "Only http and https links are opened in the browser.")
                          .arg(link));
        return false;
    }
    if (shell.openUrl(url))
        return true;
    prompter.warn(QStringLiteral("%1 could not be opened.").arg(url.toDisplayString()));
    return false;
}

QUrl mailUrl(const QString &recipient, const QString &subject, const QString &body)
{
    const QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(recipient, "@")
        + "?Subject=" + QUrl::toPercentEncoding(subject) + "&Body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QUrl blockDirectDownloadMail(const QString &link)
{
    return mailUrl(QLatin1String(urls::FeedbackMail), QStringLiteral("Direct Download not allowed."),
                   QStringLiteral("Please Prevent this Fetchora ID: ") + link
                       + QStringLiteral(" from Direct Download."));
}

QString ddlNotAvailableTitle(const QString &name)
{
    return QStringLiteral("DDL not available for ") + name;
}

QString ddlNotAvailableText(const QString &name, const QString &link)
{
    return QStringLiteral("A Direct Download Link for \"") + name
        + QStringLiteral("\" is not available.\r\n"
                         "Do you want instead to open the Download page?\r\n"
                         " \r\n"
                         "This Download page is secure: ")
        + link;
}

bool startCommandLine(const QString &commandLine, QString *error)
{
    auto fail = [&] {
        if (error)
            *error = QStringLiteral("The command \"%1\" could not be started.").arg(commandLine);
        return false;
    };
    const QString trimmed = commandLine.trimmed();
    if (trimmed.isEmpty())
        return fail();
    QProcess process;
#ifdef Q_OS_WIN
    // Windows programs parse their own command line; hand it over as written.
    const QStringList parts = QProcess::splitCommand(trimmed);
    if (parts.isEmpty())
        return fail();
    process.setProgram(parts.first());
    const qsizetype programEnd = trimmed.startsWith(QLatin1Char('"')) ? trimmed.indexOf(QLatin1Char('"'), 1) + 1
                                                                      : trimmed.indexOf(QLatin1Char(' '));
    if (programEnd > 0)
        process.setNativeArguments(trimmed.mid(programEnd).trimmed());
#else
    const QStringList parts = QProcess::splitCommand(trimmed);
    if (parts.isEmpty())
        return fail();
    process.setProgram(parts.first());
    process.setArguments(parts.mid(1));
#endif
    if (!process.startDetached())
        return fail();
    return true;
}

} // namespace fetchora
