#include "DraggableScrollView.h"

#include "DragScrollGeometry.h"
#include "ViewOrientation.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>

using namespace vk;

DraggableScrollView::DraggableScrollView(QWidget *parent)
    : QScrollArea(parent)
{
    tile();
}

QCursor DraggableScrollView::dragCursor()
{
    // Made once and kept for the life of the program: a static QCursor would free
    // its pixmap after the application is gone.
    static const QCursor *openHandCursor = [] {
        const QPixmap image(QStringLiteral(":/fingerCursor.png"));
        return image.isNull() ? new QCursor(Qt::OpenHandCursor) : new QCursor(image, 8, 8);
    }();
    return *openHandCursor;
}

bool DraggableScrollView::canScroll() const
{
    const QSizeF document = widget() ? QSizeF(widget()->size()) : QSizeF(0.0, 0.0);
    return documentCanScroll(document, documentVisibleRect().size());
}

void DraggableScrollView::tile()
{
    viewport()->setCursor(canScroll() ? dragCursor() : QCursor(Qt::ArrowCursor));
}

void DraggableScrollView::dragDocumentWithMouseDown(const QMouseEvent *event)
{
    m_pressPoint = windowPoint(event->globalPosition());
    m_startVisible = widget() ? documentVisibleRect() : QRectF();
    m_moved = false;
    if (!m_dragging) {
        m_dragging = true;
        // The drag takes every left-button move and release of the window until the
        // release, whichever widget holds the pointer grab.
        qApp->installEventFilter(this);
    }
}

bool DraggableScrollView::isDragging() const
{
    return m_dragging;
}

bool DraggableScrollView::lastDragMoved() const
{
    return m_moved;
}

void DraggableScrollView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    tile();
}

bool DraggableScrollView::viewportEvent(QEvent *event)
{
    const bool handled = QScrollArea::viewportEvent(event);
    // Scroll bars coming and going resize the visible area without resizing the view.
    if (event->type() == QEvent::Resize)
        tile();
    return handled;
}

bool DraggableScrollView::eventFilter(QObject *watched, QEvent *event)
{
    if (m_dragging && filterDragEvent(watched, event))
        return true;
    const bool filtered = QScrollArea::eventFilter(watched, event);
    if (watched == widget()
        && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        tile();
    return filtered;
}

bool DraggableScrollView::filterDragEvent(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType() || static_cast<QWidget *>(watched)->window() != window())
        return false;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        // A new left press means this drag's release went missing (a popup broke
        // the pointer grab, say): end the drag, or the release of whatever the
        // user clicks next would be swallowed.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            finishDrag();
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        finishDrag();
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!(mouse->buttons() & Qt::LeftButton))
            return false;
        dragTo(mouse->globalPosition());
        return true;
    }
    return false;
}

void DraggableScrollView::dragTo(const QPointF &globalPoint)
{
    const DragStep step = dragStep(m_pressPoint, windowPoint(globalPoint), m_startVisible,
                                   isFlipped(widget()), m_moved);
    m_moved = step.moved;
    if (widget())
        scrollRectToVisible(step.visible);
}

void DraggableScrollView::finishDrag()
{
    m_dragging = false;
    qApp->removeEventFilter(this);
    emit dragFinished(m_moved);
}

QPointF DraggableScrollView::windowPoint(const QPointF &globalPoint) const
{
    const QWidget *top = window();
    const QPointF local = top->mapFromGlobal(globalPoint);
    return QPointF(local.x(), top->height() - local.y());
}

QRectF DraggableScrollView::documentVisibleRect() const
{
    const QRectF shown(-QPointF(widget() ? widget()->pos() : QPoint()), QSizeF(viewport()->size()));
    return widget() ? shown.intersected(QRectF(widget()->rect())) : shown;
}

void DraggableScrollView::scrollRectToVisible(const QRectF &rect)
{
    const QRectF shown(-QPointF(widget()->pos()), QSizeF(viewport()->size()));
    const QPointF origin = originShowing(shown, rect);
    horizontalScrollBar()->setValue(qRound(origin.x()));
    verticalScrollBar()->setValue(qRound(origin.y()));
}
