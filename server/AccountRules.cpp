#include "AccountRules.h"

#include "TextCodec.h"

namespace AccountRules {

bool validUserName(const QString& name)
{
    if (name.size() < 3 || name.size() > 14)
        return false;
    for (const QChar c : name) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_')
            continue;
        if (c.isSurrogate() || u < 0x80 || TextCodec::encodeGbk(QString(c)).size() != 2)
            return false;
    }
    return true;
}

bool validEmail(const QString& email)
{
    return email.indexOf(QLatin1Char('@')) >= 1 && email.indexOf(QLatin1Char('.'), 2) >= 0 &&
           !email.endsWith(QLatin1Char('.'));
}

QString normalizedSex(const QString& sex)
{
    if (sex == QStringLiteral("男") || sex == QStringLiteral("女"))
        return sex;
    return QStringLiteral("保密");
}

} // namespace AccountRules
