#pragma once

#include <QRect>

#include <optional>

// Where the online page's controls go (Form1_Form_Resize, step 5). Figures are twips, 15 to a
// pixel, measured inside the page; a control whose size would be negative keeps its place
// (std::nullopt), so the window stays usable at any size.
struct CatalogueLayout {
    std::optional<QRect> toolbar;   // Toolbar3, across the page
    std::optional<QRect> list;      // ListView3
    std::optional<QRect> pane;      // the download pane (ListView4), along the bottom
    std::optional<QRect> pagingBar; // Picture3, under the list
    std::optional<QRect> toggle;    // Image1, at the right end of the paging bar

    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kToolbarHeightTw = 450; // 30 pixels
    static constexpr int kPagingBarHeightTw = 420;
    static constexpr int kToggleSizeTw = 240;

    static int toPixels(int twips) { return twips / kTwipsPerPixel; }
    static int toTwips(int pixels) { return pixels * kTwipsPerPixel; }

    // The page's size in twips and whether the download pane is shown; rectangles in pixels.
    static CatalogueLayout compute(int pageWidthTw, int pageHeightTw, bool paneShown);
};
