#include "reader/text/LineReader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

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
        const void* hit = std::memchr(base + from, '\n', static_cast<size_t>(m_fill - from));
        return hit ? static_cast<const char*>(hit) - base : -1;
    }
    // UTF-16: units start at even offsets from the line start; LF is 0A 00 (LE) or 00 0A (BE).
    for (qint64 i = from; i + 1 < m_fill; i += 2) {
        const char lo = m_bigEndian ? base[i + 1] : base[i];
        const char hi = m_bigEndian ? base[i] : base[i + 1];
        if (lo == '\n' && hi == 0)
            return i;
    }
    return -1;
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
        // No LF anywhere in a full buffer: keep the line's beginning and let the rest stream past.
        if (!m_long) {
            m_long = true;
            m_longHead = QByteArray(m_buffer.data(), static_cast<qsizetype>(m_fill));
            m_longBegin = m_bufferBase;
        }
        // Keep an odd UTF-16 byte so that units stay paired.
        const qint64 keep = m_fill % m_unit;
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

void LineReader::emitLine(RawLine& line, const char* data, qint64 size, qint64 begin, qint64 lfBytes)
{
    // A CR right before the LF belongs to the line ending, not to the line.
    if (lfBytes > 0 && size >= m_unit) {
        const char* last = data + size - m_unit;
        const bool cr = m_unit == 1 ? last[0] == '\r'
                                    : (m_bigEndian ? last[0] == 0 && last[1] == '\r' : last[0] == '\r' && last[1] == 0);
        if (cr)
            size -= m_unit;
    }
    line.data = data;
    line.size = size;
    line.truncated = false;
    line.begin = begin;
    line.end = m_bufferBase + m_pos;
}

bool LineReader::next(RawLine& line)
{
    qint64 searchFrom = m_pos;
    for (;;) {
        const qint64 lf = findLineEnd(searchFrom);
        if (lf >= 0) {
            const qint64 start = m_pos;
            const qint64 lfStart = lf; // first byte of the LF unit
            m_pos = lfStart + m_unit;
            if (m_long) {
                m_long = false;
                // A line exactly as long as the buffer is whole after all.
                const bool whole = m_bufferBase + lfStart - m_longBegin == m_longHead.size();
                emitLine(line, m_longHead.constData(), m_longHead.size(), m_longBegin, whole ? m_unit : 0);
                line.truncated = !whole;
                return true;
            }
            emitLine(line, m_buffer.data() + start, lfStart - start, m_bufferBase + start, m_unit);
            return true;
        }
        // Resume the search where it stopped, minus an unfinished unit.
        const qint64 searched = m_fill - m_pos;
        const qint64 resumeAt = searched - searched % m_unit;
        if (!fill()) {
            if (m_pos < m_fill || m_long) {
                // The last line has no LF.
                const qint64 start = m_pos;
                m_pos = m_fill;
                if (m_long) {
                    m_long = false;
                    emitLine(line, m_longHead.constData(), m_longHead.size(), m_longBegin, 0);
                    line.truncated = line.end - m_longBegin != m_longHead.size();
                    return true;
                }
                emitLine(line, m_buffer.data() + start, m_fill - start, m_bufferBase + start, 0);
                return true;
            }
            return false;
        }
        searchFrom = m_long ? 0 : m_pos + resumeAt;
    }
}
