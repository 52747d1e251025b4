#pragma once

#include "PdfPageSource.h"

#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <memory>
#include <optional>

namespace vk {
class PdfImage;
}
class QAbstractScrollArea;

// Pages for printing: the first page number (from 1) and how many pages follow.
struct PageRange
{
    quint64 location = 0;
    quint64 length = 0;
};

// Paints a whole PDF file as one tall picture: the pages are stacked top to
// bottom in reading order, edge to edge. Meant as the document of a
// DraggableScrollView: a press on the pages starts dragging them.
class PDFImageView : public QWidget
{
    Q_OBJECT

public:
    explicit PDFImageView(QWidget *parent = nullptr);

    // A new page source over the loaded file on every call; none without pages.
    std::optional<vk::PdfPageSource> pdfRep() const;
    void loadFromPath(const QString &path);
    // Fills `dirty` white and draws the pages that meet it.
    void drawRect(QPainter &painter, const QRectF &dirty);
    // Starts a drag in the enclosing DraggableScrollView, if there is one.
    void mouseDown(QMouseEvent *event);
    // Resizes to `size`, except that a height more than 3 points away from the
    // page stack's height at that width becomes the stack's height.
    void setFrameSize(const QSizeF &size);
    bool knowsPageRange(PageRange &range) const;
    QRectF rectForPage(qint32 page) const;
    bool isFlipped() const;

    std::shared_ptr<vk::PdfImage> image() const;
    void setImage(std::shared_ptr<vk::PdfImage> image);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QAbstractScrollArea *enclosingScrollView() const;
    void scrollPoint(const QPointF &point);

    std::shared_ptr<vk::PdfImage> m_image;
    bool m_correctingFrame = false;
};
