#pragma once

#include <QPointF>
#include <QRectF>
#include <QtGlobal>

namespace vk {

// Where each of a run of same-sized pages lands when they are stacked in reading
// order on one canvas; works for a y axis pointing up as well as down.

// Where page `page` (counted from 1) of `pageCount` pages with bounds `bounds` lies.
// A flipped view counts y downward, so page 1 starts at bounds.y(); otherwise page 1
// is the highest page.
QRectF pageRect(const QRectF &bounds, qint32 pageCount, qint32 page, bool flipped);

// The 0-based indexes of the first and last page that can meet `area`: every
// page outside them misses it, so a redraw need not look further. Empty (first
// greater than last) when no page can meet it.
struct PageSpan
{
    qint32 first = 0;
    qint32 last = -1;
};
PageSpan pagesNear(const QRectF &bounds, qint32 pageCount, const QRectF &area, bool flipped);

// The frame that holds the whole stack: the page bounds, pageCount times as tall.
QRectF stackFrame(const QRectF &bounds, qint32 pageCount);

// The height a stack frame of width `width` should have to keep the pages'
// proportions; not a number when the bounds are empty.
float stackHeightForWidth(const QRectF &bounds, qint32 pageCount, double width);

// The height to apply when the frame is resized to width x height: the stack
// height for that width, unless the request is within 3 points of it (which keeps
// rounding noise from resizing the frame again).
double correctedStackHeight(const QRectF &bounds, qint32 pageCount, double width, double height);

// The point to scroll to so that the top of page 1 shows.
QPointF topOfStack(double frameHeight, bool flipped);

} // namespace vk
