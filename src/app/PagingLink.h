#pragma once

#include <functional>

class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QObject;
class QString;
class QWidget;

// One of the underlined paging words of a list ("首页", "上一页", ...), added to `row`. Its
// clicks reach `clickFilter`'s event filter, which knows the label by its object name.
QLabel* addPagingLink(QWidget* bar, QBoxLayout* row, const char* objectName, const QString& text, QObject* clickFilter);

// The page-number box and its "Go" button, added to `row`. Clicking "Go" or pressing Enter in
// the box calls `go`.
struct PageBoxControls {
    QLineEdit* box;
    QPushButton* go;
};
PageBoxControls addPageBox(QWidget* bar, QBoxLayout* row, const char* boxName, const char* buttonName,
                           const std::function<void()>& go);
