#include "reader/search/BookSearch.h"

#include "reader/ChineseConversion.h"
#include "reader/position/LineBytes.h"
#include "reader/position/ReadingPlace.h"
#include "reader/text/ChapterParts.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

// How far back a match looks for a byte that starts a character for certain before walking
// the characters up to it.
constexpr qint64 kResyncReach = 256;

struct Found {
    qint64 offset;
    int bytes;
    int length;
    qint64 contextBegin; // a character boundary in the match's line
};

class ByteBook {
public:
    ByteBook(const unsigned char* data, qint64 size, TextEncoding encoding)
        : m_data(data), m_size(size), m_encoding(encoding), m_textStart(bomLength(encoding)),
          m_unit(lineUnitSize(encoding))
    {
    }

    qint64 size() const { return m_size; }
    const unsigned char* data() const { return m_data; }

    // Every match of `pattern` (the form of `length` characters), in order: the first `keep`
    // go into `out`, the rest are only counted. -1 when cancelled.
    qint64 find(const QByteArray& pattern, int length, int keep, QList<Found>& out, const std::atomic_bool* cancel)
    {
        qint64 count = 0;
        m_cursor = m_textStart;
        const auto* needle = reinterpret_cast<const unsigned char*>(pattern.constData());
        const qint64 n = pattern.size();
        for (qint64 from = m_textStart; from + n <= m_size;) {
            const void* hit = memmem(m_data + from, size_t(m_size - from), needle, size_t(n));
            if (!hit)
                break;
            const qint64 at = static_cast<const unsigned char*>(hit) - m_data;
            from = at + 1;
            qint64 contextBegin = at;
            if (!startsCharacter(at, contextBegin))
                continue;
            if (count < keep)
                out.append({at, int(n), length, contextBegin});
            ++count;
            if ((count & 0xFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed))
                return -1;
            // Matches do not overlap, as a reader counts them.
            from = at + n;
        }
        return count;
    }

    // The end of the context after a match ending at `end`.
    qint64 contextEnd(qint64 end, int characters) const
    {
        const qint64 limit = std::min(m_size, end + qint64(characters) * (m_encoding == TextEncoding::Utf8 ? 3 : 2));
        const qint64 lineEnd = lineEndOffset(reinterpret_cast<const char*>(m_data) + end, limit - end, 0, m_encoding);
        return end + lineEnd;
    }

private:
    // Whether a match at `at` starts a character; `contextBegin` gets a character boundary
    // some characters before it in its line.
    bool startsCharacter(qint64 at, qint64& contextBegin)
    {
        const int before = BookSearch::kContextBefore;
        switch (m_encoding) {
        case TextEncoding::Utf8:
        case TextEncoding::Utf8Bom: {
            // A valid pattern never matches inside a character.
            qint64 p = std::max(m_textStart, at - 3 * before);
            while (p < at && (m_data[p] & 0xC0) == 0x80)
                ++p;
            contextBegin = afterLineEnd(p, at);
            return true;
        }
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE: {
            if ((at - m_textStart) % 2 != 0)
                return false;
            contextBegin = afterLineEnd(std::max(m_textStart, at - 2 * before), at);
            return true;
        }
        case TextEncoding::Gb18030:
        case TextEncoding::Big5:
            break;
        }
        // A byte below 0x30 (0x40 in Big5) is never part of a two- or four-byte character.
        const unsigned char single = m_encoding == TextEncoding::Big5 ? 0x40 : 0x30;
        // Walked on from the last boundary when that is near; else from the last byte that
        // starts a character for certain, when there is one close before the match.
        qint64 start = m_cursor;
        if (at - m_cursor > kResyncReach) {
            for (qint64 p = at; p > at - kResyncReach; --p) {
                if (m_data[p - 1] < single) {
                    start = p;
                    break;
                }
            }
        }
        qint64 p = start;
        qint64 context = -1;
        while (p < at) {
            if (context < 0 && p >= at - 2 * before)
                context = p;
            m_cursor = p;
            p += unitLength(p);
        }
        if (p != at)
            return false;
        m_cursor = at;
        contextBegin = afterLineEnd(context < 0 ? at : context, at);
        return true;
    }

    int unitLength(qint64 p) const
    {
        const qint64 avail = m_size - p;
        const unsigned char lead = m_data[p];
        if (lead < 0x80)
            return 1;
        if (m_encoding == TextEncoding::Gb18030) {
            // The usual two-byte character without a call; anything else as the decoder takes it.
            if (avail >= 2 && lead != 0x80 && lead != 0xFF && m_data[p + 1] >= 0x40 && m_data[p + 1] != 0x7F &&
                m_data[p + 1] != 0xFF)
                return 2;
            return gb18030UnitLength(m_data + p, avail);
        }
        if (lead >= 0x81 && lead <= 0xFE && avail >= 2) {
            const unsigned char trail = m_data[p + 1];
            if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE))
                return 2;
        }
        return 1;
    }

    // Just past the last line end in [from, to), or `from` when there is none.
    qint64 afterLineEnd(qint64 from, qint64 to) const
    {
        for (qint64 p = to - m_unit; p >= from; p -= m_unit) {
            const unsigned char c = m_unit == 1                           ? m_data[p]
                                    : m_encoding == TextEncoding::Utf16BE ? (m_data[p] == 0 ? m_data[p + 1] : 0)
                                                                          : (m_data[p + 1] == 0 ? m_data[p] : 0);
            if (c == '\n' || c == '\r')
                return p + m_unit;
        }
        return from;
    }

    const unsigned char* m_data;
    qint64 m_size;
    TextEncoding m_encoding;
    qint64 m_textStart;
    int m_unit;
    qint64 m_cursor = 0; // a character boundary at or before the last match
};

} // namespace

QStringList BookSearch::queryForms(const QString& query, ChineseConversion* conversion)
{
    QStringList forms;
    if (query.isEmpty())
        return forms;
    forms.append(query);
    if (conversion) {
        for (const ChineseConversion::Mode mode :
             {ChineseConversion::Mode::ToSimplified, ChineseConversion::Mode::ToTraditional}) {
            const QString form = conversion->convert(query, mode);
            if (!form.isEmpty() && !forms.contains(form))
                forms.append(form);
        }
        conversion->takeProblem(); // plain matching where a direction is missing
    }
    return forms;
}

SearchResult BookSearch::run(const ChapterScan& scan, const QStringList& forms, int maxHits,
                             const std::atomic_bool* cancel)
{
    SearchResult result;
    QFile file(scan.path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("无法读取这本电子书：\r\n") + scan.path;
        return result;
    }
    const qint64 size = file.size();
    if (size <= 0 || forms.isEmpty())
        return result;
    // Mapped rather than read: the pages are the file cache's, the search holds no copy.
    QByteArray copy;
    const uchar* data = file.map(0, size);
    if (!data) {
        copy = file.readAll();
        data = reinterpret_cast<const uchar*>(copy.constData());
    }
    ByteBook book(data, copy.isEmpty() ? size : copy.size(), scan.encoding);

    QList<Found> found;
    for (const QString& form : forms) {
        const QByteArray pattern = encodeText(form, scan.encoding);
        if (pattern.isEmpty())
            continue; // a form the encoding cannot hold is nowhere in the book
        const qint64 count = book.find(pattern, int(form.size()), maxHits, found, cancel);
        if (count < 0) {
            result.cancelled = true;
            return result;
        }
        result.total += count;
    }
    if (forms.size() > 1) {
        std::stable_sort(found.begin(), found.end(),
                         [](const Found& a, const Found& b) { return a.offset < b.offset; });
        const auto end = std::unique(found.begin(), found.end(),
                                     [](const Found& a, const Found& b) { return a.offset == b.offset; });
        result.total -= found.end() - end;
        found.erase(end, found.end());
    }
    if (found.size() > maxHits)
        found.resize(maxHits);

    TextDecoder decoder(scan.encoding);
    result.hits.reserve(found.size());
    for (const Found& f : found) {
        SearchHit hit;
        hit.offset = f.offset;
        hit.bytes = f.bytes;
        hit.length = f.length;
        hit.row = rowOfOffset(scan, f.offset);
        const qint64 end = book.contextEnd(f.offset + f.bytes, kContextAfter);
        QString context =
            decoder.decode(reinterpret_cast<const char*>(book.data()) + f.contextBegin, end - f.contextBegin);
        while (context.endsWith(QChar::ReplacementCharacter)) // a character cut at the context's end
            context.chop(1);
        hit.context = context.trimmed();
        result.hits.append(hit);
    }
    return result;
}

HitPlace BookSearch::placeOf(const ChapterScan& scan, const SearchHit& hit)
{
    if (hit.row < 0 || hit.row >= scan.rows.size())
        return {};
    const ChapterRow& row = scan.rows[hit.row];
    const qint64 pos = hit.offset - row.byteBegin;
    QFile file(scan.path);
    if (row.byteBegin < 0 || pos < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(row.byteBegin))
        return {hit.row, 0, 0};
    const QByteArray head = file.read(pos);
    const qint64 line = countLineEnds(head.constData(), head.size(), scan.encoding);
    const qint64 lineStart = std::max<qint64>(0, lineStartOffset(head.constData(), head.size(), line, scan.encoding));
    TextDecoder decoder(scan.encoding);
    const int column = int(decoder.decode(head.constData() + lineStart, head.size() - lineStart).size());
    return {hit.row, line, column};
}
