#pragma once

#include <QString>

class QUrl;

// Rules for the web views that show what the service sends: the notice pane, the news view
// and the reading page with its banner and chapter snippets.

// An http(s) address of the service's own origin (scheme, host and port of the service base).
bool isServicePage(const QUrl& url, const QString& serviceBase);

// The HTML with every <meta> and <base> tag taken out. A refresh tag would move the page
// elsewhere, a base tag would turn its links; the rest of the markup stays as sent.
QString withoutMetaAndBase(const QString& html);
