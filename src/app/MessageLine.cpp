#include "MessageLine.h"

#include "PanelPainting.h"

#include <QPainter>

MessageLine::MessageLine(QWidget *parent)
    : QLabel(parent)
{
}

void MessageLine::setBackgroundColor(const QColor &color)
{
    _background = color;
    update();
}

void MessageLine::setBorderWidth(qreal width)
{
    _borderWidth = width;
    update();
}

void MessageLine::setBorderColor(const QColor &color)
{
    _borderColor = color;
    update();
}

void MessageLine::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        paintPanel(painter, rect(), _background, 0, _borderColor);
    }
    QLabel::paintEvent(event);
    QPainter painter(this);
    paintPanel(painter, rect(), QColor(), _borderWidth, _borderColor);
}
