#pragma once

#include <QString>

// The reading page's look: text colour, background colour (RRGGBB, no "#") and the
// size name of TxtSize. Implemented by the reading view; the settings page calls it.
class ReadingAppearance {
public:
    virtual ~ReadingAppearance() = default;
    virtual void applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor) = 0;

    // "小号" 12px, "中号" 14px, "大号" 18px, "特大号" 22px; any other name 14px.
    static QString fontSizeFor(const QString& txtSize)
    {
        if (txtSize == QStringLiteral("小号"))
            return QStringLiteral("12px");
        if (txtSize == QStringLiteral("大号"))
            return QStringLiteral("18px");
        if (txtSize == QStringLiteral("特大号"))
            return QStringLiteral("22px");
        return QStringLiteral("14px");
    }
};
