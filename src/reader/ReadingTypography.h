#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// How the reading page sets its text: font, line and paragraph spacing, a two-character
// first-line indent and the width of the text column in characters. Values come from the
// library's reader options and are always kept within bounds.
struct ReadingTypography {
    static inline const QString kSerif = QStringLiteral("serif");
    static inline const QString kSans = QStringLiteral("sans");

    // Hard-wrapped novels mostly break at 35 to 40 characters (80 bytes of GBK): a column of
    // 40 keeps each of their lines on one line of the page.
    static constexpr int kDefaultLineChars = 40;
    static constexpr int kMinLineChars = 20;
    static constexpr int kMaxLineChars = 80;
    static constexpr int kDefaultLineSpacing = 195; // percent of the font size
    static constexpr int kMinLineSpacing = 100;
    static constexpr int kMaxLineSpacing = 300;
    static constexpr int kMaxParagraphSpacing = 200; // hundredths of an em

    QString font = kSerif; // kSerif, kSans or an installed family
    int lineSpacing = kDefaultLineSpacing;
    int paragraphSpacing = 0;
    bool indent = false;
    int lineChars = kDefaultLineChars; // 0: as wide as the window

    bool operator==(const ReadingTypography& other) const;
    bool operator!=(const ReadingTypography& other) const { return !(*this == other); }

    // The same values brought within bounds; a font name that cannot be one is serif.
    ReadingTypography clamped() const;

    // The stored options by name (see optionNames); a missing or unreadable value is the default.
    static ReadingTypography fromOptions(const std::function<std::optional<QString>(const QString&)>& option);
    // Name and stored text of each value, in the order of optionNames().
    QList<std::pair<QString, QString>> toOptions() const;
    static QStringList optionNames();

    // CSS values for the page.
    QString fontFamilyCss() const;
    QString lineHeightCss() const;
    QString paragraphSpacingCss() const;
    QString textIndentCss() const;
    // The text column's max-width: the characters, their letter spacing, the indent and the
    // column's own padding.
    QString columnWidthCss() const;
    // Every line of the book is a paragraph of the page: its line break carries the indent
    // of the next line (lineStartCss, a CSS string) and the paragraph spacing.
    bool linesAsParagraphs() const { return indent || paragraphSpacing > 0; }
    QString lineStartCss() const;

    // The families offered in the font menu: installed Chinese families, sorted, without
    // the vertical-writing "@" forms and hidden "." ones.
    static QStringList fontChoices(const QStringList& installed);
};
