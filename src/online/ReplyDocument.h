#pragma once

#include <QDeadlineTimer>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

class Dialogs;

// Raised when a reply lacks an element its reader needs; each reader decides what that means.
class MissingReplyElement : public std::runtime_error {
public:
    explicit MissingReplyElement(const QString& tag);
    QString tag() const { return m_tag; }

private:
    QString m_tag;
};

// The XML document of a reply. A document declared in GB2312, GBK or GB18030 (in its XML
// declaration, or else in the content type's charset) is converted first: the XML reader
// itself knows only UTF-8 and UTF-16.
class ReplyDocument {
public:
    static ReplyDocument load(const QByteArray& body, const QByteArray& contentType = {});
    // As load(), on a worker thread; nothing when the document is not ready by the deadline
    // (the start-up check's limit covers reading its reply as well as fetching it).
    static std::optional<ReplyDocument> loadWithin(const QByteArray& body, const QByteArray& contentType,
                                                   QDeadlineTimer deadline);

    // 4 when the document was parsed; 1 when the reply was not a well-formed document; 0 for
    // an empty reply. A document is usable when its state is above 2.
    int readyState() const { return m_readyState; }
    bool usable() const { return m_readyState > 2; }

    // The text of the first element with the tag anywhere in the document.
    QString text(const QString& tag) const;
    // The first element with the tag, or a null element.
    QDomElement first(const QString& tag) const;
    // Every element with the tag, in document order (a list of records).
    QList<QDomElement> all(const QString& tag) const;
    // The first `limit` of them: a list shows no more than a page can hold.
    QList<QDomElement> all(const QString& tag, int limit) const;

    // The text of the first element with the tag inside `record`.
    static QString field(const QDomElement& record, const QString& tag);
    // As field(), but an empty text where the element is missing.
    static QString fieldOr(const QDomElement& record, const QString& tag, const QString& fallback = {});

private:
    QDomDocument m_doc;
    int m_readyState = 0;
};

// How many records a list takes from one reply, and how many characters of a record's text
// it shows: far beyond any real page (20 books, titles of a few dozen characters), small
// enough that the list stays quick to fill and to draw.
constexpr int kMaxListRecords = 500;
constexpr int kMaxShownChars = 200;
// A text of more than `maxChars` characters cut to fit, the cut shown by "…".
QString elided(const QString& text, int maxChars = kMaxShownChars);

// "网络还没有准备就续，资料读取错误。状态：" + state, title "读取错误", exclamation.
void showReadingFailure(Dialogs& dialogs, const ReplyDocument& document);
void showReadingFailure(Dialogs& dialogs, int readyState);

// The encoding an XML reply declares, lower case ("gb2312"), or empty when it declares none.
QByteArray declaredXmlEncoding(const QByteArray& body);
