#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace fetchora {

// One running Fetchora per catalogue. A second start asks the running one to
// come to the front and then leaves without touching the shared settings file.
//
// Starts at the same instant agree through a lock file first: its holder is
// the running program for as long as it lives, and only the holder listens
// on the hand-over socket. Lock and socket sit in a folder that no other user
// can create entries in, so nobody else can pose as the running program.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // Instances that share user and data folder share one key.
    static QString keyFor(const QString &dataDir);

    // The folder for the lock and the socket: the session's runtime folder
    // when it is the user's own and closed to others, else a folder of the
    // user's own with mode 0700 in the temporary folder, made when missing.
    // Empty, with *error saying why, when that folder belongs to someone else
    // or is open to others.
    static QString privateFolder(QString *error = nullptr);

    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the running program now and listens for
    // later starts, or when it cannot tell and runs anyway (error() says
    // why). False when another instance runs: it has been asked to show
    // itself, unless it never answered (error() says so).
    bool tryBecomePrimary();
    QString error() const { return m_error; }

Q_SIGNALS:
    void activationRequested();

private:
    bool listen(const QString &name);

    QString m_key;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace fetchora
