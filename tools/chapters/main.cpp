// quillmere-chapters FILE [--chapter N]
// Prints the chapter rows the reader finds in a TXT book, or the text of one of them,
// so that a book's chapters can be checked without opening the reader.
#include "reader/text/ChapterListing.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>

namespace {

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int fail(const QString& message, int code)
{
    const QByteArray bytes = message.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    return code;
}

int usage()
{
    return fail(QStringLiteral("用法：quillmere-chapters [--chapter N] 文件\n"
                               "  不带 --chapter：每行输出一个章节：序号<TAB>行范围<TAB>章节名\n"
                               "  --chapter N：输出序号为 N 的章节正文（不转义，不带 <br>）"),
                2);
}

} // namespace

int main(int argc, char** argv)
{
    QString path;
    int chapter = 0;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--chapter") {
            if (++i >= argc)
                return usage();
            bool ok = false;
            chapter = QByteArray(argv[i]).toInt(&ok);
            if (!ok || chapter < 1)
                return fail(QStringLiteral("章节序号必须是正整数：%1").arg(QString::fromLocal8Bit(argv[i])), 2);
        } else if (arg == "-h" || arg == "--help") {
            return usage();
        } else if (path.isEmpty() && !arg.startsWith("--")) {
            path = QFile::decodeName(arg);
        } else {
            return usage();
        }
    }
    if (path.isEmpty())
        return usage();
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("文件不存在：%1").arg(path), 1);
    const ChapterScan scan = getChapterRows(path);
    if (!scan.readable)
        return fail(QStringLiteral("无法读取文件：%1").arg(path), 1);
    if (chapter == 0) {
        writeOut(chapterListing(scan));
        return 0;
    }
    QByteArray text;
    if (!chapterPlainText(scan, chapter, text))
        return fail(QStringLiteral("没有序号为 %1 的章节（共 %2 个章节）").arg(chapter).arg(scan.rows.size()), 3);
    writeOut(text);
    return 0;
}
