#include "PanelView.h"

#include <QPen>

namespace vk {

void PanelLook::paintBackground(QPainter &painter, const QRect &rect) const
{
    if (m_background.isValid())
        painter.fillRect(rect, m_background);
}

void PanelLook::paintBorder(QPainter &painter, const QRect &rect) const
{
    if (m_borderWidth <= 0)
        return;
    QPen pen(m_borderColor, m_borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = m_borderWidth / 2;
    painter.drawRect(QRectF(rect).adjusted(inset, inset, -inset, -inset));
}

} // namespace vk
