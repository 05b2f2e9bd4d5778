#include "online/opds/OpdsFormat.h"

#include "app/BookDialogController.h"

OpdsFormat OpdsFormat::classify(const QString& mediaType)
{
    OpdsFormat format;
    const QStringList parts = mediaType.split(QLatin1Char(';'));
    const QString type = parts.value(0).trimmed().toLower();
    if (type == QLatin1String("text/plain")) {
        format.kind = Kind::Txt;
        for (int i = 1; i < parts.size(); ++i) {
            const QString p = parts.at(i).trimmed();
            if (p.startsWith(QLatin1String("charset="), Qt::CaseInsensitive)) {
                QString charset = p.mid(8).trimmed();
                if (charset.size() >= 2 && charset.startsWith(QLatin1Char('"')) && charset.endsWith(QLatin1Char('"')))
                    charset = charset.mid(1, charset.size() - 2);
                format.encoding = charset.toLatin1().toUpper();
            }
        }
    } else if (type == QLatin1String("application/zip") || type == QLatin1String("application/x-zip-compressed") ||
               type == QLatin1String("application/x-zip")) {
        format.kind = Kind::Zip;
    } else if (type == QLatin1String("application/vnd.rar") || type == QLatin1String("application/x-rar-compressed") ||
               type == QLatin1String("application/x-rar")) {
        format.kind = Kind::Rar;
    } else if (type == QLatin1String("application/x-7z-compressed")) {
        format.kind = Kind::SevenZip;
    }
    return format;
}

QString OpdsFormat::extension() const
{
    switch (kind) {
    case Kind::Txt:
        return QStringLiteral(".txt");
    case Kind::Zip:
        return QStringLiteral(".zip");
    case Kind::Rar:
        return QStringLiteral(".rar");
    case Kind::SevenZip:
        return QStringLiteral(".7z");
    case Kind::Unreadable:
        break;
    }
    return {};
}

QString shelfCategoryOf(const QString& catalogueCategory)
{
    const QString wanted = catalogueCategory.trimmed();
    const QStringList categories = BookDialogController::categoryNames();
    if (categories.contains(wanted))
        return wanted;
    // "小说/武侠仙侠" and the like name one of the ten inside a longer label.
    for (const QString& name : categories) {
        if (!wanted.isEmpty() && wanted.contains(name))
            return name;
    }
    return QStringLiteral("其他分类");
}
