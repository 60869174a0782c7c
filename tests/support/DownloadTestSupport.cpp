#include "DownloadTestSupport.h"

#include <QNetworkProxy>
#include <QTest>

namespace fetchora::test {

QByteArray sampleBytes(int size, int seed)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 12345u;
    for (char &byte : out)
        byte = char((x = x * 1103515245u + 12345u) >> 16);
    return out;
}

quint16 deadPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0; // closed again when the probe goes
}

void DownloadTestCase::init()
{
    m_nam = std::make_unique<QNetworkAccessManager>();
    m_nam->setProxy(QNetworkProxy::NoProxy); // only the loopback server is asked, whatever the system says
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
