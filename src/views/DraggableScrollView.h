#pragma once

#include <QCursor>
#include <QPointF>
#include <QRectF>
#include <QScrollArea>

class QMouseEvent;

// A scroll area whose document can be pushed around with the left mouse button.
// The hand cursor appears only when there is somewhere to drag to, i.e. the
// document overflows the viewport; a document that fits keeps the arrow.
// Document widgets start a drag by handing their mouse press to
// dragDocumentWithMouseDown(); the drag then follows the pointer until the
// button is released and reports whether it moved through dragFinished().
class DraggableScrollView : public QScrollArea
{
    Q_OBJECT

public:
    explicit DraggableScrollView(QWidget *parent = nullptr);

    // The hand shared by every instance, made from ":/fingerCursor.png" on first use.
    static QCursor dragCursor();

    bool canScroll() const;
    // Lays the view out again after a size change and picks the cursor over the document.
    void tile();
    // Starts a drag at the press `event`; the rest of it arrives as mouse events.
    void dragDocumentWithMouseDown(const QMouseEvent *event);

    bool isDragging() const;
    // Whether the running or else the last drag strayed more than one point along
    // either axis.
    bool lastDragMoved() const;

signals:
    void dragFinished(bool moved);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool filterDragEvent(QObject *watched, QEvent *event);
    void dragTo(const QPointF &globalPoint);
    void finishDrag();
    QPointF windowPoint(const QPointF &globalPoint) const;
    QRectF documentVisibleRect() const;
    void scrollRectToVisible(const QRectF &rect);

    bool m_dragging = false;
    bool m_moved = false;
    QPointF m_pressPoint;
    QRectF m_startVisible;
};
