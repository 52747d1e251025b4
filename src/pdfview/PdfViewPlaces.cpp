#include "PdfViewPrivate.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace vk {

// Places in the book for jumps, the way back and zooming around the mouse.

PdfPlace PdfView::placeAt(QPoint viewportPos) const
{
    return placeAtContent(d->layout, d->scale, visibleContentRect().topLeft() + viewportPos);
}

void PdfView::showPlace(const PdfPlace &place, QPoint viewportPos)
{
    if (!hasPages() || place.page < 0 || place.page >= d->layout.pages.size())
        return;
    d->pendingScroll.reset();
    const QPoint content = contentOfPlace(d->layout, d->scale, place) - viewportPos;
    horizontalScrollBar()->setValue(content.x());
    scrollToContentY(content.y());
    // Near the end of a book the place may not reach the top; the page shown
    // there is still the one the reader asked for.
    setCurrentPage(viewportPos.isNull() ? place.page
                                        : pageAtOffset(d->layout, verticalScrollBar()->value()));
    scheduleRenders();
    viewport()->update();
}

void PdfView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    const int steps = d->wheelSteps.take(event->angleDelta().y());
    if (steps != 0)
        Q_EMIT zoomStepAsked(steps, event->position().toPoint());
}

} // namespace vk
