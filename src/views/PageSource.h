#pragma once

#include <QRectF>
#include <QtGlobal>

class QPainter;

namespace vk {

// The pages behind an image: how many there are, the bounds of the current one,
// and drawing the current one into a rectangle. The current page counts from 0.
class PageSource
{
public:
    virtual ~PageSource() = default;

    virtual qint32 pageCount() const = 0;
    virtual QRectF bounds() const = 0;
    virtual qint32 currentPage() const = 0;
    virtual void setCurrentPage(qint32 page) = 0;
    virtual void drawInRect(QPainter &painter, const QRectF &rect) = 0;
};

} // namespace vk
