#pragma once

#include "platform/Clock.h"

// A clock that stands still until told otherwise.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2009, 3, 7), QTime(8, 5, 0))) : m_now(start) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSecs(int s) { m_now = m_now.addSecs(s); }

private:
    QDateTime m_now;
};
