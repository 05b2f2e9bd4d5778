#include "reader/text/LineReader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first LF or CR in [p, end), null when there is none. Both line-end bytes are looked for
// in one pass, sixteen bytes at a time: the scan spends much of its time here.
const char* findLineByte(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\n' || *p == '\r')
            return p;
    }
    return nullptr;
}

} // namespace

LineReader::LineReader(QIODevice& device, TextEncoding encoding, qint64 startOffset, bool checkUtf8, qint64 bufferSize)
    : m_device(device), m_unit(lineUnitSize(encoding)), m_bigEndian(encoding == TextEncoding::Utf16BE),
      m_checkUtf8(checkUtf8), m_bufferBase(startOffset), m_deviceSize(device.size()), m_fed(startOffset)
{
    // A file smaller than the buffer needs no more than its own size (plus one byte, so that
    // no line of it ever fills the buffer): lines are cut off exactly as with the full buffer.
    const qint64 rest = std::max<qint64>(m_deviceSize - startOffset, 0) + 2;
    const qint64 size = std::max<qint64>(std::min(bufferSize, rest), 16) & ~qint64(1);
    m_buffer.resize(static_cast<size_t>(size));
}

bool LineReader::utf8Valid() const
{
    if (m_eof)
        return m_validator.readsAsUtf8();
    return m_validator.mayReadAsUtf8(m_deviceSize - m_fed);
}

qint64 LineReader::findLineEnd(qint64 from) const
{
    const char* base = m_buffer.data();
    if (m_unit == 1) {
        const char* hit = findLineByte(base + from, base + m_fill);
        return hit ? hit - base : -1;
    }
    // UTF-16: units start at even offsets from the line start; LF is 0A 00 (LE) or 00 0A (BE),
    // CR 0D 00 or 00 0D.
    for (qint64 i = from; i + 1 < m_fill; i += 2) {
        const char lo = m_bigEndian ? base[i + 1] : base[i];
        const char hi = m_bigEndian ? base[i] : base[i + 1];
        if (hi == 0 && (lo == '\n' || lo == '\r'))
            return i;
    }
    return -1;
}

bool LineReader::unitIs(qint64 at, char c) const
{
    const char* p = m_buffer.data() + at;
    if (m_unit == 1)
        return p[0] == c;
    return m_bigEndian ? p[0] == 0 && p[1] == c : p[0] == c && p[1] == 0;
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, static_cast<size_t>(m_fill - m_pos));
        m_bufferBase += m_pos;
        m_fill -= m_pos;
        m_pos = 0;
    }
    if (m_fill == qint64(m_buffer.size())) {
        // No line end in a full buffer: keep the line's beginning and let the rest stream past.
        // Keep an odd UTF-16 byte so that units stay paired, and a CR at the very end, whose
        // line end is only known with the next unit (CR LF or a lone CR).
        qint64 keep = m_fill % m_unit;
        if (m_fill - keep >= m_unit && unitIs(m_fill - keep - m_unit, '\r'))
            keep += m_unit;
        if (!m_long) {
            m_long = true;
            m_longHead = QByteArray(m_buffer.data(), static_cast<qsizetype>(m_fill - keep));
            m_longBegin = m_bufferBase;
        }
        std::memmove(m_buffer.data(), m_buffer.data() + m_fill - keep, static_cast<size_t>(keep));
        m_bufferBase += m_fill - keep;
        m_fill = keep;
    }
    const qint64 got = m_device.read(m_buffer.data() + m_fill, qint64(m_buffer.size()) - m_fill);
    if (got < 0)
        m_readError = true;
    if (got <= 0) {
        m_eof = true;
        if (m_checkUtf8)
            m_validator.finish();
        return false;
    }
    // Once the file cannot read as UTF-8 any more the caller gives up; no need to look further.
    if (m_checkUtf8 && utf8Valid())
        m_validator.feed(m_buffer.data() + m_fill, got, std::max<qint64>(m_deviceSize - m_fed - got, 0));
    m_fed += got;
    m_fill += got;
    return true;
}

void LineReader::emitLine(RawLine& line, const char* data, qint64 size, qint64 begin, qint64 end)
{
    line.data = data;
    line.size = size;
    line.truncated = false;
    line.begin = begin;
    line.end = end;
}

bool LineReader::next(RawLine& line)
{
    qint64 searchFrom = m_pos;
    for (;;) {
        const qint64 stop = findLineEnd(searchFrom);
        // A CR that is the last unit held may be the first half of CR LF: the next unit
        // decides, unless the file ends with it.
        const bool crAtEdge = stop >= 0 && !m_eof && stop + 2 * m_unit > m_fill && unitIs(stop, '\r');
        if (stop >= 0 && !crAtEdge) {
            qint64 after = stop + m_unit;
            if (after + m_unit <= m_fill && unitIs(stop, '\r') && unitIs(after, '\n'))
                after += m_unit;
            const qint64 start = m_pos;
            m_pos = after;
            if (m_long) {
                m_long = false;
                // A line exactly as long as the head is whole after all.
                const qint64 length = m_bufferBase + stop - m_longBegin;
                emitLine(line, m_longHead.constData(), m_longHead.size(), m_longBegin, m_bufferBase + after);
                line.truncated = length != m_longHead.size();
                return true;
            }
            emitLine(line, m_buffer.data() + start, stop - start, m_bufferBase + start, m_bufferBase + after);
            return true;
        }
        // Resume the search at that CR, or where it stopped minus an unfinished unit.
        const qint64 searched = m_fill - m_pos;
        const qint64 resumeAt = stop >= 0 ? stop - m_pos : searched - searched % m_unit;
        if (!fill() && stop < 0) {
            if (m_pos < m_fill || m_long) {
                // The last line has no line end.
                const qint64 start = m_pos;
                m_pos = m_fill;
                if (m_long) {
                    m_long = false;
                    emitLine(line, m_longHead.constData(), m_longHead.size(), m_longBegin, m_bufferBase + m_fill);
                    line.truncated = line.end - m_longBegin != m_longHead.size();
                    return true;
                }
                emitLine(line, m_buffer.data() + start, m_fill - start, m_bufferBase + start, m_bufferBase + m_fill);
                return true;
            }
            return false;
        }
        // After the end of the file a CR at the edge is a lone CR: the next round ends its line.
        searchFrom = m_long ? 0 : m_pos + resumeAt;
    }
}
