#include "reader/text/ChapterListing.h"

QByteArray chapterListing(const ChapterScan& scan)
{
    QByteArray out;
    for (const ChapterRow& row : scan.rows) {
        out += QByteArray::number(row.number);
        out += '\t';
        out += row.range().toUtf8();
        out += '\t';
        out += row.label.toUtf8();
        out += '\n';
    }
    return out;
}

bool chapterPlainText(const ChapterScan& scan, int number, QByteArray& text)
{
    text.clear();
    if (number < 1 || number > scan.rows.size())
        return false;
    const QStringList lines = readChapterLines(scan, number - 1);
    if (!lines.isEmpty())
        text = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    return true;
}
