#include "reader/search/BookSearchPane.h"

#include "reader/search/BookSearchController.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

BookSearchPane::BookSearchPane(BookSearchController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller), m_query(new QLineEdit(this)),
      m_start(new QPushButton(QStringLiteral("搜索"), this)), m_summary(new QLabel(this)),
      m_results(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("BookSearchPane"));
    setWindowTitle(QStringLiteral("全书搜索"));
    setModal(false);
    resize(560, 480);
    m_query->setObjectName(QStringLiteral("SearchBookQuery"));
    m_query->setPlaceholderText(QStringLiteral("输入要在全书中查找的文字"));
    m_query->setClearButtonEnabled(true);
    m_start->setObjectName(QStringLiteral("SearchBookStart"));
    m_summary->setObjectName(QStringLiteral("SearchBookSummary"));
    m_results->setObjectName(QStringLiteral("SearchBookResults"));
    m_results->setHeaderLabels({QStringLiteral("章节"), QStringLiteral("内容")});
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAllColumnsShowFocus(true);
    m_results->header()->setStretchLastSection(true);
    m_results->setColumnWidth(0, 160);

    auto* row = new QHBoxLayout;
    row->addWidget(m_query, 1);
    row->addWidget(m_start);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_summary);
    layout->addWidget(m_results, 1);

    const auto start = [this] {
        if (!m_query->text().isEmpty())
            emit startRequested(m_query->text());
    };
    connect(m_query, &QLineEdit::returnPressed, this, start);
    connect(m_start, &QPushButton::clicked, this, start);
    connect(m_results, &QTreeWidget::itemActivated, this, [this] { chooseCurrent(); });
    connect(&m_controller, &BookSearchController::searchingChanged, this, [this](bool searching) {
        if (searching) {
            m_results->clear();
            m_hits.clear();
            m_searched = m_query->text();
            m_summary->setText(QStringLiteral("正在搜索…"));
        }
    });
    connect(&m_controller, &BookSearchController::finished, this, &BookSearchPane::showResult);
}

void BookSearchPane::openWith(const QString& query)
{
    if (!query.isEmpty())
        m_query->setText(query);
    show();
    raise();
    activateWindow();
    m_query->setFocus(Qt::OtherFocusReason);
    m_query->selectAll();
}

void BookSearchPane::clearResults()
{
    m_controller.cancel();
    m_results->clear();
    m_hits.clear();
    m_summary->clear();
}

void BookSearchPane::showResult(const SearchResult& result)
{
    m_summary->setText(BookSearchController::summary(result, m_searched));
    m_hits = result.hits;
    QList<QTreeWidgetItem*> items;
    items.reserve(m_hits.size());
    for (const SearchHit& hit : m_hits)
        items.append(new QTreeWidgetItem({m_labels.value(hit.row), hit.context}));
    m_results->addTopLevelItems(items);
    if (!items.isEmpty())
        m_results->setCurrentItem(items.first());
}

void BookSearchPane::chooseCurrent()
{
    const int index = m_results->indexOfTopLevelItem(m_results->currentItem());
    if (index >= 0 && index < m_hits.size())
        emit hitChosen(m_hits[index]);
}
