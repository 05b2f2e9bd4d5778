#include "online/CatalogueLayout.h"

namespace {

constexpr int kListGapTw = 30;           // between the toolbar and the list
constexpr int kPaneHeightTw = 1800;      // the pane fills the page's last 1800 twips
constexpr int kBelowListWithPane = 2300; // room under the list for the paging bar and the pane
constexpr int kBelowListAlone = 500;     // room under the list for the paging bar
constexpr int kBarLeftTw = 160;
constexpr int kBarBelowListTw = 520;
constexpr int kToggleBelowListTw = 550;
constexpr int kToggleFromRightTw = 300;

std::optional<QRect> twipsRect(int left, int top, int width, int height)
{
    if (left < 0 || top < 0 || width < 0 || height < 0)
        return std::nullopt;
    return QRect(CatalogueLayout::toPixels(left), CatalogueLayout::toPixels(top), CatalogueLayout::toPixels(width),
                 CatalogueLayout::toPixels(height));
}

} // namespace

CatalogueLayout CatalogueLayout::compute(int pageWidthTw, int pageHeightTw, bool paneShown)
{
    CatalogueLayout layout;
    layout.toolbar = twipsRect(0, 0, pageWidthTw, kToolbarHeightTw);
    layout.pane = twipsRect(0, pageHeightTw - kPaneHeightTw, pageWidthTw, kPaneHeightTw);

    const int listTop = kToolbarHeightTw + kListGapTw;
    const int listHeight = pageHeightTw - listTop - (paneShown ? kBelowListWithPane : kBelowListAlone);
    layout.list = twipsRect(0, listTop, pageWidthTw, listHeight);
    if (!layout.list)
        return layout; // the paging bar and the toggle hang off the list's height

    const int toggleLeft = pageWidthTw - kToggleFromRightTw;
    layout.pagingBar =
        twipsRect(kBarLeftTw, listHeight + kBarBelowListTw, toggleLeft - kBarLeftTw - kListGapTw, kPagingBarHeightTw);
    layout.toggle = twipsRect(toggleLeft, listHeight + kToggleBelowListTw, kToggleSizeTw, kToggleSizeTw);
    return layout;
}
