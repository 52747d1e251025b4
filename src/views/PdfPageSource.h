#pragma once

#include "PageSource.h"

#include <memory>

namespace vk {

class PdfImage;

// A page source over the pages of a PdfImage. Cheap to make: it shares the image
// and carries only its own current page.
class PdfPageSource : public PageSource
{
public:
    explicit PdfPageSource(std::shared_ptr<PdfImage> image);

    qint32 pageCount() const override;
    QRectF bounds() const override;
    qint32 currentPage() const override;
    void setCurrentPage(qint32 page) override;
    void drawInRect(QPainter &painter, const QRectF &rect) override;

private:
    std::shared_ptr<PdfImage> m_image;
    qint32 m_currentPage = 0;
};

} // namespace vk
