#pragma once

#include <QHash>
#include <QImage>
#include <QRect>
#include <QSet>
#include <QSize>

#include "PdfPageLayout.h"

namespace vk {

// One rendered image: a whole page at pageSize device pixels, or the tile clip
// of that page image. Tiles of another zoom or screen are other images.
struct PdfImageKey
{
    int page = -1;
    QSize pageSize;
    QRect clip; // null: the whole page
    bool isTile() const { return !clip.isNull(); }
    friend bool operator==(const PdfImageKey &, const PdfImageKey &) = default;
    friend size_t qHash(const PdfImageKey &k, size_t seed = 0)
    {
        return qHashMulti(seed, k.page, k.pageSize.width(), k.pageSize.height(), k.clip.x(),
                          k.clip.y(), k.clip.width(), k.clip.height());
    }
};

// Rendered images, bounded in bytes; the least recently used goes first. What is
// on screen is pinned and never evicted (whole images of the pinned pages, and
// the pinned tiles), so a view zoomed in beyond the budget does not evict and
// re-render its own visible images forever: only then may the cache exceed its
// bound. Tiles of a page are pinned one by one: a page rendered in tiles is
// larger than any budget, and scrolling over it must let the tiles behind go.
class PdfImageCache
{
public:
    explicit PdfImageCache(qint64 maxBytes) : m_budget(maxBytes) {}

    void insert(const PdfImageKey &key, const QImage &image);
    QImage find(const PdfImageKey &key); // null when absent
    QImage findAnySize(int page) const;  // the largest whole image of the page, or null
    bool contains(const PdfImageKey &key) const;
    void setPinned(const PageInterval &pages, const QSet<PdfImageKey> &tiles = {});
    void clear();

    qint64 bytes() const { return m_used; }
    qint64 maxBytes() const { return m_budget; }
    int count() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        QImage image;
        quint64 lastUse = 0;
    };
    bool isPinned(const PdfImageKey &key) const;
    void evictFor(qint64 incoming);

    QHash<PdfImageKey, Entry> m_entries;
    qint64 m_budget;
    qint64 m_used = 0;
    quint64 m_clock = 0;
    PageInterval m_pinnedPages;
    QSet<PdfImageKey> m_pinnedTiles;
};

} // namespace vk
