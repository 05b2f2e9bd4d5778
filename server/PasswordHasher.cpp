#include "PasswordHasher.h"

#include <sodium.h>

PasswordHasher::PasswordHasher(unsigned long long opsLimit, size_t memLimitBytes)
    : m_ops(qMax<unsigned long long>(opsLimit, crypto_pwhash_OPSLIMIT_MIN)),
      m_mem(qMax<size_t>(memLimitBytes, crypto_pwhash_MEMLIMIT_MIN))
{
    // Idempotent and thread-safe; every user of the hasher gets an initialised library.
    if (sodium_init() < 0)
        qFatal("libsodium cannot be initialised");
}

QString PasswordHasher::hash(const QString& password) const
{
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()), m_ops, m_mem) != 0)
        return {};
    return QString::fromLatin1(out);
}

bool PasswordHasher::verify(const QString& encodedHash, const QString& password) const
{
    const QByteArray stored = encodedHash.toLatin1();
    const QByteArray bytes = password.toUtf8();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(stored.constData(), bytes.constData(),
                                    static_cast<unsigned long long>(bytes.size())) == 0;
}

QByteArray PasswordHasher::randomToken()
{
    if (sodium_init() < 0)
        qFatal("libsodium cannot be initialised");
    unsigned char raw[16];
    randombytes_buf(raw, sizeof raw);
    return QByteArray(reinterpret_cast<const char*>(raw), sizeof raw).toHex();
}
