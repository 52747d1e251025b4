#include "PanelPainting.h"

#include <QPainter>
#include <QPen>

void paintPanel(QPainter &painter, const QRect &rect, const QColor &background,
                qreal borderWidth, const QColor &borderColor)
{
    if (background.isValid())
        painter.fillRect(rect, background);
    if (borderWidth <= 0)
        return;
    QPen pen(borderColor, borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = borderWidth / 2;
    painter.drawRect(QRectF(rect).adjusted(inset, inset, -inset, -inset));
}
