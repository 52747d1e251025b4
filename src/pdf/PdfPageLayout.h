#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QSizeF>

namespace vk {

// Where each page of a continuous view lies, in content pixels (logical pixels,
// origin at the top-left of the scrolled content): pages one under the other,
// centred horizontally, with a margin around them and a gap between them.
struct PdfPageLayout
{
    static constexpr int kMargin = 8;
    static constexpr int kGap = 8;

    QList<QRect> pages;
    QSize contentSize;

    bool isEmpty() const { return pages.isEmpty(); }
};

// Logical pixel size of a page of pointSize shown at scale.
QSize scaledPageSize(const QSizeF &pointSize, double scale);

PdfPageLayout layoutPages(const QList<QSizeF> &pointSizes, double scale, int viewportWidth);

// First and last page that intersect the content rows [top, top + height);
// {-1, -1} when none does.
struct PageInterval
{
    int first = -1;
    int last = -1;
    bool isEmpty() const { return first < 0; }
    bool contains(int page) const { return page >= first && page <= last && first >= 0; }
    friend bool operator==(const PageInterval &, const PageInterval &) = default;
};
PageInterval visiblePages(const PdfPageLayout &layout, int top, int height);

// The page shown at content row y: the page that holds it, or the next page
// below when y falls into a gap or the top margin; the last page below the end.
int pageAtOffset(const PdfPageLayout &layout, int y);

// The scale at which the widest page fills viewportWidth (less the margins).
// 0 without pages or without room.
double fitWidthScale(const QList<QSizeF> &pointSizes, int viewportWidth);

} // namespace vk
