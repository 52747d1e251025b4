#include "PdfTextCache.h"

#include <QCryptographicHash>

namespace vk {

namespace {

qint64 memoryOf(const QList<PdfTextStore::PagePtr> &pages)
{
    qint64 total = 0;
    for (const PdfTextStore::PagePtr &page : pages) {
        total += qint64(sizeof(PdfTextStore::Page));
        if (!page)
            continue;
        total += (page->text.size() + page->folded.text.size()) * qint64(sizeof(QChar))
            + page->folded.origin.size() * qint64(sizeof(int));
    }
    return total;
}

} // namespace

PdfTextCache &PdfTextCache::session()
{
    static PdfTextCache cache;
    return cache;
}

QByteArray PdfTextCache::digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool PdfTextCache::mayHold(const QString &location, qint64 byteCount) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry &entry : m_entries)
        if (entry.location == location && entry.byteCount == byteCount)
            return true;
    return false;
}

QList<PdfTextStore::PagePtr> PdfTextCache::find(const QString &location, const QByteArray &digest)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->location == location && it->digest == digest) {
            m_entries.splice(m_entries.begin(), m_entries, it);
            return m_entries.front().pages;
        }
    }
    return {};
}

void PdfTextCache::put(const QString &location, const QByteArray &digest, qint64 byteCount,
                       const QList<PdfTextStore::PagePtr> &pages)
{
    const qint64 memory = memoryOf(pages);
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->location == location) {
            m_memory -= it->memory;
            m_entries.erase(it);
            break;
        }
    }
    if (pages.isEmpty() || memory > kMaxBytes)
        return;
    m_entries.push_front({location, digest, byteCount, memory, pages});
    m_memory += memory;
    while (int(m_entries.size()) > kMaxBooks || m_memory > kMaxBytes) {
        m_memory -= m_entries.back().memory;
        m_entries.pop_back();
    }
}

void PdfTextCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_memory = 0;
}

int PdfTextCache::bookCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

qint64 PdfTextCache::memoryUse() const
{
    std::lock_guard lock(m_mutex);
    return m_memory;
}

} // namespace vk
