#include "platform/qt/QtPickers.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QStringList>

QString QtPickers::toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString listed = parts[i + 1];
        QString patterns = listed;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "文本文件(*.txt)" already names its patterns: the dialog reads them from the
        // closing brackets, so they are shown once and not appended a second time.
        const QString named = QLatin1Char('(') + listed + QLatin1Char(')');
        if (description.endsWith(named)) {
            description.chop(named.size());
            filters << description + QLatin1Char('(') + patterns + QLatin1Char(')');
        } else {
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtPickers::openFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), toQtFilter(filter));
}

QString QtPickers::saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, title, suggested, toQtFilter(filter));
}

QString QtPickers::folder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title);
}

std::optional<QColor> QtPickers::color(QWidget* parent, const QColor& initial)
{
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}
