// Decoding of what clients send, the multipart reader, the account rules and page numbers.
#include "AccountRules.h"
#include "Catalogue.h"
#include "Multipart.h"
#include "TextCodec.h"

#include <QtTest>

class TestServerCodec : public QObject {
    Q_OBJECT

private slots:
    void percentDecode_data();
    void percentDecode();
    void formBodyInCodePage();
    void queryTriesUtf8ThenCodePage();
    void invalidCodePageText();
    void multipart_data();
    void multipart();
    void multipartKeepsValuesIntact();
    void multipartLocatesPartsInPlace();
    void userName_data();
    void userName();
    void email_data();
    void email();
    void pageNumbers_data();
    void pageNumbers();
};

void TestServerCodec::percentDecode_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<bool>("plusIsBlank");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("decoded");
    QTest::newRow("two digits") << QByteArray("ab%5F%31") << false << true << QByteArray("ab_1");
    QTest::newRow("lead and trail byte") << QByteArray("%C4%D0") << false << true << QByteArray("\xC4\xD0");
    QTest::newRow("line feed without leading zero") << QByteArray("a%A%31") << false << true << QByteArray("a\n1");
    QTest::newRow("control char at the end") << QByteArray("a%9") << false << true << QByteArray("a\t");
    QTest::newRow("plus in a form") << QByteArray("a+b") << true << true << QByteArray("a b");
    QTest::newRow("plus in a query") << QByteArray("a+b") << false << true << QByteArray("a+b");
    QTest::newRow("empty") << QByteArray() << false << true << QByteArray();
    QTest::newRow("percent alone") << QByteArray("abc%") << false << false << QByteArray();
    QTest::newRow("percent before a non-hex") << QByteArray("%G1") << false << false << QByteArray();
}

void TestServerCodec::percentDecode()
{
    QFETCH(QByteArray, encoded);
    QFETCH(bool, plusIsBlank);
    QFETCH(bool, valid);
    QFETCH(QByteArray, decoded);
    const auto result = TextCodec::percentDecode(encoded, plusIsBlank);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, decoded);
}

void TestServerCodec::formBodyInCodePage()
{
    // What the reader's form encoder makes of 张三, "男" and a@b.com.
    const auto fields = TextCodec::parseForm("action=reg&username=%D5%C5%C8%FD&sex=%C4%D0&email=a%40b%2Ecom&qq=",
                                             TextCodec::Charset::Gbk);
    QVERIFY(fields);
    QCOMPARE(fields->value("username"), QStringLiteral("张三"));
    QCOMPARE(fields->value("sex"), QStringLiteral("男"));
    QCOMPARE(fields->value("email"), QStringLiteral("a@b.com"));
    QVERIFY(fields->contains("qq"));
    QCOMPARE(fields->value("qq"), QString());
}

void TestServerCodec::queryTriesUtf8ThenCodePage()
{
    const auto utf8 = TextCodec::parseQuery("type=%E6%AD%A6%E4%BE%A0%E4%BB%99%E4%BE%A0&key=C++");
    QVERIFY(utf8);
    QCOMPARE(utf8->value("type"), QStringLiteral("武侠仙侠"));
    QCOMPARE(utf8->value("key"), QStringLiteral("C++"));
    const auto gbk = TextCodec::parseQuery("key=%C4%D0");
    QVERIFY(gbk);
    QCOMPARE(gbk->value("key"), QStringLiteral("男"));
}

void TestServerCodec::invalidCodePageText()
{
    QVERIFY(!TextCodec::decodeGbk(QByteArray("\x81\x20", 2)));
    QVERIFY(!TextCodec::decodeGbk(QByteArray("abc\xC4", 4))); // a character cut off at the end
    QVERIFY(!TextCodec::parseForm("username=%81%20", TextCodec::Charset::Gbk));
    QCOMPARE(TextCodec::decodeGbk(TextCodec::encodeGbk(QStringLiteral("第一章 風"))).value_or(QString()),
             QStringLiteral("第一章 風"));
}

void TestServerCodec::multipart_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("parts");
    const QByteArray b = "__NextPart__abcdefghijklmnopqrstuvwx";
    const QByteArray text = "--" + b + "\r\nContent-Disposition: form-data; name=\"sname\"\r\n\r\nabc\r\n";
    const QByteArray file = "--" + b +
                            "\r\nContent-Disposition:form-data;name=\"file1\";filename=\"C:\\a.txt\"\r\n"
                            "Content-Type:application/octet-stream\r\n\r\nDATA\r\n";
    const QByteArray end = "--" + b + "--";
    QTest::newRow("text and file") << text + file + end << int(Multipart::Error::None) << 2;
    QTest::newRow("empty value") << "--" + b + "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n\r\n" + end
                                 << int(Multipart::Error::None) << 1;
    QTest::newRow("no closing delimiter") << text + file << int(Multipart::Error::Truncated) << 0;
    QTest::newRow("cut inside a file") << text + file.left(file.size() - 6) << int(Multipart::Error::Truncated) << 0;
    QTest::newRow("no boundary line") << QByteArray("action=reg&x=1") << int(Multipart::Error::NoBoundaryLine) << 0;
    QTest::newRow("empty body") << QByteArray() << int(Multipart::Error::NoBoundaryLine) << 0;
    QTest::newRow("part without disposition")
        << "--" + b + "\r\nContent-Type: text/plain\r\n\r\nabc\r\n" + end << int(Multipart::Error::BadPartHeader) << 0;
}

void TestServerCodec::multipart()
{
    QFETCH(QByteArray, body);
    QFETCH(int, error);
    QFETCH(int, parts);
    Multipart::Error got = Multipart::Error::None;
    const auto parsed = Multipart::parse(body, &got);
    QCOMPARE(int(got), error);
    QCOMPARE(parsed.has_value(), error == int(Multipart::Error::None));
    if (parsed)
        QCOMPARE(parsed->parts.size(), parts);
}

void TestServerCodec::multipartKeepsValuesIntact()
{
    const QByteArray b = "__NextPart__0123456789abcdefABCDEFxy";
    const QByteArray memo = "a=b=c\r\nsecond line \\r\\n end\r\n";
    const QByteArray body = "--" + b + "\r\nContent-Disposition: form-data; name=\"smemo\"\r\n\r\n" + memo + "\r\n" +
                            "--" + b +
                            "\r\nContent-Disposition:form-data;name=\"file1\";filename=\"D:\\书\\b.txt\"\r\n" +
                            "Content-Type:application/octet-stream\r\n\r\n\r\n--x\r\n\r\n" + "\r\n--" + b + "--";
    const auto parsed = Multipart::parse(body);
    QVERIFY(parsed);
    QCOMPARE(parsed->boundary, b);
    QCOMPARE(parsed->part("smemo")->data, memo);
    QVERIFY(!parsed->part("smemo")->isFile);
    QCOMPARE(parsed->part("file1")->data, QByteArray("\r\n--x\r\n\r\n"));
    QVERIFY(parsed->part("file1")->isFile);
    QCOMPARE(parsed->part("file1")->fileName, QByteArray("D:\\书\\b.txt"));
}

void TestServerCodec::multipartLocatesPartsInPlace()
{
    const QByteArray b = "__NextPart__0123456789abcdefABCDEFxy";
    const QByteArray body = "--" + b + "\r\nContent-Disposition: form-data; name=\"sname\"\r\n\r\n书名\r\n--" + b +
                            "\r\nContent-Disposition:form-data;name=\"file1\";filename=\"a.txt\"\r\n\r\nDATA\r\n--" +
                            b + "\r\nContent-Disposition: form-data; name=\"smemo\"\r\n\r\n--" + b + "--";
    const auto layout = Multipart::locate(body);
    QVERIFY(layout);
    const auto parsed = Multipart::parse(body);
    QVERIFY(parsed);
    QCOMPARE(layout->parts.size(), parsed->parts.size());
    for (qsizetype i = 0; i < layout->parts.size(); ++i) {
        const MultipartSpan& span = layout->parts[i];
        QCOMPARE(body.mid(span.offset, span.size), parsed->parts[i].data);
        QCOMPARE(span.name, parsed->parts[i].name);
        QCOMPARE(span.isFile, parsed->parts[i].isFile);
    }
    QCOMPARE(body.mid(layout->part("file1")->offset, layout->part("file1")->size), QByteArray("DATA"));
    // A last part whose value lacks its line end is empty, not the rest of the body.
    QCOMPARE(layout->part("smemo")->size, qsizetype(0));
    QCOMPARE(parsed->part("smemo")->data, QByteArray());
}

void TestServerCodec::userName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("letters digits underscore") << "ab_1" << true;
    QTest::newRow("chinese") << QStringLiteral("张三丰") << true;
    QTest::newRow("full-width punctuation") << QStringLiteral("书友，你好") << true;
    QTest::newRow("too short") << "ab" << false;
    QTest::newRow("fourteen") << "abcdefghijklmn" << true;
    QTest::newRow("fifteen") << "abcdefghijklmno" << false;
    QTest::newRow("blank") << "ab cd" << false;
    QTest::newRow("hyphen") << "ab-cd" << false;
    QTest::newRow("quote") << "ab'cd" << false;
    QTest::newRow("four-byte character") << QStringLiteral("ab\U00020000") << false;
}

void TestServerCodec::userName()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(AccountRules::validUserName(name), valid);
}

void TestServerCodec::email_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("valid");
    QTest::newRow("short") << "a@b.c" << true;
    QTest::newRow("full stop before the at sign") << "ab.c@" << true;
    QTest::newRow("starts with at") << "@b.cn" << false;
    QTest::newRow("ends with full stop") << "a@b.cn." << false;
    QTest::newRow("no full stop") << "a@bcn" << false;
    QTest::newRow("empty") << "" << false;
}

void TestServerCodec::email()
{
    QFETCH(QString, email);
    QFETCH(bool, valid);
    QCOMPARE(AccountRules::validEmail(email), valid);
}

void TestServerCodec::pageNumbers_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset");
    QTest::newRow("first of three") << 45 << 1 << "3,45,1,1,2" << 0;
    QTest::newRow("middle") << 45 << 2 << "3,45,2,1,3" << 20;
    QTest::newRow("last") << 45 << 3 << "3,45,3,2,3" << 40;
    QTest::newRow("beyond the end") << 45 << 99 << "3,45,3,2,3" << 40;
    QTest::newRow("zero") << 45 << 0 << "3,45,1,1,2" << 0;
    QTest::newRow("negative") << 45 << -3 << "3,45,1,1,2" << 0;
    QTest::newRow("exactly one page") << 20 << 1 << "1,20,1,1,1" << 0;
    QTest::newRow("one more than a page") << 21 << 2 << "2,21,2,1,2" << 20;
}

void TestServerCodec::pageNumbers()
{
    QFETCH(int, total);
    QFETCH(int, page);
    QFETCH(QString, text);
    QFETCH(int, offset);
    const PageNumbers n = PageNumbers::of(total, page, 20);
    QCOMPARE(n.text(), text);
    QCOMPARE(n.offset, offset);
}

QTEST_GUILESS_MAIN(TestServerCodec)
#include "tst_servercodec.moc"
