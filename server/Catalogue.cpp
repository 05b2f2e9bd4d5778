#include "Catalogue.h"

#include "DownloadName.h"
#include "FileStore.h"

const QString Catalogue::kEveryCategory = QStringLiteral("全部资源");

PageNumbers PageNumbers::of(int total, int requestedPage, int pageSize)
{
    PageNumbers n;
    n.total = total;
    n.pageCount = qMax(1, (total + pageSize - 1) / pageSize);
    n.current = qBound(1, requestedPage, n.pageCount);
    n.previous = qMax(1, n.current - 1);
    n.next = qMin(n.pageCount, n.current + 1);
    n.offset = (n.current - 1) * pageSize;
    return n;
}

QString PageNumbers::text() const
{
    return QStringLiteral("%1,%2,%3,%4,%5").arg(pageCount).arg(total).arg(current).arg(previous).arg(next);
}

void Catalogue::load(const QList<BookRecord>& approvedNewestFirst)
{
    m_books.clear();
    m_byCategory.clear();
    m_all.clear();
    m_files.clear();
    m_byId.clear();
    m_books.reserve(approvedNewestFirst.size());
    for (const BookRecord& r : approvedNewestFirst) {
        CatalogueBook b;
        b.id = r.id;
        b.name = r.name;
        b.category = r.category;
        b.author = r.author;
        b.statue = r.statue;
        b.ftime = r.ftime;
        b.newchap = r.newchap;
        b.file = r.file;
        b.cover = r.cover;
        b.downloadName = DownloadName::of(r.name, r.id, FileStore::extensionOf(r.file));
        b.sizeKb = r.sizeKb;
        b.foldedName = r.name.toCaseFolded();
        b.foldedAuthor = r.author.toCaseFolded();
        m_byCategory[b.category].append(m_books.size());
        m_all.append(m_books.size());
        m_files.insert(b.file);
        m_byId.insert(b.id, m_books.size());
        m_books.append(b);
    }
}

CatalogueListing Catalogue::pageOf(const QList<int>& indexes, int page, int pageSize) const
{
    CatalogueListing result;
    result.numbers = PageNumbers::of(indexes.size(), page, pageSize);
    const int end = qMin<int>(indexes.size(), result.numbers.offset + pageSize);
    for (int i = result.numbers.offset; i < end; ++i)
        result.books.append(&m_books[indexes[i]]);
    return result;
}

CatalogueListing Catalogue::list(const QString& category, int page, int pageSize) const
{
    if (category == kEveryCategory)
        return pageOf(m_all, page, pageSize);
    return pageOf(m_byCategory.value(category), page, pageSize);
}

CatalogueListing Catalogue::latest(int count, int page, int pageSize) const
{
    // The books are loaded in the order of their update time.
    return pageOf(m_all.mid(0, qMax(0, count)), page, pageSize);
}

CatalogueListing Catalogue::search(const QString& key, int page, int pageSize) const
{
    const QString folded = key.toCaseFolded();
    QList<int> hits;
    for (int i = 0; i < m_books.size(); ++i) {
        if (m_books[i].foldedName.contains(folded) || m_books[i].foldedAuthor.contains(folded))
            hits.append(i);
    }
    return pageOf(hits, page, pageSize);
}

QList<const CatalogueBook*> Catalogue::newest(int count) const
{
    QList<const CatalogueBook*> books;
    for (int i = 0; i < qMin(count, int(m_books.size())); ++i)
        books.append(&m_books[i]);
    return books;
}

const CatalogueBook* Catalogue::book(qint64 id) const
{
    const auto it = m_byId.constFind(id);
    return it == m_byId.constEnd() ? nullptr : &m_books[*it];
}
