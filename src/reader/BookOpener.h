#pragma once

#include <QString>

class QWidget;
class ReaderNavigator;
struct AppServices;

// OpenFile: a TXT file chosen in the open dialog is read. A book already on the shelf
// is stamped as read; one that is not is offered for the shelf first.
class BookOpener {
public:
    BookOpener(AppServices& services, ReaderNavigator& navigator);

    // Shows the open dialog (parented to `parent`) and opens the chosen file.
    void openFile(QWidget* parent);
    // The same for an already chosen path (the part after the dialog).
    void openPath(const QString& path);

    static QString dialogTitle() { return QStringLiteral("打开电子书-Quillmere"); }
    static QString dialogFilter() { return QStringLiteral("文本文件(*.txt)|*.txt"); }

private:
    AppServices& m_services;
    ReaderNavigator& m_navigator;
};
