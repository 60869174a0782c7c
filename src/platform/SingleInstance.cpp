#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fetchora {

namespace {

const QByteArray kShowRequest = "show\n";
// How long a later start waits for the running program to answer: it holds
// the lock a moment before it listens, and a busy machine stretches that.
constexpr qint64 kHandOverWaitMs = 10000;
const QString kUnguarded = QStringLiteral(" A second start will open a second window.");

#ifdef Q_OS_UNIX
// Why a folder is no safe place for the lock and the socket; empty when it is
// a real folder (a link could be turned elsewhere), ours, and closed to group
// and others.
QString unsafeBecause(const QString &folder)
{
    struct stat info;
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("it is not a folder");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user");
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        return QStringLiteral("other users have access to it");
    return {};
}
#endif

} // namespace

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

QString SingleInstance::privateFolder(QString *error)
{
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && unsafeBecause(runtime).isEmpty())
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/fetchora-") + QString::number(::geteuid());
    // Closed from the moment it is made; one that is there already must be
    // closed and ours alike, or someone else could have put it there.
    ::mkdir(QFile::encodeName(own).constData(), S_IRWXU);
    const QString why = unsafeBecause(own);
    if (why.isEmpty())
        return own;
    if (error)
        *error = QStringLiteral("Fetchora cannot keep its start-up lock in %1: %2.").arg(own, why);
    return {};
#else
    // The temporary folder is the user's own here, and the socket is a named
    // pipe whose name carries the user.
    Q_UNUSED(error);
    return QDir::tempPath();
#endif
}

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), m_key(key)
{ }

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock: whoever takes the lock next removes
    // and reuses the socket's name.
    delete m_server;
}

bool SingleInstance::tryBecomePrimary()
{
    const QString folder = privateFolder(&m_error);
    if (folder.isEmpty()) {
        m_error += kUnguarded;
        return true;
    }
    const QString lockPath = folder + QLatin1Char('/') + m_key + QStringLiteral(".lock");
#ifdef Q_OS_WIN
    const QString socketName = m_key;
#else
    const QString socketName = folder + QLatin1Char('/') + m_key;
#endif
    m_lock = std::make_unique<QLockFile>(lockPath);
    // Only a holder that died gives the lock up, however long a live one runs.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(kHandOverWaitMs);
    do {
        if (m_lock->tryLock(0))
            return listen(socketName);
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = QStringLiteral("The lock %1 could not be made.").arg(QDir::toNativeSeparators(lockPath))
                + kUnguarded;
            return true;
        }
        QLocalSocket running;
        running.connectToServer(socketName);
        if (running.waitForConnected(1000)) {
            running.write(kShowRequest);
            running.waitForBytesWritten(1000);
            running.disconnectFromServer();
            return false;
        }
        // The holder is still starting, or has just ended and frees the lock.
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    m_error = QStringLiteral("Fetchora already runs on this Data folder but does not answer.");
    return false;
}

bool SingleInstance::listen(const QString &name)
{
    // Whoever holds the lock owns the name: a socket found there was left by
    // a program that died.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        m_error = QStringLiteral("Other starts cannot reach this one: %1.").arg(m_server->errorString()) + kUnguarded;
        return true;
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
