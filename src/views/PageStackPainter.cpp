#include "PageStackPainter.h"

#include "PageSource.h"
#include "PageStackGeometry.h"

namespace vk {

void drawPageStack(QPainter &painter, PageSource &source, const QRectF &dirty, bool flipped)
{
    const qint32 count = source.pageCount();
    if (count <= 0)
        return;
    const QRectF bounds = source.bounds();
    // Only the pages around the area are tested, so a redraw costs the same in a
    // file of ten pages as in one of thousands.
    const PageSpan span = pagesNear(bounds, count, dirty, flipped);
    for (qint32 i = span.first; i <= span.last; ++i) {
        const QRectF rect = pageRect(bounds, count, i + 1, flipped);
        if (rect.intersects(dirty)) {
            source.setCurrentPage(i);
            source.drawInRect(painter, rect);
        }
    }
}

} // namespace vk
