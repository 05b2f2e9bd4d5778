#include "online/opds/OpdsAtomReader.h"

#include "online/opds/OpdsSearch.h"

namespace {

const QString kNotAFeed = QStringLiteral("这个地址返回的不是 OPDS 书库目录（Atom 或 JSON 格式）");

bool isAcquisition(const QString& rel)
{
    return rel.startsWith(QLatin1String("http://opds-spec.org/acquisition"));
}

bool isAtomFeedType(const QString& type)
{
    return type.startsWith(QLatin1String("application/atom+xml")) ||
           type.startsWith(QLatin1String("application/opds+json"));
}

QString kept(const QString& text)
{
    return text.size() > kMaxOpdsTextChars ? text.left(kMaxOpdsTextChars) + QChar(0x2026) : text;
}

} // namespace

OpdsAtomReader::OpdsAtomReader(const QUrl& base, int maxEntries) : m_base(base), m_maxEntries(maxEntries) {}

OpdsFeed OpdsAtomReader::parse(const QByteArray& body, const QUrl& base, QString* error, int maxEntries)
{
    OpdsAtomReader reader(base, maxEntries);
    reader.addData(body);
    reader.finish();
    if (error)
        *error = reader.error();
    return reader.takeFeed();
}

void OpdsAtomReader::addData(const QByteArray& bytes)
{
    if (failed() || m_done)
        return;
    m_xml.addData(bytes);
    read();
}

void OpdsAtomReader::finish()
{
    if (failed() || m_done)
        return;
    read();
    if (!m_done && !failed())
        m_error = kNotAFeed;
}

void OpdsAtomReader::read()
{
    while (!m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement:
            startElement();
            break;
        case QXmlStreamReader::EndElement:
            endElement();
            break;
        case QXmlStreamReader::Characters:
            if (m_inEntry || m_depth == 2)
                m_text += m_xml.text().left(kMaxOpdsTextChars + 1 - m_text.size());
            break;
        default:
            break;
        }
        if (failed() || m_done)
            return;
    }
    if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        m_error = kNotAFeed;
}

OpdsLink OpdsAtomReader::linkHere() const
{
    const QXmlStreamAttributes a = m_xml.attributes();
    OpdsLink link;
    link.href = m_base.resolved(QUrl(a.value(QLatin1String("href")).toString().trimmed()));
    link.rel = a.value(QLatin1String("rel")).toString().trimmed();
    link.type = a.value(QLatin1String("type")).toString().trimmed();
    link.title = kept(a.value(QLatin1String("title")).toString());
    bool ok = false;
    const qint64 length = a.value(QLatin1String("length")).toLongLong(&ok);
    if (ok && length >= 0)
        link.length = length;
    return link;
}

void OpdsAtomReader::startElement()
{
    ++m_depth;
    m_text.clear();
    const QStringView name = m_xml.name();
    if (m_depth == 1) {
        if (name != QLatin1String("feed"))
            m_error = kNotAFeed;
        return;
    }
    if (m_depth == 2 && name == QLatin1String("entry")) {
        m_inEntry = true;
        m_keepEntry = m_feed.navigation.size() + m_feed.publications.size() < m_maxEntries;
        m_entry = OpdsEntry();
        m_entryIsNavigation = false;
        m_entryFeedLink.clear();
        ++m_feed.totalEntries;
        return;
    }
    if (name == QLatin1String("link")) {
        if (m_depth == 2)
            feedLink(linkHere());
        else if (m_inEntry && m_keepEntry && m_depth == 3)
            entryLink(linkHere());
        return;
    }
    if (!m_inEntry || !m_keepEntry)
        return;
    if (m_depth == 3 && name == QLatin1String("author") && m_entry.author.isEmpty())
        m_authorDepth = m_depth;
    if (m_depth == 3 && name == QLatin1String("category") && m_entry.category.isEmpty()) {
        const QXmlStreamAttributes a = m_xml.attributes();
        const QString label = a.value(QLatin1String("label")).toString().trimmed();
        m_entry.category = kept(label.isEmpty() ? a.value(QLatin1String("term")).toString().trimmed() : label);
    }
}

void OpdsAtomReader::feedLink(const OpdsLink& link)
{
    const QString& rel = link.rel;
    if (m_feed.takePagingLink(rel, link.href))
        return;
    if (rel == QLatin1String("search")) {
        if (link.type.startsWith(QLatin1String("application/opensearchdescription+xml")))
            m_feed.openSearchDescription = link.href;
        else {
            // A template's braces must not be escaped by resolving the whole address.
            const QString raw = m_xml.attributes().value(QLatin1String("href")).toString().trimmed();
            if (raw.contains(QLatin1String("{searchTerms}")))
                m_feed.searchTemplate = OpdsSearch::resolveTemplate(m_base, raw);
        }
    }
}

void OpdsAtomReader::entryLink(const OpdsLink& link)
{
    if (isAcquisition(link.rel)) {
        m_entry.acquisitions.append(link);
    } else if (link.rel == QLatin1String("http://opds-spec.org/image/thumbnail") ||
               link.rel == QLatin1String("http://opds-spec.org/thumbnail")) {
        m_entry.thumbnail = link.href;
    } else if (link.rel == QLatin1String("http://opds-spec.org/image") ||
               link.rel == QLatin1String("http://opds-spec.org/cover")) {
        m_entry.cover = link.href;
    } else if (isAtomFeedType(link.type) && m_entryFeedLink.isEmpty()) {
        m_entryFeedLink = link.href;
    }
}

void OpdsAtomReader::endElement()
{
    const QStringView name = m_xml.name();
    const int depth = m_depth--;
    if (depth == 1) {
        m_done = true;
        return;
    }
    if (depth == 2 && name == QLatin1String("title") && !m_inEntry)
        m_feed.title = kept(m_text.trimmed());
    if (depth == 2 && name == QLatin1String("entry")) {
        closeEntry();
        return;
    }
    if (!m_inEntry || !m_keepEntry)
        return;
    const QString text = kept(m_text.trimmed());
    if (depth == 3 && name == QLatin1String("title"))
        m_entry.title = text;
    else if (depth == 3 && name == QLatin1String("id"))
        m_entry.id = text;
    else if (depth == 3 && (name == QLatin1String("summary") || name == QLatin1String("content")) &&
             (name == QLatin1String("summary") || m_entry.summary.isEmpty()))
        m_entry.summary = text;
    else if (depth == 4 && m_authorDepth == 3 && name == QLatin1String("name"))
        m_entry.author = text;
    else if (depth == 3 && name == QLatin1String("author"))
        m_authorDepth = 0;
    m_text.clear();
}

void OpdsAtomReader::closeEntry()
{
    m_inEntry = false;
    if (!m_keepEntry)
        return;
    // An entry without a download that leads to another feed is a way into the catalogue.
    if (m_entry.acquisitions.isEmpty() && !m_entryFeedLink.isEmpty()) {
        m_entry.navigation = m_entryFeedLink;
        m_feed.navigation.append(std::move(m_entry));
    } else {
        m_feed.publications.append(std::move(m_entry));
    }
    m_entry = OpdsEntry();
}
