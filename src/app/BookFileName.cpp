#include "app/BookFileName.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// Blanks and the dashes, colons and commas that stand between a title and an author.
QString trimSeparators(const QString& text)
{
    static const QString separators = QStringLiteral(" \t\u3000-_－—–~～:：,，、.。|");
    int begin = 0;
    int end = text.size();
    while (begin < end && separators.contains(text.at(begin)))
        ++begin;
    while (end > begin && separators.contains(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString baseNameOf(const QString& path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = path.mid(cut + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    // ".txt" alone is a name without an extension.
    if (dot > 0)
        name.truncate(dot);
    return name.trimmed();
}

// "作者：某某", "作者:某某" and "作者 某某" name the author.
const QRegularExpression& authorMarker()
{
    static const QRegularExpression marker(QStringLiteral("作者\\s*[:：]?\\s*"));
    return marker;
}

// An author after a single dash is taken only when it reads like a name, not like the
// second half of a title ("三体-地球往事" stays whole when the part after it is long).
bool looksLikeAuthor(const QString& text)
{
    return !text.isEmpty() && text.size() <= 12 && !text.contains(QLatin1Char(' '));
}

} // namespace

BookFileName BookFileName::parse(const QString& path)
{
    const QString name = baseNameOf(path);
    BookFileName result;
    result.title = name;

    // 《书名》作者 (the author may also come first: 作者《书名》).
    const int open = name.indexOf(QChar(0x300A));
    const int close = open < 0 ? -1 : name.indexOf(QChar(0x300B), open + 1);
    if (close > open + 1) {
        result.title = name.mid(open + 1, close - open - 1).trimmed();
        QString rest = name.mid(close + 1);
        const QRegularExpressionMatch marked = authorMarker().match(rest);
        if (marked.hasMatch())
            rest = rest.mid(marked.capturedEnd());
        result.author = trimSeparators(rest);
        if (result.author.isEmpty())
            result.author = trimSeparators(name.left(open));
        return result;
    }

    // 书名 作者：某某
    const QRegularExpressionMatch marked = authorMarker().match(name);
    if (marked.hasMatch() && marked.capturedStart() > 0) {
        const QString title = trimSeparators(name.left(marked.capturedStart()));
        const QString author = trimSeparators(name.mid(marked.capturedEnd()));
        if (!title.isEmpty() && !author.isEmpty()) {
            result.title = title;
            result.author = author;
        }
        return result;
    }

    // 书名-作者, with exactly one dash.
    static const QRegularExpression dash(QStringLiteral("\\s*[-－—_]\\s*"));
    const QStringList parts = name.split(dash);
    if (parts.size() == 2) {
        const QString title = parts.at(0).trimmed();
        const QString author = parts.at(1).trimmed();
        if (!title.isEmpty() && looksLikeAuthor(author)) {
            result.title = title;
            result.author = author;
        }
    }
    return result;
}
