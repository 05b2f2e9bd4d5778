// Book uploads: a multipart body without a boundary in its header, text in the code page.
#include "Service.h"

#include "Multipart.h"

namespace {

HttpReply refuse(const QString& message)
{
    return HttpReply::gbText(QStringLiteral("0|") + message);
}

} // namespace

HttpReply Service::uploadTooLarge(const ServerConfig& config)
{
    HttpReply reply =
        HttpReply::gbText(QStringLiteral("0|上传的文件太大，每次上传不能超过%1！").arg(config.uploadLimitText()), 413);
    reply.headers.append({kUploadLimitHeader, QByteArray::number(config.maxUploadBytes)});
    return reply;
}

HttpReply Service::upload(const HttpRequest& request)
{
    if (request.method != "POST")
        return refuse(QStringLiteral("请使用上传页面提交电子书！"));
    if (request.body.size() > m_config.maxUploadBytes)
        return uploadTooLarge(m_config);

    const auto user = sessionUser(request);
    if (!user)
        return refuse(QStringLiteral("你还没有登录或登录已过期，请先登录后再上传！"));

    // The body may be a large temporary file mapped into memory: parts are read where they
    // lie, and only the small text parts are copied.
    const QByteArrayView bytes(request.body);
    Multipart::Error error = Multipart::Error::None;
    const auto body = Multipart::locate(bytes, &error);
    if (!body) {
        return refuse(error == Multipart::Error::NoBoundaryLine ? QStringLiteral("上传的数据格式有误，请重新上传！")
                                                                : QStringLiteral("上传的数据不完整，请重新上传！"));
    }

    QHash<QString, QString> text;
    for (const char* key : {"stype", "sname", "sauthor", "username", "smemo", "sstatue", "snewchap"}) {
        const MultipartSpan* part = body->part(key);
        if (!part)
            continue;
        const auto value = TextCodec::decodeGbk(bytes.sliced(part->offset, part->size).toByteArray());
        if (!value)
            return refuse(QStringLiteral("表单文字的编码有误，请重新上传！"));
        text.insert(QLatin1String(key), value->trimmed());
    }
    if (text.value(QStringLiteral("username")).compare(user->name, Qt::CaseInsensitive) != 0)
        return refuse(QStringLiteral("上传用户与当前登录的用户不一致，请重新登录！"));

    BookRecord book;
    book.category = text.value(QStringLiteral("stype"));
    book.name = text.value(QStringLiteral("sname"));
    book.author = text.value(QStringLiteral("sauthor"));
    book.memo = text.value(QStringLiteral("smemo"));
    book.statue = text.value(QStringLiteral("sstatue"));
    book.newchap = book.statue == QStringLiteral("全集") ? QString() : text.value(QStringLiteral("snewchap"));
    if (!kCategories.contains(book.category))
        return refuse(QStringLiteral("电子书类型有误，请选择该电子书对应的分类！"));
    if (book.name.isEmpty() || book.name.size() > 50)
        return refuse(QStringLiteral("电子书名称不能为空，也不能超过50个字！"));
    if (book.author.size() > 50 || book.newchap.size() > 255 || book.memo.size() > 5000)
        return refuse(QStringLiteral("填写的资料太长，请修改后重新上传！"));
    if (book.statue != QStringLiteral("连载") && book.statue != QStringLiteral("全集"))
        return refuse(QStringLiteral("电子书连载状态有误，请重新选择！"));

    const MultipartSpan* file = body->part("file1");
    const QByteArrayView fileData = file ? bytes.sliced(file->offset, file->size) : QByteArrayView();
    if (!file || !file->isFile || fileData.isEmpty())
        return refuse(QStringLiteral("没有收到电子书文件，请重新选择！"));
    const QString fileExt = FileStore::extensionOf(QString::fromLocal8Bit(file->fileName));
    if (fileExt != QLatin1String("txt") && fileExt != QLatin1String("rar") && fileExt != QLatin1String("zip"))
        return refuse(QStringLiteral("电子书只能是TXT、RAR或ZIP文件！"));
    if (!FileStore::contentMatches(fileExt, fileData))
        return refuse(QStringLiteral("电子书文件的内容与扩展名不符，请检查后重新上传！"));

    const MultipartSpan* cover = body->part("file2");
    const QByteArrayView coverData = cover ? bytes.sliced(cover->offset, cover->size) : QByteArrayView();
    QString coverExt;
    if (!coverData.isEmpty()) {
        coverExt = FileStore::extensionOf(QString::fromLocal8Bit(cover->fileName));
        if (coverExt == QLatin1String("jpeg"))
            coverExt = QStringLiteral("jpg");
        if ((coverExt != QLatin1String("jpg") && coverExt != QLatin1String("gif")) ||
            !FileStore::contentMatches(coverExt, coverData))
            return refuse(QStringLiteral("封面只能是JPG或GIF图片！"));
    }

    // The file is complete on disk before the row that names it is committed, and the
    // reply goes out only after the commit: an acknowledged upload is never lost.
    const auto stored = m_files.store(fileData, QStringLiteral("b"), fileExt);
    if (!stored)
        return refuse(QStringLiteral("服务器保存文件失败，请稍后再试！"));
    book.file = *stored;
    if (!coverExt.isEmpty()) {
        const auto storedCover = m_files.store(coverData, QStringLiteral("c"), coverExt);
        if (!storedCover) {
            m_files.remove(book.file);
            return refuse(QStringLiteral("服务器保存文件失败，请稍后再试！"));
        }
        book.cover = *storedCover;
    }
    book.sizeKb = (fileData.size() + 1023) / 1024;
    book.ftime = now();
    book.review = Review::Pending;
    book.uploaderId = user->id;
    book.updateOf = m_db.userBookByTitle(user->id, book.name).value_or(0);
    if (m_db.insertBook(book) == 0) {
        m_files.remove(book.file);
        m_files.remove(book.cover);
        return refuse(QStringLiteral("服务器保存数据失败，请稍后再试！"));
    }
    if (book.updateOf != 0) {
        return HttpReply::gbText(
            QStringLiteral("1|《%1》的更新已提交，审核通过后你将获得%2金币奖励！").arg(book.name).arg(kUpdateCoins));
    }
    return HttpReply::gbText(
        QStringLiteral("1|《%1》上传成功，审核通过后你将获得%2金币奖励！").arg(book.name).arg(kNewBookCoins));
}
