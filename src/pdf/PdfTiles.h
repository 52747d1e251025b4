#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace vk {

// How large one rendered image may be, and how a page larger than that at the
// chosen zoom is cut into tiles. Sizes are in device pixels of the whole page
// as shown; a tile is a rectangle of that page image.
//
// A 200 inch page at zoom 4 is 57,600 pixels square: as one image it would take
// 13 GB. Past the limit only the tiles in view are rendered, each small enough
// to render in a few tens of milliseconds and to keep a screenful in the cache.

// Rendered pages are 32-bit ARGB.
inline constexpr int kBytesPerPixel = 4;
// 256 MB an image.
inline constexpr qint64 kMaxImagePixels = 64'000'000;
// 4 MiB a tile.
inline constexpr int kTileEdge = 1024;

qint64 pixelCount(const QSize &size);

// True when a page of pagePixels must not be rendered as one image.
bool needsTiles(const QSize &pagePixels);

// The tiles of the fixed kTileEdge grid that meet visible (a rectangle in the
// page image's pixels), cut at the page's edges, left to right, top to bottom.
QList<QRect> tilesCovering(const QSize &pagePixels, const QRect &visible);

// The device pixels that a rectangle of logical pixels covers at devicePixelRatio,
// rounded outwards so that no partly covered pixel is left out.
QRect toDevicePixels(const QRect &logical, double devicePixelRatio);

} // namespace vk
