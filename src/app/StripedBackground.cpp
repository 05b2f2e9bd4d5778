#include "app/StripedBackground.h"

#include <QAbstractItemView>
#include <QPalette>

void SetStripedBackground(QAbstractItemView* view, const QColor& first, const QColor& second)
{
    if (!view)
        return;
    QPalette palette = view->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, first);
        palette.setColor(group, QPalette::AlternateBase, second);
    }
    view->setPalette(palette);
    view->setAlternatingRowColors(true);
}
