#include "XmlReply.h"

XmlReply::XmlReply(const QString& root) : m_writer(&m_bytes)
{
    m_writer.writeStartDocument();
    m_writer.writeStartElement(root);
}

void XmlReply::begin(const QString& element)
{
    m_writer.writeStartElement(element);
}

void XmlReply::end()
{
    m_writer.writeEndElement();
}

void XmlReply::field(const QString& element, const QString& value)
{
    m_writer.writeTextElement(element, clean(value));
}

QByteArray XmlReply::finish()
{
    m_writer.writeEndDocument();
    return m_bytes;
}

QString XmlReply::clean(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(c);
            out.append(text[++i]);
            continue;
        }
        const ushort u = c.unicode();
        const bool allowed =
            u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u < 0xD800) || (u >= 0xE000 && u <= 0xFFFD);
        if (allowed)
            out.append(c);
    }
    return out;
}
