#pragma once

#include "platform/Dialogs.h"

class QWidget;

// Message boxes drawn by Qt, parented to the active window so they stay on top of it.
class QtDialogs : public Dialogs {
public:
    Answer message(const QString& text, const QString& title, int style) override;
};
