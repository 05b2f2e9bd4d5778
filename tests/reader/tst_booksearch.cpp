#include "reader/ChineseConversion.h"
#include "reader/search/BookSearch.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/TextDecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Whole-book search: each match in its chapter with a line of context, at the right line and
// column of the chapter's text; both scripts of the query; no match made of the halves of two
// characters; the cap on the results kept.
class TestBookSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void hitsMapToChapterLineAndColumn_data();
    void hitsMapToChapterLineAndColumn();
    void bothScripts();
    void noMatchAcrossCharacters_data();
    void noMatchAcrossCharacters();
    void capKeepsFirstAndCountsAll();
    void cancelled();

private:
    QString write(const QByteArray& bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

namespace {

QString book(const QString& lineEnd)
{
    QString text = QStringLiteral("搜索之书") + lineEnd;
    for (int c = 1; c <= 5; ++c) {
        text += QStringLiteral("第%1章 标题%1").arg(c) + lineEnd;
        for (int l = 1; l <= 6; ++l) {
            text += QStringLiteral("　　卷%1行%2：").arg(c).arg(l);
            if (l == 3)
                text += QStringLiteral("他抬头看见一只白鹤飞过，");
            text += QStringLiteral("又低下头去，静静坐着。") + lineEnd;
        }
    }
    return text;
}

// The first character in the CJK block whose bytes in `encoding` satisfy `test`.
QString characterWhere(TextEncoding encoding, const std::function<bool(const QByteArray&)>& test)
{
    for (char16_t c = 0x4E00; c < 0x9FA0; ++c) {
        const QString s(QChar{c});
        const QByteArray bytes = encodeText(s, encoding);
        if (bytes.size() == 2 && test(bytes))
            return s;
    }
    return {};
}

} // namespace

void TestBookSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QString TestBookSearch::write(const QByteArray& bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("book%1.txt").arg(++m_files));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

void TestBookSearch::hitsMapToChapterLineAndColumn_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("lineEnd");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("UTF-8") << int(TextEncoding::Utf8) << QStringLiteral("\n") << QByteArray();
    QTest::newRow("GB18030, CR LF") << int(TextEncoding::Gb18030) << QStringLiteral("\r\n") << QByteArray();
    QTest::newRow("UTF-16LE, lone CR") << int(TextEncoding::Utf16LE) << QStringLiteral("\r")
                                       << QByteArray("\xFF\xFE", 2);
}

void TestBookSearch::hitsMapToChapterLineAndColumn()
{
    QFETCH(int, encoding);
    QFETCH(QString, lineEnd);
    QFETCH(QByteArray, prefix);
    const auto enc = TextEncoding(encoding);
    QString text = book(lineEnd);
    const ChapterScan scan = getChapterRows(write(prefix + encodeText(text, enc)));
    QCOMPARE(int(scan.encoding), encoding);
    QCOMPARE(scan.rows.size(), 6);

    const QString query = QStringLiteral("白鹤");
    const SearchResult result = BookSearch::run(scan, {query});
    QCOMPARE(result.total, 5);
    QCOMPARE(result.hits.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const SearchHit& hit = result.hits[i];
        QCOMPARE(hit.row, i + 1);
        QCOMPARE(hit.length, 2);
        QVERIFY2(hit.context.contains(query), qPrintable(hit.context));
        QVERIFY(!hit.context.contains(QLatin1Char('\n')) && !hit.context.contains(QLatin1Char('\r')));
        QVERIFY2(hit.context.startsWith(QStringLiteral("卷%1行3").arg(i + 1)), qPrintable(hit.context));
        const HitPlace place = BookSearch::placeOf(scan, hit);
        QCOMPARE(place.row, hit.row);
        const QString line = readChapterLines(scan, place.row).value(place.line);
        QCOMPARE(line.mid(place.column, hit.length), query);
    }
}

void TestBookSearch::bothScripts()
{
    ChineseConversion conversion;
    if (!conversion.isAvailable(ChineseConversion::Mode::ToTraditional) ||
        !conversion.isAvailable(ChineseConversion::Mode::ToSimplified))
        QSKIP("the simplified/traditional converter's configuration is not installed");
    const QString text = QStringLiteral("书\n第1章 一\n后来他走了。\n第2章 二\n後來他又回來了。\n第3章 三\n没有。\n");
    const ChapterScan scan = getChapterRows(write(text.toUtf8()));
    for (const QString& query : {QStringLiteral("后来"), QStringLiteral("後來")}) {
        const QStringList forms = BookSearch::queryForms(query, &conversion);
        QCOMPARE(forms.first(), query);
        const SearchResult result = BookSearch::run(scan, forms);
        QCOMPARE(result.total, 2);
        QCOMPARE(result.hits.size(), 2);
        QCOMPARE(result.hits[0].row, 1);
        QCOMPARE(result.hits[1].row, 2);
    }
    // Without a converter the query is matched as typed.
    QCOMPARE(BookSearch::queryForms(QStringLiteral("后来"), nullptr), QStringList{QStringLiteral("后来")});
}

void TestBookSearch::noMatchAcrossCharacters_data()
{
    QTest::addColumn<int>("encoding");
    QTest::newRow("GB18030") << int(TextEncoding::Gb18030);
    QTest::newRow("Big5") << int(TextEncoding::Big5);
}

void TestBookSearch::noMatchAcrossCharacters()
{
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    // The query's two bytes appear as the second byte of one character and the first of the next.
    const QString query = characterWhere(enc, [](const QByteArray& b) {
        return uchar(b[0]) >= 0xA4 && uchar(b[0]) <= 0xC6 && uchar(b[1]) >= 0xA4 && uchar(b[1]) <= 0xC6;
    });
    const QByteArray q = encodeText(query, enc);
    const QString first = characterWhere(enc, [&](const QByteArray& b) { return b[1] == q[0]; });
    const QString second = characterWhere(enc, [&](const QByteArray& b) { return b[0] == q[1]; });
    QVERIFY(!query.isEmpty() && !first.isEmpty() && !second.isEmpty());
    const QString line = first + second + first + second + QStringLiteral("，") + query;
    QVERIFY(encodeText(line, enc).indexOf(q) < encodeText(line, enc).lastIndexOf(q));
    ScanLimits limits;
    limits.encoding = enc;
    const ChapterScan scan =
        getChapterRows(write(encodeText(QStringLiteral("書\n") + line + QStringLiteral("\n"), enc)), limits);
    const SearchResult result = BookSearch::run(scan, {query});
    QCOMPARE(result.total, 1);
    QVERIFY(result.hits.first().context.endsWith(query));
}

void TestBookSearch::capKeepsFirstAndCountsAll()
{
    const ChapterScan scan = getChapterRows(write(book(QStringLiteral("\n")).toUtf8()));
    const SearchResult all = BookSearch::run(scan, {QStringLiteral("静静")});
    QCOMPARE(all.total, 30);
    QVERIFY(!all.capped());
    const SearchResult capped = BookSearch::run(scan, {QStringLiteral("静静")}, 7);
    QCOMPARE(capped.total, 30);
    QCOMPARE(capped.hits.size(), 7);
    QVERIFY(capped.capped());
    for (int i = 0; i < 7; ++i)
        QCOMPARE(capped.hits[i].offset, all.hits[i].offset);
}

void TestBookSearch::cancelled()
{
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
        big += "\xe9\x9d\x99\n"; // 静
    const ChapterScan scan = getChapterRows(write(big));
    const std::atomic_bool cancel{true};
    const SearchResult result = BookSearch::run(scan, {QStringLiteral("静")}, BookSearch::kMaxHits, &cancel);
    QVERIFY(result.cancelled);
    QVERIFY(result.hits.isEmpty());
}

QTEST_MAIN(TestBookSearch)
#include "tst_booksearch.moc"
