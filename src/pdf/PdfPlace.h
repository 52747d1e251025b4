#pragma once

#include "PdfPageLayout.h"

#include <QPoint>
#include <QPointF>

namespace vk {

// A spot in a book that survives zooming: a page and a point on it in page
// points (origin at the page's top-left corner). The point may lie a little
// outside the page, in the gap or margin beside it.
struct PdfPlace
{
    int page = 0;
    QPointF point;
    friend bool operator==(const PdfPlace &, const PdfPlace &) = default;
};

// The place shown at content pixel pos of a view laid out as layout at scale:
// on the page that holds pos's row, or the next page below a gap.
PdfPlace placeAtContent(const PdfPageLayout &layout, double scale, QPoint pos);

// Where place lies in content pixels of layout at scale; the origin for a
// page outside the layout.
QPoint contentOfPlace(const PdfPageLayout &layout, double scale, const PdfPlace &place);

} // namespace vk
