#include "reader/position/LastBook.h"

#include "app/LibraryDatabase.h"

#include <QFileInfo>

namespace {

const QString kPathOption = QStringLiteral("LastBook");
const QString kReopenOption = QStringLiteral("OpenLastBook");

} // namespace

namespace LastBook {

bool reopensAtStart(LibraryDatabase* library)
{
    return !library || library->option(kReopenOption).value_or(QString()) != QLatin1String("0");
}

bool setReopensAtStart(LibraryDatabase* library, bool on)
{
    return library && library->setOption(kReopenOption, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void remember(LibraryDatabase* library, const QString& path)
{
    if (library && !path.isEmpty() && library->option(kPathOption).value_or(QString()) != path)
        library->setOption(kPathOption, path);
}

QString toReopen(LibraryDatabase* library)
{
    if (!library || !reopensAtStart(library))
        return {};
    const QString path = library->option(kPathOption).value_or(QString());
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

} // namespace LastBook
