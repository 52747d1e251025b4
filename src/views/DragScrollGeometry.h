#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace vk {

// Arithmetic of dragging a scroll view's document by hand.

// One step of a drag: the document area to show and whether the drag has moved.
struct DragStep
{
    QRectF visible;
    bool moved = false;
};

// The step for the pointer at `point` during a drag that was pressed at
// `pressPoint` while `startVisible` showed. Points are window coordinates with y
// counted up from the bottom edge. Every step measures from the press, not from
// the previous step, so the spot under the pointer stays under it. A drag has
// moved once any step strays more than one point along either axis.
DragStep dragStep(const QPointF &pressPoint, const QPointF &point, const QRectF &startVisible,
                  bool flipped, bool movedBefore);

// Whether a document of `document` size shown in an area of `visible` size
// leaves something to scroll to.
bool documentCanScroll(const QSizeF &document, const QSizeF &visible);

// The origin of the visible area after the least scrolling that shows `target`,
// edge by edge, as a scroll view does when asked to bring a rectangle into view.
QPointF originShowing(const QRectF &visible, const QRectF &target);

} // namespace vk
