#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace fetchora {

namespace {
const QByteArray kShowRequest = "show\n";
}

QString SingleInstance::keyFor(const QString &dataDir)
{
    QString user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty())
        user = qEnvironmentVariable("USER");
    const QString folder = QDir::cleanPath(QFileInfo(dataDir).absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash((user + QLatin1Char('|') + folder).toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
    return QStringLiteral("fetchora-") + QString::fromLatin1(hash);
}

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), m_key(key)
{ }

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryBecomePrimary()
{
    {
        QLocalSocket probe;
        probe.connectToServer(m_key);
        if (probe.waitForConnected(1000)) {
            probe.write(kShowRequest);
            probe.waitForBytesWritten(1000);
            probe.disconnectFromServer();
            return false;
        }
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_key)) {
        // Nobody answered, so the name is left over from a program that ended
        // without cleaning up.
        QLocalServer::removeServer(m_key);
        if (!m_server->listen(m_key))
            return true; // run anyway; a lost hand-over is better than no program
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    Q_EMIT activationRequested();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace fetchora
