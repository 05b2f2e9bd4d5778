#pragma once

#include <QString>

#include <optional>

// How far into a book the reader is: the byte offset of the chapter last shown in the size
// of the file, and that chapter's number of the total. Kept per book in the reader options.
struct ReadingProgress {
    qint64 offset = 0;
    qint64 size = 0;
    int chapter = 0; // 1-based row of the chapter list
    int chapters = 0;

    // Row `row` (0-based) of `rows`, starting at `byteBegin` of a file of `fileSize` bytes. An
    // unknown offset (a stale scan) counts the rows instead.
    static ReadingProgress ofRow(qint64 byteBegin, qint64 fileSize, int row, int rows);

    // Tenths of a percent, 0..1000, rounded down: 100% only at the very end.
    int permille() const;
    // "12.3%"
    QString percentText() const;
    // "第 3/120 章 · 12.3%", shown under the text.
    QString viewText() const;
    // "已读 12.3%（第 3/120 章）", the shelf's tool tip.
    QString shelfText() const;

    // "offset/size/chapter/chapters"; parse() reads it back, nothing for anything else.
    QString entry() const;
    static std::optional<ReadingProgress> parse(const QString& entry);
    // The reader option holding a book's progress.
    static QString optionName(const QString& bookPath);
};
