#pragma once

#include "online/opds/OpdsFeed.h"

#include <QByteArray>
#include <QUrl>

// Reads an OPDS 2.0 (JSON) feed: its navigation, its publications (also those in groups),
// their links and images, and the feed's paging and templated search links.
namespace OpdsJsonReader {

OpdsFeed parse(const QByteArray& body, const QUrl& base, QString* error, int maxEntries = OpdsFeed::DefaultMaxEntries);

} // namespace OpdsJsonReader

// Either reader, by what the bytes are: a JSON feed starts with "{", anything else is read as Atom.
namespace OpdsFeedReader {

bool looksLikeJson(const QByteArray& body, const QByteArray& contentType);
OpdsFeed parse(const QByteArray& body, const QByteArray& contentType, const QUrl& base, QString* error,
               int maxEntries = OpdsFeed::DefaultMaxEntries);

} // namespace OpdsFeedReader
