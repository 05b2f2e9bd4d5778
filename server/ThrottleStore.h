#pragma once

#include <QHash>
#include <QString>

#include <optional>

// How LoginThrottle counts; see there.
struct ThrottleRules {
    int freeAccountFailures = 5;
    int freeAddressFailures = 20;
    qint64 firstDelayMs = 1000;
    qint64 maxAccountDelayMs = 60 * 1000;
    qint64 maxAddressDelayMs = 15 * 60 * 1000;
    qint64 forgetMs = 60 * 60 * 1000;            // failures this old no longer count
    qint64 trustMs = 30LL * 24 * 60 * 60 * 1000; // how long a login makes an address known
    int maxKnownAddresses = 16;                  // per account
    int maxEntries = 100000;                     // per table; the oldest go first
};

struct ThrottleCounter {
    int failures = 0;
    int underWay = 0;
    qint64 lastFailure = 0;
};

// Where LoginThrottle keeps its counts: in the memory of a service that runs alone, or in
// the store several instances share, so that failures over all of them add up.
class ThrottleStore {
public:
    enum Kind {
        Account = 0, // failures from addresses the account is not known at
        Address = 1, // failures from the address, for any account
        Pair = 2,    // failures of an account at an address it is known at
    };

    virtual ~ThrottleStore() = default;

    // Bracket one step of the throttle, which other instances then see whole.
    virtual void lock() {}
    virtual void unlock() {}

    virtual ThrottleCounter counter(Kind kind, const QString& key) = 0;
    // A counter with neither failures nor attempts under way is dropped.
    virtual void setCounter(Kind kind, const QString& key, const ThrottleCounter& counter, qint64 now) = 0;
    // When the account last logged in from the address group, if it did.
    virtual std::optional<qint64> lastLogin(const QString& account, const QString& group) = 0;
    // Keeps the newest `rules.maxKnownAddresses` groups of the account.
    virtual void recordLogin(const QString& account, const QString& group, qint64 now, const ThrottleRules& rules) = 0;
    // Called at every attempt; forgets old counts now and then.
    virtual void tidyIfDue(qint64 now, const ThrottleRules& rules) = 0;
    virtual int entries() const = 0;
};

class MemoryThrottleStore : public ThrottleStore {
public:
    ThrottleCounter counter(Kind kind, const QString& key) override { return m_tables[kind].value(key); }
    void setCounter(Kind kind, const QString& key, const ThrottleCounter& counter, qint64 now) override;
    std::optional<qint64> lastLogin(const QString& account, const QString& group) override;
    void recordLogin(const QString& account, const QString& group, qint64 now, const ThrottleRules& rules) override;
    void tidyIfDue(qint64 now, const ThrottleRules& rules) override;
    int entries() const override;

private:
    using Counters = QHash<QString, ThrottleCounter>;
    void tidy(Counters& table, qint64 now, const ThrottleRules& rules);

    Counters m_tables[3];
    QHash<QString, QHash<QString, qint64>> m_known; // account -> address group -> last login there
    int m_sinceTidy = 0;
};
