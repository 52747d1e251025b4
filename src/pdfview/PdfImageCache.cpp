#include "PdfImageCache.h"

namespace vk {

void PdfImageCache::insert(const PdfImageKey &key, const QImage &image)
{
    if (image.isNull())
        return;
    if (const auto it = m_entries.find(key); it != m_entries.end()) {
        m_used -= it->image.sizeInBytes();
        m_entries.erase(it);
    }
    evictFor(image.sizeInBytes());
    m_entries.insert(key, Entry{image, ++m_clock});
    m_used += image.sizeInBytes();
}

bool PdfImageCache::isPinned(const PdfImageKey &key) const
{
    return key.isTile() ? m_pinnedTiles.contains(key) : m_pinnedPages.contains(key.page);
}

void PdfImageCache::evictFor(qint64 incoming)
{
    while (m_used + incoming > m_budget) {
        auto victim = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (isPinned(it.key()))
                continue;
            if (victim == m_entries.end() || it->lastUse < victim->lastUse)
                victim = it;
        }
        if (victim == m_entries.end())
            return;
        m_used -= victim->image.sizeInBytes();
        m_entries.erase(victim);
    }
}

QImage PdfImageCache::find(const PdfImageKey &key)
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return {};
    it->lastUse = ++m_clock;
    return it->image;
}

QImage PdfImageCache::findAnySize(int page) const
{
    QImage best;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        if (it.key().page == page && !it.key().isTile() && it->image.width() > best.width())
            best = it->image;
    return best;
}

bool PdfImageCache::contains(const PdfImageKey &key) const
{
    return m_entries.contains(key);
}

void PdfImageCache::setPinned(const PageInterval &pages, const QSet<PdfImageKey> &tiles)
{
    m_pinnedPages = pages;
    m_pinnedTiles = tiles;
}

void PdfImageCache::clear()
{
    m_entries.clear();
    m_used = 0;
}

} // namespace vk
