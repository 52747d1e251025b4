#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QPdfDocument>
#include <QRectF>
#include <QSize>

namespace vk {

// The image of a PDFImageView: the bytes of one PDF file, the document read from
// them, and the pages rendered lately. Repaints during a drag ask for the same
// pages at the same size again and again, so renders are kept in a bounded cache.
class PdfImage
{
public:
    explicit PdfImage(const QByteArray &data);

    PdfImage(const PdfImage &) = delete;
    PdfImage &operator=(const PdfImage &) = delete;

    // 0 when the bytes are not a PDF that opens without a password.
    qint32 pageCount() const;
    QRectF pageBounds(qint32 page) const;

    // The page rendered at `pixelSize`; a null image when it cannot be rendered.
    QImage renderedPage(qint32 page, const QSize &pixelSize);

private:
    struct RenderKey
    {
        qint32 page;
        QSize size;
        friend bool operator==(const RenderKey &, const RenderKey &) = default;
        friend size_t qHash(const RenderKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.page, key.size.width(), key.size.height());
        }
    };

    QByteArray m_data;
    QBuffer m_buffer;
    QPdfDocument m_document;
    QCache<RenderKey, QImage> m_renders;
};

} // namespace vk
