#include "account/UploadForm.h"

#include "account/UploadBody.h"
#include "common/SharedRoutines.h"
#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>

namespace UploadForm {

namespace {

UploadRefusal refuse(const QString& text, UploadFocus focus, bool showNewestRow = false)
{
    return {MessageBox{text, QStringLiteral("数据有误"), Dialogs::Stop}, focus, showNewestRow};
}

bool readable(const QString& path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
}

} // namespace

QString serialState()
{
    return QStringLiteral("连载");
}

QString completeState()
{
    return QStringLiteral("全集");
}

QStringList states()
{
    return {serialState(), completeState()};
}

QString bookDialogTitle()
{
    return QStringLiteral("添加电子书-Quillmere");
}

QString bookDialogFilter()
{
    return QStringLiteral(
        "电子书文件(*.txt;*.rar;*.zip)|*.txt;*.rar;*.zip|TXT文件(*.txt)|*.txt|打包文件(*.rar)|*.rar;*.zip");
}

QString coverDialogTitle()
{
    return QStringLiteral("添加电子书封面-Quillmere");
}

QString coverDialogFilter()
{
    return QStringLiteral("图片文件(*.jpg;*.gif)|*.jpg;*.gif");
}

QString limitText(qint64 bytes)
{
    return FormatFileSize(static_cast<double>(bytes) / 1024.0);
}

std::optional<UploadRefusal> check(const UploadFields& f, qint64 uploadLimit)
{
    if (f.category.trimmed().isEmpty())
        return refuse(QStringLiteral("电子类型不能为空，请选择该电子书对应的分类！"), UploadFocus::Category);
    if (f.name.trimmed().isEmpty())
        return refuse(QStringLiteral("你没有填写电子书名称，请重新填写！"), UploadFocus::Name);
    if (f.path.trimmed().isEmpty())
        return refuse(QStringLiteral("电子书路径不能为空，请重新选择！"), UploadFocus::BookButton);
    if (f.state.trimmed().isEmpty())
        return refuse(QStringLiteral("电子书连载状态不能为空，请重新选择！"), UploadFocus::State);
    if (f.state.trimmed() == serialState() && f.newestChapter.trimmed().isEmpty())
        return refuse(QStringLiteral("请添加电子书最新章节名称！"), UploadFocus::NewestChapter, true);

    // The field string joins its pairs with "|": a value holding one would be cut apart.
    const struct {
        const QString& value;
        const char* label;
        UploadFocus focus;
    } values[] = {
        {f.name, "书名", UploadFocus::Name},
        {f.author, "作者", UploadFocus::Author},
        {f.path, "电子书路径", UploadFocus::BookButton},
        {f.coverPath, "封面路径", UploadFocus::CoverButton},
        {f.newestChapter, "最新章节", UploadFocus::NewestChapter},
        {f.synopsis, "内容简介", UploadFocus::Synopsis},
        {f.category, "类型", UploadFocus::Category},
        {f.userName, "账号名称", UploadFocus::Name},
    };
    for (const auto& v : values) {
        if (v.value.contains(QLatin1Char('|'))) {
            return refuse(QString::fromUtf8(v.label) + QStringLiteral("中不能含有“|”符号，请修改后再上传！"), v.focus,
                          v.focus == UploadFocus::NewestChapter);
        }
    }

    const QString book = f.path.trimmed();
    const QString cover = f.coverPath.trimmed();
    if (!readable(book))
        return refuse(QStringLiteral("无法读取电子书文件，请检查文件是否还在、能否打开：\r\n") + book,
                      UploadFocus::BookButton);
    if (!cover.isEmpty() && !readable(cover))
        return refuse(QStringLiteral("无法读取封面图片，请重新添加封面：\r\n") + cover, UploadFocus::CoverButton);
    // The service measures the whole body, so that is what is compared.
    const qint64 size = uploadLimit > 0 ? UploadBody::measure(fieldString(f)) : 0;
    if (size > uploadLimit) {
        return refuse(QStringLiteral("要上传的数据一共%1，服务器每次最多只接受%2，请压缩后再上传！")
                          .arg(limitText(size), limitText(uploadLimit)),
                      UploadFocus::BookButton);
    }
    return std::nullopt;
}

QString fieldString(const UploadFields& f)
{
    const QString state = f.state.trimmed();
    QStringList pairs;
    pairs << QStringLiteral("file1=") + f.path.trimmed();
    if (!f.coverPath.trimmed().isEmpty())
        pairs << QStringLiteral("file2=") + f.coverPath.trimmed();
    pairs << QStringLiteral("stype=") + f.category.trimmed() << QStringLiteral("sname=") + f.name.trimmed()
          << QStringLiteral("sauthor=") + f.author.trimmed() << QStringLiteral("username=") + f.userName.trimmed()
          << QStringLiteral("smemo=") + f.synopsis.trimmed() << QStringLiteral("sstatue=") + state
          << QStringLiteral("snewchap=") + (state == completeState() ? QString() : f.newestChapter.trimmed());
    return pairs.join(QLatin1Char('|'));
}

} // namespace UploadForm
