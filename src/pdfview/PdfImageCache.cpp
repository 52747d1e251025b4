#include "PdfImageCache.h"

namespace vk {

void PdfImageCache::insert(const PdfImageKey &key, const QImage &image)
{
    if (image.isNull())
        return;
    if (const auto it = entries.find(key); it != entries.end()) {
        used -= it->image.sizeInBytes();
        entries.erase(it);
    }
    evictFor(image.sizeInBytes());
    entries.insert(key, Entry{image, ++clock});
    used += image.sizeInBytes();
}

bool PdfImageCache::isPinned(const PdfImageKey &key) const
{
    return key.isTile() ? pinnedTiles.contains(key) : pinnedPages.contains(key.page);
}

void PdfImageCache::evictFor(qint64 incoming)
{
    while (used + incoming > budget) {
        auto victim = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (isPinned(it.key()))
                continue;
            if (victim == entries.end() || it->lastUse < victim->lastUse)
                victim = it;
        }
        if (victim == entries.end())
            return;
        used -= victim->image.sizeInBytes();
        entries.erase(victim);
    }
}

QImage PdfImageCache::find(const PdfImageKey &key)
{
    const auto it = entries.find(key);
    if (it == entries.end())
        return {};
    it->lastUse = ++clock;
    return it->image;
}

QImage PdfImageCache::findAnySize(int page) const
{
    QImage best;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        if (it.key().page == page && !it.key().isTile() && it->image.width() > best.width())
            best = it->image;
    return best;
}

bool PdfImageCache::contains(const PdfImageKey &key) const
{
    return entries.contains(key);
}

void PdfImageCache::setPinned(const PageSpan &pages, const QSet<PdfImageKey> &tiles)
{
    pinnedPages = pages;
    pinnedTiles = tiles;
}

void PdfImageCache::clear()
{
    entries.clear();
    used = 0;
}

} // namespace vk
