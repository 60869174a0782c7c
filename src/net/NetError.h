#pragma once

#include <QString>
#include <QUrl>

namespace fetchora {

// Why fetching something failed, with the figures its text needs. Every part
// of the program that fetches over the network words its failures through
// text(), so the same failure reads the same wherever it happens.
struct NetError
{
    enum class Kind {
        None,
        NoAddress,        // nothing to fetch
        NotWebAddress,    // not http or https
        HostNotFound,     // the name did not resolve
        Refused,          // nobody listens there
        SecureConnection, // TLS could not be set up (detail: why)
        ConnectTimeout,   // no answer within `limit` ms
        IdleTimeout,      // the body paused for `limit` ms
        TooSlow,          // fewer than `perSecond` bytes a second over `limit` ms
        Proxy,            // the proxy failed (detail: why)
        NoAnswer,         // the connection closed before any answer
        HttpStatus,       // an answer other than 2xx
        NoContent,        // 204 or 205: an answer that has no file by definition
        UnaskedPart,      // 206: a part of the file, though no range was asked for
        ConflictingSizes, // Content-Length headers that disagree (detail: their values)
        ShortBody,        // fewer bytes than announced
        ClosedEarly,      // the connection ended an unannounced body with an error
        TooLarge,         // more than `limit` bytes, announced or sent
        InsecureRedirect, // from https to http
        NotWebRedirect,   // to a scheme other than http or https
        TooManyRedirects, // more than `limit`
        WebPage,          // a web page came where a file was expected
        WriteFailed,      // `target` could not be written (detail: why)
        Cancelled,
        Other, // anything else (detail: the system's words)
    };

    Kind kind = Kind::None;
    QUrl url;        // the address asked when it failed, after redirects
    QUrl redirectTo; // a refused redirect's target
    int status = 0;  // HttpStatus
    QString reason;  // HttpStatus: the server's reason phrase
    qint64 received = 0;
    qint64 total = -1; // announced size, -1 unknown
    qint64 limit = 0;  // milliseconds, bytes or redirects, by kind
    int perSecond = 0; // TooSlow: the least rate in bytes per second
    QString detail;    // words of the system or the server
    QString target;    // WriteFailed: the file

    bool failed() const { return kind != Kind::None; }

    // The sentence a user reads. `thing` is what the caller calls what it
    // fetches: a file name, an address.
    QString text(const QString &thing) const;
};

} // namespace fetchora
