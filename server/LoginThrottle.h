#pragma once

#include "ThrottleStore.h"

#include <QString>

#include <memory>

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
    using Rules = ThrottleRules;
    enum class Outcome { Succeeded, Failed, NoSuchAccount, Abandoned };

    // One attempt: how long it must still wait (0: it may go ahead and is now under way), and
    // which count it belongs to.
    struct Ticket {
        qint64 waitMs = 0;
        bool knownAddress = false;
    };

    LoginThrottle();
    explicit LoginThrottle(const Rules& rules);
    // Counts kept in `store` (shared by several instances, say) rather than in memory.
    LoginThrottle(const Rules& rules, std::unique_ptr<ThrottleStore> store);

    // Times are milliseconds of any steady clock; instances sharing a store share a clock.
    Ticket begin(const QString& account, const QString& address, qint64 now);
    // Every ticket that was let through reports its outcome once.
    void finish(const QString& account, const QString& address, const Ticket& ticket, Outcome outcome, qint64 now);
    bool known(const QString& account, const QString& address, qint64 now);

    int entries() const { return m_store->entries(); }

private:
    qint64 waitFor(const ThrottleCounter& counter, int free, qint64 maxDelay, bool countUnderWay, qint64 now) const;
    static void fail(ThrottleCounter& counter, qint64 now);
    void failAddress(const QString& group, qint64 now);

    Rules m_rules;
    std::unique_ptr<ThrottleStore> m_store;
};
