#pragma once

#include "platform/Pickers.h"

// Qt's own file, folder and colour dialogs.
class QtPickers : public Pickers {
public:
    QString openFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suggested) override;
    QString folder(QWidget* parent, const QString& title) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;

    // "文本文件(*.txt)|*.txt" → "文本文件(*.txt)", "TXT|*.txt" → "TXT (*.txt)": the patterns are
    // shown once; pairs become ";;"-separated filters.
    static QString toQtFilter(const QString& filter);
};
