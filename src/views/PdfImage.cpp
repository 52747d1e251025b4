#include "PdfImage.h"

namespace vk {

namespace {
// Cache cost is counted in KiB: room for some 30 pages of 612 x 792 at ratio 1.
constexpr qsizetype renderCacheKiB = 64 * 1024;
}

PdfImage::PdfImage(const QByteArray &data)
    : _data(data), _renders(renderCacheKiB)
{
    _buffer.setBuffer(&_data);
    if (_buffer.open(QIODevice::ReadOnly))
        _document.load(&_buffer);
}

qint32 PdfImage::pageCount() const
{
    return _document.status() == QPdfDocument::Status::Ready ? qint32(_document.pageCount()) : 0;
}

QRectF PdfImage::pageBounds(qint32 page) const
{
    return QRectF(QPointF(0.0, 0.0), _document.pagePointSize(page));
}

QImage PdfImage::renderedPage(qint32 page, const QSize &pixelSize)
{
    const RenderKey key{page, pixelSize};
    if (const QImage *cached = _renders.object(key))
        return *cached;
    if (pixelSize.isEmpty() || page < 0 || page >= pageCount())
        return QImage();
    QImage rendered = _document.render(page, pixelSize);
    if (rendered.isNull())
        return rendered;
    const qsizetype cost = qMax<qsizetype>(1, rendered.sizeInBytes() / 1024);
    _renders.insert(key, new QImage(rendered), cost);
    return rendered;
}

} // namespace vk
