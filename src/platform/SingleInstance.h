#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace fetchora {

// One running Fetchora per catalogue. A second start asks the running one to
// come to the front and then leaves without touching the shared settings file.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // Instances that share user and data folder share one key.
    static QString keyFor(const QString &dataDir);

    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first one and now listens for later starts;
    // false when another instance runs (it has been asked to show itself).
    bool tryBecomePrimary();

Q_SIGNALS:
    void activationRequested();

private:
    QString m_key;
    QLocalServer *m_server = nullptr;
};

} // namespace fetchora
