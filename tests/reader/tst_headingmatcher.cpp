// The heading test, the byte-level prefilter in front of it, and the decoding and line
// splitting beneath the scan.
#include "reader/text/HeadingMatcher.h"
#include "reader/text/LineReader.h"
#include "reader/text/TextDecoder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {

QString novelsDir()
{
    return QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels");
}

// The heading pattern as a regex engine reads it, "." and \s spelt out as the book engine
// has them. PCRE counts code points where the book engine counts UTF-16 units, so lines
// outside the BMP are compared by hand in the table instead.
const QRegularExpression& oracle()
{
    static const QRegularExpression re(
        QStringLiteral(
            "^([^\\n]{0,6})(第|正文|作品|VIP|vip)([^\\n]{0,30}$)|"
            "^[一二两三四五六七八九十○零百千0-9１２３４５６７８９０]{1,4}(、|，|：|[ \\f\\n\\r\\t\\v]|\\x{3000})"
            "([^\\n]{0,20}$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DontCaptureOption);
    return re;
}

bool oracleMatches(const QString& line)
{
    // $ of PCRE also matches before a final LF; the book engine's does not.
    return !line.endsWith(QLatin1Char('\n')) && oracle().match(line).hasMatch();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lines the way the scan sees them: ended by LF, CR LF or a lone CR, no line after a final line end.
QList<QByteArray> rawLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype from = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r')
            continue;
        lines.append(bytes.mid(from, i - from));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        from = i + 1;
    }
    if (from < bytes.size())
        lines.append(bytes.mid(from));
    return lines;
}

// A line made of the characters the pattern cares about and a few it does not.
QString randomLine(QRandomGenerator& random)
{
    static const QString alphabet = QStringLiteral("第正文作品VIPvipVi一二两十○零百千0９１、，： \t\u3000\r甲乙abc。");
    const int length = int(random.bounded(46));
    QString line;
    for (int i = 0; i < length; ++i)
        line += alphabet[int(random.bounded(alphabet.size()))];
    return line;
}

} // namespace

class TestHeadingMatcher : public QObject {
    Q_OBJECT

private slots:
    void headingLines_data();
    void headingLines();
    void matcherAgreesWithRegexOnRandomLines();
    void matcherAgreesWithRegexOnNovels();
    void prefilterKeepsEveryHeading_data();
    void prefilterKeepsEveryHeading();
    void twoByteTableMatchesIconv();
    void encodingDetection_data();
    void encodingDetection();
    void validatorFedInPieces();
    void validatorAgreesWithRoundTrip();
    void gb18030BadBytesBecomeReplacement();
    void lineReaderAcrossBufferEdges_data();
    void lineReaderAcrossBufferEdges();
};

void TestHeadingMatcher::headingLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("heading");
    const QString x30(30, QLatin1Char('x'));
    const QString x20(20, QLatin1Char('x'));
    const QString astral = QString::fromUcs4(U"\U00020000");

    QTest::newRow("chapter with title") << QStringLiteral("第一章 风起云涌") << true;
    QTest::newRow("two blanks then 第12章") << QStringLiteral("  第12章") << true;
    QTest::newRow("卷一 第三节") << QStringLiteral("卷一 第三节") << true;
    QTest::newRow("作品相关") << QStringLiteral("作品相关") << true;
    QTest::newRow("vip章节") << QStringLiteral("vip章节") << true;
    QTest::newRow("VIP upper") << QStringLiteral("VIP章节") << true;
    QTest::newRow("Vip mixed case") << QStringLiteral("Vip章节") << true;
    QTest::newRow("正文 keyword") << QStringLiteral("正文 楔子") << true;
    QTest::newRow("short ordinary line") << QStringLiteral("第二天他起得很早。") << true;
    QTest::newRow("keyword alone") << QStringLiteral("第") << true;
    QTest::newRow("six before keyword") << QStringLiteral("甲乙丙丁戊己第") << true;
    QTest::newRow("第 at eighth character") << QStringLiteral("甲乙丙丁戊己庚第一章") << false;
    QTest::newRow("30 after keyword") << QStringLiteral("第") + x30 << true;
    QTest::newRow("31 after keyword") << QStringLiteral("第") + x30 + QLatin1Char('x') << false;
    QTest::newRow("VIP with 30 after") << QStringLiteral("甲乙丙丁戊己VIP") + x30 << true;
    QTest::newRow("ideographic spaces before") << QStringLiteral("\u3000\u3000第一章") << true;
    QTest::newRow("full-width letters") << QStringLiteral("ＶＩＰ章节") << false;
    QTest::newRow("vi without p") << QStringLiteral("vi章节") << false;

    QTest::newRow("1、序") << QStringLiteral("1、序") << true;
    QTest::newRow("十二：约定") << QStringLiteral("十二：约定") << true;
    QTest::newRow("full-width 3, ideographic space") << QStringLiteral("３\u3000归来") << true;
    QTest::newRow("four numerals") << QStringLiteral("一二三四，开始") << true;
    QTest::newRow("five digits") << QStringLiteral("12345、标题") << false;
    QTest::newRow("20 after separator") << QStringLiteral("1、") + x20 << true;
    QTest::newRow("21 after separator") << QStringLiteral("1、") + x20 + QLatin1Char('x') << false;
    QTest::newRow("tab separator") << QStringLiteral("1\t序") << true;
    QTest::newRow("blank separator") << QStringLiteral("二 序") << true;
    QTest::newRow("vertical tab separator") << QStringLiteral("1\v序") << true;
    QTest::newRow("separator ends the line") << QStringLiteral("七、") << true;
    QTest::newRow("ASCII period") << QStringLiteral("1.序") << false;
    QTest::newRow("ASCII comma") << QStringLiteral("1,序") << false;
    QTest::newRow("numerals without separator") << QStringLiteral("一二三") << false;
    QTest::newRow("no-break space is not \\s") << QStringLiteral("1\u00A0序") << false;

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks") << QStringLiteral("   ") << false;
    QTest::newRow("plain sentence") << QStringLiteral("他说：“好。”") << false;
    QTest::newRow("lone CR counts as a character")
        << QStringLiteral("第") + QString(29, QLatin1Char('x')) + u'\r' << true;
    QTest::newRow("LF inside: keyword shape") << QStringLiteral("第一章\n正文") << false;
    QTest::newRow("LF as the separator") << QStringLiteral("1\n序") << true;
    QTest::newRow("LF after the separator") << QStringLiteral("1、\n序") << false;
    // Characters outside the BMP count as two units, as in the engine books were read with.
    QTest::newRow("three astral chars = six units") << astral + astral + astral + QStringLiteral("第") << true;
    QTest::newRow("four astral chars = eight units")
        << astral + astral + astral + astral + QStringLiteral("第") << false;
    QTest::newRow("15 astral after keyword") << QStringLiteral("第") + QString(astral).repeated(15) << true;
    QTest::newRow("16 astral after keyword") << QStringLiteral("第") + QString(astral).repeated(16) << false;
}

void TestHeadingMatcher::headingLines()
{
    QFETCH(QString, line);
    QFETCH(bool, heading);
    QCOMPARE(isHeadingLine(line), heading);
}

void TestHeadingMatcher::matcherAgreesWithRegexOnRandomLines()
{
    QRandomGenerator random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const QString line = randomLine(random);
        if (isHeadingLine(line) != oracleMatches(line))
            QFAIL(qPrintable(QStringLiteral("disagree on \"%1\"").arg(line)));
    }
}

void TestHeadingMatcher::matcherAgreesWithRegexOnNovels()
{
    const QStringList books = QDir(novelsDir()).entryList({QStringLiteral("*-utf8.txt")});
    if (books.isEmpty())
        QSKIP("shared test novels not found");
    int headings = 0;
    for (const QString& name : books) {
        TextDecoder decoder(TextEncoding::Utf8);
        for (const QByteArray& raw : rawLines(readAll(novelsDir() + QLatin1Char('/') + name))) {
            const QString line = decoder.decode(raw);
            if (line.size() != line.toUcs4().size())
                continue; // astral characters: counted differently on purpose
            const bool heading = isHeadingLine(line);
            headings += heading;
            if (heading != oracleMatches(line))
                QFAIL(qPrintable(QStringLiteral("%1: disagree on \"%2\"").arg(name, line)));
        }
    }
    QVERIFY(headings > 300);
}

void TestHeadingMatcher::prefilterKeepsEveryHeading_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("encoding");
    QTest::newRow("GBK") << "xiyouji-web-simp-gbk.txt" << int(TextEncoding::Gb18030);
    QTest::newRow("GB18030 four-byte") << "nahan-luxun-pg-gb18030.txt" << int(TextEncoding::Gb18030);
    QTest::newRow("GB18030 PG") << "xiyouji-pg-gb18030.txt" << int(TextEncoding::Gb18030);
    QTest::newRow("UTF-8") << "shuihuzhuan-pg-utf8-crlf.txt" << int(TextEncoding::Utf8);
    QTest::newRow("UTF-8 PG") << "xiyouji-pg-utf8.txt" << int(TextEncoding::Utf8);
    QTest::newRow("random GB18030") << QString() << int(TextEncoding::Gb18030);
    QTest::newRow("random UTF-8") << QString() << int(TextEncoding::Utf8);
}

// The scan skips a line the prefilter refuses and trusts decodeShort's text: on real books
// and random lines, neither may lose a heading or change a character.
void TestHeadingMatcher::prefilterKeepsEveryHeading()
{
    QFETCH(QString, file);
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    QList<QByteArray> lines;
    if (file.isEmpty()) {
        QRandomGenerator random(42);
        for (int i = 0; i < 50000; ++i)
            lines.append(encodeText(randomLine(random), enc));
    } else {
        const QByteArray bytes = readAll(novelsDir() + QLatin1Char('/') + file);
        if (bytes.isEmpty())
            QSKIP("shared test novels not found");
        lines = rawLines(bytes);
    }
    const HeadingPrefilter prefilter(enc);
    TextDecoder decoder(enc);
    int headings = 0;
    for (const QByteArray& raw : lines) {
        const QString text = decoder.decode(raw);
        char16_t units[kMaxHeadingUnits];
        int count = 0;
        const auto shortText = prefilter.decodeShort(raw.constData(), raw.size(), units, count);
        if (shortText == HeadingPrefilter::ShortText::Decoded)
            QCOMPARE(QString(reinterpret_cast<const QChar*>(units), count), text);
        if (shortText == HeadingPrefilter::ShortText::TooLong)
            QVERIFY(text.size() > kMaxHeadingUnits);
        if (!isHeadingLine(text))
            continue;
        ++headings;
        if (!prefilter.mayMatch(raw.constData(), raw.size()))
            QFAIL(qPrintable(QStringLiteral("prefilter refused the heading \"%1\"").arg(text)));
    }
    QVERIFY(headings > 10);
}

void TestHeadingMatcher::twoByteTableMatchesIconv()
{
    const char16_t* table = gb18030TwoByteTable();
    TextDecoder decoder(TextEncoding::Gb18030);
    int known = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const char bytes[2] = {char(lead), char(trail)};
            const QString text = decoder.decode(bytes, 2);
            const char16_t unit = table[lead << 8 | trail];
            if (unit == 0) {
                QVERIFY(text.size() != 1);
                continue;
            }
            ++known;
            QCOMPARE(text, QString(QChar(unit)));
        }
    }
    QVERIFY(known > 23000);
    QCOMPARE(QString(QChar(table[0xB5DA])), QStringLiteral("第"));
}

void TestHeadingMatcher::encodingDetection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::newRow("empty") << QByteArray() << int(TextEncoding::Utf8);
    QTest::newRow("ASCII") << QByteArray("chapter one\n") << int(TextEncoding::Utf8);
    QTest::newRow("UTF-8 Chinese") << QStringLiteral("第一章").toUtf8() << int(TextEncoding::Utf8);
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF"
                                             "abc")
                               << int(TextEncoding::Utf8Bom);
    QTest::newRow("UTF-16LE BOM") << QByteArray("\xFF\xFE"
                                                "a\0",
                                                4)
                                  << int(TextEncoding::Utf16LE);
    QTest::newRow("UTF-16BE BOM") << QByteArray("\xFE\xFF\0a", 4) << int(TextEncoding::Utf16BE);
    QTest::newRow("GBK") << QByteArray("\xB5\xDA\xD2\xBB\xD5\xC2") << int(TextEncoding::Gb18030);
    // A download cut off inside its last character is still UTF-8.
    QTest::newRow("UTF-8 cut at the end") << QByteArray("\xE7\xAC") << int(TextEncoding::Utf8);
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << int(TextEncoding::Gb18030);
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << int(TextEncoding::Gb18030);
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << int(TextEncoding::Gb18030);
    // The same faults with more text behind them, where whole characters are checked at once.
    QTest::newRow("overlong slash, text after") << QByteArray("\xC0\xAF"
                                                              "abcd")
                                                << int(TextEncoding::Gb18030);
    QTest::newRow("overlong C1, text after") << QByteArray("\xC1\xBF"
                                                           "abcd")
                                             << int(TextEncoding::Gb18030);
    QTest::newRow("overlong three-byte, text after") << QByteArray("\xE0\x80\xAF"
                                                                   "abcd")
                                                     << int(TextEncoding::Gb18030);
    QTest::newRow("surrogate, text after") << QByteArray("\xED\xA0\x80"
                                                         "abcd")
                                           << int(TextEncoding::Gb18030);
    QTest::newRow("lowest three-byte, text after") << QByteArray("\xE0\xA0\x80"
                                                                 "abcd")
                                                   << int(TextEncoding::Utf8);
    QTest::newRow("last before surrogates") << QByteArray("\xED\x9F\xBF"
                                                          "abcd")
                                            << int(TextEncoding::Utf8);
    QTest::newRow("lowest two-byte, text after") << QByteArray("\xC2\x80"
                                                               "abcd")
                                                 << int(TextEncoding::Utf8);
    QTest::newRow("four-byte UTF-8") << QByteArray("\xF0\xA0\x80\x80") << int(TextEncoding::Utf8);
}

void TestHeadingMatcher::encodingDetection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QCOMPARE(int(detectEncoding(bytes)), encoding);
}

void TestHeadingMatcher::validatorFedInPieces()
{
    const QByteArray text = QStringLiteral("第一回 abc 𠀀 ü 正文\n").repeated(3).toUtf8();
    for (int cut = 0; cut <= text.size(); ++cut) {
        Utf8Validator validator;
        validator.feed(text.constData(), cut);
        validator.feed(text.constData() + cut, text.size() - cut);
        QVERIFY2(validator.finish(), qPrintable(QString::number(cut)));
    }
    for (int cut = 1; cut < text.size(); ++cut) {
        QByteArray broken = text;
        broken[cut] = '\xFF';
        Utf8Validator validator;
        validator.feed(broken.constData(), broken.size());
        QVERIFY(!validator.finish());
    }
}

// Bytes are UTF-8 exactly when decoding and encoding again gives them back.
void TestHeadingMatcher::validatorAgreesWithRoundTrip()
{
    static const unsigned char alphabet[] = {0x41, 0x0A, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                             0xDF, 0xE0, 0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
    QRandomGenerator random(7);
    for (int n = 0; n < 100000; ++n) {
        QByteArray bytes;
        const int length = int(random.bounded(12));
        for (int i = 0; i < length; ++i)
            bytes.append(char(alphabet[random.bounded(int(sizeof alphabet))]));
        const bool valid = QString::fromUtf8(bytes).toUtf8() == bytes;
        Utf8Validator validator;
        validator.feed(bytes.constData(), bytes.size());
        if (validator.finish() != valid)
            QFAIL(qPrintable(QStringLiteral("disagree on %1").arg(QString::fromLatin1(bytes.toHex(' ')))));
    }
}

void TestHeadingMatcher::gb18030BadBytesBecomeReplacement()
{
    TextDecoder decoder(TextEncoding::Gb18030);
    // A lead byte cut off by the end of the run, and one followed by a byte no trail can be.
    QCOMPARE(decoder.decode(QByteArray("\xB5\xDA\xB5")), QStringLiteral("第\uFFFD"));
    QCOMPARE(decoder.decode(QByteArray("\xB5 a")), QStringLiteral("\uFFFD a"));
    QCOMPARE(decoder.decode(QByteArray("\x81\x30\x81\x30")), QStringLiteral("\u0080"));
}

void TestHeadingMatcher::lineReaderAcrossBufferEdges_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<int>("bufferSize");
    for (int size : {16, 18, 24, 31, 64}) {
        QTest::addRow("UTF-8, buffer %d", size) << int(TextEncoding::Utf8) << size;
        QTest::addRow("UTF-16LE, buffer %d", size) << int(TextEncoding::Utf16LE) << size;
        QTest::addRow("UTF-16BE, buffer %d", size) << int(TextEncoding::Utf16BE) << size;
    }
}

// Lines of every length around the buffer size ended by LF, CR LF and lone CRs, so that line
// ends (and the CR of a CR LF) fall at and before the edges, and long lines that outgrow the
// buffer: offsets and contents must match the lines the text was built from.
void TestHeadingMatcher::lineReaderAcrossBufferEdges()
{
    QFETCH(int, encoding);
    QFETCH(int, bufferSize);
    const auto enc = TextEncoding(encoding);
    const QString ends[] = {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")};
    QStringList lines;
    QStringList lineEnds;
    for (int length = 0; length < 80; ++length) {
        lines << QString(length, QLatin1Char('a' + length % 26));
        lineEnds << ends[(length / 2) % 3];
    }
    // Empty lines: CR CR LF is a lone CR and a CR LF, LF CR two line ends.
    for (const char* end : {"\r", "\r\n", "\n", "\r"}) {
        lines << QString();
        lineEnds << QString::fromLatin1(end);
    }
    lines << QStringLiteral("第一章") << QStringLiteral("尾");
    lineEnds << QStringLiteral("\r") << QString();
    QString text;
    for (int i = 0; i < lines.size(); ++i)
        text += lines[i] + lineEnds[i];
    const QByteArray bytes = encodeText(text, enc);

    QBuffer device;
    device.setData(bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    LineReader reader(device, enc, 0, enc == TextEncoding::Utf8, bufferSize);
    TextDecoder decoder(enc);
    RawLine raw;
    qint64 expectedBegin = 0;
    int index = 0;
    while (reader.next(raw)) {
        QVERIFY(index < lines.size());
        const QString expected = lines[index];
        const qint64 lineBytes = encodeText(lines[index] + lineEnds[index], enc).size();
        QCOMPARE(raw.begin, expectedBegin);
        QCOMPARE(raw.end, expectedBegin + lineBytes);
        if (raw.truncated)
            QVERIFY(encodeText(expected, enc).startsWith(QByteArray(raw.data, raw.size)));
        else
            QCOMPARE(decoder.decode(raw.data, raw.size), expected);
        expectedBegin = raw.end;
        ++index;
    }
    QCOMPARE(index, lines.size());
    QVERIFY(reader.utf8Valid());
    QVERIFY(!reader.readError());
}

QTEST_GUILESS_MAIN(TestHeadingMatcher)
#include "tst_headingmatcher.moc"
