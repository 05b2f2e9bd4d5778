#include "reader/position/ReadingPlace.h"

#include "app/LibraryDatabase.h"
#include "reader/position/LineBytes.h"

#include <QByteArrayMatcher>
#include <QFile>

#include <algorithm>

namespace {

// How far from the stored offset the anchor is looked for: edits before the place rarely
// move it by more.
constexpr qint64 kAnchorWindow = qint64(1) << 20;

QByteArray readBytes(QFile& file, qint64 begin, qint64 end)
{
    if (begin < 0 || end <= begin || !file.seek(begin))
        return {};
    return file.read(end - begin);
}

QString lineText(const QByteArray& bytes, qint64 pos, TextEncoding encoding)
{
    const qint64 end = lineEndOffset(bytes.constData(), bytes.size(), pos, encoding);
    TextDecoder decoder(encoding);
    return decoder.decode(bytes.constData() + pos, end - pos);
}

bool isBlankLine(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

// The line of row `row` starting at file offset `at`.
PlaceInBook lineOfRow(QFile& file, const ChapterScan& scan, int row, qint64 at)
{
    const ChapterRow& r = scan.rows[row];
    const QByteArray head = readBytes(file, r.byteBegin, std::max(at, r.byteBegin));
    return {row, countLineEnds(head.constData(), head.size(), scan.encoding)};
}

// The file offset nearest `offset` where a line starts with `anchor`, -1 when there is none.
qint64 findAnchor(QFile& file, const ChapterScan& scan, qint64 offset, const QString& anchor)
{
    const QByteArray pattern = encodeText(anchor, scan.encoding);
    if (pattern.isEmpty())
        return -1;
    const int unit = lineUnitSize(scan.encoding);
    const qint64 textStart = bomLength(scan.encoding);
    qint64 begin = std::max(textStart, offset - kAnchorWindow);
    begin -= (begin - textStart) % unit;
    const QByteArray window = readBytes(file, begin, offset + kAnchorWindow);
    const QByteArrayMatcher matcher(pattern);
    qint64 best = -1;
    for (qint64 at = matcher.indexIn(window); at >= 0; at = matcher.indexIn(window, at + 1)) {
        if (!startsLine(window.constData(), window.size(), at, scan.encoding, begin == textStart))
            continue;
        const qint64 found = begin + at;
        if (best < 0 || std::abs(found - offset) < std::abs(best - offset))
            best = found;
        if (found > offset)
            break; // later ones are farther still
    }
    return best;
}

} // namespace

QString ReadingPlace::entry() const
{
    return QString::number(offset) + QLatin1Char('/') + anchor;
}

std::optional<ReadingPlace> ReadingPlace::parse(const QString& entry)
{
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return std::nullopt;
    bool ok = false;
    const qint64 offset = entry.left(slash).toLongLong(&ok);
    if (!ok || offset < 0)
        return std::nullopt;
    return ReadingPlace{offset, entry.mid(slash + 1)};
}

QString ReadingPlace::optionName(const QString& bookPath)
{
    return QStringLiteral("Place:") + bookPath;
}

std::optional<ReadingPlace> ReadingPlace::load(LibraryDatabase* library, const QString& bookPath)
{
    if (!library)
        return std::nullopt;
    const std::optional<QString> entry = library->option(optionName(bookPath));
    return entry ? parse(*entry) : std::nullopt;
}

bool ReadingPlace::save(LibraryDatabase* library, const QString& bookPath, const ReadingPlace& place)
{
    return library && place.isValid() && library->setOption(optionName(bookPath), place.entry());
}

int rowOfOffset(const ChapterScan& scan, qint64 offset)
{
    if (scan.rows.isEmpty() || scan.rows.first().byteBegin < 0 || offset < 0)
        return -1;
    if (offset < scan.rows.first().byteBegin)
        return 0;
    // The first row beginning after the offset; the one before it holds the offset.
    const auto after = std::upper_bound(scan.rows.cbegin(), scan.rows.cend(), offset,
                                        [](qint64 value, const ChapterRow& row) { return value < row.byteBegin; });
    const int row = int(after - scan.rows.cbegin()) - 1;
    const ChapterRow& r = scan.rows[row];
    return r.byteEnd >= 0 && offset < r.byteEnd ? row : (offset == r.byteBegin ? row : -1);
}

ReadingPlace placeOfLine(const ChapterScan& scan, int row, qint64 line)
{
    if (row < 0 || row >= scan.rows.size() || !scanIsCurrent(scan))
        return {};
    const ChapterRow& r = scan.rows[row];
    if (r.byteBegin < 0 || r.byteEnd < r.byteBegin)
        return {};
    QFile file(scan.path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = readBytes(file, r.byteBegin, r.byteEnd);
    qint64 pos = lineStartOffset(bytes.constData(), bytes.size(), line, scan.encoding);
    if (pos < 0)
        return {r.byteBegin, lineText(bytes, 0, scan.encoding).left(ReadingPlace::kAnchorLength)};
    QString text = lineText(bytes, pos, scan.encoding);
    while (isBlankLine(text)) {
        const qint64 next = lineStartOffset(bytes.constData() + pos, bytes.size() - pos, 1, scan.encoding);
        if (next <= 0 || pos + next >= bytes.size())
            break;
        pos += next;
        text = lineText(bytes, pos, scan.encoding);
    }
    return {r.byteBegin + pos, isBlankLine(text) ? QString() : text.left(ReadingPlace::kAnchorLength)};
}

PlaceInBook locatePlace(const ChapterScan& scan, const ReadingPlace& place)
{
    if (!place.isValid() || scan.rows.isEmpty() || scan.rows.first().byteBegin < 0)
        return {};
    QFile file(scan.path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const int row = rowOfOffset(scan, place.offset);
    if (row >= 0 && place.offset >= scan.rows[row].byteBegin) {
        const ChapterRow& r = scan.rows[row];
        const QByteArray bytes = readBytes(file, r.byteBegin, r.byteEnd);
        const qint64 pos = place.offset - r.byteBegin;
        if (startsLine(bytes.constData(), bytes.size(), pos, scan.encoding, true) &&
            lineText(bytes, pos, scan.encoding).startsWith(place.anchor))
            return {row, countLineEnds(bytes.constData(), pos, scan.encoding)};
    }
    if (!place.anchor.isEmpty()) {
        const qint64 found = findAnchor(file, scan, place.offset, place.anchor);
        const int foundRow = rowOfOffset(scan, found);
        if (foundRow >= 0)
            return found < scan.rows[foundRow].byteBegin ? PlaceInBook{0, 0} : lineOfRow(file, scan, foundRow, found);
    }
    return {row >= 0 ? row : int(scan.rows.size()) - 1, 0};
}
