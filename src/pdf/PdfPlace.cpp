#include "PdfPlace.h"

#include <cmath>

namespace vk {

PdfPlace placeAtContent(const PdfPageLayout &layout, double scale, QPoint pos)
{
    if (layout.isEmpty() || scale <= 0)
        return {};
    const int page = pageAtOffset(layout, pos.y());
    const QRect r = layout.pages.at(page);
    return {page, QPointF((pos.x() - r.left()) / scale, (pos.y() - r.top()) / scale)};
}

QPoint contentOfPlace(const PdfPageLayout &layout, double scale, const PdfPlace &place)
{
    if (place.page < 0 || place.page >= layout.pages.size())
        return {};
    const QRect r = layout.pages.at(place.page);
    return QPoint(r.left() + int(std::lround(place.point.x() * scale)),
                  r.top() + int(std::lround(place.point.y() * scale)));
}

} // namespace vk
