#include "PdfPageSource.h"

#include "PdfImage.h"

#include <QPaintDevice>
#include <QPainter>

namespace vk {

PdfPageSource::PdfPageSource(std::shared_ptr<PdfImage> image)
    : _image(std::move(image))
{
}

qint32 PdfPageSource::pageCount() const
{
    return _image->pageCount();
}

QRectF PdfPageSource::bounds() const
{
    return _image->pageBounds(_currentPage);
}

qint32 PdfPageSource::currentPage() const
{
    return _currentPage;
}

void PdfPageSource::setCurrentPage(qint32 page)
{
    _currentPage = page;
}

void PdfPageSource::drawInRect(QPainter &painter, const QRectF &rect)
{
    // Render at the device's pixel density so pages stay sharp on high-density screens.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage page = _image->renderedPage(_currentPage, (rect.size() * ratio).toSize());
    if (!page.isNull())
        painter.drawImage(rect, page);
}

} // namespace vk
