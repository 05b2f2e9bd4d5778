#pragma once

#include "platform/AutoStart.h"

#include <QStringList>

// Records "add" and "remove" in call order; `present` is what the desktop would hold.
class FakeAutoStart : public AutoStart {
public:
    void add() override
    {
        calls << QStringLiteral("add");
        present = true;
    }
    void remove() override
    {
        calls << QStringLiteral("remove");
        present = false;
    }
    QStringList calls;
    bool present = false;
};
