#include "Sha256.h"

#ifdef FETCHORA_HAVE_OPENSSL
#include <openssl/evp.h>
#else
#include <QCryptographicHash>
#endif

namespace fetchora {

#ifdef FETCHORA_HAVE_OPENSSL

struct Sha256::Impl
{
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~Impl() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : d(std::make_unique<Impl>())
{
    reset();
}

void Sha256::reset()
{
    EVP_DigestInit_ex(d->ctx, EVP_sha256(), nullptr);
}

void Sha256::addData(QByteArrayView data)
{
    EVP_DigestUpdate(d->ctx, data.data(), size_t(data.size()));
}

QByteArray Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX *copy = EVP_MD_CTX_new();
    // Finish a copy, so more data may still be added to the running hash.
    EVP_MD_CTX_copy_ex(copy, d->ctx);
    EVP_DigestFinal_ex(copy, digest, &length);
    EVP_MD_CTX_free(copy);
    return QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
}

#else

struct Sha256::Impl
{
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

Sha256::Sha256() : d(std::make_unique<Impl>())
{ }

void Sha256::reset()
{
    d->hash.reset();
}

void Sha256::addData(QByteArrayView data)
{
    d->hash.addData(data);
}

QByteArray Sha256::hex()
{
    return d->hash.result().toHex();
}

#endif

Sha256::~Sha256() = default;

} // namespace fetchora
