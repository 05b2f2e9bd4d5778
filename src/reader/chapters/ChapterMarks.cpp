#include "reader/chapters/ChapterMarks.h"

#include "reader/text/ChapterParts.h"

#include <QFile>

#include <algorithm>

namespace {

QString partSuffix(int part)
{
    return QStringLiteral("（第%1部分）").arg(part);
}

// The row holding `offset`: the last whose text starts at or before it.
int rowHolding(const QList<ChapterRow>& rows, qint64 offset)
{
    const auto after = std::upper_bound(rows.cbegin(), rows.cend(), offset,
                                        [](qint64 o, const ChapterRow& row) { return o < row.byteBegin; });
    if (after == rows.cbegin())
        return -1;
    const int index = int(after - rows.cbegin()) - 1;
    return offset < rows[index].byteEnd ? index : -1;
}

bool splitAt(QFile& file, TextEncoding encoding, QList<ChapterRow>& rows, const BookLine& line)
{
    const int r = rowHolding(rows, line.offset);
    if (r < 0 || (r > 0 && rows[r].byteBegin == line.offset))
        return false; // outside the text, or a heading already
    if (!file.seek(rows[r].byteBegin))
        return false;
    const QByteArray before = file.read(line.offset - rows[r].byteBegin);
    const qint64 heading = rows[r].first + 1 + countLineEnds(before, encoding);
    ChapterRow added = rows[r];
    added.first = heading - 1;
    added.byteBegin = line.offset;
    added.label = chapterLabel(line.text);
    rows[r].last = heading - 1;
    rows[r].byteEnd = line.offset;
    rows.insert(r + 1, added);
    return true;
}

} // namespace

QList<ChapterRow> wholeChapters(const QList<ChapterRow>& rows)
{
    QList<ChapterRow> whole;
    whole.reserve(rows.size());
    for (const ChapterRow& row : rows) {
        if (row.part > 1 && !whole.isEmpty() && whole.last().first == row.first && whole.last().last == row.last) {
            whole.last().byteEnd = row.byteEnd;
            continue;
        }
        whole.append(row);
        if (row.part == 1) {
            ChapterRow& chapter = whole.last();
            if (chapter.label.endsWith(partSuffix(1)))
                chapter.label.chop(partSuffix(1).size());
            chapter.part = 0;
        }
    }
    return whole;
}

std::optional<BookLine> findMarkedLine(QFile& file, TextEncoding encoding, const ChapterMarkRow& mark)
{
    const QString wanted = chapterLabel(mark.lineText);
    if (wanted.isEmpty() || mark.offset < 0)
        return std::nullopt;
    const qint64 textStart = bomLength(encoding);
    const QList<BookLine> lines =
        linesAround(file, encoding, textStart, mark.offset - kMarkSearchBytes, mark.offset + kMarkSearchBytes);
    std::optional<BookLine> best;
    for (const BookLine& line : lines) {
        if (chapterLabel(line.text) != wanted)
            continue;
        if (!best || std::llabs(line.offset - mark.offset) < std::llabs(best->offset - mark.offset))
            best = line;
    }
    return best;
}

QList<ChapterMarkRow> applyChapterMarks(ChapterScan& scan, const QList<ChapterMarkRow>& marks,
                                        QList<qint64>* storedOffsets)
{
    QList<ChapterMarkRow> found;
    if (marks.isEmpty() || !scan.readable || scan.rows.isEmpty())
        return found;
    if (std::any_of(scan.rows.cbegin(), scan.rows.cend(), [](const ChapterRow& row) { return row.byteBegin < 0; }))
        return found;
    QFile file(scan.path);
    if (!file.open(QIODevice::ReadOnly))
        return found;

    QList<ChapterRow> rows = wholeChapters(scan.rows);
    QList<BookLine> starts;
    QList<qint64> dropped;
    for (const ChapterMarkRow& mark : marks) {
        const std::optional<BookLine> line = findMarkedLine(file, scan.encoding, mark);
        if (!line)
            continue;
        ChapterMarkRow now = mark;
        now.offset = line->offset;
        found.append(now);
        if (storedOffsets)
            storedOffsets->append(mark.offset);
        if (mark.start)
            starts.append(*line);
        else
            dropped.append(line->offset);
    }
    std::sort(starts.begin(), starts.end(), [](const BookLine& a, const BookLine& b) { return a.offset < b.offset; });
    for (const BookLine& line : std::as_const(starts))
        splitAt(file, scan.encoding, rows, line);
    for (const qint64 offset : std::as_const(dropped)) {
        for (int r = 1; r < rows.size(); ++r) {
            if (rows[r].byteBegin == offset) {
                rows[r - 1].last = rows[r].last;
                rows[r - 1].byteEnd = rows[r].byteEnd;
                rows.removeAt(r);
                break;
            }
        }
    }
    for (int i = 0; i < rows.size(); ++i)
        rows[i].number = i + 1;
    scan.rows = std::move(rows);
    splitOverlongRows(file, scan, scan.partBytes > 0 ? scan.partBytes : ScanLimits::kDefaultPartBytes);
    return found;
}

std::optional<BookLine> locateShownLine(const ChapterScan& scan, int rowIndex, const QString& shownLine, int shownIndex,
                                        const std::function<QString(const QString&)>& shown)
{
    if (rowIndex < 0 || rowIndex >= scan.rows.size() || scan.rows[rowIndex].byteBegin < 0)
        return std::nullopt;
    const QString wanted = chapterLabel(shownLine);
    if (wanted.isEmpty())
        return std::nullopt;
    QFile file(scan.path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const ChapterRow& row = scan.rows[rowIndex];
    const QList<BookLine> lines = linesBetween(file, scan.encoding, row.byteBegin, row.byteEnd);
    auto view = [&](const QString& text) { return shown ? chapterLabel(shown(text)) : chapterLabel(text); };
    int best = -1;
    auto consider = [&](int i) {
        if (best < 0 || std::abs(i - shownIndex) < std::abs(best - shownIndex))
            best = i;
    };
    for (int i = 0; i < lines.size(); ++i)
        if (view(lines[i].text) == wanted)
            consider(i);
    if (best < 0) {
        for (int i = 0; i < lines.size(); ++i) {
            const QString line = view(lines[i].text);
            if (!line.isEmpty() && wanted.startsWith(line))
                consider(i);
        }
    }
    if (best < 0)
        return std::nullopt;
    return lines[best];
}

int rowWithHeadingAt(const ChapterScan& scan, qint64 offset)
{
    for (int r = 1; r < scan.rows.size(); ++r)
        if (scan.rows[r].byteBegin == offset && scan.rows[r].part <= 1)
            return r;
    return -1;
}
