// Times "导入文件夹" on 10,000 small TXT files in 100 nested folders, from the start of the walk
// to the last batch written, into a new library database; then the same folder again, when
// every book is skipped. Target: well under a minute (the aim is a few seconds).

#include "app/LibraryDatabase.h"
#include "app/ShelfImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kFiles = 10000;
constexpr int kFolders = 100;
constexpr double kTargetMs = 60000.0;

ShelfImport::Outcome importOnce(LibraryDatabase& library, const QString& folder, double& ms)
{
    ShelfImport import(library);
    ShelfImport::Outcome outcome;
    QEventLoop loop;
    QObject::connect(&import, &ShelfImport::finished, &loop, [&](const ShelfImport::Outcome& o) {
        outcome = o;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    import.start({folder}, QStringLiteral("其他分类"));
    loop.exec();
    ms = timer.nsecsElapsed() / 1e6;
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString books = dir.filePath(QStringLiteral("books"));
    for (int i = 0; i < kFiles; ++i) {
        const QString folder = QStringLiteral("%1/卷%2/%3").arg(books).arg(i % kFolders).arg(i % 7);
        QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/《书%2》作者%3.txt").arg(folder).arg(i).arg(i % 50));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("第一章 开始\n正文。\n");
    }

    LibraryDatabase library;
    if (library.open(dir.filePath(QStringLiteral("Data.db"))) != LibraryDatabase::OpenResult::Created)
        return 1;

    double first = 0;
    double again = 0;
    const ShelfImport::Outcome a = importOnce(library, books, first);
    const ShelfImport::Outcome b = importOnce(library, books, again);
    std::printf("folder import of %d files: %.0f ms (%d added)\n", kFiles, first, a.added);
    std::printf("same folder again:        %.0f ms (%d skipped)\n", again, b.skipped);
    const bool ok = a.added == kFiles && b.skipped == kFiles && first < kTargetMs && again < kTargetMs;
    std::printf("target %.0f ms: %s\n", kTargetMs, ok ? "met" : "MISSED");
    return ok ? 0 : 2;
}
