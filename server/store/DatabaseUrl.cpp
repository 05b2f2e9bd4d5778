#include "DatabaseUrl.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    DatabaseUrl target;
    if (trimmed.startsWith(QLatin1String("postgresql://")) || trimmed.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(trimmed, QUrl::StrictMode);
        const QString database = url.path().mid(1);
        if (!url.isValid() || database.isEmpty() || database.contains(QLatin1Char('/')))
            return std::nullopt;
        target.host = url.host();
        target.port = url.port(-1);
        target.user = url.userName();
        target.password = url.password();
        target.database = database;
        QStringList options;
        for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            // libpq takes a value with blanks or quotes only quoted.
            QString value = item.second;
            value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
            options.append(item.first + QStringLiteral("='") + value + QLatin1Char('\''));
        }
        target.options = options.join(QLatin1Char(' '));
        return target;
    }
    // A key=value string: at least one pair, and nothing that separates Qt's connect options.
    if (!trimmed.contains(QLatin1Char('=')) || trimmed.contains(QLatin1Char(';')) ||
        trimmed.contains(QLatin1String("://")))
        return std::nullopt;
    target.options = trimmed;
    return target;
}

QString DatabaseUrl::withoutPassword(const QString& text)
{
    QUrl url(text.trimmed());
    if (url.isValid() && !url.password().isEmpty()) {
        url.setPassword(QString());
        return url.toString();
    }
    static const QRegularExpression password(QStringLiteral("password\\s*=\\s*('[^']*'|\\S+)"));
    return QString(text).replace(password, QStringLiteral("password=***"));
}
