// quillmere-chapters FILE [--chapter N] [--rule NAME|auto|PATTERN] [--levels] [--encoding]
//                        [--encoding-from NAME]
// Prints the chapter rows the reader finds in a TXT book, or the text of one of them,
// so that a book's chapters can be checked without opening the reader.
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/ChapterListing.h"
#include "reader/text/EncodingDetector.h"

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
    return fail(
        QStringLiteral("用法：quillmere-chapters [--chapter N] [--rule 规则] [--levels] [--encoding]\n"
                       "                         [--encoding-from 编码] 文件\n"
                       "  不带 --chapter：每行输出一个章节：序号<TAB>行范围<TAB>章节名\n"
                       "  --chapter N：输出序号为 N 的章节正文（不转义，不带 <br>）\n"
                       "  --rule 规则：按内置规则名、auto（自动识别，所选规则名输出到标准错误）\n"
                       "      或正则表达式分章\n"
                       "  --levels：每行前加层级：1 为卷，2 为章\n"
                       "  --encoding：只输出识别出的文本编码（带 BOM 时其后加“ BOM”）\n"
                       "  --encoding-from 编码：按指定编码读取（UTF-8、GB18030/GBK、BIG5、UTF-16LE、UTF-16BE）"),
        2);
}

// The rows the rule asked for gives; an empty `rule` is the reader's own scan.
bool scanBook(const QString& path, const QString& rule, const ScanLimits& limits, ChapterScan& scan)
{
    if (rule.isEmpty()) {
        scan = getChapterRows(path, limits);
        return true;
    }
    const RuleLibrary library;
    if (rule == QLatin1String("auto")) {
        AutoRuleChoice choice(library.enabledRules());
        scan = choice.scan(path, limits);
        fail(choice.chosen().name, 0);
        return true;
    }
    if (const HeadingRule* named = library.find(rule)) {
        scan = scanWithRule(path, *named, limits);
        return true;
    }
    HeadingRule own;
    own.name = rule;
    own.pattern = rule;
    const RuleMatcher matcher(own);
    if (!matcher.isValid())
        return false;
    scan = scanWithRule(path, own, limits);
    return true;
}

QByteArray levelListing(const ChapterScan& scan)
{
    const QList<QByteArray> lines = chapterListing(scan).split('\n');
    QByteArray out;
    for (int i = 0; i < scan.rows.size() && i < lines.size(); ++i)
        out += (i > 0 && isVolumeHeading(scan.rows[i].label) ? "1\t" : "2\t") + lines[i] + '\n';
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QString path;
    int chapter = 0;
    QString rule;
    bool levels = false;
    bool encodingOnly = false;
    ScanLimits limits;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--chapter") {
            if (++i >= argc)
                return usage();
            bool ok = false;
            chapter = QByteArray(argv[i]).toInt(&ok);
            if (!ok || chapter < 1)
                return fail(QStringLiteral("章节序号必须是正整数：%1").arg(QString::fromLocal8Bit(argv[i])), 2);
        } else if (arg == "--rule") {
            if (++i >= argc)
                return usage();
            rule = QString::fromLocal8Bit(argv[i]);
            if (rule.isEmpty())
                return usage();
        } else if (arg == "--levels") {
            levels = true;
        } else if (arg == "--encoding") {
            encodingOnly = true;
        } else if (arg == "--encoding-from") {
            if (++i >= argc)
                return usage();
            TextEncoding encoding = TextEncoding::Utf8;
            if (!EncodingDetector::fromName(QString::fromLocal8Bit(argv[i]), encoding))
                return fail(QStringLiteral("不支持的文本编码：%1").arg(QString::fromLocal8Bit(argv[i])), 2);
            limits.encoding = encoding;
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
    if (encodingOnly) {
        QFile file(path);
        if (info.isDir() || !file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("无法读取文件：%1").arg(path), 1);
        const DetectedEncoding detected = EncodingDetector::detect(file);
        writeOut(EncodingDetector::name(detected.encoding).toUtf8() + (detected.hasBom ? " BOM\n" : "\n"));
        return 0;
    }
    ChapterScan scan;
    if (!scanBook(path, rule, limits, scan))
        return fail(QStringLiteral("不是有效的规则或正则表达式：%1").arg(rule), 2);
    if (!scan.readable)
        return fail(QStringLiteral("无法读取文件：%1").arg(path), 1);
    if (chapter == 0) {
        writeOut(levels ? levelListing(scan) : chapterListing(scan));
        return 0;
    }
    QByteArray text;
    if (!chapterPlainText(scan, chapter, text))
        return fail(QStringLiteral("没有序号为 %1 的章节（共 %2 个章节）").arg(chapter).arg(scan.rows.size()), 3);
    writeOut(text);
    return 0;
}
