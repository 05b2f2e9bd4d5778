#pragma once

#include "reader/ReadingAppearance.h"

#include <QList>

// Records every restyle of the reading page.
class FakeReadingAppearance : public ReadingAppearance {
public:
    struct Call {
        QString txtColor;
        QString txtSize;
        QString backColor;
    };
    void applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor) override
    {
        calls.append({txtColor, txtSize, backColor});
    }
    Call last() const { return calls.isEmpty() ? Call{} : calls.last(); }
    QList<Call> calls;
};
