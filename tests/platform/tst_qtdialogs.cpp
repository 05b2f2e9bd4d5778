#include "platform/qt/QtDialogs.h"

#include "NextModalDialog.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

Q_DECLARE_METATYPE(Answer)

// The real message boxes: the answer a button gives, the icon of each style, the title.
class TestQtDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void message_data();
    void message();
};

void TestQtDialogs::message_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("press"); // the button's text; empty closes the box with Esc
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("icon"); // QMessageBox::Icon
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("shownTitle");

    const QStringList yesNo = {QStringLiteral("是(&Y)"), QStringLiteral("否(&N)")};
    const QStringList ok = {QStringLiteral("确定")};
    const QString ask = QStringLiteral("确认删除");
    QTest::newRow("4, Yes") << 4 << ask << QStringLiteral("是(&Y)") << Answer::Yes << int(QMessageBox::NoIcon) << yesNo
                            << ask;
    QTest::newRow("4, No") << 4 << ask << QStringLiteral("否(&N)") << Answer::No << int(QMessageBox::NoIcon) << yesNo
                           << ask;
    QTest::newRow("4, Esc is No") << 4 << ask << QString() << Answer::No << int(QMessageBox::NoIcon) << yesNo << ask;
    QTest::newRow("0, plain") << 0 << QStringLiteral("提示") << QStringLiteral("确定") << Answer::Ok
                              << int(QMessageBox::NoIcon) << ok << QStringLiteral("提示");
    QTest::newRow("16, stop") << 16 << QStringLiteral("添加失败") << QStringLiteral("确定") << Answer::Ok
                              << int(QMessageBox::Critical) << ok << QStringLiteral("添加失败");
    QTest::newRow("48, exclamation") << 48 << QString() << QStringLiteral("确定") << Answer::Ok
                                     << int(QMessageBox::Warning) << ok << QStringLiteral("Quillmere");
    QTest::newRow("64, information") << 64 << QString() << QString() << Answer::Ok << int(QMessageBox::Information)
                                     << ok << QStringLiteral("Quillmere");
}

void TestQtDialogs::message()
{
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QString, press);
    QFETCH(Answer, answer);
    QFETCH(int, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, shownTitle);

    QString seenText;
    QString seenTitle;
    int seenIcon = -1;
    QStringList seenButtons;
    NextModalDialog reply([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box) {
            dialog->close();
            return;
        }
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seenButtons << button->text();
        if (press.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : box->buttons())
            if (button->text() == press)
                button->click();
    });

    QtDialogs dialogs;
    const QString text = QStringLiteral("是否真要将《三国》从列表中移除！");
    QCOMPARE(dialogs.message(text, title, style), answer);
    QVERIFY(reply.seen());
    QCOMPARE(seenText, text);
    QCOMPARE(seenTitle, shownTitle);
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenButtons, buttons);
}

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
