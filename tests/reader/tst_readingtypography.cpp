#include "reader/ReadingTypography.h"

#include <QMap>
#include <QtTest>

// Stored typography read back within bounds, and the CSS it gives the page.
class TestReadingTypography : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fromOptions_data();
    void fromOptions();
    void css_data();
    void css();
    void fontChoices();
};

using Options = QMap<QString, QString>;
Q_DECLARE_METATYPE(Options)

void TestReadingTypography::fromOptions_data()
{
    QTest::addColumn<Options>("stored");
    QTest::addColumn<QStringList>("expected"); // the stored texts read back, in optionNames() order

    QTest::newRow("a library of today: serif, 1.95, no spacing or indent, 40 a line")
        << Options{} << QStringList{"serif", "195", "0", "0", "40"};
    QTest::newRow("stored choices come back") << Options{{"TypographyFont", "Noto Sans CJK SC"},
                                                         {"TypographyLineSpacing", "230"},
                                                         {"TypographyParagraphSpacing", "50"},
                                                         {"TypographyIndent", "1"},
                                                         {"TypographyLineChars", "35"}}
                                              << QStringList{"Noto Sans CJK SC", "230", "50", "1", "35"};
    QTest::newRow("out of bounds is brought to the bounds") << Options{{"TypographyLineSpacing", "20"},
                                                                       {"TypographyParagraphSpacing", "-5"},
                                                                       {"TypographyLineChars", "500"}}
                                                            << QStringList{"serif", "100", "0", "0", "80"};
    QTest::newRow("too narrow and too loose") << Options{{"TypographyLineSpacing", "999"}, {"TypographyLineChars", "3"}}
                                              << QStringList{"serif", "300", "0", "0", "20"};
    QTest::newRow("text that is no number is the default")
        << Options{{"TypographyLineSpacing", "wide"}, {"TypographyIndent", "yes"}, {"TypographyLineChars", "4O"}}
        << QStringList{"serif", "195", "0", "0", "40"};
    QTest::newRow("0 a line follows the window; a negative width is the default")
        << Options{{"TypographyLineChars", "0"}} << QStringList{"serif", "195", "0", "0", "0"};
    QTest::newRow("negative width") << Options{{"TypographyLineChars", "-1"}}
                                    << QStringList{"serif", "195", "0", "0", "40"};
    QTest::newRow("a font name with a line break is no font")
        << Options{{"TypographyFont", "A\nB"}} << QStringList{"serif", "195", "0", "0", "40"};
}

void TestReadingTypography::fromOptions()
{
    QFETCH(Options, stored);
    QFETCH(QStringList, expected);
    const ReadingTypography t = ReadingTypography::fromOptions([&](const QString& name) -> std::optional<QString> {
        if (!stored.contains(name))
            return std::nullopt;
        return stored.value(name);
    });
    QStringList got;
    for (const auto& [name, value] : t.toOptions())
        got.append(value);
    QCOMPARE(got, expected);
}

void TestReadingTypography::css_data()
{
    QTest::addColumn<QString>("font");
    QTest::addColumn<bool>("indent");
    QTest::addColumn<int>("lineChars");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("width");

    const QString serif = QStringLiteral("\"Noto Serif CJK SC\", \"Source Han Serif SC\", \"Noto Serif SC\", "
                                         "\"Songti SC\", \"SimSun\", serif");
    // 40 characters at 1.04em each, the half-em of slack and the column's 5.2em of padding.
    QTest::newRow("default column holds a 40-character line") << "serif" << false << 40 << serif << "47.30em";
    QTest::newRow("the indent widens the column by two") << "serif" << true << 40 << serif << "49.38em";
    QTest::newRow("sans") << "sans" << false << 30
                          << QStringLiteral("\"Noto Sans CJK SC\", \"Source Han Sans SC\", "
                                            "\"WenQuanYi Micro Hei\", \"Microsoft YaHei\", "
                                            "sans-serif")
                          << "36.90em";
    QTest::newRow("a family is quoted, its quotes escaped, serif behind it")
        << "My \"Font\"\\" << false << 0 << QStringLiteral("\"My \\\"Font\\\"\\\\\", ") + serif << "none";
}

void TestReadingTypography::css()
{
    QFETCH(QString, font);
    QFETCH(bool, indent);
    QFETCH(int, lineChars);
    QFETCH(QString, family);
    QFETCH(QString, width);
    ReadingTypography t;
    t.font = font;
    t.indent = indent;
    t.lineChars = lineChars;
    QCOMPARE(t.fontFamilyCss(), family);
    QCOMPARE(t.columnWidthCss(), width);
}

void TestReadingTypography::fontChoices()
{
    QCOMPARE(ReadingTypography::fontChoices(
                 {"Noto Serif CJK SC", "@Noto Sans CJK SC", ".Hidden", "AR PL UMing", "Noto Serif CJK SC", " "}),
             QStringList({"AR PL UMing", "Noto Serif CJK SC"}));
}

QTEST_APPLESS_MAIN(TestReadingTypography)
#include "tst_readingtypography.moc"
