#include "reader/text/HardWrapJoin.h"

#include <QHash>

namespace {

// Below this width (in half-width columns) lines are too short to tell a wrap from a line
// the author ended: ten full-width characters.
constexpr int kMinWrapWidth = 20;
// A wrapped line may fall one full-width character short of the wrap width (a character
// that did not fit after a half-width one); anything shorter ends its paragraph.
constexpr int kWrapSlack = 2;
// A chapter is taken as hard-wrapped only when at least this many lines share the width.
constexpr int kMinWrappedLines = 3;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\u00a0';
}

QStringView trimmedEnd(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && isBlank(line[end - 1]))
        --end;
    return line.left(end);
}

// Full-width characters take two columns, as the wrapping tools of such books count them.
int columns(QStringView line)
{
    int width = 0;
    for (const QChar c : line)
        width += c.unicode() < 0x1100 ? 1 : 2;
    return width;
}

bool endsSentence(QStringView line)
{
    static const QString closers = QStringLiteral("。！？…”’」』）)】!?.～~");
    return !line.isEmpty() && closers.contains(line.back());
}

bool startsIndented(const QString& line)
{
    return !line.isEmpty() && isBlank(line.front());
}

// The width most long lines share, 0 when there is none.
int wrapWidth(const QStringList& lines)
{
    QHash<int, int> counts;
    for (const QString& line : lines) {
        const int width = columns(trimmedEnd(line));
        if (width >= kMinWrapWidth)
            ++counts[width];
    }
    int best = 0;
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        // A tie goes to the wider: the narrower is then a line that fell short.
        if (it.value() > bestCount || (it.value() == bestCount && it.key() > best)) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return bestCount >= kMinWrappedLines ? best : 0;
}

bool isWordChar(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

} // namespace

QStringList joinHardWrappedLines(const QStringList& lines, QList<JoinedLine>* where)
{
    const int width = wrapWidth(lines);
    if (where) {
        where->clear();
        where->reserve(lines.size());
    }
    if (width == 0) {
        if (where) {
            for (qsizetype i = 0; i < lines.size(); ++i)
                where->append({int(i), 0});
        }
        return lines;
    }
    QStringList paragraphs;
    paragraphs.reserve(lines.size());
    QString current;
    bool open = false; // `current` waits for its next line
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = trimmedEnd(lines[i]);
        if (open) {
            // Words of a half-width text were parted by the wrap's blank.
            if (!line.isEmpty() && isWordChar(current.back()) && isWordChar(line.front()))
                current += u' ';
            if (where)
                where->append({int(paragraphs.size()), int(current.size())});
            current += line;
        } else {
            if (where)
                where->append({int(paragraphs.size()), 0});
            current = line.toString();
        }
        const bool last = i + 1 == lines.size();
        const bool ends = last || line.isEmpty() || endsSentence(line) || columns(line) < width - kWrapSlack ||
                          trimmedEnd(lines[i + 1]).isEmpty() || startsIndented(lines[i + 1]);
        open = !ends;
        if (ends)
            paragraphs.append(current);
    }
    return paragraphs;
}
