#include "PdfPageSource.h"

#include "PdfImage.h"

#include <QPaintDevice>
#include <QPainter>

namespace vk {

PdfPageSource::PdfPageSource(std::shared_ptr<PdfImage> image)
    : m_image(std::move(image))
{
}

qint32 PdfPageSource::pageCount() const
{
    return m_image->pageCount();
}

QRectF PdfPageSource::bounds() const
{
    return m_image->pageBounds(m_currentPage);
}

qint32 PdfPageSource::currentPage() const
{
    return m_currentPage;
}

void PdfPageSource::setCurrentPage(qint32 page)
{
    m_currentPage = page;
}

void PdfPageSource::drawInRect(QPainter &painter, const QRectF &rect)
{
    // Render at the device's pixel density so pages stay sharp on high-density screens.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage page = m_image->renderedPage(m_currentPage, (rect.size() * ratio).toSize());
    if (!page.isNull())
        painter.drawImage(rect, page);
}

} // namespace vk
