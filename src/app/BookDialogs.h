#pragma once

#include <QPointer>
#include <QString>

class BookDialog;
class QWidget;
class ReaderNavigator;
struct AppServices;

// Opens the book dialog: one at a time; a second request brings the open one forward.
class BookDialogs {
public:
    BookDialogs(AppServices& services, ReaderNavigator& navigator, QWidget* parentWindow = nullptr);

    // `bookPath` is the book "opennew" offers for the shelf.
    void show(const QString& mode, const QString& bookPath = QString());
    // The open dialog, or nullptr.
    BookDialog* current() const;

private:
    AppServices& m_services;
    ReaderNavigator& m_navigator;
    QPointer<QWidget> m_parentWindow;
    QPointer<BookDialog> m_dialog;
};
