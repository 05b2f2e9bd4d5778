#pragma once

#include "reader/text/TextDecoder.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// One row of the chapter list: number, line range "a,b" and label. The chapter's text
// is lines a+1..b (zero-based); a is the last line of the previous chapter, 0 for row 1.
struct ChapterRow {
    int number = 0; // 1-based
    int first = 0;  // a
    int last = 0;   // b
    QString label;
    // Bytes of lines a+1..b in the file as scanned: [byteBegin, byteEnd). -1 when unknown.
    qint64 byteBegin = -1;
    qint64 byteEnd = -1;

    QString range() const { return QString::number(first) + QLatin1Char(',') + QString::number(last); }
};

// The result of scanning one book.
struct ChapterScan {
    QString path;
    bool readable = false; // false: the file could not be opened or read
    QString error;         // a Chinese message when !readable
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 fileSize = -1; // size and modification time when scanned, to tell a stale range
    QDateTime modified;
    int lineCount = 0;      // lines in the file (an empty file has none)
    QList<ChapterRow> rows; // empty for an empty or unreadable file
};

// The scan of getChapter: line 0 labels row 1 (or "正文"), every later line matching
// the heading pattern starts a row. It streams the file through a fixed buffer and keeps
// only the rows. Never throws; an unreadable file gives readable=false.
ChapterScan getChapterRows(const QString& path);

// The heading test, applied to a line as read (without its LF, and without a CR before
// the LF). Declared in HeadingMatcher.h, repeated here for the callers of the scan.
bool isHeadingLine(QStringView line);

// True while the file still has the size and modification time it had when scanned, so
// the byte offsets of the rows still hold.
bool scanIsCurrent(const ChapterScan& scan);

// Lines first..last (zero-based, inclusive) as HTML: each line escaped ("<", ">", "&")
// and followed by "<br>". An index past the last line adds nothing; an unreadable file
// gives the empty text.
QString ReadSplitContent(const QString& path, int first, int last);

// The same lines as plain text, without escaping or "<br>".
QStringList readLines(const QString& path, int first, int last);

// Lines a+1..b of row `rowIndex` (0-based) of `scan`, plain. Reads only the chapter's bytes
// while the file is as scanned; otherwise it counts lines afresh, so a stale range still
// leaves missing lines out without error.
QStringList readChapterLines(const ChapterScan& scan, int rowIndex);

// Row `rowIndex` (0-based) of `scan` as ReadSplitContent would give it for lines a+1..b,
// by the rule of readChapterLines.
QString readChapterHtml(const ChapterScan& scan, int rowIndex);

// Book text is data: "<", ">" and "&" are escaped so that no line can become markup.
void appendEscapedLine(QString& html, QStringView line);
