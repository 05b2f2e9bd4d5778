#include "platform/qt/ChineseTranslations.h"
#include "platform/qt/QtPickers.h"

#include "NextModalDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

namespace {

// What a dialog shows: its title, and the texts of its visible buttons, labels and file-type list.
struct Seen {
    QString title;
    QStringList buttons;
    QStringList labels;
    QStringList fileTypes;
};

Seen look(QWidget* dialog)
{
    Seen seen;
    seen.title = dialog->windowTitle();
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->isVisible() && !button->text().isEmpty())
            seen.buttons << button->text();
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty())
            seen.labels << label->text();
    if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < types->count(); ++i)
            seen.fileTypes << types->itemText(i);
    return seen;
}

} // namespace

// Qt's own pickers, as the reader shows them: every button and caption in Chinese.
class TestQtPickers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void filters_data();
    void filters();
    void openFileDialogReadsChinese();
    void folderDialogReadsChinese();
    void colorDialogReadsChinese();
};

void TestQtPickers::initTestCase()
{
    QVERIFY2(installChineseTranslations(*qApp), "qtbase_zh_CN not found: is qt6-translations-l10n installed?");
}

void TestQtPickers::filters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qtFilter");

    QTest::newRow("patterns in the description shown once")
        << QStringLiteral("文本文件(*.txt)|*.txt") << QStringLiteral("文本文件(*.txt)");
    QTest::newRow("several patterns, two filters") << QStringLiteral("图片文件(*.jpg;*.gif)|*.jpg;*.gif|TXT|*.txt")
                                                   << QStringLiteral("图片文件(*.jpg *.gif);;TXT (*.txt)");
    QTest::newRow("description naming other patterns")
        << QStringLiteral("文本(*.text)|*.txt") << QStringLiteral("文本(*.text) (*.txt)");
    QTest::newRow("odd piece left out") << QStringLiteral("文本文件|*.txt|孤") << QStringLiteral("文本文件 (*.txt)");
}

void TestQtPickers::filters()
{
    QFETCH(QString, filter);
    QFETCH(QString, qtFilter);
    QCOMPARE(QtPickers::toQtFilter(filter), qtFilter);
}

void TestQtPickers::openFileDialogReadsChinese()
{
    QtPickers pickers;
    Seen seen;
    NextModalDialog answer([&](QWidget* dialog) {
        seen = look(dialog);
        dialog->close();
    });
    const QString chosen =
        pickers.openFile(nullptr, QStringLiteral("打开电子书-Quillmere"), QStringLiteral("文本文件(*.txt)|*.txt"));
    QVERIFY(answer.seen());
    QVERIFY(chosen.isEmpty());
    QCOMPARE(seen.title, QStringLiteral("打开电子书-Quillmere"));
    QCOMPARE(seen.fileTypes, QStringList({QStringLiteral("文本文件(*.txt)")}));
    QCOMPARE(seen.buttons, QStringList({QStringLiteral("打开(&O)"), QStringLiteral("取消")}));
    QCOMPARE(seen.labels, QStringList({QStringLiteral("查找范围："), QStringLiteral("文件名称(&N)："),
                                       QStringLiteral("文件类型：")}));
}

void TestQtPickers::folderDialogReadsChinese()
{
    QtPickers pickers;
    Seen seen;
    NextModalDialog answer([&](QWidget* dialog) {
        seen = look(dialog);
        dialog->close();
    });
    QVERIFY(pickers.folder(nullptr, QStringLiteral("选择下载目录")).isEmpty());
    QVERIFY(answer.seen());
    QCOMPARE(seen.title, QStringLiteral("选择下载目录"));
    QCOMPARE(seen.buttons, QStringList({QStringLiteral("选择(&C)"), QStringLiteral("取消")}));
    QCOMPARE(seen.labels.mid(0, 2), QStringList({QStringLiteral("查找范围："), QStringLiteral("目录：")}));
}

void TestQtPickers::colorDialogReadsChinese()
{
    QtPickers pickers;
    Seen seen;
    NextModalDialog answer([&](QWidget* dialog) {
        seen = look(dialog);
        dialog->close();
    });
    QVERIFY(!pickers.color(nullptr, QColor(0x12, 0x34, 0x56)));
    QVERIFY(answer.seen());
    QCOMPARE(seen.title, QStringLiteral("选择颜色"));
    QCOMPARE(seen.buttons, QStringList({QStringLiteral("拾取屏幕颜色(&P)"), QStringLiteral("添加到自定义颜色(&A)"),
                                        QStringLiteral("确定"), QStringLiteral("取消")}));
    QVERIFY2(seen.labels.contains(QStringLiteral("基本颜色(&B)")), qPrintable(seen.labels.join(u'|')));
}

QTEST_MAIN(TestQtPickers)
#include "tst_qtpickers.moc"
