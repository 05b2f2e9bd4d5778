#pragma once

#include "ThrottleStore.h"

class ServiceDatabase;

// The failed-login counts in the database several instances share. Each step of the
// throttle is one transaction under a lock all instances take, so two attempts on two
// instances cannot both pass as the last free one. Times are the wall clock's milliseconds,
// the one clock all instances have in common.
class DatabaseThrottleStore : public ThrottleStore {
public:
    explicit DatabaseThrottleStore(ServiceDatabase& db) : m_db(db) {}

    void lock() override;
    void unlock() override;
    ThrottleCounter counter(Kind kind, const QString& key) override;
    void setCounter(Kind kind, const QString& key, const ThrottleCounter& counter, qint64 now) override;
    std::optional<qint64> lastLogin(const QString& account, const QString& group) override;
    void recordLogin(const QString& account, const QString& group, qint64 now, const ThrottleRules& rules) override;
    void tidyIfDue(qint64 now, const ThrottleRules& rules) override;
    int entries() const override { return -1; }

    // An attempt counted as under way longer than this was cut off with its instance.
    static constexpr qint64 kUnderWayMs = 60 * 1000;

private:
    ServiceDatabase& m_db;
    bool m_locked = false;
    qint64 m_lastTidy = 0;
};
