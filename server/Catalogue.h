#pragma once

#include "Records.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// The approved books held in memory, newest first, so that browsing and searching never
// wait on the disk. Rebuilt from the database whenever its content changed.
struct CatalogueBook {
    qint64 id = 0;
    QString name;
    QString category;
    QString author;
    QString statue;
    QString ftime;
    QString newchap;
    QString file;         // stored name under files/
    QString cover;        // stored name under files/, empty without a cover
    QString downloadName; // title + the stored file's extension, as the download path ends
    qint64 sizeKb = 0;
    QString foldedName;
    QString foldedAuthor;
};

// Page numbers as the "pageinfo" element reports them.
struct PageNumbers {
    int pageCount = 0;
    int total = 0;
    int current = 0;
    int previous = 0;
    int next = 0;
    int offset = 0;

    // A requested page outside 1..pageCount is clamped; previous and next stay in range.
    static PageNumbers of(int total, int requestedPage, int pageSize);
    QString text() const;
};

struct CatalogueListing {
    QList<const CatalogueBook*> books;
    PageNumbers numbers;
};

class Catalogue {
public:
    static constexpr int kPageSize = 20;
    static const QString kEveryCategory;

    void load(const QList<BookRecord>& approvedNewestFirst);

    // The books of one category, or of all for "全部资源".
    CatalogueListing list(const QString& category, int page, int pageSize = kPageSize) const;
    // Titles or authors containing the key, without regard to letter case.
    CatalogueListing search(const QString& key, int page, int pageSize = kPageSize) const;
    // The `count` books updated last, newest first.
    CatalogueListing latest(int count, int page, int pageSize) const;
    QList<const CatalogueBook*> newest(int count) const;

    bool servesFile(const QString& storedName) const { return m_files.contains(storedName); }
    // The approved book with this number, or null.
    const CatalogueBook* book(qint64 id) const;
    int size() const { return m_books.size(); }

private:
    CatalogueListing pageOf(const QList<int>& indexes, int page, int pageSize) const;

    QList<CatalogueBook> m_books;
    QHash<QString, QList<int>> m_byCategory;
    QList<int> m_all;
    QSet<QString> m_files;
    QHash<qint64, int> m_byId;
};
