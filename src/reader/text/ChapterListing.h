#pragma once

#include "reader/text/ChapterScan.h"

#include <QByteArray>

// The chapter rows as the command-line tool prints them: UTF-8, one row a line,
// number TAB range TAB label, each line ending in LF.
QByteArray chapterListing(const ChapterScan& scan);

// Lines a+1..b of the row numbered `number` (1-based) as plain UTF-8, unescaped, joined by
// LF and ended with one. False when there is no such row.
bool chapterPlainText(const ChapterScan& scan, int number, QByteArray& text);
