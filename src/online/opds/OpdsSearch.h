#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Searching a catalogue: the OpenSearch description a 1.2 feed links to names the template
// of the search address; a 2.0 feed links a URI template of its own.
namespace OpdsSearch {

// The template of the description's Url of an Atom type (an OPDS or plain Atom one), resolved
// against the description's address; empty when it has none.
QString templateOf(const QByteArray& description, const QUrl& base);

// A template resolved against `base`: the part before its first brace is an address, the
// rest is kept as written so that its parameters survive.
QString resolveTemplate(const QUrl& base, const QString& urlTemplate);

// The template with the words filled in: "{searchTerms}" (OpenSearch), "{?query}", "{&query}"
// and "{query}" (URI templates) take the words; other optional parameters are left out.
QUrl fill(const QString& urlTemplate, const QString& words);

} // namespace OpdsSearch
