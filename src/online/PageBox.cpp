#include "online/PageBox.h"

#include <QLocale>

#include <cmath>

namespace PageBox {

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Reading read(const QString& boxText, const QString& pageCount)
{
    const QString wrong = QStringLiteral("输入的页码有误,请重新输入!");
    const auto typed = number(boxText);
    if (!typed)
        return {std::nullopt, wrong};
    const double page = std::floor(*typed);
    const double count = std::floor(number(pageCount).value_or(0));
    if (page > count || page < 1)
        return {std::nullopt, QStringLiteral("输入的页码有误,一共才") + pageCount + QStringLiteral("页,请重新输入!")};
    // A page count from the service can be any number; a page past what a whole number
    // holds (2^63) cannot be asked for.
    if (page >= 9223372036854775808.0)
        return {std::nullopt, wrong};
    return {QString::number(static_cast<qint64>(page)), QString()};
}

} // namespace PageBox
