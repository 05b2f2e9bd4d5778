#include "app/StripedBackground.h"

#include <QAbstractItemView>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleOptionViewItem>

namespace {

// Qt paints only the odd rows of an alternating list (in AlternateBase) and lets the list's
// Base show through elsewhere, below the last row too. Swapping which rows count as
// alternate lets the first row take the first colour while the empty area stays in the
// second colour, as the stripes continue it.
class FirstRowStripeStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_PanelItemViewRow) {
            if (const auto* row = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
                QStyleOptionViewItem swapped(*row);
                swapped.features ^= QStyleOptionViewItem::Alternate;
                QProxyStyle::drawPrimitive(element, &swapped, painter, widget);
                return;
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

void SetStripedBackground(QAbstractItemView* view, const QColor& first, const QColor& second)
{
    if (!view)
        return;
    QPalette palette = view->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, second);
        palette.setColor(group, QPalette::AlternateBase, first);
    }
    view->setPalette(palette);
    view->setAlternatingRowColors(true);
    if (!view->findChild<FirstRowStripeStyle*>(QString(), Qt::FindDirectChildrenOnly)) {
        auto* style = new FirstRowStripeStyle;
        style->setParent(view);
        view->setStyle(style);
    }
}
