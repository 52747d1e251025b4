#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// Fills rect with background (when valid) and draws a border of the given width
// inside its edges, the way a layer draws its border over its content.
void paintPanel(QPainter &painter, const QRect &rect, const QColor &background,
                qreal borderWidth, const QColor &borderColor);
