#include "desktop/ColorSwatch.h"

#include <QPainter>

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setFixedSize(64, 24);
}

void ColorSwatch::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(contentsRect(), m_color);
    painter.end();
    QFrame::paintEvent(event);
}
