#pragma once

#include <QString>
#include <QVector>

#include <optional>

// Turns the synthesiser's word boundaries (1-based code-point positions and lengths in the
// text it was given) into UTF-16 ranges of the same text, the units the page and QString
// count in. Characters outside the Basic Multilingual Plane take two units, so the two
// counts part after the first such character.
//
// Boundaries that cannot be highlighted are dropped: empty ones, ones that start inside the
// previous word (the synthesiser repeats part of a number it reads out in pieces) and ones
// outside the text. A word that runs past the end is cut at the end.
class WordPositions {
public:
    struct Range {
        int position = 0; // UTF-16 index
        int length = 0;   // UTF-16 units
        bool operator==(const Range& o) const { return position == o.position && length == o.length; }
    };

    explicit WordPositions(const QString& text);

    std::optional<Range> accept(int codePointPosition, int codePointLength);
    int codePointCount() const { return m_offsets.size() - 1; }

private:
    QVector<int> m_offsets; // UTF-16 index of each code point, plus the text's length
    int m_previousEnd = 0;  // code points
};
