#include "PageStackPainter.h"

#include "PageSource.h"
#include "PageStackGeometry.h"

void drawPageStack(QPainter &painter, PageSource &source, const QRectF &dirty, bool flipped)
{
    const qint32 count = source.pageCount();
    if (count <= 0)
        return;
    const QRectF bounds = source.bounds();
    // Visiting every page is plain arithmetic; only pages in view are drawn.
    for (qint32 i = 0; i < count; ++i) {
        const QRectF rect = pageRect(bounds, count, i + 1, flipped);
        if (rect.intersects(dirty)) {
            source.setCurrentPage(i);
            source.drawInRect(painter, rect);
        }
    }
}
