// Prints how long a whole-book search of a 60 MB book takes to its full result list (every
// match counted, the first 5,000 with their chapter and context), for a common and a rare
// word, in a UTF-8 and a GBK copy. Target: under 200 ms. The query's simplified and
// traditional forms are searched together, as the reader does.

#include "reader/ChineseConversion.h"
#include "reader/search/BookSearch.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/TextDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kBookBytes = 60LL * 1024 * 1024;
constexpr int kRuns = 5;

// The simplified 西游记 repeated to 60 MB, in `encoding`.
QString makeBook(const QString& folder, TextEncoding encoding)
{
    QFile in(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/xiyouji-web-simp-utf8-bom.txt"));
    QByteArray novel;
    if (in.open(QIODevice::ReadOnly))
        novel = in.readAll();
    if (novel.startsWith("\xEF\xBB\xBF"))
        novel = novel.mid(3);
    if (novel.isEmpty()) {
        for (int i = 1; i <= 100; ++i)
            novel += QStringLiteral("第%1回 标题\n行者道：“师父，前面有座山。”\n").arg(i).toUtf8().repeated(50);
    }
    if (!novel.endsWith('\n'))
        novel += '\n';
    if (encoding != TextEncoding::Utf8)
        novel = encodeText(QString::fromUtf8(novel), encoding);
    const QString path =
        folder + (encoding == TextEncoding::Utf8 ? QStringLiteral("/big-utf8.txt") : QStringLiteral("/big-gbk.txt"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    for (qint64 written = 0; written < kBookBytes; written += novel.size())
        out.write(novel);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ChineseConversion conversion;
    const bool converts = conversion.isAvailable(ChineseConversion::Mode::ToTraditional);
    std::printf("whole-book search, 60 MB book, best and median of %d runs (target: under 200 ms)%s\n", kRuns,
                converts ? "" : " [no converter: the query as typed only]");
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Gb18030}) {
        const QString path = makeBook(dir.path(), encoding);
        const ChapterScan scan = getChapterRows(path);
        std::printf("%s book: %lld MB, %lld rows\n", encoding == TextEncoding::Utf8 ? "UTF-8" : "GBK",
                    QFile(path).size() >> 20, qint64(scan.rows.size()));
        for (const QString& query : {QStringLiteral("行者"), QStringLiteral("镇元大仙"), QStringLiteral("无此词语")}) {
            QList<double> times;
            SearchResult result;
            for (int run = 0; run < kRuns; ++run) {
                QElapsedTimer timer;
                timer.start();
                const QStringList forms = BookSearch::queryForms(query, converts ? &conversion : nullptr);
                result = BookSearch::run(scan, forms);
                times.append(timer.nsecsElapsed() / 1e6);
            }
            std::sort(times.begin(), times.end());
            std::printf("  %-6s %8lld matches, %5lld listed: best %6.1f ms, median %6.1f ms\n",
                        query.toUtf8().constData(), result.total, qint64(result.hits.size()), times.first(),
                        times[kRuns / 2]);
        }
    }
    return 0;
}
