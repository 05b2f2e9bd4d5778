#pragma once

#include "Catalogue.h"
#include "opds/BookFiles.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The catalogue as OPDS 1.2 feeds: Atom documents that e-book readers of every kind browse.
// Plain functions of what the service looked up; every address they write is absolute,
// below the service's public address.
namespace OpdsFeed {

inline constexpr char kNavigationType[] = "application/atom+xml;profile=opds-catalog;kind=navigation";
inline constexpr char kAcquisitionType[] = "application/atom+xml;profile=opds-catalog;kind=acquisition";
inline constexpr char kOpenSearchType[] = "application/opensearchdescription+xml";
// Pages hold 20 entries unless a client asks for 50.
inline constexpr int kPageSize = 20;
inline constexpr int kLargePageSize = 50;

struct NavigationEntry {
    QString title;
    QString id;
    QString path; // below the public address, with its query
    QString rel;
    QString content;
};

struct BookEntry {
    const CatalogueBook* book = nullptr;
    BookFileFacts file;
    QByteArray coverType; // empty without a cover
};

struct AcquisitionPage {
    QString title;
    QString id;
    QString path;  // the feed's path below the public address, without query
    QString query; // what every page link keeps before "page=", encoded: "q=..." or empty
    PageNumbers numbers;
    int pageSize = kPageSize;
    QString updated; // the catalogue's "yyyy-MM-dd HH:mm:ss"
    QList<BookEntry> entries;
};

// `origin` is the public address, without a trailing slash.
QByteArray navigation(const QString& origin, const QString& updated, const QList<NavigationEntry>& entries);
QByteArray acquisition(const QString& origin, const AcquisitionPage& page);
QByteArray openSearchDescription(const QString& origin);

// Paths hold the book's title: encoded the way a URL carries it, so any client resolves it.
QString absolute(const QString& origin, const QString& path);
// The address of another page of the same feed, below the public address.
QString pagePath(const AcquisitionPage& page, int number);
// State, size and the newest chapter, in a line.
QString summaryOf(const CatalogueBook& book);

// Catalogue time ("yyyy-MM-dd HH:mm:ss", the service's local time) as RFC 3339 in UTC.
QString atomTime(const QString& catalogueTime);
QString bookUrn(qint64 id);
QString coverPath(qint64 id);

} // namespace OpdsFeed
