#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

// File, folder and colour pickers. Every method returns nothing (empty text or
// std::nullopt) when the user cancels.
class Pickers {
public:
    virtual ~Pickers() = default;

    // filter uses the product's "description|patterns|description|patterns" form,
    // for example "文本文件(*.txt)|*.txt".
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    // A file to write, starting at `suggested` (a name or a path).
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& suggested) = 0;
    virtual QString folder(QWidget* parent, const QString& title) = 0;
    virtual std::optional<QColor> color(QWidget* parent, const QColor& initial) = 0;
};
