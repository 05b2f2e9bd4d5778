#pragma once

#include <QColor>
#include <QObject>
#include <QString>

class QLineEdit;

// The search box's grey placeholder (Text1): while the box is empty and not being typed in
// it holds the words themselves in grey; taking the focus empties it for typing in black,
// and leaving it empty puts the words back. The words are the box's text, so a search
// started while they show is told apart from a real one.
class SearchBoxPlaceholder : public QObject {
    Q_OBJECT
public:
    SearchBoxPlaceholder(QLineEdit* box, const QString& words);

    static QColor placeholderColor() { return QColor(128, 128, 128); }
    static QColor typingColor() { return QColor(Qt::black); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Text1_GotFocus();
    void Text1_LostFocus();
    void setColor(const QColor& color);

    QLineEdit* m_box;
    QString m_words;
};
