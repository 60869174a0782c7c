#include "DownloadTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
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
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0; // closed again when the probe goes
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
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
    m_server.reset(); // before the manager, so no reply outlives it
    m_nam.reset();
}

} // namespace fetchora::test
