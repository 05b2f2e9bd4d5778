#pragma once

class QBoxLayout;
class QLabel;
class QObject;
class QString;
class QWidget;

// One of the underlined paging words of a list ("首页", "上一页", ...), added to `row`. Its
// clicks reach `clickFilter`'s event filter, which knows the label by its object name.
QLabel* addPagingLink(QWidget* bar, QBoxLayout* row, const char* objectName, const QString& text, QObject* clickFilter);
