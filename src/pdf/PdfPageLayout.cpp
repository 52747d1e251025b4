#include "PdfPageLayout.h"

#include <algorithm>
#include <cmath>

namespace vk {

QSize scaledPageSize(const QSizeF &pointSize, double scale)
{
    return QSize(qMax(1, int(std::lround(pointSize.width() * scale))),
                 qMax(1, int(std::lround(pointSize.height() * scale))));
}

PdfPageLayout layoutPages(const QList<QSizeF> &pointSizes, double scale, int viewportWidth)
{
    PdfPageLayout layout;
    if (pointSizes.isEmpty())
        return layout;
    QList<QSize> sizes;
    sizes.reserve(pointSizes.size());
    int widest = 0;
    for (const QSizeF &s : pointSizes) {
        sizes.append(scaledPageSize(s, scale));
        widest = qMax(widest, sizes.constLast().width());
    }
    const int contentWidth = qMax(viewportWidth, widest + 2 * PdfPageLayout::kMargin);
    layout.pages.reserve(sizes.size());
    int y = PdfPageLayout::kMargin;
    for (const QSize &s : sizes) {
        layout.pages.append(QRect(QPoint((contentWidth - s.width()) / 2, y), s));
        y += s.height() + PdfPageLayout::kGap;
    }
    layout.contentSize = QSize(contentWidth, y - PdfPageLayout::kGap + PdfPageLayout::kMargin);
    return layout;
}

static int firstPageEndingAfter(const PdfPageLayout &layout, int y)
{
    const auto it = std::partition_point(layout.pages.cbegin(), layout.pages.cend(),
                                         [y](const QRect &r) { return r.bottom() < y; });
    return int(it - layout.pages.cbegin());
}

PageInterval visiblePages(const PdfPageLayout &layout, int top, int height)
{
    if (layout.isEmpty() || height <= 0)
        return {};
    const int bottom = top + height - 1;
    const int first = firstPageEndingAfter(layout, top);
    if (first >= layout.pages.size() || layout.pages.at(first).top() > bottom)
        return {};
    const auto end = std::partition_point(layout.pages.cbegin() + first, layout.pages.cend(),
                                          [bottom](const QRect &r) { return r.top() <= bottom; });
    return {first, int(end - layout.pages.cbegin()) - 1};
}

int pageAtOffset(const PdfPageLayout &layout, int y)
{
    if (layout.isEmpty())
        return 0;
    return qMin(firstPageEndingAfter(layout, y), int(layout.pages.size()) - 1);
}

double fitWidthScale(const QList<QSizeF> &pointSizes, int viewportWidth)
{
    double widest = 0;
    for (const QSizeF &s : pointSizes)
        widest = qMax(widest, s.width());
    const int room = viewportWidth - 2 * PdfPageLayout::kMargin;
    if (widest <= 0 || room <= 0)
        return 0;
    // Rounding page widths must not make the widest page one pixel too wide.
    return std::floor(room / widest * 1000.0) / 1000.0;
}

} // namespace vk
