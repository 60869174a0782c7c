#include "DownloadTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTest>

namespace fetchora::test {

QByteArray sampleBytes(int size, int seed)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 12345u;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = char(x >> 16);
    }
    return out;
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

quint16 deadPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort(); // closed again when the probe goes
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void serveBody(HttpTestServer &server, const QString &path, const QByteArray &body, bool announceLength)
{
    HttpTestServer::Route route;
    route.body = body;
    route.contentLength = announceLength ? -1 : -2;
    server.setRoute(path, route);
}

QString partPath(const QString &target)
{
    return target + QStringLiteral(".part");
}

void verifyNothingLeft(const QString &target)
{
    QVERIFY2(!QFileInfo::exists(target), qPrintable(target));
    QVERIFY2(!QFileInfo::exists(partPath(target)), qPrintable(target));
}

void DownloadTestCase::initTestCase()
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void DownloadTestCase::init()
{
    m_nam = std::make_unique<QNetworkAccessManager>();
    m_nam->setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<HttpTestServer>();
    QVERIFY(m_server->listen());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void DownloadTestCase::cleanup()
{
    m_server.reset();
    m_nam.reset();
    m_dir.reset();
}

} // namespace fetchora::test
