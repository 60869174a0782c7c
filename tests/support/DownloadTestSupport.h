#pragma once

#include "HttpTestServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <memory>

namespace fetchora::test {

// Every wait for a loopback fetch is bounded; a few megabytes take far less.
constexpr int kDownloadWaitMs = 15000;

// Bytes that are not one value repeated, so a dropped or doubled piece shows.
QByteArray sampleBytes(int size, int seed = 1);
inline QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}
// A loopback port that was free a moment ago and that nobody listens on now.
quint16 deadPort();
// Every entry of a folder by name, hidden ones included: a left-over .part or
// temporary file of a failed download or replacement shows here.
inline QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
// Serves `body` with status 200 and nothing but a Content-Length, or, when it is
// not announced, with no length at all: the end of the connection ends the body.
inline void serveBody(HttpTestServer &server, const QString &path, const QByteArray &body, bool announceLength = true)
{
    server.setRoute(path, {.body = body, .contentLength = announceLength ? -1 : -2});
}

// The base of the download and update tests: for every test function a fresh
// loopback HttpTestServer, a network manager that never uses a proxy and a
// scratch folder. A test that needs more declares its own init() and cleanup() and
// calls these from them.
class DownloadTestCase : public QObject
{
    Q_OBJECT

protected Q_SLOTS:
    void init();
    void cleanup();

protected:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HttpTestServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_nam;
};

} // namespace fetchora::test
