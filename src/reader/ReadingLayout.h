#pragma once

#include <QRect>

#include <optional>

// Where the reading page's controls go (Form1_Form_Resize, step 4). Figures are twips,
// 15 to a pixel; a control whose width or height would be negative keeps its place
// (std::nullopt), so the window stays usable at any size.
struct ReadingLayout {
    std::optional<QRect> toolbar;       // Toolbar2
    std::optional<QRect> view;          // WebBrowser1
    std::optional<QRect> spliter;       // the splitter bar
    std::optional<QRect> spliterButton; // spliter_button 0 and 1, inside the bar
    std::optional<QRect> list;          // ListView2

    static constexpr int kTwipsPerPixel = 15;
    static int toPixels(int twips);
    static int toTwips(int pixels) { return pixels * kTwipsPerPixel; }

    // All in twips: the page's size, the main window's width, whether the chapter list
    // is shown, and the splitter buttons' height. The rectangles come back in pixels.
    static ReadingLayout compute(int pageWidthTw, int pageHeightTw, int windowWidthTw, bool listShown,
                                 int buttonHeightTw);
};
