#include "platform/espeak/TextPieces.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\u3000';
}

// A full stop only before a blank or the end: "3.14" and "www.example.com" stay whole.
bool endsSentence(const QString& text, int i)
{
    const QChar c = text.at(i);
    if (c == u'.')
        return i + 1 == text.size() || isBlank(text.at(i + 1));
    switch (c.unicode()) {
    case u'\n':
    case u'。':
    case u'！':
    case u'？':
    case u'!':
    case u'?':
    case u'…':
        return true;
    default:
        return false;
    }
}

bool closesQuote(QChar c)
{
    return c == u'”' || c == u'」' || c == u'』' || c == u'"' || c == u'）' || c == u')';
}

bool endsClause(QChar c)
{
    switch (c.unicode()) {
    case u'，':
    case u'、':
    case u'；':
    case u'：':
    case u',':
    case u';':
    case u':':
    case u' ':
    case u'\t':
    case u'\u3000':
        return true;
    default:
        return false;
    }
}

} // namespace

QList<TextPieces::Piece> TextPieces::split(const QString& text, int maxLength)
{
    QList<Piece> pieces;
    const int limit = std::max(maxLength, 2);
    int start = 0;
    int lastClause = -1; // index just after the last clause mark of the current piece
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (endsSentence(text, i)) {
            // A run of closing marks and quotes stays with its sentence ("好！”").
            int end = i + 1;
            while (end < text.size() && (endsSentence(text, end) || closesQuote(text.at(end))))
                ++end;
            pieces.append({start, end - start});
            start = end;
            i = end - 1;
            lastClause = -1;
            continue;
        }
        if (endsClause(c))
            lastClause = i + 1;
        if (i + 1 - start >= limit) {
            int end = lastClause > start ? lastClause : i + 1;
            // Never between the two halves of a character beyond the BMP.
            if (end < text.size() && text.at(end).isLowSurrogate() && end - 1 > start)
                --end;
            pieces.append({start, end - start});
            start = end;
            i = end - 1;
            lastClause = -1;
        }
    }
    if (start < text.size())
        pieces.append({start, int(text.size()) - start});
    return pieces;
}
