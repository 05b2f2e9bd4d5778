#pragma once

#include <QDateTime>

// The wall clock, local time. Tests replace it to get fixed stamps.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
