#pragma once

#include <QString>

// Slow salted password hashes (libsodium's crypto_pwhash, Argon2id). Stateless and safe to
// call from worker threads.
class PasswordHasher {
public:
    PasswordHasher(unsigned long long opsLimit, size_t memLimitBytes);

    // The encoded hash with its salt and parameters; empty when hashing failed (out of memory).
    QString hash(const QString& password) const;
    bool verify(const QString& encodedHash, const QString& password) const;

    // 128 random bits as 32 hex digits, for session ids.
    static QByteArray randomToken();

private:
    unsigned long long m_ops;
    size_t m_mem;
};
