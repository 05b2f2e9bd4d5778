#include "app/ReadingProgress.h"

#include <QStringList>

#include <algorithm>

ReadingProgress ReadingProgress::ofRow(qint64 byteBegin, qint64 fileSize, int row, int rows)
{
    ReadingProgress out;
    out.chapter = rows > 0 ? std::clamp(row, 0, rows - 1) + 1 : 0;
    out.chapters = std::max(rows, 0);
    if (byteBegin >= 0 && fileSize > 0) {
        out.offset = std::min(byteBegin, fileSize);
        out.size = fileSize;
    } else {
        out.offset = out.chapter > 0 ? out.chapter - 1 : 0;
        out.size = out.chapters;
    }
    return out;
}

int ReadingProgress::permille() const
{
    if (size <= 0 || offset <= 0)
        return 0;
    // offset * 1000 stays far inside 64 bits for any file size.
    return static_cast<int>(std::min<qint64>(offset * 1000 / size, 1000));
}

QString ReadingProgress::percentText() const
{
    const int p = permille();
    return QStringLiteral("%1.%2%").arg(p / 10).arg(p % 10);
}

QString ReadingProgress::viewText() const
{
    return QStringLiteral("第 %1/%2 章 · %3").arg(chapter).arg(chapters).arg(percentText());
}

QString ReadingProgress::shelfText() const
{
    return QStringLiteral("已读 %1（第 %2/%3 章）").arg(percentText()).arg(chapter).arg(chapters);
}

QString ReadingProgress::entry() const
{
    return QStringLiteral("%1/%2/%3/%4").arg(offset).arg(size).arg(chapter).arg(chapters);
}

std::optional<ReadingProgress> ReadingProgress::parse(const QString& entry)
{
    const QStringList parts = entry.split(QLatin1Char('/'));
    if (parts.size() != 4)
        return std::nullopt;
    bool ok[4] = {};
    ReadingProgress out;
    out.offset = parts[0].toLongLong(&ok[0]);
    out.size = parts[1].toLongLong(&ok[1]);
    out.chapter = parts[2].toInt(&ok[2]);
    out.chapters = parts[3].toInt(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || out.offset < 0 || out.size <= 0 || out.offset > out.size ||
        out.chapter < 1 || out.chapter > out.chapters)
        return std::nullopt;
    return out;
}

QString ReadingProgress::optionName(const QString& bookPath)
{
    return QStringLiteral("Progress:") + bookPath;
}
