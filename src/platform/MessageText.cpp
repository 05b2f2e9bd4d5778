#include "platform/MessageText.h"

MessageText MessageText::bounded(const QString& text)
{
    int lines = 1;
    int cut = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (i >= MaxChars) {
            cut = i;
            break;
        }
        if (text.at(i) == QLatin1Char('\n') && ++lines > MaxLines) {
            cut = i;
            break;
        }
    }
    if (cut < 0)
        return {text, QString()};
    // A surrogate pair is never split.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    QString head = text.left(cut);
    while (head.endsWith(QLatin1Char('\n')) || head.endsWith(QLatin1Char('\r')))
        head.chop(1);
    return {head + QStringLiteral("……\n\n（内容较长，点“显示详情”查看全文）"), text};
}
