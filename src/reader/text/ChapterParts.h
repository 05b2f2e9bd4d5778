#pragma once

#include "reader/text/ChapterScan.h"

#include <functional>

class QFile;

// Cutting a chapter too long to show at once into parts of bounded size. A part ends after
// a line where one lies in the second half of the part, otherwise at the last character
// boundary that fits, so a chapter made of one enormous line is cut too, and no character is
// ever split between two parts: the parts decode to exactly the chapter's text.

// Bytes past the part limit a window must hold (when the chapter goes on) to tell whether
// a character starting before the limit ends before it.
constexpr qint64 kPartLookahead = 4;

// The length of the part starting at `window[0]`, a character boundary. `window` holds
// `size` bytes: at least limit + kPartLookahead, unless they are all that is left of the
// chapter. A rest of at most `limit` bytes (limit is at least 16) is one part; otherwise the
// part ends just past the last line end (LF, CR LF or a lone CR) in the second half of the
// first `limit` bytes, or else at the last character boundary at or below `limit`. Between 1
// and `limit` for a non-empty window, 0 for an empty one.
qint64 partLength(const char* window, qint64 size, qint64 limit, TextEncoding encoding);

// Bytes the GB18030 decoder takes as one unit at `p` (`avail` bytes there, the run ending
// after them): 4 or 2 for a character it decodes, 1 for a single byte or a fault it replaces
// before going on at the next byte.
int gb18030UnitLength(const unsigned char* p, qint64 avail);

// Cuts bytes [begin, end) of `file` into parts of at most `partBytes`, about equal in size,
// calling `onPart` with each part's [begin, end) in order; `onPart` returns false to stop
// early. The cut depends only on the bytes of [begin, end), so cutting again gives the same
// parts. False when the file cannot be read.
bool cutIntoParts(QFile& file, TextEncoding encoding, qint64 begin, qint64 end, qint64 partBytes,
                  const std::function<bool(qint64, qint64)>& onPart);

// Replaces each row of `scan` over `partBytes` by its parts, numbering the rows afresh. The
// rows of a book without such a chapter are left exactly as they are.
bool splitOverlongRows(QFile& file, ChapterScan& scan, qint64 partBytes);
