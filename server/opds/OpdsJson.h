#pragma once

#include "opds/OpdsFeed.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The same feeds as OPDS 2.0 JSON, for readers that prefer it to Atom. The pages and their
// links are the Atom feeds' own; only the notation differs.
namespace OpdsJson {

inline constexpr char kType[] = "application/opds+json";

QByteArray navigation(const QString& origin, const QList<OpdsFeed::NavigationEntry>& entries);
QByteArray publications(const QString& origin, const OpdsFeed::AcquisitionPage& page);

} // namespace OpdsJson
