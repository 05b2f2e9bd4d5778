#include "account/UploadReply.h"

#include "account/UploadBody.h"
#include "account/UploadForm.h"
#include "platform/Dialogs.h"

namespace UploadReply {

namespace {

const QString kFailed = QStringLiteral("上传失败");

UploadOutcome failure(const QString& text, qint64 learnedLimit = 0)
{
    return {false, MessageBox{text, kFailed, Dialogs::Stop}, learnedLimit};
}

// "code|message" of a GB2312 answer; nullopt when the text is not of that form.
std::optional<std::pair<double, QString>> codeAndMessage(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    if (fields.size() < 2)
        return std::nullopt;
    bool numeric = false;
    const double code = fields[0].trimmed().toDouble(&numeric);
    if (!numeric)
        return std::nullopt;
    return std::make_pair(code, fields[1]);
}

QString rawText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("服务器没有答复上传的结果，请到“我上传的电子书”查看是否已经上传。");
    return QStringLiteral("服务器的答复无法识别：\r\n") + trimmed;
}

} // namespace

UploadOutcome read(const ServiceReply& reply, qint64 knownLimit)
{
    const QString text = UploadBody::BytesToString(reply.body, QStringLiteral("gb2312"));
    if (reply.status == 200) {
        const auto answer = codeAndMessage(text);
        if (!answer)
            return failure(rawText(text));
        if (answer->first == 1)
            return {true, MessageBox{answer->second, QStringLiteral("上传成功"), Dialogs::Information}, 0};
        return failure(answer->second.isEmpty() ? rawText(text) : answer->second);
    }
    if (reply.status == 413) {
        bool ok = false;
        const qint64 named = reply.header("X-Upload-Limit").trimmed().toLongLong(&ok);
        const qint64 limit = ok && named > 0 ? named : knownLimit;
        if (limit > 0) {
            return failure(QStringLiteral("上传的文件太大，服务器每次最多只接受%1，请压缩后再上传！")
                               .arg(UploadForm::limitText(limit)),
                           ok && named > 0 ? named : 0);
        }
        if (const auto answer = codeAndMessage(text); answer && !answer->second.isEmpty())
            return failure(answer->second);
        return failure(QStringLiteral("上传的文件太大，服务器拒绝接收，请压缩后再上传！"));
    }
    if (reply.status == 0 && reply.requestSent) {
        // The book went out whole; the service may have stored it and only its answer is missing.
        const QString why = reply.failure == ServiceReply::Failure::TimedOut
                                ? QStringLiteral("电子书已经发送完毕，但服务器没有在限定时间内答复，")
                                : QStringLiteral("电子书已经发送完毕，但没有收到服务器的答复，");
        return {false,
                MessageBox{why + QStringLiteral("不能确定是否已经上传成功。请到“我上传的电子书”查看它是否已经到达，"
                                                "没有到达再重新上传。"),
                           QStringLiteral("上传结果不明"), Dialogs::Exclamation},
                0};
    }
    if (reply.status == 0)
        return failure(QStringLiteral("无法连接到服务器，或者连接中断了，电子书没有上传成功。请稍后再试！"));
    return failure(QStringLiteral("服务器出错了（状态 %1），电子书没有上传成功。请稍后再试！").arg(reply.status));
}

} // namespace UploadReply
