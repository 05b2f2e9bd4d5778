#include "reader/text/Utf8Validator.h"

#include <QtEndian>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <limits>

bool Utf8Validator::countFault(qint64 bytesLeft)
{
    ++m_faults;
    if (bytesLeft >= 0 && !mayReadAsUtf8(bytesLeft))
        m_hopeless = true;
    return !m_hopeless;
}

bool Utf8Validator::feed(const char* data, qint64 size, qint64 bytesAfter)
{
    if (m_hopeless)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    // The state lives in locals while the bytes stream past: this loop runs over whole books.
    qint64 multibyte = m_multibyte;
    int need = m_need;
    unsigned char low = m_low;
    unsigned char high = m_high;
    const auto fault = [&](qint64 i) {
        m_multibyte = multibyte;
        return countFault(bytesAfter < 0 ? qint64(-1) : size - i + bytesAfter);
    };
    qint64 i = 0;
    while (i < size) {
        if (need == 0) {
            // Runs of ASCII go sixteen bytes at a time.
#if defined(__SSE2__)
            while (i + 16 <= size && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0)
                i += 16;
#endif
            if (i >= size)
                break;
            const unsigned char c = p[i];
            if (c < 0x80) {
                ++i;
                continue;
            }
            // Whole two- and three-byte characters (all of Chinese text) are checked in one load;
            // anything unusual goes the slow way below, which also counts the faults.
            if (i + 4 <= size) {
                quint32 w;
                std::memcpy(&w, p + i, 4);
                w = qFromLittleEndian(w);
                if ((w & 0x00C0C0F0) == 0x008080E0) {
                    const quint32 lead = w & 0x0F;
                    const quint32 second = (w >> 8) & 0x3F;
                    if (!((lead == 0x0 && second < 0x20) || (lead == 0xD && second >= 0x20))) {
                        ++multibyte;
                        i += 3;
                        continue;
                    }
                } else if ((w & 0x0000C0E0) == 0x000080C0 && (w & 0x1E) != 0) {
                    ++multibyte;
                    i += 2;
                    continue;
                }
            }
            ++i;
            low = 0x80;
            high = 0xBF;
            if (c >= 0xC2 && c <= 0xDF) {
                need = 1;
            } else if (c == 0xE0) {
                need = 2;
                low = 0xA0;
            } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
                need = 2;
            } else if (c == 0xED) {
                need = 2;
                high = 0x9F;
            } else if (c == 0xF0) {
                need = 3;
                low = 0x90;
            } else if (c >= 0xF1 && c <= 0xF3) {
                need = 3;
            } else if (c == 0xF4) {
                need = 3;
                high = 0x8F;
            } else if (!fault(i)) { // a byte no character starts with
                break;
            }
        } else {
            const unsigned char c = p[i];
            if (c < low || c > high) {
                // The sequence so far is one fault; this byte starts afresh.
                need = 0;
                if (!fault(i))
                    break;
                continue;
            }
            ++i;
            low = 0x80;
            high = 0xBF;
            if (--need == 0)
                ++multibyte;
        }
    }
    m_multibyte = multibyte;
    m_need = need;
    m_low = low;
    m_high = high;
    return m_faults == 0;
}

bool Utf8Validator::finish()
{
    m_openAtEnd = m_need != 0;
    m_need = 0;
    return valid();
}

bool Utf8Validator::toleratedFaults(qint64 faults, qint64 multibyteCharacters)
{
    if (faults <= 0)
        return true;
    // faults * k < characters, without the product.
    return multibyteCharacters > 0 && faults <= (multibyteCharacters - 1) / kCharactersPerFault;
}

bool Utf8Validator::mayReadAsUtf8(qint64 bytesLeft) const
{
    if (m_hopeless)
        return false;
    // The rest of the input holds at most one multi-byte character per two bytes (and the
    // character left open may still complete).
    const qint64 more = std::max<qint64>(bytesLeft, 0) / 2 + 1;
    const qint64 best = m_multibyte > std::numeric_limits<qint64>::max() - more ? std::numeric_limits<qint64>::max()
                                                                                : m_multibyte + more;
    return toleratedFaults(m_faults, best);
}
