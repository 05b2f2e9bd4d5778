#pragma once

#include "reader/text/ChapterScan.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

class ChineseConversion;

// One place the query was found: where in the file, in which row of the chapter list, and
// the text around it for the result list.
struct SearchHit {
    qint64 offset = 0; // of the match's first byte in the file
    int bytes = 0;     // the match's length in the file
    int length = 0;    // the match's length in characters
    int row = -1;
    QString context; // the match with some of its line on either side
};

struct SearchResult {
    QList<SearchHit> hits; // in the book's order, at most the cap
    qint64 total = 0;      // every match, also those past the cap
    bool cancelled = false;
    QString error; // a Chinese message when the book could not be read
    bool capped() const { return total > hits.size(); }
};

// Where a hit is in its row's text, for showing it: the line of the row and the column.
struct HitPlace {
    int row = -1;
    qint64 line = 0;
    int column = 0;
};

// Whole-book search over the file's own bytes: every form of the query is put into the
// book's encoding and looked for as bytes, so a 60 MB book is searched without decoding it.
// In GB18030 and Big5 a byte match is kept only where it starts on a character (no pair of
// bytes that straddles two characters). Safe to run off the GUI thread.
class BookSearch {
public:
    static constexpr int kMaxHits = 5000;
    static constexpr int kContextBefore = 20; // characters of context before the match
    static constexpr int kContextAfter = 40;

    // The query as typed and in simplified and traditional characters, without repeats.
    // `conversion` may be null (plain matching).
    static QStringList queryForms(const QString& query, ChineseConversion* conversion);

    // Every match of any of `forms` in the book `scan` lists; stops early, with `cancelled`,
    // once `cancel` is set.
    static SearchResult run(const ChapterScan& scan, const QStringList& forms, int maxHits = kMaxHits,
                            const std::atomic_bool* cancel = nullptr);

    // The line and column of `hit` in its row's text (reads only that row).
    static HitPlace placeOf(const ChapterScan& scan, const SearchHit& hit);
};
