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
        m_states[index] = Slot::Ready;
        m_pages[index] = page;
        ++m_cached;
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
        if (index < m_states.size() && m_states.at(index) == Slot::Extracting) {
            m_states[index] = Slot::Ready;
            m_pages[index] = page;
            ++m_cached;
        }
    }
    m_ready.notify_all();
    return page;
}

int PdfTextStore::cachedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_cached;
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
