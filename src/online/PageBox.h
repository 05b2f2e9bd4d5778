#pragma once

#include <QString>

#include <optional>

// The page box beside "Go" on the service's paged lists (the catalogue and the user panel's
// books): what the user typed read against the page count the service gave.
namespace PageBox {

// A text read as a number the way the page box is read: blanks around it allowed, a sign, a
// decimal point and an exponent; nothing else, and nothing infinite.
std::optional<double> number(const QString& text);

// The page to ask for (a whole number, without fraction), or the refusal the user sees.
struct Reading {
    std::optional<QString> page;
    QString refusal;
};

Reading read(const QString& boxText, const QString& pageCount);

} // namespace PageBox
