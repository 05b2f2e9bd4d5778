#include "reader/search/BookSearchController.h"

#include "reader/ChineseConversion.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <mutex>

struct BookSearchController::Shared {
    std::mutex lock;
    std::unique_ptr<ChineseConversion> conversion; // made by the first search
};

BookSearchController::BookSearchController(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>()) {}

BookSearchController::~BookSearchController()
{
    cancel();
}

void BookSearchController::cancel()
{
    if (m_cancel)
        *m_cancel = true;
    m_cancel.reset();
    ++m_generation;
    if (m_searching) {
        m_searching = false;
        emit searchingChanged(false);
    }
}

void BookSearchController::search(const ChapterScan& scan, const QString& query)
{
    cancel();
    if (query.isEmpty() || scan.path.isEmpty())
        return;
    m_scan = scan;
    const quint64 generation = m_generation;
    auto cancelFlag = std::make_shared<std::atomic_bool>(false);
    m_cancel = cancelFlag;
    m_searching = true;
    emit searchingChanged(true);

    auto* watcher = new QFutureWatcher<SearchResult>(this);
    connect(watcher, &QFutureWatcher<SearchResult>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return; // a newer query replaced it
        m_searching = false;
        m_cancel.reset();
        emit searchingChanged(false);
        emit finished(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([shared = m_shared, scan, query, cancelFlag] {
        QStringList forms;
        {
            // Loading the converter's dictionaries takes a moment: done here, once.
            const std::lock_guard<std::mutex> hold(shared->lock);
            if (!shared->conversion)
                shared->conversion = std::make_unique<ChineseConversion>();
            forms = BookSearch::queryForms(query, shared->conversion.get());
        }
        return BookSearch::run(scan, forms, BookSearch::kMaxHits, cancelFlag.get());
    }));
}

QString BookSearchController::summary(const SearchResult& result, const QString& query)
{
    if (!result.error.isEmpty())
        return result.error;
    if (result.total == 0)
        return QStringLiteral("没有找到“%1”。").arg(query);
    if (result.capped())
        return QStringLiteral("共找到 %1 处，只显示前 %2 个结果").arg(result.total).arg(result.hits.size());
    return QStringLiteral("共找到 %1 处").arg(result.total);
}
