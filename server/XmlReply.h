#pragma once

#include <QByteArray>
#include <QString>
#include <QXmlStreamWriter>

// Builds the service's XML replies: UTF-8 with an XML declaration, every value escaped and
// stripped of the characters XML 1.0 cannot carry (a stray control character in a title
// must not make the whole reply unreadable).
class XmlReply {
public:
    explicit XmlReply(const QString& root);

    void begin(const QString& element);
    void end();
    void field(const QString& element, const QString& value);
    void field(const QString& element, qint64 value) { field(element, QString::number(value)); }

    // Closes every open element and returns the document.
    QByteArray finish();

    static QString clean(const QString& text);

private:
    QByteArray m_bytes;
    QXmlStreamWriter m_writer;
};
