#include "platform/qt/QtDialogs.h"

#include "NextModalDialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

Q_DECLARE_METATYPE(Answer)

// The real message boxes: the answer a button gives, the icon of each style, the title.
class TestQtDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void message_data();
    void message();
    void serviceTextShownAsTyped();
    void longTextKeepsButtonsOnScreen();
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

// A login reply's message is service text: its markup is not rendered as a heading, an
// image and a link, the box shows the characters as they came.
void TestQtDialogs::serviceTextShownAsTyped()
{
    const QString text =
        QStringLiteral("<h1 style=color:red>账号异常！</h1><img src=\"/usr/share/pixmaps/debian-logo.png\">"
                       "<a href=\"http://127.0.0.1:1/x\">点此处理</a>");
    int format = -1;
    QString shown;
    NextModalDialog reply([&](QWidget* dialog) {
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            format = label->textFormat();
            shown = label->text();
        }
        dialog->close();
    });
    QtDialogs().message(text, QString(), Dialogs::Exclamation);
    QVERIFY(reply.seen());
    QCOMPARE(format, int(Qt::PlainText));
    QCOMPARE(shown, text);
}

// A release note of 100 KB: the box shows its head, the whole text scrolls in the details
// area, and the box with its buttons stays on the screen, also with the details open.
void TestQtDialogs::longTextKeepsButtonsOnScreen()
{
    QString text = QStringLiteral("系统检查到软件有更新，是否进行升级？\r\n\r\n更新内容：");
    for (int i = 1; text.size() < 100 * 1024; ++i)
        text += QStringLiteral("%1. 修复了阅读页面的若干问题，改进了下载的稳定性。\r\n").arg(i);

    QRect screen;
    QList<QRect> closedGeometry;
    QList<QRect> openGeometry;
    QString details;
    bool detailsShown = false;
    auto place = [](QMessageBox* box) {
        QList<QRect> rects{box->frameGeometry()};
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
            if (button->isVisible())
                rects << QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
        return rects;
    };
    NextModalDialog reply([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box) {
            dialog->close();
            return;
        }
        screen = box->screen()->availableGeometry();
        closedGeometry = place(box);
        if (auto* edit = box->findChild<QTextEdit*>())
            details = edit->toPlainText();
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click();
        QTest::qWait(50);
        if (auto* edit = box->findChild<QTextEdit*>())
            detailsShown = edit->isVisible();
        openGeometry = place(box);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("否(&N)"))
                button->click();
    });
    QCOMPARE(QtDialogs().message(text, QStringLiteral("软件需更新"), Dialogs::YesNo), Answer::No);
    QVERIFY(reply.seen());
    QVERIFY(detailsShown);
    QVERIFY(closedGeometry.size() >= 3);
    QVERIFY(openGeometry.size() >= 3);
    for (const QRect& rect : closedGeometry + openGeometry)
        QVERIFY2(screen.contains(rect), qPrintable(QStringLiteral("%1x%2 at %3,%4 outside %5x%6")
                                                       .arg(rect.width())
                                                       .arg(rect.height())
                                                       .arg(rect.x())
                                                       .arg(rect.y())
                                                       .arg(screen.width())
                                                       .arg(screen.height())));
    QCOMPARE(details, QString(text).remove(QLatin1Char('\r')));
}

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
