#pragma once

#include <QHash>
#include <QImage>
#include <QSize>

#include "PdfPageLayout.h"

// Rendered pages by (page, pixel size), bounded in bytes; the least recently used
// image goes first. Pages of the pinned range (those on screen) are never evicted,
// so a view zoomed in beyond the budget does not evict and re-render its own
// visible pages forever: only then may the cache exceed its bound.
class PdfImageCache
{
public:
    explicit PdfImageCache(qint64 maxBytes) : budget(maxBytes) {}

    void insert(int page, const QImage &image);
    QImage find(int page, const QSize &pixelSize); // null when absent
    QImage findAnySize(int page) const;            // the largest cached size, or null
    bool contains(int page, const QSize &pixelSize) const;
    void setPinned(const PageRange &range) { pinned = range; }
    void clear();

    qint64 bytes() const { return used; }
    qint64 maxBytes() const { return budget; }
    int count() const { return int(entries.size()); }

private:
    struct Key
    {
        int page;
        QSize size;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &k, size_t seed = 0)
        {
            return qHashMulti(seed, k.page, k.size.width(), k.size.height());
        }
    };
    struct Entry
    {
        QImage image;
        quint64 lastUse = 0;
    };
    void evictFor(qint64 incoming);

    QHash<Key, Entry> entries;
    qint64 budget;
    qint64 used = 0;
    quint64 clock = 0;
    PageRange pinned;
};
