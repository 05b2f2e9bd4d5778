#pragma once

#include <QStringList>

// Many TXT novels are wrapped by hand at a fixed width, so every paragraph is cut into lines
// that end mid-sentence. Joins such lines back into paragraphs: a line ends its paragraph
// when it is clearly shorter than the chapter's usual line, ends with closing punctuation,
// is blank, or the next line is blank or starts indented. A chapter without a usual long
// line (verse, a list of short lines) comes back as it is; blank lines stay.
// `where`, when given, receives for each line the paragraph (0-based) it went into and the
// column it starts at there.
struct JoinedLine {
    int paragraph = 0;
    int column = 0;
};
QStringList joinHardWrappedLines(const QStringList& lines, QList<JoinedLine>* where = nullptr);
