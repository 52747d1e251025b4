#include "PdfTiles.h"

#include <cmath>

namespace vk {

qint64 pixelCount(const QSize &size)
{
    return size.isEmpty() ? 0 : qint64(size.width()) * size.height();
}

bool needsTiles(const QSize &pagePixels)
{
    return pixelCount(pagePixels) > kMaxImagePixels;
}

QList<QRect> tilesCovering(const QSize &pagePixels, const QRect &visible)
{
    QList<QRect> tiles;
    const QRect page(QPoint(0, 0), pagePixels);
    const QRect wanted = visible.intersected(page);
    if (wanted.isEmpty())
        return tiles;
    const int firstColumn = wanted.left() / kTileEdge;
    const int lastColumn = wanted.right() / kTileEdge;
    const int firstRow = wanted.top() / kTileEdge;
    const int lastRow = wanted.bottom() / kTileEdge;
    for (int row = firstRow; row <= lastRow; ++row)
        for (int column = firstColumn; column <= lastColumn; ++column)
            tiles.append(QRect(column * kTileEdge, row * kTileEdge, kTileEdge, kTileEdge).intersected(page));
    return tiles;
}

QRect toDevicePixels(const QRect &logical, double devicePixelRatio)
{
    if (logical.isEmpty())
        return {};
    const int left = int(std::floor(logical.left() * devicePixelRatio));
    const int top = int(std::floor(logical.top() * devicePixelRatio));
    const int right = int(std::ceil((logical.left() + logical.width()) * devicePixelRatio));
    const int bottom = int(std::ceil((logical.top() + logical.height()) * devicePixelRatio));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace vk
