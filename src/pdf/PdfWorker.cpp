#include "PdfWorker.h"

#include <QCoreApplication>
#include <QSet>

#include <chrono>

namespace vk {

namespace {

constexpr qsizetype kBoundsBatch = 8;

// A retired book waits this long at most for the book opened after it: time
// for a book of a few thousand pages to read its text on two cores.
constexpr auto kCloseDelay = std::chrono::seconds(10);

// Retired workers still closing their books. The application's end waits for
// them: PDFium must not be torn down under a thread that is still using it.
struct Retirements
{
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
    std::condition_variable opened;
    quint64 openings = 0; // books settled since the process started
    bool ending = false;
};

Retirements &retirements()
{
    static auto *shared = new Retirements; // outlives every thread that may use it
    return *shared;
}

void waitForRetirements()
{
    Retirements &r = retirements();
    std::unique_lock lock(r.mutex);
    r.ending = true;
    r.opened.notify_all();
    r.done.wait(lock, [&r] { return r.running == 0; });
}

// Closing a large book holds QtPdf's one lock for 0.2 to 0.4 s and then hands
// its memory back to the system for up to 1.7 s more: done while the next book
// loads, it doubled that book's time to its first page (source2e.pdf opened
// after source3.pdf: 580 ms). Done right after that first page, it held up
// the first search's match on source2e.pdf's page 3 (250-380 ms against
// 150-200 ms) and took a core from the text helpers. So a retired book waits
// until the book opened after it has settled, or for kCloseDelay.
void waitForNextOpening(quint64 openingsAtRetirement)
{
    Retirements &r = retirements();
    std::unique_lock lock(r.mutex);
    r.opened.wait_for(lock, kCloseDelay, [&] { return r.ending || r.openings != openingsAtRetirement; });
}

} // namespace

PdfWorker::PdfWorker(Jobs jobs)
    : m_jobs(std::move(jobs))
{
    m_thread = std::thread([this] {
        run();
        std::unique_lock lock(m_mutex);
        if (!m_lastly)
            return; // the destructor joins
        std::function<void()> last = std::move(m_lastly);
        const quint64 openings = m_openingsAtRetirement;
        lock.unlock();
        delete this;
        waitForNextOpening(openings);
        last();
        Retirements &r = retirements();
        std::lock_guard doneLock(r.mutex);
        --r.running;
        r.done.notify_all();
    });
}

void PdfWorker::retire(std::unique_ptr<PdfWorker> worker, std::function<void()> lastly)
{
    if (!QCoreApplication::instance()) {
        worker.reset();
        lastly();
        return;
    }
    static std::once_flag waitAtEnd;
    std::call_once(waitAtEnd, [] { qAddPostRoutine(waitForRetirements); });
    quint64 openings = 0;
    {
        std::lock_guard lock(retirements().mutex);
        ++retirements().running;
        openings = retirements().openings;
    }
    PdfWorker *w = worker.release();
    // Detached before it is told to stop, so the thread never deletes an object
    // whose thread is still joinable.
    w->m_thread.detach();
    std::lock_guard lock(w->m_mutex);
    w->m_stopping = true;
    w->m_lastly = lastly ? std::move(lastly) : [] {};
    w->m_openingsAtRetirement = openings;
    w->m_chores.clear();
    w->m_renders.clear();
    w->m_boundsWanted.clear();
    w->m_wake.notify_all();
}

void PdfWorker::bookSettled()
{
    Retirements &r = retirements();
    {
        std::lock_guard lock(r.mutex);
        ++r.openings;
    }
    r.opened.notify_all();
}

PdfWorker::~PdfWorker()
{
    if (!m_thread.joinable())
        return; // retired: its own thread is deleting it
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_chores.clear();
        m_renders.clear();
        m_boundsWanted.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void PdfWorker::post(std::function<void()> chore)
{
    {
        std::lock_guard lock(m_mutex);
        m_chores.append(std::move(chore));
    }
    m_wake.notify_all();
}

void PdfWorker::setRenderRequests(quintptr client, const QList<PdfRenderRequest> &wanted)
{
    {
        std::lock_guard lock(m_mutex);
        m_renders.replace(client, wanted);
    }
    m_wake.notify_all();
}

void PdfWorker::requestBounds(const QList<PdfSelection> &selections)
{
    {
        std::lock_guard lock(m_mutex);
        QList<PdfSelection> fresh;
        QSet<PdfSelection> seen;
        for (const PdfSelection &s : selections)
            if (!seen.contains(s)) {
                seen.insert(s);
                fresh.append(s);
            }
        m_boundsWanted.removeIf([&](const PdfSelection &s) { return seen.contains(s); });
        m_boundsWanted = fresh + m_boundsWanted;
    }
    m_wake.notify_all();
}

void PdfWorker::startIndexing()
{
    {
        std::lock_guard lock(m_mutex);
        m_indexing = true;
    }
    m_wake.notify_all();
}

void PdfWorker::setIndexingPaused(bool paused)
{
    {
        std::lock_guard lock(m_mutex);
        m_indexingPaused = paused;
    }
    m_wake.notify_all();
}

void PdfWorker::run()
{
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] {
            return m_stopping || !m_chores.isEmpty() || !m_boundsWanted.isEmpty()
                || !m_renders.isEmpty() || (m_indexing && !m_indexingPaused);
        });
        if (m_stopping)
            return;
        if (!m_chores.isEmpty()) {
            const std::function<void()> chore = m_chores.takeFirst();
            lock.unlock();
            chore();
        } else if (!m_renders.isEmpty()) {
            const PdfRenderRequest request = m_renders.takeNext();
            lock.unlock();
            m_jobs.render(request);
            lock.lock();
            m_renders.finishRunning();
        } else if (!m_boundsWanted.isEmpty()) {
            const QList<PdfSelection> batch =
                m_boundsWanted.first(qMin(kBoundsBatch, m_boundsWanted.size()));
            m_boundsWanted.remove(0, batch.size());
            lock.unlock();
            m_jobs.bounds(batch);
        } else {
            lock.unlock();
            const bool more = m_jobs.indexNext();
            lock.lock();
            if (!more)
                m_indexing = false;
        }
    }
}

} // namespace vk
