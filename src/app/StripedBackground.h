#pragma once

#include <QColor>

class QAbstractItemView;

// Gives a report list alternating row backgrounds: rows 1, 3, 5 ... in `first`, rows 2, 4, 6 ...
// in `second`. The colours hold whether or not the list has the focus.
void SetStripedBackground(QAbstractItemView* view, const QColor& first, const QColor& second);

// The product's stripes: RGB(236,246,255) and white.
inline QColor stripeFirstColor()
{
    return QColor(236, 246, 255);
}
inline QColor stripeSecondColor()
{
    return QColor(Qt::white);
}
