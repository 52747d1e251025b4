#pragma once

#include <QRectF>

class QPainter;

namespace vk {

class PageSource;

// Draws the pages of `source`, stacked as pageRect() lays them out, that meet
// `dirty`. The page bounds are taken once, before any page is made current, so
// every page gets the first page's bounds.
void drawPageStack(QPainter &painter, PageSource &source, const QRectF &dirty, bool flipped);

} // namespace vk
