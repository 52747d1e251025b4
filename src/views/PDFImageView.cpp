#include "PDFImageView.h"

#include "DraggableScrollView.h"
#include "Log.h"
#include "PageStackGeometry.h"
#include "PageStackPainter.h"
#include "PdfImage.h"
#include "ViewOrientation.h"

#include <QFile>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QtMath>

using namespace vk;

PDFImageView::PDFImageView(QWidget *parent)
    : QWidget(parent)
{
}

std::optional<PdfPageSource> PDFImageView::pdfRep() const
{
    if (!m_image || m_image->pageCount() <= 0)
        return std::nullopt;
    return PdfPageSource(m_image);
}

void PDFImageView::loadFromPath(const QString &path)
{
    QFile file(path);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    setImage(std::make_shared<PdfImage>(data));

    const std::optional<PdfPageSource> source = pdfRep();
    if (!source)
        logLine(QStringLiteral("PDFImageView: no pages to show in %1").arg(path));
    const QRectF frame = source ? stackFrame(source->bounds(), source->pageCount()) : QRectF();
    // Whole points: a fractional page size must not cut off the bottom of the last page.
    resize(qCeil(frame.width()), qCeil(frame.height()));
    update();
    scrollPoint(topOfStack(frame.height(), isFlipped()));
}

void PDFImageView::drawRect(QPainter &painter, const QRectF &dirty)
{
    painter.fillRect(dirty, Qt::white);
    std::optional<PdfPageSource> source = pdfRep();
    if (source)
        drawPageStack(painter, *source, dirty, isFlipped());
}

void PDFImageView::mouseDown(QMouseEvent *event)
{
    auto *dragView = qobject_cast<DraggableScrollView *>(enclosingScrollView());
    if (dragView && event->button() == Qt::LeftButton) {
        dragView->dragDocumentWithMouseDown(event);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PDFImageView::setFrameSize(const QSizeF &size)
{
    const std::optional<PdfPageSource> source = pdfRep();
    const QRectF bounds = source ? source->bounds() : QRectF();
    double height = correctedStackHeight(bounds, source ? source->pageCount() : 0,
                                         size.width(), size.height());
    // A page without width would ask for an endless frame.
    if (!qIsFinite(height))
        height = size.height();
    // The correction resizes again from inside a resize; answering that nested
    // resize, or one a layout forces in return, with another correction could
    // recurse without end.
    m_correctingFrame = true;
    resize(QSizeF(size.width(), height).toSize());
    m_correctingFrame = false;
}

bool PDFImageView::knowsPageRange(PageRange &range) const
{
    const std::optional<PdfPageSource> source = pdfRep();
    range.location = 1;
    range.length = source ? quint64(source->pageCount()) : 0;
    return true;
}

QRectF PDFImageView::rectForPage(qint32 page) const
{
    const std::optional<PdfPageSource> source = pdfRep();
    const QRectF bounds = source ? source->bounds() : QRectF();
    return pageRect(bounds, source ? source->pageCount() : 0, page, isFlipped());
}

bool PDFImageView::isFlipped() const
{
    return ::isFlipped(this);
}

std::shared_ptr<PdfImage> PDFImageView::image() const
{
    return m_image;
}

void PDFImageView::setImage(std::shared_ptr<PdfImage> image)
{
    m_image = std::move(image);
}

void PDFImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    drawRect(painter, QRectF(event->rect()));
}

void PDFImageView::mousePressEvent(QMouseEvent *event)
{
    mouseDown(event);
}

void PDFImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_correctingFrame)
        setFrameSize(QSizeF(event->size()));
}

QAbstractScrollArea *PDFImageView::enclosingScrollView() const
{
    for (QWidget *ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto *scrollArea = qobject_cast<QAbstractScrollArea *>(ancestor))
            return scrollArea;
    }
    return nullptr;
}

void PDFImageView::scrollPoint(const QPointF &point)
{
    if (QAbstractScrollArea *scrollArea = enclosingScrollView()) {
        scrollArea->horizontalScrollBar()->setValue(qRound(point.x()));
        scrollArea->verticalScrollBar()->setValue(qRound(point.y()));
    }
}
