#pragma once

#include "account/UserBookList.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The user panel's page for node 6, "我上传的电子书": the list of the user's books and the
// pager bar under it ("首页", "上一页", "下一页", "最后页", the page box, "Go", current/total).
class UserBooksPage : public QWidget {
    Q_OBJECT
public:
    enum class Link { First, Previous, Next, Last, Go };

    explicit UserBooksPage(QWidget* parent = nullptr);

    // Empties the list and adds the rows, coloured.
    void showRows(const QList<UserBookRow>& rows);
    void setStatus(const QString& text);
    QString pageBoxText() const;
    void clearPageBox();
    QTreeWidget* list() const { return m_list; }

signals:
    void linkClicked(UserBooksPage::Link link);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTreeWidget* m_list = nullptr;
    QWidget* m_pager = nullptr;
    QList<QLabel*> m_links; // First, Previous, Next, Last
    QLineEdit* m_pageBox = nullptr;
    QPushButton* m_go = nullptr;
    QLabel* m_status = nullptr;
};
