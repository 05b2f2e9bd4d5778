#pragma once

#include <QString>

// The title and author a novel's file name carries. Files passed around the web name
// themselves "《书名》作者.txt", "书名 作者：某某.txt" or "书名-作者.txt"; any other name is
// all title.
struct BookFileName {
    QString title;
    QString author; // empty when the name does not say

    // `path` may be a bare file name or a full path ("/" or "\" separated); the last
    // extension is dropped.
    static BookFileName parse(const QString& path);
};
