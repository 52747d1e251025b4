#pragma once

#include "PdfRenderQueue.h"
#include "PdfSelection.h"

#include <QList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vk {

// The one thread a document uses for PDFium work: chores such as loading the
// book first, then page renders, then bounds of selections in small batches
// (each costs PDFium a page load, and a search for one letter can put hundreds
// on a page), and the book's text in whatever time is left. Knows nothing of
// PDF: the document hands it the jobs.
class PdfWorker
{
public:
    struct Jobs
    {
        std::function<void(const PdfRenderRequest &)> render;
        std::function<void(const QList<PdfSelection> &)> bounds;
        std::function<bool()> indexNext; // false once no page is left to extract
    };

    explicit PdfWorker(Jobs jobs);
    ~PdfWorker(); // cancels what is pending and waits for the running job

    // Cancels what is pending and returns at once; the thread finishes its
    // running job, then calls lastly and ends. Closing a large book costs PDFium
    // a hundred milliseconds or more, which lastly spends here instead of on the
    // caller's thread. With no application whose end could wait for the
    // thread, all of that happens on the calling thread.
    static void retire(std::unique_ptr<PdfWorker> worker, std::function<void()> lastly);
    // A book loaded in the background has shown its first page and read its
    // whole text, or failed to open: books retired before it may close now.
    static void bookSettled();

    // Runs before any other job, in the order posted.
    void post(std::function<void()> chore);

    void setRenderRequests(quintptr client, const QList<PdfRenderRequest> &wanted);
    // Newest first: the selection just made current goes before older highlights.
    void requestBounds(const QList<PdfSelection> &selections);
    void startIndexing();
    // While a search on another thread extracts pages itself, the worker stops
    // taking pages, so the two do not queue for PDFium's lock page by page.
    void setIndexingPaused(bool paused);

private:
    void run();

    Jobs m_jobs;
    std::mutex m_mutex;
    QList<std::function<void()>> m_chores;
    std::function<void()> m_lastly; // set when retired
    quint64 m_openingsAtRetirement = 0;
    std::condition_variable m_wake;
    PdfRenderQueue m_renders;
    QList<PdfSelection> m_boundsWanted;
    bool m_indexing = false;
    bool m_indexingPaused = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace vk
