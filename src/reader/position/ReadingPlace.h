#pragma once

#include "reader/text/ChapterScan.h"

#include <QString>

#include <optional>

class LibraryDatabase;

// Where in a book the reader stands: the byte offset of the line at the top of the page, and
// the first characters of that line, which find the line again when the file was edited or
// the offset lands elsewhere (another encoding, another chapter rule).
struct ReadingPlace {
    static constexpr int kAnchorLength = 32;

    qint64 offset = -1;
    QString anchor;

    bool isValid() const { return offset >= 0; }
    // "offset/anchor"; parse() reads it back, nothing for anything else.
    QString entry() const;
    static std::optional<ReadingPlace> parse(const QString& entry);
    // The reader option holding a book's place.
    static QString optionName(const QString& bookPath);

    static std::optional<ReadingPlace> load(LibraryDatabase* library, const QString& bookPath);
    static bool save(LibraryDatabase* library, const QString& bookPath, const ReadingPlace& place);
};

// A line of the chapter list's text: row `row` (0-based), line `line` of that row's text.
struct PlaceInBook {
    int row = -1; // -1: nowhere (the book opens as it would without a place)
    qint64 line = 0;
};

// The row whose bytes hold `offset`: row 0 for the title line before the first row, -1 past
// the last row or when the rows carry no byte offsets.
int rowOfOffset(const ChapterScan& scan, qint64 offset);

// The place of line `line` of row `row`, moved on past blank lines within the row (a blank
// line is a poor anchor). Invalid when the file is no longer as scanned.
ReadingPlace placeOfLine(const ChapterScan& scan, int row, qint64 line);

// Where `place` is in the book as scanned now: the line at its offset when it still starts
// with the anchor; else the line starting with the anchor nearest the offset (the file was
// edited, or read in another encoding); else the start of the row holding the offset (the
// last row past the end). Reads only around the offset.
PlaceInBook locatePlace(const ChapterScan& scan, const ReadingPlace& place);
