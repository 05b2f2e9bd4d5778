#include "online/ServiceNotice.h"

namespace ServiceNotice {

QString text(const ServiceReply& reply, const QString& serviceBase)
{
    if (reply.status != 0)
        return {};
    const QString where = QStringLiteral("（") + serviceBase + QStringLiteral("）");
    if (reply.failure == ServiceReply::Failure::TooLarge)
        return QStringLiteral("网络书库服务器") + where + QStringLiteral("的答复过长，已停止读取");
    // A time-out is as dead to the user as a refused connection.
    return QStringLiteral("无法连接到网络书库服务器") + where;
}

QString reason(const ServiceReply& reply)
{
    switch (reply.failure) {
    case ServiceReply::Failure::TimedOut:
        return QStringLiteral("服务器在限定时间内没有答复");
    case ServiceReply::Failure::TooLarge:
        return QStringLiteral("答复超过了%1 MB").arg(ServiceReply::MaxBodyBytes / (1024 * 1024));
    case ServiceReply::Failure::NoConnection:
    case ServiceReply::Failure::None:
        break;
    }
    return QStringLiteral("连接被拒绝或中断");
}

QString labelHtml(const QString& text)
{
    return text.toHtmlEscaped() + QStringLiteral("&nbsp;&nbsp;<a href=\"") + linkTarget() +
           QStringLiteral("\">重试</a>");
}

QString linkTarget()
{
    return QStringLiteral("retry");
}

} // namespace ServiceNotice
