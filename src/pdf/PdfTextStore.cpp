#include "PdfTextStore.h"

namespace vk {

void PdfTextStore::reset(int pageCount)
{
    std::lock_guard lock(mutex);
    states = QList<Slot>(qMax(0, pageCount), Slot::Missing);
    pages = QList<PagePtr>(qMax(0, pageCount));
    cached = 0;
    extractions = 0;
    nextMissing = 0;
}

PdfTextStore::PagePtr PdfTextStore::page(int index, const Extractor &extract)
{
    {
        std::unique_lock lock(mutex);
        if (index < 0 || index >= states.size())
            return {};
        ready.wait(lock, [&] { return states.at(index) != Slot::Extracting; });
        if (states.at(index) == Slot::Ready)
            return pages.at(index);
        states[index] = Slot::Extracting;
    }
    return store(index, extract(index));
}

bool PdfTextStore::extractNext(const Extractor &extract)
{
    int index = -1;
    {
        std::lock_guard lock(mutex);
        while (nextMissing < states.size() && states.at(nextMissing) != Slot::Missing)
            ++nextMissing;
        if (nextMissing >= states.size())
            return false;
        index = nextMissing;
        states[index] = Slot::Extracting;
    }
    store(index, extract(index));
    return true;
}

void PdfTextStore::put(int index, const QString &text)
{
    auto page = std::make_shared<Page>(Page{text, foldCase(text)});
    {
        std::lock_guard lock(mutex);
        if (index < 0 || index >= states.size() || states.at(index) != Slot::Missing)
            return;
        states[index] = Slot::Ready;
        pages[index] = page;
        ++cached;
    }
    ready.notify_all();
}

PdfTextStore::PagePtr PdfTextStore::store(int index, const QString &text)
{
    auto page = std::make_shared<Page>(Page{text, foldCase(text)});
    {
        std::lock_guard lock(mutex);
        ++extractions;
        // A reset while extracting leaves nothing to fill.
        if (index < states.size() && states.at(index) == Slot::Extracting) {
            states[index] = Slot::Ready;
            pages[index] = page;
            ++cached;
        }
    }
    ready.notify_all();
    return page;
}

int PdfTextStore::cachedCount() const
{
    std::lock_guard lock(mutex);
    return cached;
}

bool PdfTextStore::isComplete() const
{
    std::lock_guard lock(mutex);
    return cached == states.size();
}

int PdfTextStore::extractionCount() const
{
    std::lock_guard lock(mutex);
    return extractions;
}

} // namespace vk
