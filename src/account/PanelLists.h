#pragma once

#include <QStringList>

class QTreeWidget;
class QWidget;

// The user panel's report lists: whole rows selected, striped, not editable.
QTreeWidget* makePanelList(const QStringList& columns, const QString& objectName, QWidget* parent);

// The panel lays out in twips as the product's windows do; 15 twips to a pixel.
constexpr int twipsToPixels(int twips)
{
    return twips / 15;
}
