#include "NetError.h"

#include <QDir>
#include <QLocale>

namespace fetchora {

namespace {

QString secondsText(qint64 ms)
{
    if (ms == 1000)
        return QStringLiteral("1 second");
    if (ms % 1000 == 0)
        return QStringLiteral("%1 seconds").arg(ms / 1000);
    return QStringLiteral("%1 seconds").arg(QString::number(double(ms) / 1000.0, 'g', 3));
}

// The system's words without a full stop of their own, so they can end a sentence.
QString clause(QString words)
{
    words = words.trimmed();
    while (words.endsWith(QLatin1Char('.')))
        words.chop(1);
    return words.isEmpty() ? QStringLiteral("unknown reason") : words;
}

QString bytesOf(qint64 received, qint64 total)
{
    return total >= 0 ? QStringLiteral("%1 of %2").arg(received).arg(total) : QString::number(received);
}

} // namespace

QString NetError::text(const QString &thing) const
{
    const QString host = url.host().isEmpty() ? url.toDisplayString() : url.host();
    const QString address = url.toDisplayString();
    switch (kind) {
    case Kind::None: return {};
    case Kind::NoAddress: return QStringLiteral("There is no address to download.");
    case Kind::NotWebAddress:
        return QStringLiteral("%1 is not a web address (http or https) that can be downloaded.").arg(address);
    case Kind::HostNotFound: return QStringLiteral("The server %1 could not be found.").arg(host);
    case Kind::Refused: return QStringLiteral("The connection to %1 was refused.").arg(host);
    case Kind::SecureConnection:
        return QStringLiteral("A secure connection to %1 could not be established: %2.").arg(host, clause(detail));
    case Kind::ConnectTimeout:
        return QStringLiteral("The server %1 did not answer for %2.").arg(host, secondsText(limit));
    case Kind::IdleTimeout:
        return QStringLiteral("The server %1 sent nothing for %2; the download of %3 was stopped after %4 bytes.")
            .arg(host, secondsText(limit), thing, bytesOf(received, total));
    case Kind::TooSlow:
        return QStringLiteral(
                   "The server %1 sent less than %2 bytes per second for %3; the download of %4 was stopped.")
            .arg(host)
            .arg(perSecond)
            .arg(secondsText(limit), thing);
    case Kind::Proxy:
        return QStringLiteral("The proxy server could not be used to reach %1: %2.").arg(host, clause(detail));
    case Kind::NoAnswer: return QStringLiteral("The server %1 closed the connection without answering.").arg(host);
    case Kind::HttpStatus:
    case Kind::NoContent: {
        const QString answer = reason.trimmed().isEmpty()
            ? QString::number(status)
            : QString::number(status) + QLatin1Char(' ') + reason.trimmed();
        return kind == Kind::HttpStatus
            ? QStringLiteral("The server answered %1 for %2.").arg(answer, address)
            : QStringLiteral("The server answered %1 for %2, without a file.").arg(answer, address);
    }
    case Kind::UnaskedPart:
        return QStringLiteral("The server sent only a part of %1 (206 Partial Content), although the whole file was "
                              "asked for; the download was stopped.")
            .arg(thing);
    case Kind::ConflictingSizes:
        return QStringLiteral("The server %1 announced different sizes for %2 (Content-Length: %3); the download was "
                              "stopped.")
            .arg(host, thing, detail);
    case Kind::ShortBody:
        return QStringLiteral("The download of %1 was cut off after %2 bytes.").arg(thing, bytesOf(received, total));
    case Kind::ClosedEarly:
        return QStringLiteral("The connection to %1 was closed before %2 was complete (%3 bytes received).")
            .arg(host, thing)
            .arg(received);
    case Kind::TooLarge:
        return QStringLiteral("The download of %1 was stopped: it is larger than %2.")
            .arg(thing, QLocale::c().formattedDataSize(limit));
    case Kind::InsecureRedirect:
        return QStringLiteral("The download of %1 was redirected from a secure (https) address to an insecure (http) "
                              "one and was stopped: %2")
            .arg(thing, redirectTo.toDisplayString());
    case Kind::NotWebRedirect:
        return QStringLiteral("The download of %1 was redirected to %2, which is not a web address, and was stopped.")
            .arg(thing, redirectTo.toDisplayString());
    case Kind::TooManyRedirects:
        return QStringLiteral("The download of %1 was redirected more than %2 times and was stopped.")
            .arg(thing)
            .arg(limit);
    case Kind::WebPage:
        return QStringLiteral("%1 leads to a web page, not to a file. Open it in the browser to download from there.")
            .arg(address);
    case Kind::WriteFailed:
        return QStringLiteral("%1 could not be written: %2.").arg(QDir::toNativeSeparators(target), clause(detail));
    case Kind::Cancelled: return QStringLiteral("The download of %1 was cancelled.").arg(thing);
    case Kind::Other: break;
    }
    return QStringLiteral("The download of %1 failed: %2.").arg(thing, clause(detail));
}

} // namespace fetchora
