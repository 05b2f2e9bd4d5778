// Chapter scan benchmark: builds a large GBK novel and its UTF-8 copy from the shared test
// novels, scans the GBK copy, counts the same heading pattern in the UTF-8 copy with GNU grep
// (PCRE) and ripgrep side by side, times the automatic rule choice beside the default scan,
// times showing chapters, times telling the encoding of books of every size and measures the
// scan's peak memory. Last, the whole program as a user runs it (quillmere-chapters BOOK > file)
// beside wc -l BOOK > file, taking turns in the same run.
//
//   bench_chapterscan [--size MB] [--runs N] [--testdata DIR]
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/EncodingDetector.h"
#include "reader/text/TextDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

const char* const kPattern =
    "^(.{0,6})(第|正文|作品|VIP|vip)(.{0,30}$)|"
    "^[一二两三四五六七八九十○零百千0-9１２３４５６７８９０]{1,4}(、|，|：|\\s|\\x{3000})(.{0,20}$)";

const char* const kBooks[] = {"xiyouji-web-simp-utf8-bom.txt", "xiyouji-pg-utf8.txt", "shuihuzhuan-pg-utf8.txt",
                              "rulinwaishi-pg-utf8.txt", "nahan-luxun-pg-utf8.txt"};

double mb(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// Resident and peak resident memory of this process in KiB, from /proc/self/status.
qint64 statusKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

struct Built {
    QString gbk;
    QString utf8;
    qint64 gbkBytes = 0;
    qint64 utf8Bytes = 0;
};

// Repeats the books until the GBK copy reaches `targetBytes`. Each book keeps its own first
// line, so the big file has the headings and the ordinary lines of real books.
bool buildFiles(const QString& novels, const QString& dir, qint64 targetBytes, Built& built)
{
    QList<QByteArray> utf8Books;
    QList<QByteArray> gbkBooks;
    for (const char* name : kBooks) {
        QFile f(novels + QLatin1Char('/') + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
            return false;
        }
        QByteArray bytes = f.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        if (!bytes.endsWith('\n'))
            bytes.append('\n');
        utf8Books.append(bytes);
        gbkBooks.append(encodeText(QString::fromUtf8(bytes), TextEncoding::Gb18030));
    }
    built.gbk = dir + QStringLiteral("/novel-gbk.txt");
    built.utf8 = dir + QStringLiteral("/novel-utf8.txt");
    QFile gbk(built.gbk);
    QFile utf8(built.utf8);
    if (!gbk.open(QIODevice::WriteOnly) || !utf8.open(QIODevice::WriteOnly))
        return false;
    while (built.gbkBytes < targetBytes) {
        for (int i = 0; i < gbkBooks.size() && built.gbkBytes < targetBytes; ++i) {
            built.gbkBytes += gbk.write(gbkBooks[i]);
            built.utf8Bytes += utf8.write(utf8Books[i]);
        }
    }
    return true;
}

void warmCache(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    std::vector<char> buffer(1 << 20);
    while (f.read(buffer.data(), qint64(buffer.size())) > 0) {
    }
}

struct ToolRun {
    bool ok = false;
    double bestMs = 0;
    QByteArray output;
};

ToolRun runTool(const QString& program, const QStringList& args, int runs)
{
    ToolRun result;
    for (int r = 0; r < runs; ++r) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(program, args);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), qPrintable(process.errorString()));
            return result;
        }
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        result.output = process.readAllStandardOutput().trimmed();
        if (!result.ok || ms < result.bestMs)
            result.bestMs = ms;
        result.ok = true;
    }
    return result;
}

struct ScanRun {
    ChapterScan scan;
    double bestMs = 0;
};

ScanRun runScan(const QString& path, int runs)
{
    ScanRun result;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        ChapterScan scan = getChapterRows(path);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (r == 0 || ms < result.bestMs)
            result.bestMs = ms;
        result.scan = std::move(scan);
    }
    return result;
}

// The automatic rule choice over every built-in rule beside the default scan, the two taking
// turns so that a busy moment of the shared machine does not fall on one of them only.
struct ChoiceRun {
    double defaultMs = 0;
    double autoMs = 0;
    qsizetype rows = 0;
    QString chosen;
};

ChoiceRun runAutoChoice(const QString& path, int runs)
{
    ChoiceRun result;
    const QList<HeadingRule> rules = RuleLibrary().enabledRules();
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        const ChapterScan plain = getChapterRows(path);
        const double plainMs = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        AutoRuleChoice choice(rules);
        const ChapterScan scan = choice.scan(path);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (r == 0 || plainMs < result.defaultMs)
            result.defaultMs = plainMs;
        if (r == 0 || ms < result.autoMs)
            result.autoMs = ms;
        result.rows = scan.rows.size();
        Q_UNUSED(plain);
        result.chosen = choice.chosen().name;
    }
    return result;
}

bool sameRows(const ChapterScan& a, const ChapterScan& b)
{
    if (a.rows.size() != b.rows.size())
        return false;
    for (int i = 0; i < a.rows.size(); ++i)
        if (a.rows[i].range() != b.rows[i].range() || a.rows[i].label != b.rows[i].label)
            return false;
    return true;
}

struct Latency {
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    int chapters = 0;
    int maxRow = 0;
    qint64 maxChapterBytes = 0;
};

// Every row shown, in a shuffled order so that no read profits from the one before. The
// machine is shared, so each row's figure is the best of three showings: a time slice lost
// to another process says nothing about the code.
Latency chapterLatency(const ChapterScan& scan)
{
    std::vector<int> order(size_t(scan.rows.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    for (size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[(i * 7919) % i]);
    std::vector<double> best(order.size(), 1e9);
    for (int round = 0; round < 3; ++round) {
        for (int row : order) {
            QElapsedTimer timer;
            timer.start();
            const QString html = readChapterHtml(scan, row);
            best[size_t(row)] = std::min(best[size_t(row)], double(timer.nsecsElapsed()) / 1e6);
            if (html.isEmpty() && scan.rows[row].last > scan.rows[row].first)
                std::fprintf(stderr, "row %d came back empty\n", row + 1);
        }
    }
    Latency latency;
    for (size_t row = 0; row < best.size(); ++row) {
        if (best[row] > latency.maxMs) {
            latency.maxMs = best[row];
            latency.maxRow = int(row) + 1;
        }
        latency.maxChapterBytes =
            std::max(latency.maxChapterBytes, scan.rows[int(row)].byteEnd - scan.rows[int(row)].byteBegin);
    }
    std::sort(best.begin(), best.end());
    latency.chapters = int(best.size());
    if (!best.empty()) {
        latency.medianMs = best[best.size() / 2];
        latency.p99Ms = best[best.size() * 99 / 100];
    }
    return latency;
}

// One whole process with its output sent to a file, as a shell's "program args > file" does.
double timedProcess(const QString& program, const QStringList& args, const QString& outFile)
{
    QProcess process;
    process.setStandardOutputFile(outFile);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

struct ProcessRace {
    double toolMs = 0; // medians
    double wcMs = 0;
    double ratio = 0; // median of the per-round ratios
    double worstRatio = 0;
    int rounds = 0;
};

// quillmere-chapters BOOK > file against wc -l BOOK > file, one after the other in each round so
// that a busy moment of the shared machine falls on both.
ProcessRace raceWc(const QString& tool, const QString& book, const QString& dir, int rounds)
{
    QList<double> tool_, wc, ratios;
    for (int r = 0; r < rounds; ++r) {
        const double a = timedProcess(tool, {book}, dir + QStringLiteral("/rows.txt"));
        const double b =
            timedProcess(QStringLiteral("wc"), {QStringLiteral("-l"), book}, dir + QStringLiteral("/wc.txt"));
        if (a < 0 || b <= 0)
            return {};
        tool_ << a;
        wc << b;
        ratios << a / b;
    }
    auto median = [](QList<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    ProcessRace race;
    race.toolMs = median(tool_);
    race.wcMs = median(wc);
    race.ratio = median(ratios);
    race.worstRatio = *std::max_element(ratios.begin(), ratios.end());
    race.rounds = rounds;
    return race;
}

// A Big5 book as large as `targetBytes`: the lines of the traditional-Chinese test novel that
// Big5 can hold, repeated.
QString buildBig5(const QString& novels, const QString& dir, qint64 targetBytes)
{
    QFile source(novels + QStringLiteral("/xiyouji-pg-utf8.txt"));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    QByteArray book;
    for (const QByteArray& line : source.readAll().split('\n')) {
        const QByteArray bytes = encodeText(QString::fromUtf8(line), TextEncoding::Big5);
        if (!bytes.isEmpty() || line.isEmpty())
            book += bytes + '\n';
    }
    const QString path = dir + QStringLiteral("/novel-big5.txt");
    QFile out(path);
    if (book.isEmpty() || !out.open(QIODevice::WriteOnly))
        return {};
    for (qint64 written = 0; written < targetBytes; written += book.size())
        out.write(book);
    return path;
}

// The encoding detector on one file: best and worst of `runs`, each opening the file afresh.
struct DetectRun {
    double bestMs = 0;
    double worstMs = 0;
    QString name;
};

DetectRun runDetect(const QString& path, int runs)
{
    DetectRun result;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return result;
        const DetectedEncoding detected = EncodingDetector::detect(file);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        result.bestMs = r == 0 ? ms : std::min(result.bestMs, ms);
        result.worstMs = std::max(result.worstMs, ms);
        result.name = EncodingDetector::name(detected.encoding);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 sizeMb = 60;
    int runs = 5;
    QString testdata = QStringLiteral(QUILLMERE_TESTDATA_DIR);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--size"))
            sizeMb = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--testdata"))
            testdata = args[i + 1];
    }
    const QString novels = testdata + QStringLiteral("/novels");
    if (!QDir(novels).exists()) {
        std::fprintf(stderr, "no test novels at %s\n", qPrintable(novels));
        return 1;
    }
    QTemporaryDir dir;
    Built built;
    if (!dir.isValid() || !buildFiles(novels, dir.path(), sizeMb * 1024 * 1024, built))
        return 1;
    warmCache(built.gbk);
    warmCache(built.utf8);
    std::printf("GBK novel   %8.1f MB  %s\n", mb(built.gbkBytes), qPrintable(built.gbk));
    std::printf("UTF-8 copy  %8.1f MB\n", mb(built.utf8Bytes));
    std::printf("best of %d runs, file in the page cache\n\n", runs);

    // Peak memory first, on a fresh peak mark, before the timing runs leave their own traces.
    const qint64 baseline = statusKiB("VmRSS:");
    const bool peakReset = resetPeakMemory();
    ChapterScan memoryScan = getChapterRows(built.gbk);
    const qint64 peak = statusKiB("VmHWM:");

    const ScanRun gbk = runScan(built.gbk, runs);
    const ScanRun utf8 = runScan(built.utf8, runs);
    const QString pattern = QString::fromUtf8(kPattern);
    const ToolRun grep =
        runTool(QStringLiteral("grep"), {QStringLiteral("-cP"), QStringLiteral("-i"), pattern, built.utf8}, runs);
    const ToolRun rg =
        runTool(QStringLiteral("rg"), {QStringLiteral("-c"), QStringLiteral("-i"), pattern, built.utf8}, runs);

    const double gbkRate = mb(built.gbkBytes) / (gbk.bestMs / 1000);
    std::printf("%-34s %9s %9s %10s\n", "", "ms", "MB/s", "matches");
    std::printf("%-34s %9.1f %9.1f %10lld\n", "scan, GBK novel", gbk.bestMs, gbkRate,
                qlonglong(gbk.scan.rows.size() - 1));
    std::printf("%-34s %9.1f %9.1f %10lld\n", "scan, UTF-8 copy", utf8.bestMs,
                mb(built.utf8Bytes) / (utf8.bestMs / 1000), qlonglong(utf8.scan.rows.size() - 1));
    if (grep.ok)
        std::printf("%-34s %9.1f %9.1f %10s\n", "grep -cP -i, UTF-8 copy", grep.bestMs,
                    mb(built.utf8Bytes) / (grep.bestMs / 1000), grep.output.constData());
    if (rg.ok)
        std::printf("%-34s %9.1f %9.1f %10s\n", "rg -c -i, UTF-8 copy", rg.bestMs,
                    mb(built.utf8Bytes) / (rg.bestMs / 1000), rg.output.constData());
    const QByteArray grepVersion =
        runTool(QStringLiteral("grep"), {QStringLiteral("--version")}, 1).output.split('\n')[0];
    const QByteArray rgVersion = runTool(QStringLiteral("rg"), {QStringLiteral("--version")}, 1).output.split('\n')[0];
    std::printf("(%s; %s; LC_ALL=C.UTF-8)\n", grepVersion.constData(), rgVersion.constData());
    std::printf("(scan matches: heading rows; line 0 is never tested, the tools count it too)\n");
    double fastest = 0;
    if (grep.ok)
        fastest = grep.bestMs;
    if (rg.ok && (fastest == 0 || rg.bestMs < fastest))
        fastest = rg.bestMs;
    if (fastest > 0)
        std::printf("GBK scan vs faster tool: %.1fx the speed (%s)\n", fastest / gbk.bestMs,
                    gbk.bestMs <= fastest ? "goal met" : "GOAL MISSED");
    std::printf("GBK and UTF-8 copies give identical rows: %s\n\n", sameRows(gbk.scan, utf8.scan) ? "yes" : "NO");

    // Automatic rule choice: every built-in rule scored in the same one pass. Its fixed cost
    // (the patterns compiled) shows on a one-line book.
    {
        const QString tiny = dir.path() + QStringLiteral("/tiny.txt");
        QFile f(tiny);
        if (f.open(QIODevice::WriteOnly) && f.write("书名\n第一章\n甲\n") > 0) {
            f.close();
            const ChoiceRun fixed = runAutoChoice(tiny, runs);
            std::printf("rule choice on a three-line book: %.2f ms (default scan %.2f ms)\n", fixed.autoMs,
                        fixed.defaultMs);
        }
    }
    std::printf("%-34s %9s %9s %10s %8s\n", "", "default", "auto", "rows", "auto/def");
    for (const auto& [name, path] :
         {std::pair{"rule choice, GBK novel", built.gbk}, {"rule choice, UTF-8 copy", built.utf8}}) {
        const ChoiceRun choice = runAutoChoice(path, runs * 2);
        std::printf("%-34s %9.1f %9.1f %10lld %7.2fx  %s\n", name, choice.defaultMs, choice.autoMs,
                    qlonglong(choice.rows), choice.autoMs / choice.defaultMs,
                    choice.autoMs <= 1.5 * choice.defaultMs ? "goal met" : "GOAL MISSED");
        if (path == built.utf8)
            std::printf("(chosen: %s; goal: at most 1.5x the default scan; best of %d runs each, taking turns)\n\n",
                        qPrintable(choice.chosen), runs * 2);
    }

    const Latency latency = chapterLatency(gbk.scan);
    std::printf("chapter shown (read, decoded, escaped; best of 3 per chapter), %d chapters of the GBK novel:\n",
                latency.chapters);
    std::printf("  median %.3f ms, p99 %.3f ms, max %.3f ms (row %d; largest chapter %.1f KB)  %s\n", latency.medianMs,
                latency.p99Ms, latency.maxMs, latency.maxRow, double(latency.maxChapterBytes) / 1024,
                latency.maxMs < 5 ? "goal met" : "GOAL MISSED");
    const Latency latencyUtf8 = chapterLatency(utf8.scan);
    std::printf("  UTF-8 copy: median %.3f ms, p99 %.3f ms, max %.3f ms\n", latencyUtf8.medianMs, latencyUtf8.p99Ms,
                latencyUtf8.maxMs);

    // A stale scan falls back to counting lines: show what that costs for the last chapter.
    QElapsedTimer timer;
    timer.start();
    const ChapterRow& lastRow = gbk.scan.rows.last();
    const QString stale = ReadSplitContent(built.gbk, lastRow.first + 1, lastRow.last);
    std::printf("  last chapter by line counting (stale-scan fallback): %.1f ms\n\n",
                double(timer.nsecsElapsed()) / 1e6);

    // Detection reads samples only: the same few kilobytes for a book of any size.
    const QString big5 = buildBig5(novels, dir.path(), sizeMb * 1024 * 1024);
    std::printf("encoding detection (%d samples of %lld KB; best / worst of %d runs):\n", EncodingDetector::kSamples,
                EncodingDetector::kSampleBytes / 1024, runs * 4);
    bool detectGoal = true;
    for (const auto& [label, path] : {std::pair<const char*, QString>("GBK novel", built.gbk),
                                      std::pair<const char*, QString>("UTF-8 copy", built.utf8),
                                      std::pair<const char*, QString>("Big5 novel", big5)}) {
        if (path.isEmpty())
            continue;
        warmCache(path);
        const DetectRun detect = runDetect(path, runs * 4);
        detectGoal = detectGoal && detect.worstMs < 20;
        std::printf("  %-12s %8.1f MB  %6.2f / %6.2f ms  %s\n", label, mb(QFileInfo(path).size()), detect.bestMs,
                    detect.worstMs, qPrintable(detect.name));
    }
    std::printf("  (goal: under 20 ms for any book size) %s\n\n", detectGoal ? "goal met" : "GOAL MISSED");

    // The pass over every core beside the single pass it replaces, taking turns; the rows must
    // be the same.
    {
        ScanLimits serial;
        serial.parallelFromBytes = std::numeric_limits<qint64>::max();
        QList<double> one, every;
        bool same = true;
        for (int r = 0; r < std::max(runs * 2, 7); ++r) {
            QElapsedTimer t;
            t.start();
            const ChapterScan a = getChapterRows(built.gbk, serial);
            one << t.nsecsElapsed() / 1e6;
            t.restart();
            const ChapterScan b = getChapterRows(built.gbk);
            every << t.nsecsElapsed() / 1e6;
            same = same && sameRows(a, b) && a.lineCount == b.lineCount;
        }
        std::sort(one.begin(), one.end());
        std::sort(every.begin(), every.end());
        std::printf("scan, GBK novel, in this process (median of %lld, taking turns): one pass %.1f ms (baseline), "
                    "over every core %.1f ms; rows identical: %s\n\n",
                    static_cast<long long>(one.size()), one[one.size() / 2], every[every.size() / 2],
                    same ? "yes" : "NO");
    }

    // The whole program beside counting lines: process start, detection, scan and the listing
    // written to a file, against wc -l doing the least any tool can over the same bytes.
    {
        const QString tool = QStringLiteral(QUILLMERE_CHAPTERS_TOOL);
        const ProcessRace race = raceWc(tool, built.gbk, dir.path(), std::max(runs * 4, 11));
        if (race.rounds > 0) {
            std::printf("whole process, GBK novel (median of %d rounds, taking turns):\n", race.rounds);
            std::printf("  quillmere-chapters BOOK > file  %8.1f ms\n", race.toolMs);
            std::printf("  wc -l BOOK > file               %8.1f ms   (baseline)\n", race.wcMs);
            std::printf("  ratio %.2fx (median of rounds; worst %.2fx; goal: at most 1.5x)  %s\n\n", race.ratio,
                        race.worstRatio, race.ratio <= 1.5 ? "goal met" : "GOAL MISSED");
        } else {
            std::printf("whole process: %s or wc did not run\n\n", qPrintable(tool));
        }
    }

    if (peakReset && baseline > 0 && peak > 0)
        std::printf("scan peak memory: %.1f MB above the process baseline (%.1f MB)  %s\n", (peak - baseline) / 1024.0,
                    baseline / 1024.0, (peak - baseline) < 32 * 1024 ? "goal met" : "GOAL MISSED");
    else
        std::printf("scan peak memory: not measurable here (/proc/self/clear_refs)\n");
    return memoryScan.rows.isEmpty() || stale.isNull() ? 1 : 0;
}
