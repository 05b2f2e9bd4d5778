#pragma once

#include <QString>

// The answer a message box returns.
enum class Answer { Ok, Yes, No };

// Message boxes, as the product uses them. Tests replace this with a recording fake.
class Dialogs {
public:
    // Style numbers: 0 OK only, 4 Yes/No, 16 OK + stop icon, 48 OK + exclamation, 64 OK + information.
    enum Style { Plain = 0, YesNo = 4, Stop = 16, Exclamation = 48, Information = 64 };

    virtual ~Dialogs() = default;

    // An empty title shows the program title "Quillmere".
    virtual Answer message(const QString& text, const QString& title, int style) = 0;

    static QString programTitle() { return QStringLiteral("Quillmere"); }
};
