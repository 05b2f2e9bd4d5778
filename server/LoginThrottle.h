#pragma once

#include <QHash>
#include <QString>

// Limits wrong passwords. Failed logins are counted per account and per client address
// (ClientAddress::group); past a few free ones, each further attempt must wait a delay that
// doubles with every failure, up to a cap. Attempts that must wait are refused at once,
// without checking the password and without counting, so a flood of them costs nothing and
// does not lengthen the wait. The per-account delay is capped at a minute, so nobody can
// lock a real user out for long; and an address the account has logged in from before is
// exempt from the account's and the address's counts (it has a count of its own), so the
// user keeps logging in from there while others hammer the account.
class LoginThrottle {
public:
    struct Rules {
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
    enum class Outcome { Succeeded, Failed, NoSuchAccount, Abandoned };

    // One attempt: how long it must still wait (0: it may go ahead and is now under way), and
    // which count it belongs to.
    struct Ticket {
        qint64 waitMs = 0;
        bool knownAddress = false;
    };

    LoginThrottle();
    explicit LoginThrottle(const Rules& rules);

    // Times are milliseconds of any steady clock.
    Ticket begin(const QString& account, const QString& address, qint64 now);
    // Every ticket that was let through reports its outcome once.
    void finish(const QString& account, const QString& address, const Ticket& ticket, Outcome outcome, qint64 now);
    bool known(const QString& account, const QString& address, qint64 now) const;

    int entries() const { return int(m_accounts.size() + m_addresses.size() + m_pairs.size()); }

private:
    struct Counter {
        int failures = 0;
        int underWay = 0;
        qint64 lastFailure = 0;
    };
    using Counters = QHash<QString, Counter>;

    qint64 waitFor(const Counter& counter, int free, qint64 maxDelay, bool countUnderWay, qint64 now) const;
    static void fail(Counter& counter, qint64 now);
    void tidy(Counters& table, qint64 now);
    void tidyAll(qint64 now);

    Rules m_rules;
    Counters m_accounts;                            // failures from addresses the account is not known at
    Counters m_addresses;                           // failures from the address, for any account
    Counters m_pairs;                               // failures of an account at an address it is known at
    QHash<QString, QHash<QString, qint64>> m_known; // account -> address -> last login there
    int m_sinceTidy = 0;
};
