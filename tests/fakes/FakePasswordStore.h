#pragma once

#include "platform/PasswordStore.h"

#include <QHash>
#include <QTimer>

// A keyring in memory; `unavailable` makes it answer as a desktop without a secret service.
// Answers come later, as the real one's do.
class FakePasswordStore : public PasswordStore {
public:
    QHash<QString, QString> passwords;
    bool unavailable = false;

    void read(const QString& key, Done done) override
    {
        Result r = answer();
        if (r.ok && !passwords.contains(key)) {
            r.ok = false;
            r.error = QStringLiteral("没有这个密码");
        }
        r.password = passwords.value(key);
        later(done, r);
    }
    void write(const QString& key, const QString& password, Done done) override
    {
        const Result r = answer();
        if (r.ok)
            passwords.insert(key, password);
        later(done, r);
    }
    void remove(const QString& key, Done done) override
    {
        const Result r = answer();
        if (r.ok)
            passwords.remove(key);
        later(done, r);
    }

private:
    Result answer() const
    {
        Result r;
        r.ok = !unavailable;
        r.unavailable = unavailable;
        if (unavailable)
            r.error = QStringLiteral("No keyring");
        return r;
    }
    void later(const Done& done, const Result& r)
    {
        QTimer::singleShot(0, this, [done, r] { done(r); });
    }
};
