#include "PanelView.h"

#include "PanelPainting.h"

#include <QPainter>

PanelView::PanelView(QWidget *parent)
    : QWidget(parent)
{
}

void PanelView::setBackgroundColor(const QColor &color)
{
    _background = color;
    update();
}

void PanelView::setBorderWidth(qreal width)
{
    _borderWidth = width;
    update();
}

void PanelView::setBorderColor(const QColor &color)
{
    _borderColor = color;
    update();
}

void PanelView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintPanel(painter, rect(), _background, _borderWidth, _borderColor);
}
