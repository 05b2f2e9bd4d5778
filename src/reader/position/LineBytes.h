#pragma once

#include "reader/text/TextDecoder.h"

#include <QtGlobal>

// Lines in a file's own bytes, split as the line reader splits them: at LF, CR LF or a lone
// CR, in units of one byte (two for UTF-16, whose `data` starts on a unit). No GB18030 or
// Big5 trail byte is a CR or an LF, so every line start is a character boundary there too.

// Line ends in data[0, size): a CR as the last unit counts, its LF being beyond.
qint64 countLineEnds(const char* data, qint64 size, TextEncoding encoding);

// The offset of the start of line `line` (0-based) of data[0, size), -1 past its last line.
qint64 lineStartOffset(const char* data, qint64 size, qint64 line, TextEncoding encoding);

// The offset of the first line end at or after `from`, `size` when the line runs to the end.
qint64 lineEndOffset(const char* data, qint64 size, qint64 from, TextEncoding encoding);

// Whether a line starts at `pos` (the unit before it ends a line, and `pos` is not the LF
// of a CR LF). Position 0 counts as a start only when `atTextStart`.
bool startsLine(const char* data, qint64 size, qint64 pos, TextEncoding encoding, bool atTextStart);
