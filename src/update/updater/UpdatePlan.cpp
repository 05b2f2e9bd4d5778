#include "update/updater/UpdatePlan.h"

#include "update/UpdateInfo.h"
#include "update/UpdateStaging.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <unistd.h>

namespace {

// Why an entry may not be used, or an empty text when it may.
QString refusal(const QString& programFolder, const QString& url, const QString& folder, const QString& fileName,
                QString* target)
{
    if (!url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
        !url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return QStringLiteral("不是网络地址");
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..") ||
        fileName.contains(QLatin1Char('\\')))
        return QStringLiteral("文件名无效");
    QString relative = folder;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (relative.contains(QLatin1Char(':')) || relative.startsWith(QLatin1String("//")))
        return QStringLiteral("保存位置是绝对路径");
    if (relative.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return QStringLiteral("保存位置含有“..”");
    // The service's entries begin and end with a separator; one that does not would name a
    // place beside the program folder, not in it.
    const QString root = QDir::cleanPath(programFolder);
    const QString joined = QDir::cleanPath(root + relative + fileName);
    if (!joined.startsWith(root + QLatin1Char('/')))
        return QStringLiteral("保存位置不在软件目录中");
    if (joined.mid(root.size() + 1).section(QLatin1Char('/'), 0, 0) == UpdateStaging::folderName())
        return QStringLiteral("保存位置是升级程序自用的文件夹");
    if (QFileInfo(joined).isDir())
        return QStringLiteral("目标是一个文件夹");
    *target = joined;
    return {};
}

} // namespace

QStringList UpdatePlan::entries(const QString& list)
{
    if (list.trimmed().isEmpty())
        return {};
    QStringList parts = list.split(UpdateInfo::listSeparator());
    for (QString& part : parts)
        part = part.trimmed();
    return parts;
}

QString UpdatePlan::fileNameOf(const QString& url)
{
    return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
}

UpdatePlan UpdatePlan::make(const QString& programFolder, const QString& downloadlist, const QString& savepathlist)
{
    UpdatePlan plan;
    const QStringList urls = entries(downloadlist);
    const QStringList folders = entries(savepathlist);
    plan.urlCount = urls.size();
    plan.folderCount = folders.size();
    if (!plan.listsMatch() || plan.tooLong())
        return plan;
    QHash<QString, int> numberOf; // target → its entry's number
    for (int i = 0; i < urls.size(); ++i) {
        UpdateFile file;
        file.url = urls[i];
        file.fileName = fileNameOf(file.url);
        QString why = refusal(programFolder, file.url, folders[i], file.fileName, &file.target);
        if (why.isEmpty() && numberOf.contains(file.target))
            why = QStringLiteral("与第 %1 个文件的目标相同").arg(numberOf.value(file.target));
        if (why.isEmpty()) {
            numberOf.insert(file.target, i + 1);
            plan.files.append(file);
        } else {
            plan.refused.append(QStringLiteral("拒绝更新文件：%1 → %2（%3）").arg(file.url, folders[i], why));
        }
    }
    // One target may not be the folder of another.
    const QString root = QDir::cleanPath(programFolder);
    for (const UpdateFile& file : std::as_const(plan.files)) {
        for (QString dir = QFileInfo(file.target).path(); dir.size() > root.size(); dir = QFileInfo(dir).path()) {
            if (numberOf.contains(dir)) {
                plan.refused.append(QStringLiteral("拒绝更新文件：%1（保存位置与第 %2 个文件冲突）")
                                        .arg(file.url)
                                        .arg(numberOf.value(dir)));
                break;
            }
        }
    }
    return plan;
}

bool UpdatePlan::folderWritable(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

QStringList UpdatePlan::unwritableFolders(const QString& programFolder, const QList<UpdateFile>& files,
                                          const std::function<bool(const QString&)>& writable)
{
    const QString root = QDir::cleanPath(programFolder);
    QStringList folders{root};
    for (const UpdateFile& file : files) {
        QString dir = QFileInfo(file.target).path();
        while (dir.size() > root.size() && !QFileInfo(dir).isDir())
            dir = QFileInfo(dir).path();
        if (!folders.contains(dir))
            folders.append(dir);
    }
    QStringList refused;
    for (const QString& folder : std::as_const(folders))
        if (!writable(folder))
            refused.append(folder);
    return refused;
}
