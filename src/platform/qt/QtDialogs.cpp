#include "platform/qt/QtDialogs.h"

#include "platform/MessageText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

Answer QtDialogs::message(const QString& text, const QString& title, int style)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? programTitle() : title);
    // Texts often come from the service: markup in them is shown as typed, never rendered.
    box.setTextFormat(Qt::PlainText);
    const MessageText shown = MessageText::bounded(text);
    box.setText(shown.shown);
    if (!shown.details.isEmpty())
        box.setDetailedText(shown.details);
    switch (style & 0xF0) {
    case Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((style & 0x0F) == YesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == static_cast<QAbstractButton*>(yes) ? Answer::Yes : Answer::No;
    }
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return Answer::Ok;
}
