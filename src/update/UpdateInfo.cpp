#include "update/UpdateInfo.h"

#include "online/ReplyDocument.h"

void UpdateInfo::readFrom(const ReplyDocument& document, Fields fields)
{
    const QDomElement block = document.first(QStringLiteral("infobase"));
    if (block.isNull())
        throw MissingReplyElement(QStringLiteral("infobase"));
    if (fields == Fields::WithSnippets) {
        noticeUrl = ReplyDocument::field(block, QStringLiteral("reader_1"));
        bannerHtml = ReplyDocument::field(block, QStringLiteral("reader_2"));
        chapterHeaderHtml = ReplyDocument::field(block, QStringLiteral("reader_3"));
        chapterFooterHtml = ReplyDocument::field(block, QStringLiteral("reader_4"));
    }
    version = ReplyDocument::field(block, QStringLiteral("version")).trimmed();
    mustdown = ReplyDocument::field(block, QStringLiteral("mustdown"));
    verinfo = ReplyDocument::field(block, QStringLiteral("verinfo"));
    downloadlist = ReplyDocument::field(block, QStringLiteral("downloadlist"));
    savepathlist = ReplyDocument::field(block, QStringLiteral("savepathlist"));
}
