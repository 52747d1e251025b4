#include "PageStackGeometry.h"

#include <cmath>

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
