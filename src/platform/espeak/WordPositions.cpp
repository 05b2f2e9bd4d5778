#include "platform/espeak/WordPositions.h"

WordPositions::WordPositions(const QString& text)
{
    m_offsets.reserve(text.size() + 1);
    for (int i = 0; i < text.size(); ++i) {
        m_offsets.append(i);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    m_offsets.append(text.size());
}

std::optional<WordPositions::Range> WordPositions::accept(int codePointPosition, int codePointLength)
{
    const int start = codePointPosition - 1;
    if (codePointLength <= 0 || start < 0 || start >= codePointCount() || start < m_previousEnd)
        return std::nullopt;
    const int end = std::min(start + codePointLength, codePointCount());
    m_previousEnd = end;
    return Range{m_offsets[start], m_offsets[end] - m_offsets[start]};
}
