#pragma once

#include <QString>

// The desktop's clipboard, text only. Tests replace it with a recording fake.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Empties the clipboard, then puts the text on it.
    virtual void setText(const QString& text) = 0;
};
