#include "reader/ReaderIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kInk(59, 91, 122);
const QColor kAccent(198, 79, 6);

QPainterPath triangle(double x, double y, double w, double h, bool right)
{
    QPainterPath p;
    if (right) {
        p.moveTo(x, y);
        p.lineTo(x + w, y + h / 2);
        p.lineTo(x, y + h);
    } else {
        p.moveTo(x + w, y);
        p.lineTo(x, y + h / 2);
        p.lineTo(x + w, y + h);
    }
    p.closeSubpath();
    return p;
}

// Draws one picture on a 32 × 32 canvas; the icon scales it down.
void draw(QPainter& p, const QString& name)
{
    QPen pen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (name == QLatin1String("open")) {
        QPainterPath folder;
        folder.moveTo(4, 9);
        folder.lineTo(12, 9);
        folder.lineTo(15, 12);
        folder.lineTo(27, 12);
        folder.lineTo(27, 25);
        folder.lineTo(4, 25);
        folder.closeSubpath();
        p.setBrush(QColor(250, 214, 140));
        p.drawPath(folder);
    } else if (name == QLatin1String("bookmark")) {
        QPainterPath ribbon;
        ribbon.moveTo(9, 4);
        ribbon.lineTo(23, 4);
        ribbon.lineTo(23, 28);
        ribbon.lineTo(16, 21);
        ribbon.lineTo(9, 28);
        ribbon.closeSubpath();
        p.setPen(QPen(kAccent, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(240, 150, 90));
        p.drawPath(ribbon);
    } else if (name == QLatin1String("find")) {
        p.drawEllipse(QRectF(5, 5, 15, 15));
        p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 18), QPointF(27, 27));
    } else if (name == QLatin1String("first") || name == QLatin1String("last")) {
        const bool right = name == QLatin1String("last");
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawPath(triangle(right ? 6 : 12, 7, 12, 18, right));
        p.drawRect(right ? QRectF(21, 7, 4, 18) : QRectF(7, 7, 4, 18));
    } else if (name == QLatin1String("previous") || name == QLatin1String("next")) {
        const bool right = name == QLatin1String("next");
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawPath(triangle(right ? 10 : 9, 6, 13, 20, right));
    } else if (name == QLatin1String("read")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(46, 139, 87));
        p.drawPath(triangle(10, 6, 15, 20, true));
    } else if (name == QLatin1String("pause")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(46, 139, 87));
        p.drawRoundedRect(QRectF(9, 7, 5, 18), 1.5, 1.5);
        p.drawRoundedRect(QRectF(18, 7, 5, 18), 1.5, 1.5);
    } else if (name == QLatin1String("stop")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(178, 34, 34));
        p.drawRoundedRect(QRectF(8, 8, 16, 16), 2, 2);
    } else if (name == QLatin1String("voice")) {
        QPainterPath speaker;
        speaker.moveTo(5, 12);
        speaker.lineTo(10, 12);
        speaker.lineTo(16, 6);
        speaker.lineTo(16, 26);
        speaker.lineTo(10, 20);
        speaker.lineTo(5, 20);
        speaker.closeSubpath();
        p.setBrush(kInk);
        p.drawPath(speaker);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(14, 10, 8, 12), -60 * 16, 120 * 16);
        p.drawArc(QRectF(14, 6, 14, 20), -60 * 16, 120 * 16);
    } else if (name == QLatin1String("help")) {
        p.drawEllipse(QRectF(4, 4, 24, 24));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(17);
        p.setFont(font);
        p.drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
    }
}

} // namespace

QIcon readerIcon(const QString& name)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            draw(p, name);
        }
        icon.addPixmap(pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    return icon;
}
