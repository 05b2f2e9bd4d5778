// Fuzz target: the reader's XML reply reader and every reader built on it (the catalogue, the
// information block and the update plan made from it, the account replies, the ranking and
// the user's books, the upload answer). The first byte chooses the content type, whether a
// GB2312 declaration goes first and the status; the rest is the body. Beside the invariants
// of each reader, a body in UTF-8 must read exactly as the same text sent in the code page,
// declared in the document or in the content type.
#include "FuzzCheck.h"
#include "account/AccountReply.h"
#include "account/Ranking.h"
#include "account/UploadReply.h"
#include "account/UserBookList.h"
#include "online/CatalogueReply.h"
#include "online/ReplyDocument.h"
#include "platform/AnsiCodePage.h"
#include "update/UpdateInfo.h"
#include "update/updater/UpdatePlan.h"

#include <QByteArray>
#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

const QByteArray kGbDeclaration = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?>");
const QByteArray kContentTypes[] = {QByteArray(), QByteArrayLiteral("text/xml; charset=gb2312"),
                                    QByteArrayLiteral("text/xml; charset=utf-8"),
                                    QByteArrayLiteral("application/xml; charset=\"GBK\"")};
const int kStatuses[] = {200, 413, 500, 0};
// A program folder that does not exist: the update plan only computes paths inside it.
const QString kProgramFolder = QStringLiteral("/nonexistent/quillmere-fuzz/program");

// Everything the readers made of one reply, as text, so two replies can be compared.
struct Reading {
    QStringList lines;
    void add(const QString& what, const QString& value) { lines << what + QLatin1Char('=') + value; }
};

bool isWholeNumberIn(const QString& text, double low, double high)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return false;
    const double value = text.toDouble();
    return value >= low && value <= high;
}

void readCatalogue(const ReplyDocument& doc, Reading& out)
{
    const CatalogueReply reply = CatalogueReply::read(doc);
    const qsizetype records = doc.all(QStringLiteral("bookinfo")).size();
    FUZZ_CHECK(reply.rows.size() <= records, "no more rows than records");
    if (reply.outcome != CatalogueReply::Outcome::Fault)
        FUZZ_CHECK(reply.rows.size() == records, "a read catalogue has as many rows as records");
    FUZZ_CHECK(reply.page.has_value() == (reply.outcome == CatalogueReply::Outcome::Read),
               "page information exactly when read");
    out.add(QStringLiteral("outcome"), QString::number(int(reply.outcome)));
    for (const CatalogueRow& row : reply.rows) {
        const QStringList columns = catalogueColumns(row);
        FUZZ_CHECK(columns.size() == 9 && columns[7] == QStringLiteral("双击下载"), "nine columns a row");
        const QString date = catalogueDate(row.ftime);
        FUZZ_CHECK(date == row.ftime ||
                       QRegularExpression(QStringLiteral("^[0-9]{1,4}/[0-9]{1,2}/[0-9]{1,2}$")).match(date).hasMatch(),
                   "a date is shown as Y/M/D or as sent");
        out.add(QStringLiteral("row"), columns.join(QLatin1Char('\t')) + QLatin1Char('\t') + row.ftime +
                                           QLatin1Char('\t') + row.size + QLatin1Char('\t') + catalogueToolTip(row));
    }
    if (!reply.page)
        return;
    const CataloguePageInfo& page = *reply.page;
    out.add(QStringLiteral("page"), page.label() + QLatin1Char(' ') + page.previous + QLatin1Char(' ') + page.next);
    // "Go" asks only for a page that exists, and only by its number.
    bool countKnown = false;
    const double count = std::floor(QLocale::c().toDouble(page.pageCount, &countKnown));
    for (const QString& typed : {page.pageCount, page.current, page.previous, page.next, QStringLiteral("1"),
                                 QStringLiteral("0"), QStringLiteral("1e300"), QStringLiteral("-3.5")}) {
        const PagingStep step = CataloguePaging::go(reply.page, typed);
        if (step.kind == PagingStep::Kind::Request)
            FUZZ_CHECK(countKnown && isWholeNumberIn(step.page, 1, count), "Go asks for a page that exists");
        else
            FUZZ_CHECK(step.kind == PagingStep::Kind::Refuse && !step.message.isEmpty(), "Go refuses with words");
    }
    for (const PagingStep& step : {CataloguePaging::first(reply.page), CataloguePaging::previous(reply.page),
                                   CataloguePaging::next(reply.page), CataloguePaging::last(reply.page)})
        FUZZ_CHECK(step.kind != PagingStep::Kind::Nothing, "every paging control answers once a page is read");
}

void checkPlan(const UpdateInfo& info, Reading& out)
{
    const UpdatePlan plan = UpdatePlan::make(kProgramFolder, info.downloadlist, info.savepathlist);
    FUZZ_CHECK(plan.listsMatch() ? plan.files.size() + plan.refused.size() == plan.urlCount : plan.files.isEmpty(),
               "every entry planned or refused, none from unequal lists");
    const QString root = QDir::cleanPath(kProgramFolder) + QLatin1Char('/');
    for (const UpdateFile& file : plan.files) {
        FUZZ_CHECK(file.target.startsWith(root) && file.target.size() > root.size(),
                   "an update file stays inside the program folder");
        FUZZ_CHECK(QDir::cleanPath(file.target) == file.target &&
                       !file.target.split(QLatin1Char('/')).contains(QStringLiteral("..")),
                   "an update target is a clean path");
        // Folder entry and file name are joined as written: "\h" and "a.txt" give "ha.txt".
        FUZZ_CHECK(file.target.endsWith(file.fileName), "an update target ends with its file name");
        out.add(QStringLiteral("plan"), file.url + QLatin1Char(' ') + file.target);
    }
}

void readInformation(const ReplyDocument& doc, Reading& out)
{
    // As the reader's start-up check reads it: the snippets before a gap still count.
    UpdateInfo full;
    QString fullGap;
    try {
        full.readFrom(doc);
    } catch (const MissingReplyElement& missing) {
        fullGap = missing.tag();
    }
    // As the updater reads it.
    UpdateInfo update;
    QString updateGap;
    try {
        update.readFrom(doc, UpdateInfo::Fields::UpdateOnly);
    } catch (const MissingReplyElement& missing) {
        updateGap = missing.tag();
        FUZZ_CHECK(!updateGap.startsWith(QStringLiteral("reader_")), "the updater never needs the snippets");
    }
    if (fullGap.isEmpty()) {
        FUZZ_CHECK(updateGap.isEmpty() && update.version == full.version && update.mustdown == full.mustdown &&
                       update.verinfo == full.verinfo && update.downloadlist == full.downloadlist &&
                       update.savepathlist == full.savepathlist,
                   "both readings of a whole block agree");
        FUZZ_CHECK(full.version == full.version.trimmed(), "the version is trimmed");
    }
    out.add(QStringLiteral("info"), QStringList{fullGap, full.noticeUrl, full.bannerHtml, full.chapterHeaderHtml,
                                                full.chapterFooterHtml, full.version, full.mustdown, full.verinfo}
                                        .join(QLatin1Char('\n')));
    if (updateGap.isEmpty())
        checkPlan(update, out);
}

void readAccount(const ServiceReply& reply, Reading& out)
{
    // The windows catch nothing here: a reader that throws would end the program.
    if (const auto info = AccountReply::readLoginInfo(reply)) {
        FUZZ_CHECK(reply.accepted(), "only a 200 answer is read");
        FUZZ_CHECK(info->code == info->code.trimmed() && !info->message.contains(QLatin1Char('|')),
                   "the result line splits into a code and a message");
        for (const AccountReaction& reaction :
             {AccountReply::forLoginDialog(*info), AccountReply::forRegistrationDialog(*info),
              AccountReply::forUserPanel(*info)})
            FUZZ_CHECK(!reaction.box || !reaction.box->title.isEmpty(), "every box has a title");
        out.add(QStringLiteral("login"), info->code + QLatin1Char('|') + info->message);
    }
    const AccountRecord record = AccountReply::readRecord(reply);
    FUZZ_CHECK(record.uploadLimit >= 0, "an upload limit is never negative");
    out.add(QStringLiteral("record"), QStringList{record.uid, record.uname, record.lastdate, record.usermoney,
                                                  record.usermail, QString::number(record.uploadLimit)}
                                          .join(QLatin1Char('\n')));
}

void readUserLists(const ReplyDocument& doc, Reading& out)
{
    for (const QString& kind : {Ranking::pointsKind(), Ranking::goldKind()}) {
        const QList<RankingRow> rows = Ranking::read(doc, kind);
        FUZZ_CHECK(rows.size() == doc.all(QStringLiteral("uinfo")).size(), "a ranking row for every user");
        for (qsizetype i = 0; i < rows.size(); ++i) {
            FUZZ_CHECK(rows[i].place == QString::number(i + 1), "places numbered from 1");
            out.add(kind, rows[i].name + QLatin1Char(' ') + rows[i].figure);
        }
    }
    const UserBookReply books = UserBookList::read(doc);
    FUZZ_CHECK(books.rows.size() == doc.all(QStringLiteral("bookinfo")).size(), "a row for every book");
    FUZZ_CHECK(books.pages.has_value() == !doc.first(QStringLiteral("otherinfo")).isNull(),
               "paging figures exactly with otherinfo");
    for (const UserBookRow& row : books.rows)
        out.add(QStringLiteral("book"),
                QStringList{row.id, row.name, row.state, row.date, row.review}.join(QLatin1Char(' ')));
    if (books.pages) {
        const UserBookPages& pages = *books.pages;
        bool totalKnown = false;
        const double total = std::floor(pages.total.trimmed().toDouble(&totalKnown));
        for (const QString& typed : {pages.total, pages.current, pages.next, QStringLiteral("1")}) {
            const PagerStep step = UserBookList::go(pages, typed);
            FUZZ_CHECK(step.page.has_value() != step.box.has_value(), "the pager asks or refuses");
            if (step.page)
                FUZZ_CHECK(totalKnown && isWholeNumberIn(*step.page, 1, total),
                           "the pager asks for a page that exists");
        }
        out.add(QStringLiteral("pages"), pages.status());
    }
}

void readUpload(const ServiceReply& reply)
{
    const UploadOutcome outcome = UploadReply::read(reply, 1024 * 1024);
    FUZZ_CHECK(!outcome.box.text.isEmpty() || outcome.success, "a failure is told in words");
    FUZZ_CHECK(outcome.success ? reply.status == 200 && outcome.box.title == QStringLiteral("上传成功")
                               : outcome.box.title == QStringLiteral("上传失败"),
               "success only from a 200 answer");
    FUZZ_CHECK(outcome.learnedLimit >= 0 && (outcome.learnedLimit == 0 || reply.status == 413),
               "a limit is learned only from a refusal for size");
}

Reading readReply(const QByteArray& body, const QByteArray& contentType, int status)
{
    Reading out;
    const ReplyDocument doc = ReplyDocument::load(body, contentType);
    const int state = doc.readyState();
    FUZZ_CHECK(state == 0 || state == 1 || state == 4, "ready states 0, 1 and 4");
    FUZZ_CHECK(doc.usable() == (state == 4), "usable exactly when parsed");
    FUZZ_CHECK(!body.trimmed().isEmpty() || state == 0, "an empty reply is state 0");
    out.add(QStringLiteral("state"), QString::number(state));
    readCatalogue(doc, out);
    readInformation(doc, out);
    readUserLists(doc, out);

    ServiceReply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.body = body;
    reply.headers.append({QByteArrayLiteral("X-Upload-Limit"), body.left(12)});
    readAccount(reply, out);
    // The upload answer is plain text in the code page, not a document: it reads the bytes.
    readUpload(reply);
    return out;
}

// The text of a body in strict UTF-8 without a byte-order mark, when it is one.
std::optional<QString> plainUtf8(const QByteArray& body)
{
    if (body.startsWith("\xEF\xBB\xBF") || body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF"))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    QByteArray body(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    if (choice & 4)
        body.prepend(kGbDeclaration);
    const QByteArray& contentType = kContentTypes[choice & 3];
    const int status = kStatuses[(choice >> 3) & 3];
    const Reading reading = readReply(body, contentType, status);

    // The same document in the code page, declared either way, reads the same.
    // (An empty reply stays empty only without a declaration.)
    if ((choice & 7) != 0 || !declaredXmlEncoding(body).isEmpty() || body.trimmed().isEmpty())
        return 0;
    const auto text = plainUtf8(body);
    // U+0000 has no place in an XML document, and "<" followed by a zero byte opens one in
    // UTF-16: such a body is no UTF-8 document to compare with its copy.
    if (!text || text->contains(QChar(0)))
        return 0;
    const QByteArray gbk = AnsiCodePage::encodeGbk(*text);
    if (AnsiCodePage::decode(gbk) != *text)
        return 0; // not every character has a place in the code page
    FUZZ_CHECK(readReply(kGbDeclaration + gbk, {}, status).lines == reading.lines,
               "a document declared in the code page reads as its UTF-8 copy");
    // Converting from the code page drops whatever stands where a declaration goes, so a
    // document with a malformed one is no longer refused: compare only those without.
    static const QRegularExpression declarationFirst(QStringLiteral("^\\s*<\\?xml"));
    if (!declarationFirst.match(*text).hasMatch())
        FUZZ_CHECK(readReply(gbk, kContentTypes[1], status).lines == reading.lines,
                   "a document sent in the code page reads as its UTF-8 copy");
    return 0;
}
