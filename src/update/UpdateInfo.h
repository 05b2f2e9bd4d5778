#pragma once

#include <QString>

class ReplyDocument;

// The service's information block (the first `infobase` element of getinfo.asp): the four
// snippets the reader shows, and what the updater needs to know about the newest version.
struct UpdateInfo {
    QString noticeUrl;         // reader_1: the notice page shown under the category tree
    QString bannerHtml;        // reader_2: the reading page's banner (AdsDiv)
    QString chapterHeaderHtml; // reader_3: before each chapter
    QString chapterFooterHtml; // reader_4: after each chapter
    QString version;           // trimmed
    QString mustdown;          // "TRUE" makes the update mandatory, "FALSE" optional
    QString verinfo;           // release notes
    QString downloadlist;      // file addresses joined by "||"
    QString savepathlist;      // their folders below the program folder, joined by "||"

    enum class Fields { WithSnippets, UpdateOnly };

    // Reads the fields in the order above (UpdateOnly starts at `version`). A missing element
    // throws MissingReplyElement; the fields read before it keep their values.
    void readFrom(const ReplyDocument& document, Fields fields = Fields::WithSnippets);

    static QString listSeparator() { return QStringLiteral("||"); }
};
