#include "reader/ReadingLayout.h"

#include <cmath>

namespace {

constexpr int kToolbarHeight = 360;
constexpr int kViewMarginWithList = 3130;
constexpr int kViewMarginWithoutList = 135;
constexpr int kListFromWindowRight = 3150;

std::optional<QRect> twipsRect(int left, int top, int width, int height)
{
    if (width < 0 || height < 0)
        return std::nullopt;
    return QRect(ReadingLayout::toPixels(left), ReadingLayout::toPixels(top), ReadingLayout::toPixels(width),
                 ReadingLayout::toPixels(height));
}

} // namespace

int ReadingLayout::toPixels(int twips)
{
    return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel)));
}

ReadingLayout ReadingLayout::compute(int pageWidthTw, int pageHeightTw, int windowWidthTw, bool listShown,
                                     int buttonHeightTw)
{
    ReadingLayout out;
    const int bodyHeight = pageHeightTw - kToolbarHeight;
    out.toolbar = twipsRect(0, 0, pageWidthTw, kToolbarHeight);

    const int viewWidth = pageWidthTw - (listShown ? kViewMarginWithList : kViewMarginWithoutList);
    out.view = twipsRect(0, kToolbarHeight, viewWidth, bodyHeight);

    // The bar fills the gap between the reading view and the chapter list (or the page's
    // right edge while the list is hidden).
    const int listLeft = windowWidthTw - kListFromWindowRight;
    const int barRight = listShown ? listLeft : pageWidthTw;
    if (viewWidth >= 0) {
        out.spliter = twipsRect(viewWidth, kToolbarHeight, barRight - viewWidth, bodyHeight);
        if (out.spliter)
            out.spliterButton = twipsRect(0, bodyHeight / 2 - buttonHeightTw, barRight - viewWidth, buttonHeightTw);
        if (out.spliterButton && out.spliterButton->top() < 0)
            out.spliterButton.reset();
    }
    if (listShown && listLeft >= 0)
        out.list = twipsRect(listLeft, kToolbarHeight, pageWidthTw - listLeft, bodyHeight);
    return out;
}
