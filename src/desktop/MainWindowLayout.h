#pragma once

#include <QRect>
#include <QSize>

#include <optional>

// Form1_Form_Resize, steps 1 and 2: the search panel and the pages, from the window's
// size. The figures are twips (15 to a pixel) of the window's outer size; the client
// area is taken with a standard frame around it, so the pages fill the client area the
// way they were designed to. A step whose size would be negative is skipped (nullopt).
namespace MainWindowLayout {

inline constexpr int kFrameWidthTw = 120;   // 8 pixels of side borders
inline constexpr int kFrameHeightTw = 510;  // 34 pixels of caption and bottom border
inline constexpr int kToolbarHeightPx = 40; // pages start at 600 twips

// The window's outer size in twips for a client area of `client` pixels.
QSize windowTwips(QSize client);

// Step 1: the search panel's left edge, window width − 3520.
std::optional<int> searchPanLeft(QSize windowTw);

// Step 2: every page at top 600, left 20, window width − 150 wide, window height − 1120 high.
std::optional<QRect> pageRect(QSize windowTw);

} // namespace MainWindowLayout
