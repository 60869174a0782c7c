#pragma once

#include <QString>
#include <QUrl>

namespace fetchora {

class Prompter;
class Shell;

// The address a link opens in the web browser. Catalogue links carry their
// scheme; one that does not is taken as a web address. A catalogue line is
// text anyone can edit or ship in a mirror, so only http and https addresses
// are given: a local path, file:, smb:, javascript: or any other scheme gives
// an empty address.
QUrl browserUrl(const QString &link);

// What every action that opens a link in the browser does: opens its web
// address, or warns naming the link and opens nothing. A desktop that could
// not open the address is told as well. Whether the browser got it.
bool openWebLink(Shell &shell, Prompter &prompter, const QString &link);

// A mail address with subject and body, each part percent-encoded so that a
// link holding "&", "#", "%" or blanks reaches the mail client whole.
QUrl mailUrl(const QString &recipient, const QString &subject, const QString &body);

// The request to bar a link from direct download, to the catalogue's maintainers.
QUrl blockDirectDownloadMail(const QString &link);

// The question asked when an entry cannot be downloaded directly.
QString ddlNotAvailableTitle(const QString &name);
QString ddlNotAvailableText(const QString &name, const QString &link);

// Starts a command entry's command line as its own process. False, with
// *error naming the command, when it could not be started.
bool startCommandLine(const QString &commandLine, QString *error = nullptr);

} // namespace fetchora
