#include "reader/ReadingTypography.h"

#include <algorithm>

namespace {

const QString kFontOption = QStringLiteral("TypographyFont");
const QString kLineSpacingOption = QStringLiteral("TypographyLineSpacing");
const QString kParagraphOption = QStringLiteral("TypographyParagraphSpacing");
const QString kIndentOption = QStringLiteral("TypographyIndent");
const QString kLineCharsOption = QStringLiteral("TypographyLineChars");

// The page's letter spacing (Reader.html) and its column padding, in em.
constexpr double kLetterSpacingEm = 0.04;
constexpr double kColumnPaddingEm = 2.6 * 2;
// Rounding of glyph advances must not push the last character onto a line of its own.
constexpr double kSlackEm = 0.5;

bool isUsableFamily(const QString& name)
{
    if (name.trimmed().isEmpty() || name.size() > 100)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

std::optional<int> numberOf(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString quotedFamily(const QString& name)
{
    QString out = QStringLiteral("\"");
    for (QChar c : name) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

QString em(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral("em");
}

} // namespace

bool ReadingTypography::operator==(const ReadingTypography& other) const
{
    return font == other.font && lineSpacing == other.lineSpacing && paragraphSpacing == other.paragraphSpacing &&
           indent == other.indent && lineChars == other.lineChars;
}

ReadingTypography ReadingTypography::clamped() const
{
    ReadingTypography out = *this;
    if (!isUsableFamily(out.font))
        out.font = kSerif;
    out.lineSpacing = std::clamp(out.lineSpacing, kMinLineSpacing, kMaxLineSpacing);
    out.paragraphSpacing = std::clamp(out.paragraphSpacing, 0, kMaxParagraphSpacing);
    if (out.lineChars != 0)
        out.lineChars = std::clamp(out.lineChars, kMinLineChars, kMaxLineChars);
    return out;
}

QStringList ReadingTypography::optionNames()
{
    return {kFontOption, kLineSpacingOption, kParagraphOption, kIndentOption, kLineCharsOption};
}

ReadingTypography ReadingTypography::fromOptions(const std::function<std::optional<QString>(const QString&)>& option)
{
    ReadingTypography out;
    if (const auto font = option(kFontOption))
        out.font = *font;
    out.lineSpacing = numberOf(option(kLineSpacingOption)).value_or(out.lineSpacing);
    out.paragraphSpacing = numberOf(option(kParagraphOption)).value_or(out.paragraphSpacing);
    out.indent = numberOf(option(kIndentOption)).value_or(0) == 1;
    const std::optional<int> chars = numberOf(option(kLineCharsOption));
    // A stored negative width is no choice of the user's: the default, not the window's width.
    if (chars && *chars >= 0)
        out.lineChars = *chars;
    return out.clamped();
}

QList<std::pair<QString, QString>> ReadingTypography::toOptions() const
{
    return {{kFontOption, font},
            {kLineSpacingOption, QString::number(lineSpacing)},
            {kParagraphOption, QString::number(paragraphSpacing)},
            {kIndentOption, indent ? QStringLiteral("1") : QStringLiteral("0")},
            {kLineCharsOption, QString::number(lineChars)}};
}

QString ReadingTypography::fontFamilyCss() const
{
    static const QString serif = QStringLiteral("\"Noto Serif CJK SC\", \"Source Han Serif SC\", \"Noto Serif SC\", "
                                                "\"Songti SC\", \"SimSun\", serif");
    static const QString sans = QStringLiteral("\"Noto Sans CJK SC\", \"Source Han Sans SC\", \"WenQuanYi Micro Hei\", "
                                               "\"Microsoft YaHei\", sans-serif");
    if (font == kSans)
        return sans;
    if (font == kSerif || !isUsableFamily(font))
        return serif;
    return quotedFamily(font) + QStringLiteral(", ") + serif;
}

QString ReadingTypography::lineHeightCss() const
{
    return QString::number(lineSpacing / 100.0, 'f', 2);
}

QString ReadingTypography::paragraphSpacingCss() const
{
    return em(paragraphSpacing / 100.0);
}

QString ReadingTypography::textIndentCss() const
{
    // As wide as the two ideographic spaces that indent the later lines (letter spacing included).
    return indent ? em(2 * (1.0 + kLetterSpacingEm)) : QStringLiteral("0");
}

QString ReadingTypography::lineStartCss() const
{
    // A line break, then two ideographic spaces: the indent is two characters of the font.
    return indent ? QStringLiteral("'\\A\\3000\\3000'") : QStringLiteral("'\\A'");
}

QString ReadingTypography::columnWidthCss() const
{
    if (lineChars == 0)
        return QStringLiteral("none");
    const double text = (lineChars + (indent ? 2 : 0)) * (1.0 + kLetterSpacingEm) + kSlackEm;
    return em(text + kColumnPaddingEm);
}

QStringList ReadingTypography::fontChoices(const QStringList& installed)
{
    QStringList out;
    for (const QString& family : installed) {
        if (family.startsWith(QLatin1Char('@')) || family.startsWith(QLatin1Char('.')) || !isUsableFamily(family))
            continue;
        out.append(family);
    }
    out.removeDuplicates();
    std::sort(out.begin(), out.end());
    return out;
}
