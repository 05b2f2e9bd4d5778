#pragma once

#include <QString>

// What a message box shows of its text: a text from the service may be a hundred kilobytes,
// and a box as tall as that puts its buttons off the screen. The box shows the head of a
// long text and keeps the whole of it in a scrollable details area.
struct MessageText {
    static constexpr int MaxLines = 12;
    static constexpr int MaxChars = 500;

    QString shown;
    // Empty when the text is shown whole.
    QString details;

    static MessageText bounded(const QString& text);
};
