#include "DragScrollGeometry.h"

#include <cmath>

namespace vk {

DragStep dragStep(const QPointF &pressPoint, const QPointF &point, const QRectF &startVisible,
                  bool flipped, bool movedBefore)
{
    const float dx = float(pressPoint.x() - point.x());
    float dy = float(pressPoint.y() - point.y());
    DragStep step;
    step.moved = movedBefore || std::fabs(dx) > 1.0f || std::fabs(dy) > 1.0f;
    // Window y grows upward; a flipped document's y grows downward.
    if (flipped)
        dy = -dy;
    step.visible = startVisible.translated(double(dx), double(dy));
    return step;
}

bool documentCanScroll(const QSizeF &document, const QSizeF &visible)
{
    if (document.height() > visible.height())
        return true;
    return document.width() > visible.width();
}

static double axisOriginShowing(double visibleStart, double visibleLength,
                                double targetStart, double targetLength)
{
    if (targetStart < visibleStart)
        return targetStart;
    if (targetStart + targetLength > visibleStart + visibleLength)
        return targetStart + targetLength - visibleLength;
    return visibleStart;
}

QPointF originShowing(const QRectF &visible, const QRectF &target)
{
    return QPointF(axisOriginShowing(visible.x(), visible.width(), target.x(), target.width()),
                   axisOriginShowing(visible.y(), visible.height(), target.y(), target.height()));
}

} // namespace vk
