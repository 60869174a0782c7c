#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace fetchora {

// SHA-256 of data that arrives in pieces, such as a download as it streams to
// disk. Uses the system's crypto library where the build found one (it uses
// the processor's SHA instructions), Qt's implementation otherwise.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void reset();
    void addData(QByteArrayView data);
    // Lower-case hex of everything added since the last reset.
    QByteArray hex();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace fetchora
