#include "app/PagingLink.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

PageBoxControls addPageBox(QWidget* bar, QBoxLayout* row, const char* boxName, const char* buttonName,
                           const std::function<void()>& go)
{
    auto* box = new QLineEdit(bar);
    box->setObjectName(QLatin1String(boxName));
    box->setFixedWidth(48);
    row->addWidget(box);
    auto* button = new QPushButton(QStringLiteral("Go"), bar);
    button->setObjectName(QLatin1String(buttonName));
    button->setFixedWidth(40);
    row->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, button, go);
    QObject::connect(box, &QLineEdit::returnPressed, box, go);
    return {box, button};
}
