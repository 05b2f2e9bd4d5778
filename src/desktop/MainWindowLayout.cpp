#include "desktop/MainWindowLayout.h"

#include "reader/ReadingLayout.h"

namespace MainWindowLayout {

QSize windowTwips(QSize client)
{
    return QSize(ReadingLayout::toTwips(client.width()) + kFrameWidthTw,
                 ReadingLayout::toTwips(client.height()) + kFrameHeightTw);
}

std::optional<int> searchPanLeft(QSize windowTw)
{
    const int left = windowTw.width() - 3520;
    if (left < 0)
        return std::nullopt;
    return ReadingLayout::toPixels(left);
}

std::optional<QRect> pageRect(QSize windowTw)
{
    const int width = windowTw.width() - 150;
    const int height = windowTw.height() - 1120;
    if (width < 0 || height < 0)
        return std::nullopt;
    return QRect(ReadingLayout::toPixels(20), ReadingLayout::toPixels(600), ReadingLayout::toPixels(width),
                 ReadingLayout::toPixels(height));
}

} // namespace MainWindowLayout
