#include "PdfTextStore.h"

namespace vk {

void PdfTextStore::reset(int pageCount)
{
    std::lock_guard lock(m_mutex);
    m_states = QList<Slot>(qMax(0, pageCount), Slot::Missing);
    m_pages = QList<PagePtr>(qMax(0, pageCount));
    m_cached = 0;
    m_extractions = 0;
    m_nextMissing = 0;
    m_prefix = 0;
}

void PdfTextStore::adopt(const QList<PagePtr> &pages)
{
    {
        std::lock_guard lock(m_mutex);
        if (pages.size() != m_states.size() || m_cached != 0 || m_states.contains(Slot::Extracting))
            return;
        for (int i = 0; i < pages.size(); ++i)
            markReady(i, pages.at(i));
    }
    m_ready.notify_all();
}

QList<PdfTextStore::PagePtr> PdfTextStore::pages() const
{
    std::lock_guard lock(m_mutex);
    return m_cached == m_states.size() ? m_pages : QList<PagePtr>();
}

void PdfTextStore::markReady(int index, const PagePtr &page)
{
    m_states[index] = Slot::Ready;
    m_pages[index] = page;
    ++m_cached;
    while (m_prefix < m_states.size() && m_states.at(m_prefix) == Slot::Ready)
        ++m_prefix;
}

PdfTextStore::PagePtr PdfTextStore::page(int index, const Extractor &extract)
{
    {
        std::unique_lock lock(m_mutex);
        if (index < 0 || index >= m_states.size())
            return {};
        m_ready.wait(lock, [&] { return m_states.at(index) != Slot::Extracting; });
        if (m_states.at(index) == Slot::Ready)
            return m_pages.at(index);
        m_states[index] = Slot::Extracting;
    }
    return store(index, extract(index));
}

bool PdfTextStore::extractNext(const Extractor &extract)
{
    int index = -1;
    {
        std::lock_guard lock(m_mutex);
        while (m_nextMissing < m_states.size() && m_states.at(m_nextMissing) != Slot::Missing)
            ++m_nextMissing;
        if (m_nextMissing >= m_states.size())
            return false;
        index = m_nextMissing;
        m_states[index] = Slot::Extracting;
    }
    store(index, extract(index));
    return true;
}

void PdfTextStore::put(int index, const QString &text)
{
    auto page = std::make_shared<Page>(Page{text, foldCase(text)});
    {
        std::lock_guard lock(m_mutex);
        if (index < 0 || index >= m_states.size() || m_states.at(index) != Slot::Missing)
            return;
        markReady(index, page);
    }
    m_ready.notify_all();
}

PdfTextStore::PagePtr PdfTextStore::store(int index, const QString &text)
{
    auto page = std::make_shared<Page>(Page{text, foldCase(text)});
    {
        std::lock_guard lock(m_mutex);
        ++m_extractions;
        // A reset while extracting leaves nothing to fill.
        if (index < m_states.size() && m_states.at(index) == Slot::Extracting)
            markReady(index, page);
    }
    m_ready.notify_all();
    return page;
}

int PdfTextStore::cachedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_cached;
}

int PdfTextStore::readPrefix() const
{
    std::lock_guard lock(m_mutex);
    return m_prefix;
}

bool PdfTextStore::isComplete() const
{
    std::lock_guard lock(m_mutex);
    return m_cached == m_states.size();
}

int PdfTextStore::extractionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_extractions;
}

} // namespace vk
