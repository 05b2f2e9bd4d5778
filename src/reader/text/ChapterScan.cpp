#include "reader/text/ChapterScan.h"

#include "platform/AnsiCodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

// A first, whole-file implementation: correct, not yet fast.

namespace {

const QRegularExpression& headingPattern()
{
    // \s of the original engine is [ \f\n\r\t\v]; the ideographic space is listed apart.
    static const QRegularExpression re(
        QStringLiteral("^(.{0,6})(第|正文|作品|VIP|vip)(.{0,30}$)|"
                       "^[一二两三四五六七八九十○零百千0-9１２３４５６７８９０]{1,4}(、|，|：|[ \\f\\n\\r\\t\\v]|\\x{3000})(.{0,20}$)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString trimBlanks(QString s)
{
    int b = 0;
    int e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString decodeAll(const QByteArray& bytes, TextEncoding enc)
{
    switch (enc) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Utf8Bom:
        return QString::fromUtf8(bytes.mid(3));
    case TextEncoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    case TextEncoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    case TextEncoding::Gb18030:
        return AnsiCodePage::decode(bytes);
    }
    return {};
}

// Splits at LF; a CR before the LF is not part of the line. No line after a final LF.
QStringList splitLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return lines;
}

bool readFile(const QString& path, QByteArray& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    out = f.readAll();
    return true;
}

QString escapeHtml(const QString& line)
{
    return line.toHtmlEscaped();
}

} // namespace

bool isHeadingLine(QStringView line)
{
    return headingPattern().match(line).hasMatch();
}

TextEncoding detectEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return TextEncoding::Utf8Bom;
    if (bytes.startsWith("\xFF\xFE"))
        return TextEncoding::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16BE;
    QStringDecoder d(QStringDecoder::Utf8);
    (void)d.decode(bytes);
    return d.hasError() ? TextEncoding::Gb18030 : TextEncoding::Utf8;
}

ChapterScan getChapterRows(const QString& path)
{
    ChapterScan scan;
    scan.path = path;
    QByteArray bytes;
    if (!readFile(path, bytes)) {
        scan.error = QStringLiteral("无法读取文件：\n%1").arg(path);
        return scan;
    }
    const QFileInfo info(path);
    scan.readable = true;
    scan.fileSize = info.size();
    scan.modified = info.lastModified();
    scan.encoding = detectEncoding(bytes);
    const QStringList lines = splitLines(decodeAll(bytes, scan.encoding));
    scan.lineCount = lines.size();
    if (lines.isEmpty())
        return scan;

    QString label = trimBlanks(lines[0]);
    label.remove(QLatin1Char('\r'));
    ChapterRow row1;
    row1.number = 1;
    row1.label = label.isEmpty() ? QStringLiteral("正文") : trimBlanks(label);
    scan.rows.append(row1);
    int p = 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (!isHeadingLine(lines[i]))
            continue;
        scan.rows.last().first = p;
        scan.rows.last().last = i - 1;
        p = i - 1;
        ChapterRow row;
        row.number = scan.rows.size() + 1;
        row.label = trimBlanks(lines[i]);
        row.first = p;
        row.last = i - 1;
        scan.rows.append(row);
    }
    scan.rows.last().first = p;
    scan.rows.last().last = lines.size() - 1;
    return scan;
}

QStringList readLines(const QString& path, int first, int last)
{
    QByteArray bytes;
    if (!readFile(path, bytes))
        return {};
    const QStringList lines = splitLines(decodeAll(bytes, detectEncoding(bytes)));
    QStringList out;
    for (int i = std::max(first, 0); i <= last && i < lines.size(); ++i)
        out << lines[i];
    return out;
}

QString ReadSplitContent(const QString& path, int first, int last)
{
    QString html;
    for (const QString& line : readLines(path, first, last))
        html += escapeHtml(line) + QStringLiteral("<br>");
    return html;
}

QString readChapterHtml(const ChapterScan& scan, int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= scan.rows.size())
        return {};
    const ChapterRow& row = scan.rows[rowIndex];
    return ReadSplitContent(scan.path, row.first + 1, row.last);
}
