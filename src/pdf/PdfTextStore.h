#pragma once

#include "PdfTextFold.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace vk {

// Page texts of one document, extracted at most once each, shared between the
// worker that indexes the book and a search on the main thread. A page being
// extracted by one thread is waited for by the other instead of extracted twice:
// PDFium leaks memory on some repeated calls, and each extraction costs
// milliseconds under QtPdf's global lock.
class PdfTextStore
{
public:
    struct Page
    {
        QString text;
        FoldedText folded;
    };
    using PagePtr = std::shared_ptr<const Page>;
    using Extractor = std::function<QString(int page)>;

    void reset(int pageCount);

    // The cached page, or extracts it on the calling thread (or waits for the
    // thread already extracting it). Null for a page outside the document.
    PagePtr page(int index, const Extractor &extract);

    // Claims the first page nobody has extracted yet and extracts it. False when
    // every page is taken.
    bool extractNext(const Extractor &extract);

    // A page's text read elsewhere (by a helper process). Ignored for a page
    // already cached or being extracted here. Not counted as an extraction.
    void put(int index, const QString &text);

    // Every page's text at once, as a reopened book's earlier reading gives it.
    // Ignored unless it has one text per page and nothing is cached yet.
    void adopt(const QList<PagePtr> &pages);
    // Every page's text, once all are cached; empty before.
    QList<PagePtr> pages() const;

    int cachedCount() const;
    // The pages 0 to readPrefix() - 1 are all cached: a search over them finds
    // what a search of the whole book finds there.
    int readPrefix() const;
    bool isComplete() const;
    int extractionCount() const;

private:
    enum class Slot { Missing, Extracting, Ready };
    PagePtr store(int index, const QString &text);
    void markReady(int index, const PagePtr &page); // m_mutex held

    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    QList<Slot> m_states;
    QList<PagePtr> m_pages;
    int m_cached = 0;
    int m_extractions = 0;
    int m_nextMissing = 0;
    int m_prefix = 0;
};

} // namespace vk
