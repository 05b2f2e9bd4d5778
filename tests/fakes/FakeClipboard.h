#pragma once

#include "platform/Clipboard.h"

#include <QStringList>

// Keeps what was put on the clipboard, newest last.
class FakeClipboard : public Clipboard {
public:
    void setText(const QString& text) override { texts << text; }
    QStringList texts;
};
