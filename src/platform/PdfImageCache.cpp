#include "PdfImageCache.h"

void PdfImageCache::insert(int page, const QImage &image)
{
    if (image.isNull())
        return;
    const Key key{page, image.size()};
    if (const auto it = entries.find(key); it != entries.end()) {
        used -= it->image.sizeInBytes();
        entries.erase(it);
    }
    evictFor(image.sizeInBytes());
    entries.insert(key, Entry{image, ++clock});
    used += image.sizeInBytes();
}

void PdfImageCache::evictFor(qint64 incoming)
{
    while (used + incoming > budget) {
        auto victim = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (pinned.contains(it.key().page))
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

QImage PdfImageCache::find(int page, const QSize &pixelSize)
{
    const auto it = entries.find(Key{page, pixelSize});
    if (it == entries.end())
        return {};
    it->lastUse = ++clock;
    return it->image;
}

QImage PdfImageCache::findAnySize(int page) const
{
    QImage best;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        if (it.key().page == page && it->image.width() > best.width())
            best = it->image;
    return best;
}

bool PdfImageCache::contains(int page, const QSize &pixelSize) const
{
    return entries.contains(Key{page, pixelSize});
}

void PdfImageCache::clear()
{
    entries.clear();
    used = 0;
}
