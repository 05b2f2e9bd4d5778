#pragma once

#include "online/opds/OpdsFeed.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QXmlStreamReader>

// Reads an OPDS 1.2 (Atom) feed as its bytes arrive: nothing but the kept entries stays in
// memory, however long the feed. Past `maxEntries` entries are only counted.
class OpdsAtomReader {
public:
    explicit OpdsAtomReader(const QUrl& base, int maxEntries = OpdsFeed::DefaultMaxEntries);

    void addData(const QByteArray& bytes);
    // No more bytes will come: a feed cut short is an error then.
    void finish();

    bool failed() const { return !m_error.isEmpty(); }
    // Why the bytes are not a feed (Chinese), empty while all is well.
    QString error() const { return m_error; }
    bool done() const { return m_done; }
    const OpdsFeed& feed() const { return m_feed; }
    OpdsFeed takeFeed() { return std::move(m_feed); }

    static OpdsFeed parse(const QByteArray& body, const QUrl& base, QString* error,
                          int maxEntries = OpdsFeed::DefaultMaxEntries);

private:
    void read();
    void startElement();
    void endElement();
    void feedLink(const OpdsLink& link);
    void entryLink(const OpdsLink& link);
    void closeEntry();
    OpdsLink linkHere() const;

    QXmlStreamReader m_xml;
    QUrl m_base;
    int m_maxEntries;
    OpdsFeed m_feed;
    OpdsEntry m_entry;
    bool m_inEntry = false;
    bool m_keepEntry = false;
    bool m_entryIsNavigation = false;
    QUrl m_entryFeedLink; // an Atom link inside the entry that is not an acquisition
    int m_depth = 0;
    int m_authorDepth = 0;
    QString m_text;
    bool m_done = false;
    QString m_error;
};
