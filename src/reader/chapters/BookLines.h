#pragma once

#include "reader/text/TextDecoder.h"

#include <QList>
#include <QString>

class QFile;

// One line of a book with the file offset of its first byte, decoded, without its line end.
struct BookLine {
    qint64 offset = 0;
    QString text;
};

// The lines that start in bytes [begin, end) of `file`, read in `encoding`; `begin` must be the
// start of a line. Lines end as the scan ends them: LF, CR LF or a lone CR (the UTF-16 units of
// these in UTF-16). At most `maxBytes` are read, so a damaged offset never reads a whole book.
QList<BookLine> linesBetween(QFile& file, TextEncoding encoding, qint64 begin, qint64 end,
                             qint64 maxBytes = qint64(4) << 20);

// The lines that start in [from, to) of `file`, where `from` may fall inside a line: only
// whole lines are given, found after a line end (or at `textStart`, the first byte after any
// byte-order mark).
QList<BookLine> linesAround(QFile& file, TextEncoding encoding, qint64 textStart, qint64 from, qint64 to);

// Line ends in `bytes` (LF, CR LF and a lone CR count once each).
qint64 countLineEnds(const QByteArray& bytes, TextEncoding encoding);
