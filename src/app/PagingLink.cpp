#include "app/PagingLink.h"

#include <QBoxLayout>
#include <QLabel>

QLabel* addPagingLink(QWidget* bar, QBoxLayout* row, const char* objectName, const QString& text, QObject* clickFilter)
{
    auto* label = new QLabel(text, bar);
    label->setObjectName(QLatin1String(objectName));
    label->setCursor(Qt::PointingHandCursor);
    label->setStyleSheet(QStringLiteral("color: #1a4f9c; text-decoration: underline;"));
    label->installEventFilter(clickFilter);
    row->addWidget(label);
    return label;
}
