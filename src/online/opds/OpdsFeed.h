#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// One link of a catalogue feed, its address already resolved against the feed's own.
struct OpdsLink {
    QUrl href;
    QString rel;
    QString type;
    QString title;
    qint64 length = -1; // bytes, when the feed says
};

// A navigation entry (a way into another feed) or a publication (a book with its downloads).
struct OpdsEntry {
    QString id;
    QString title;
    QString author;
    QString summary;
    QString category;
    QUrl navigation;              // for a navigation entry: the feed it leads to
    QList<OpdsLink> acquisitions; // for a publication: its downloads, in feed order
    QUrl thumbnail;
    QUrl cover;
};

// What one page of a catalogue holds. Only the first few hundred entries of a page are kept
// (a page of 100,000 entries must not fill memory or the list); `totalEntries` counts them all.
struct OpdsFeed {
    static constexpr int DefaultMaxEntries = 200;

    QString title;
    QList<OpdsEntry> navigation;
    QList<OpdsEntry> publications;
    QUrl next;
    QUrl previous;
    QUrl first;
    QUrl last;
    // Either the address of an OpenSearch description (1.2) or a link template to fill (2.0
    // and 1.2 feeds that link a template straight away).
    QUrl openSearchDescription;
    QString searchTemplate;
    int totalEntries = 0;

    bool truncated() const { return totalEntries > navigation.size() + publications.size(); }
    bool hasSearch() const { return !openSearchDescription.isEmpty() || !searchTemplate.isEmpty(); }

    // Takes a feed link of the paging kind (next, previous/prev, first, last); false for any
    // other relation, which the caller reads in its own format's way.
    bool takePagingLink(const QString& rel, const QUrl& href)
    {
        if (rel == QLatin1String("next"))
            next = href;
        else if (rel == QLatin1String("previous") || rel == QLatin1String("prev"))
            previous = href;
        else if (rel == QLatin1String("first"))
            first = href;
        else if (rel == QLatin1String("last"))
            last = href;
        else
            return false;
        return true;
    }
};

// Longest text kept of a title, author or summary: a hostile feed cannot grow one entry
// without bound.
constexpr int kMaxOpdsTextChars = 4000;
