#include "PdfImage.h"

namespace vk {

namespace {
// Cache cost is counted in KiB: room for some 30 pages of 612 x 792 at ratio 1.
constexpr qsizetype kRenderCacheKiB = 64 * 1024;
}

PdfImage::PdfImage(const QByteArray &data)
    : m_data(data), m_renders(kRenderCacheKiB)
{
    m_buffer.setBuffer(&m_data);
    if (m_buffer.open(QIODevice::ReadOnly))
        m_document.load(&m_buffer);
}

qint32 PdfImage::pageCount() const
{
    return m_document.status() == QPdfDocument::Status::Ready ? qint32(m_document.pageCount()) : 0;
}

QRectF PdfImage::pageBounds(qint32 page) const
{
    return QRectF(QPointF(0.0, 0.0), m_document.pagePointSize(page));
}

QImage PdfImage::renderedPage(qint32 page, const QSize &pixelSize)
{
    const RenderKey key{page, pixelSize};
    if (const QImage *cached = m_renders.object(key))
        return *cached;
    if (pixelSize.isEmpty() || page < 0 || page >= pageCount())
        return QImage();
    QImage rendered = m_document.render(page, pixelSize);
    if (rendered.isNull())
        return rendered;
    const qsizetype cost = qMax<qsizetype>(1, rendered.sizeInBytes() / 1024);
    m_renders.insert(key, new QImage(rendered), cost);
    return rendered;
}

} // namespace vk
