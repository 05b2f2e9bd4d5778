// The text decoder on damaged and outsized input: when a book still reads as UTF-8, how its
// faults are shown, that no character is read as a byte-order mark, and the size arithmetic
// at the 32-bit boundaries.
#include "reader/text/TextDecoder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <limits>

namespace {

QString novel(const char* name)
{
    QFile f(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// `count` Chinese characters, a line end every forty.
QString chinese(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QChar(char16_t(0x4E00 + random.bounded(0x5000)));
        if (i % 40 == 39)
            text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

class TestTextDecoder : public QObject {
    Q_OBJECT

private slots:
    void damagedUtf8StaysUtf8_data();
    void damagedUtf8StaysUtf8();
    void gbkBooksStayGbk();
    void faultsBecomeOneReplacementEach_data();
    void faultsBecomeOneReplacementEach();
    void noByteOrderGuess_data();
    void noByteOrderGuess();
    void roundTrips_data();
    void roundTrips();
    void measureAtItsEdges();
    void streamedGbkIsToldEarly();
    void sizeArithmetic_data();
    void sizeArithmetic();
    void oversizedRunIsRefused();
};

void TestTextDecoder::damagedUtf8StaysUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    const QByteArray book = chinese(35000, 1).toUtf8(); // 35,000 multi-byte characters
    QByteArray strayLatin1 = book;
    strayLatin1.insert(book.indexOf('\n', 5000) + 1, "caf\xE9\n");
    QByteArray threeFaults = book;
    for (int at : {1000, 40000, 80000})
        threeFaults.insert(threeFaults.indexOf('\n', at) + 1, "\xFF");
    QByteArray fourFaults = threeFaults;
    fourFaults.insert(fourFaults.indexOf('\n', 60000) + 1, "\xC0");

    QTest::newRow("cut inside the last character") << QByteArray("书\n第一章\n甲\xE4\xB8") << int(TextEncoding::Utf8);
    QTest::newRow("cut after the first byte") << QByteArray("甲\xF0") << int(TextEncoding::Utf8);
    QTest::newRow("a stray Latin-1 byte") << strayLatin1 << int(TextEncoding::Utf8);
    QTest::newRow("three faults in 35000 characters") << threeFaults << int(TextEncoding::Utf8);
    QTest::newRow("four faults in 35000 characters") << fourFaults << int(TextEncoding::Gb18030);
    QTest::newRow("a cut tail is no fault") << threeFaults + "\xE4" << int(TextEncoding::Utf8);
    QTest::newRow("faults and no Chinese")
        << QByteArray("plain text \xE9 with one Latin-1 byte") << int(TextEncoding::Gb18030);
    QTest::newRow("a fault before the cut tail") << QByteArray("\xFF\xE4\xB8") << int(TextEncoding::Gb18030);
}

void TestTextDecoder::damagedUtf8StaysUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QCOMPARE(int(detectEncoding(bytes)), encoding);
}

// Every slice of the GBK and GB18030 novels, long or short, is still GB18030, and so is GBK
// text scattered thinly through English.
void TestTextDecoder::gbkBooksStayGbk()
{
    const QString books[] = {novel("xiyouji-web-simp-utf8-bom.txt"), novel("nahan-luxun-pg-utf8.txt")};
    if (books[0].isEmpty() || books[1].isEmpty())
        QSKIP("shared test novels not found");
    int slices = 0;
    QRandomGenerator random(12);
    for (const QString& text : books) {
        const QByteArray gbk = encodeText(text, TextEncoding::Gb18030);
        for (int n = 0; n < 400; ++n) {
            const qsizetype length = 2 + random.bounded(n % 4 == 0 ? 200000 : 400);
            const qsizetype from = random.bounded(gbk.size() - length);
            const QByteArray slice = gbk.mid(from, length);
            if (slice.contains(char(0x80)) ||
                std::all_of(slice.begin(), slice.end(), [](char c) { return uchar(c) < 0x80; }))
                continue; // pure ASCII slices are UTF-8 as they always were
            if (QString::fromUtf8(slice).toUtf8() == slice)
                continue; // the rare slice that is valid UTF-8 by chance was UTF-8 before too
            ++slices;
            QVERIFY2(detectEncoding(slice) == TextEncoding::Gb18030, qPrintable(QString::number(from)));
        }
    }
    QVERIFY(slices > 500);

    QByteArray english;
    for (int i = 0; i < 20000; ++i)
        english += "The quick brown fox jumps over the lazy dog. ";
    for (int i = 1; i <= 20; ++i)
        english.insert(i * 40000, encodeText(QStringLiteral("孙悟空"), TextEncoding::Gb18030));
    QCOMPARE(detectEncoding(english), TextEncoding::Gb18030);
}

void TestTextDecoder::faultsBecomeOneReplacementEach_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("cut tail") << QByteArray("甲\xE4\xB8") << QStringLiteral("甲\uFFFD");
    QTest::newRow("cut four-byte tail") << QByteArray("a\xF0\xA0\x80") << QStringLiteral("a\uFFFD");
    QTest::newRow("broken in the middle") << QByteArray("a\xE4\xB8z") << QStringLiteral("a\uFFFDz");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9!") << QStringLiteral("caf\uFFFD!");
    QTest::newRow("stray continuation bytes") << QByteArray("a\x80\x80z") << QStringLiteral("a\uFFFD\uFFFDz");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QStringLiteral("\uFFFD\uFFFD");
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFD");
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD");
    QTest::newRow("fault, then a character") << QByteArray("\xE4\xE4\xB8\x80") << QStringLiteral("\uFFFD一");
    QTest::newRow("astral") << QByteArray("\xF0\xA0\x80\x80") << QString::fromUcs4(U"\U00020000");
}

// The decoder shows each fault the validator counts as exactly one U+FFFD.
void TestTextDecoder::faultsBecomeOneReplacementEach()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    TextDecoder decoder(TextEncoding::Utf8);
    QCOMPARE(decoder.decode(bytes), text);
    Utf8Validator validator;
    validator.feed(bytes.constData(), bytes.size());
    validator.finish();
    const qint64 replacements = text.count(QChar(0xFFFD));
    QCOMPARE(validator.faults() + (validator.cutShort() ? 1 : 0), replacements);
}

void TestTextDecoder::noByteOrderGuess_data()
{
    QTest::addColumn<int>("encoding");
    QTest::newRow("UTF-8") << int(TextEncoding::Utf8);
    QTest::newRow("UTF-16LE") << int(TextEncoding::Utf16LE);
    QTest::newRow("UTF-16BE") << int(TextEncoding::Utf16BE);
    QTest::newRow("GB18030") << int(TextEncoding::Gb18030);
}

// A run starting with U+FEFF or U+FFFE keeps it, and nothing after it is swapped.
void TestTextDecoder::noByteOrderGuess()
{
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    TextDecoder decoder(enc);
    for (const QString& text : {QStringLiteral("\uFEFF第一章"), QStringLiteral("\uFFFE第一章 开端"),
                                QStringLiteral("\uFEFF\uFEFF甲"), QStringLiteral("甲\uFEFF乙")}) {
        const QByteArray bytes = encodeText(text, enc);
        QCOMPARE(decoder.decode(bytes), text);
    }
}

void TestTextDecoder::roundTrips_data()
{
    QTest::addColumn<int>("encoding");
    QTest::newRow("UTF-8") << int(TextEncoding::Utf8);
    QTest::newRow("UTF-16LE") << int(TextEncoding::Utf16LE);
    QTest::newRow("UTF-16BE") << int(TextEncoding::Utf16BE);
    QTest::newRow("GB18030") << int(TextEncoding::Gb18030);
}

// decode(encode(x)) = x for text of every plane, also when it is decoded piece by piece at
// its line ends, as the scan and the read-back do.
void TestTextDecoder::roundTrips()
{
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    QRandomGenerator random(99);
    TextDecoder decoder(enc);
    for (int n = 0; n < 300; ++n) {
        QString text;
        const int length = int(random.bounded(200));
        for (int i = 0; i < length; ++i) {
            char32_t cp = 0;
            switch (random.bounded(5)) {
            case 0:
                cp = U'\n';
                break;
            case 1:
                cp = char32_t(0x20 + random.bounded(0x5F));
                break;
            case 2:
                cp = char32_t(0x10000 + random.bounded(0xFFFF0));
                break;
            default:
                cp = char32_t(0xA0 + random.bounded(0xD800 - 0xA0));
                break;
            }
            text += QString::fromUcs4(&cp, 1);
        }
        const QByteArray bytes = encodeText(text, enc);
        QCOMPARE(decoder.decode(bytes), text);
        const int unit = lineUnitSize(enc);
        QString joined;
        qsizetype from = 0;
        while (from < bytes.size()) {
            qsizetype lf = unit == 1 ? bytes.indexOf('\n', from) : -1;
            for (qsizetype i = from; unit == 2 && i + 1 < bytes.size(); i += 2) {
                if ((enc == TextEncoding::Utf16LE ? bytes.mid(i, 2) == QByteArray("\n\0", 2)
                                                  : bytes.mid(i, 2) == QByteArray("\0\n", 2))) {
                    lf = i + 1;
                    break;
                }
            }
            const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
            joined += decoder.decode(bytes.constData() + from, end - from);
            from = end;
        }
        QCOMPARE(joined, text);
    }
}

void TestTextDecoder::measureAtItsEdges()
{
    QVERIFY(Utf8Validator::toleratedFaults(0, 0));
    QVERIFY(!Utf8Validator::toleratedFaults(1, 0));
    QVERIFY(!Utf8Validator::toleratedFaults(1, 10000));
    QVERIFY(Utf8Validator::toleratedFaults(1, 10001));
    QVERIFY(!Utf8Validator::toleratedFaults(3, 30000));
    QVERIFY(Utf8Validator::toleratedFaults(3, 30001));
    const qint64 huge = std::numeric_limits<qint64>::max();
    QVERIFY(Utf8Validator::toleratedFaults(huge / 10001, huge));
    QVERIFY(!Utf8Validator::toleratedFaults(huge, huge));

    // While feeding, what is left could still make up for the faults; then no longer.
    Utf8Validator validator;
    validator.feed("\xFF", 1);
    QVERIFY(validator.mayReadAsUtf8(30000));
    QVERIFY(!validator.mayReadAsUtf8(10000));
    QVERIFY(!validator.mayReadAsUtf8(0));
    QVERIFY(validator.mayReadAsUtf8(huge));
}

// Streamed, with the rest of a 60 MB file still to come, GBK text stops the count within a
// few thousand faults; damaged UTF-8 goes on to the end and still reads as UTF-8.
void TestTextDecoder::streamedGbkIsToldEarly()
{
    const qint64 rest = qint64(60) << 20;
    const QByteArray gbk = encodeText(chinese(100000, 3), TextEncoding::Gb18030);
    Utf8Validator validator;
    QVERIFY(!validator.feed(gbk.constData(), gbk.size(), rest));
    QVERIFY(!validator.mayReadAsUtf8(rest));
    QVERIFY(validator.faults() < 10000);
    validator.finish();
    QVERIFY(!validator.readsAsUtf8());

    QByteArray utf8 = chinese(100000, 4).toUtf8();
    utf8.insert(utf8.size() / 2, "\xFF");
    Utf8Validator damaged;
    damaged.feed(utf8.constData(), utf8.size() / 3, utf8.size() - utf8.size() / 3);
    damaged.feed(utf8.constData() + utf8.size() / 3, utf8.size() - utf8.size() / 3, 0);
    damaged.finish();
    QCOMPARE(damaged.faults(), 1);
    QVERIFY(damaged.readsAsUtf8());
}

void TestTextDecoder::sizeArithmetic_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<qint64>("units");
    const qint64 max = TextDecoder::kMaxDecodeBytes;
    const qint64 int32Max = std::numeric_limits<qint32>::max();
    QTest::newRow("empty") << qint64(0) << int(TextEncoding::Gb18030) << qint64(0);
    QTest::newRow("negative") << qint64(-1) << int(TextEncoding::Utf8) << qint64(-1);
    QTest::newRow("odd UTF-16") << qint64(7) << int(TextEncoding::Utf16LE) << qint64(4);
    QTest::newRow("largest run, GB18030") << max << int(TextEncoding::Gb18030) << max;
    QTest::newRow("largest run, UTF-16") << max << int(TextEncoding::Utf16BE) << max / 2;
    QTest::newRow("one past the largest") << max + 1 << int(TextEncoding::Utf8) << qint64(-1);
    QTest::newRow("2 GiB - 1, GB18030") << int32Max << int(TextEncoding::Gb18030) << qint64(-1);
    QTest::newRow("2 GiB, GB18030") << int32Max + 1 << int(TextEncoding::Gb18030) << qint64(-1);
    QTest::newRow("4 GiB + 1, UTF-16") << (qint64(1) << 32) + 1 << int(TextEncoding::Utf16LE) << qint64(-1);
    QTest::newRow("largest qint64") << std::numeric_limits<qint64>::max() << int(TextEncoding::Utf16LE) << qint64(-1);
}

// Sizes are worked out in 64 bits: a run past 2 GiB or 4 GiB is refused rather than wrapped
// into a small buffer.
void TestTextDecoder::sizeArithmetic()
{
    QFETCH(qint64, bytes);
    QFETCH(int, encoding);
    QFETCH(qint64, units);
    QCOMPARE(decodedUnitsBound(bytes, TextEncoding(encoding)), units);
}

void TestTextDecoder::oversizedRunIsRefused()
{
    // The size is checked before a byte is read, so a small buffer stands for a huge run.
    const char bytes[4] = {'a', 'b', 'c', 'd'};
    for (auto enc : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Gb18030}) {
        TextDecoder decoder(enc);
        QVERIFY(decoder.decode(bytes, qint64(1) << 32).isEmpty());
        QVERIFY(decoder.decode(bytes, std::numeric_limits<qint64>::max()).isEmpty());
        QVERIFY(!decoder.decode(bytes, 4).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestTextDecoder)
#include "tst_textdecoder.moc"
