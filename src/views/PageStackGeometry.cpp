#include "PageStackGeometry.h"

#include <algorithm>
#include <cmath>

namespace vk {

QRectF pageRect(const QRectF &bounds, qint32 pageCount, qint32 page, bool flipped)
{
    // 64-bit steps keep extreme page numbers from overflowing.
    QRectF rect = bounds;
    if (!flipped)
        rect.translate(0.0, double(qint64(pageCount) - 1) * bounds.height());
    const qint64 steps = flipped ? qint64(page) - 1 : 1 - qint64(page);
    rect.translate(0.0, double(steps) * bounds.height());
    return rect;
}

PageSpan pagesNear(const QRectF &bounds, qint32 pageCount, const QRectF &area, bool flipped)
{
    if (pageCount <= 0)
        return PageSpan();
    const double height = bounds.height();
    const QRectF target = area.normalized();
    // Steps counted from the top of the stack; one page of slack on either side
    // absorbs rounding, and the caller still tests each page it is given.
    const double stackTop = flipped ? bounds.y() : bounds.y() + double(pageCount) * height;
    const double fromTop = flipped ? target.top() - stackTop : stackTop - target.bottom();
    const double toBottom = flipped ? target.bottom() - stackTop : stackTop - target.top();
    const double first = std::floor(fromTop / height) - 1.0;
    const double last = std::floor(toBottom / height) + 1.0;
    if (!(height > 0.0) || !std::isfinite(first) || !std::isfinite(last))
        return PageSpan{0, pageCount - 1};
    const double lastPage = double(pageCount - 1);
    if (last < 0.0 || first > lastPage)
        return PageSpan();
    return PageSpan{qint32(std::max(first, 0.0)), qint32(std::min(last, lastPage))};
}

QRectF stackFrame(const QRectF &bounds, qint32 pageCount)
{
    QRectF frame = bounds;
    frame.setHeight(bounds.height() * double(pageCount));
    return frame;
}

float stackHeightForWidth(const QRectF &bounds, qint32 pageCount, double width)
{
    const double ratio = bounds.height() / bounds.width();
    // Single precision before the ceiling: 3 pages of 612 x 792 at width 306 come
    // to 1188.0000000000002 in double, which must stay 1188, not become 1189.
    return std::ceil(float(double(pageCount) * ratio * width));
}

double correctedStackHeight(const QRectF &bounds, qint32 pageCount, double width, double height)
{
    const float target = stackHeightForWidth(bounds, pageCount, width);
    // A target that is not a number fails the comparison and keeps the request.
    if (std::fabs(double(target) - height) > 3.0)
        return double(target);
    return height;
}

QPointF topOfStack(double frameHeight, bool flipped)
{
    return flipped ? QPointF(0.0, 0.0) : QPointF(0.0, frameHeight);
}

} // namespace vk
