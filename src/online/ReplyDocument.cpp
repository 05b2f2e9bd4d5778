#include "online/ReplyDocument.h"

#include "platform/AnsiCodePage.h"
#include "platform/Dialogs.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QThreadPool>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>

MissingReplyElement::MissingReplyElement(const QString& tag)
    : std::runtime_error("reply lacks <" + tag.toStdString() + ">"), m_tag(tag)
{
}

namespace {

bool isChineseCodePage(const QByteArray& name)
{
    const QByteArray n = name.trimmed().toLower();
    return n == "gb2312" || n == "gbk" || n == "gb18030" || n == "x-gbk" || n == "cp936" || n == "euc-cn";
}

QByteArray contentTypeCharset(const QByteArray& contentType)
{
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.toLower().startsWith("charset="))
            return p.mid(8).trimmed().replace('"', "");
    }
    return {};
}

const QRegularExpression& xmlDeclaration()
{
    static const QRegularExpression re(QStringLiteral("^\\s*<\\?xml[^>]*?\\?>"));
    return re;
}

// Replies nest a few elements deep. Building the document takes time growing with the square
// of the nesting and overflows the stack past some 100,000 levels (a reply of 600 KB), so a
// deeper document is refused before it is built. So is one of more elements and attributes
// than any reply holds (a catalogue page has some 200): each costs the document hundreds of
// bytes, and a reply of tiny elements under the size cap would take a second and 200 MB to build.
constexpr int kMaxNesting = 256;
constexpr qsizetype kMaxNodes = 50000;

template <typename Text> bool beyondBounds(const Text& text)
{
    QXmlStreamReader reader(text);
    int depth = 0;
    qsizetype nodes = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            nodes += 1 + reader.attributes().size();
            if (++depth > kMaxNesting || nodes > kMaxNodes)
                return true;
        }
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return false;
}

} // namespace

QByteArray declaredXmlEncoding(const QByteArray& body)
{
    // The declaration is ASCII whatever the encoding of the rest.
    const QString head = QString::fromLatin1(body.left(200));
    const QRegularExpressionMatch decl = xmlDeclaration().match(head);
    if (!decl.hasMatch())
        return {};
    static const QRegularExpression enc(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch m = enc.match(decl.captured());
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

ReplyDocument ReplyDocument::load(const QByteArray& body, const QByteArray& contentType)
{
    ReplyDocument doc;
    if (body.trimmed().isEmpty())
        return doc;
    QByteArray encoding = declaredXmlEncoding(body);
    if (encoding.isEmpty() && !body.startsWith("\xEF\xBB\xBF") && !body.startsWith("\xFF\xFE") &&
        !body.startsWith("\xFE\xFF"))
        encoding = contentTypeCharset(contentType).toLower();
    bool parsed = false;
    if (isChineseCodePage(encoding)) {
        // Decoded here; the declaration goes, so the parser does not look for the code page again.
        QString text = AnsiCodePage::decode(body);
        text.remove(xmlDeclaration());
        parsed = !beyondBounds(text) && doc.m_doc.setContent(text);
    } else {
        parsed = !beyondBounds(body) && doc.m_doc.setContent(body);
    }
    doc.m_readyState = parsed ? 4 : 1;
    return doc;
}

std::optional<ReplyDocument> ReplyDocument::loadWithin(const QByteArray& body, const QByteArray& contentType,
                                                       QDeadlineTimer deadline)
{
    // Shared with the worker, which may finish after the caller has stopped waiting.
    struct Job {
        QSemaphore done;
        ReplyDocument document;
    };
    auto job = std::make_shared<Job>();
    QThreadPool::globalInstance()->start([job, body, contentType] {
        job->document = load(body, contentType);
        job->done.release();
    });
    const qint64 remaining = deadline.remainingTime();
    if (!job->done.tryAcquire(1, remaining < 0 ? -1 : static_cast<int>(remaining)))
        return std::nullopt;
    return job->document;
}

QDomElement ReplyDocument::first(const QString& tag) const
{
    return m_doc.elementsByTagName(tag).item(0).toElement();
}

QString ReplyDocument::text(const QString& tag) const
{
    const QDomElement e = first(tag);
    if (e.isNull())
        throw MissingReplyElement(tag);
    return e.text();
}

QList<QDomElement> ReplyDocument::all(const QString& tag) const
{
    QList<QDomElement> list;
    const QDomNodeList nodes = m_doc.elementsByTagName(tag);
    list.reserve(nodes.size());
    for (int i = 0; i < nodes.size(); ++i)
        list.append(nodes.item(i).toElement());
    return list;
}

QList<QDomElement> ReplyDocument::all(const QString& tag, int limit) const
{
    QList<QDomElement> list;
    const QDomNodeList nodes = m_doc.elementsByTagName(tag);
    const int count = std::min(static_cast<int>(nodes.size()), limit);
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(nodes.item(i).toElement());
    return list;
}

QString ReplyDocument::field(const QDomElement& record, const QString& tag)
{
    const QDomElement e = record.elementsByTagName(tag).item(0).toElement();
    if (e.isNull())
        throw MissingReplyElement(tag);
    return e.text();
}

QString ReplyDocument::fieldOr(const QDomElement& record, const QString& tag, const QString& fallback)
{
    const QDomElement e = record.elementsByTagName(tag).item(0).toElement();
    return e.isNull() ? fallback : e.text();
}

QString elided(const QString& text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    int cut = maxChars - 1;
    // A character outside the basic plane is never split in two.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

void showReadingFailure(Dialogs& dialogs, const ReplyDocument& document)
{
    showReadingFailure(dialogs, document.readyState());
}

void showReadingFailure(Dialogs& dialogs, int readyState)
{
    dialogs.message(QStringLiteral("网络还没有准备就续，资料读取错误。状态：") + QString::number(readyState),
                    QStringLiteral("读取错误"), Dialogs::Exclamation);
}
