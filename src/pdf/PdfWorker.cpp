#include "PdfWorker.h"

#include <QCoreApplication>
#include <QSet>

namespace vk {

namespace {

constexpr qsizetype boundsBatch = 8;

// Retired workers still closing their books. The application's end waits for
// them: PDFium must not be torn down under a thread that is still using it.
struct Retirements
{
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
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
    r.done.wait(lock, [&r] { return r.running == 0; });
}

} // namespace

PdfWorker::PdfWorker(Jobs jobs)
    : jobs(std::move(jobs))
{
    thread = std::thread([this] {
        run();
        std::unique_lock lock(mutex);
        if (!lastly)
            return; // the destructor joins
        std::function<void()> last = std::move(lastly);
        lock.unlock();
        delete this;
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
    {
        std::lock_guard lock(retirements().mutex);
        ++retirements().running;
    }
    PdfWorker *w = worker.release();
    // Detached before it is told to stop, so the thread never deletes an object
    // whose thread is still joinable.
    w->thread.detach();
    std::lock_guard lock(w->mutex);
    w->stopping = true;
    w->lastly = lastly ? std::move(lastly) : [] {};
    w->chores.clear();
    w->renders.clear();
    w->boundsWanted.clear();
    w->wake.notify_all();
}

PdfWorker::~PdfWorker()
{
    if (!thread.joinable())
        return; // retired: its own thread is deleting it
    {
        std::lock_guard lock(mutex);
        stopping = true;
        chores.clear();
        renders.clear();
        boundsWanted.clear();
    }
    wake.notify_all();
    thread.join();
}

void PdfWorker::post(std::function<void()> chore)
{
    {
        std::lock_guard lock(mutex);
        chores.append(std::move(chore));
    }
    wake.notify_all();
}

void PdfWorker::setRenderRequests(quintptr client, const QList<PdfRenderRequest> &wanted)
{
    {
        std::lock_guard lock(mutex);
        renders.replace(client, wanted);
    }
    wake.notify_all();
}

void PdfWorker::requestBounds(const QList<PdfSelection> &selections)
{
    {
        std::lock_guard lock(mutex);
        QList<PdfSelection> fresh;
        QSet<PdfSelection> seen;
        for (const PdfSelection &s : selections)
            if (!seen.contains(s)) {
                seen.insert(s);
                fresh.append(s);
            }
        boundsWanted.removeIf([&](const PdfSelection &s) { return seen.contains(s); });
        boundsWanted = fresh + boundsWanted;
    }
    wake.notify_all();
}

void PdfWorker::startIndexing()
{
    {
        std::lock_guard lock(mutex);
        indexing = true;
    }
    wake.notify_all();
}

void PdfWorker::setIndexingPaused(bool paused)
{
    {
        std::lock_guard lock(mutex);
        indexingPaused = paused;
    }
    wake.notify_all();
}

void PdfWorker::run()
{
    for (;;) {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] {
            return stopping || !chores.isEmpty() || !boundsWanted.isEmpty()
                || !renders.isEmpty() || (indexing && !indexingPaused);
        });
        if (stopping)
            return;
        if (!chores.isEmpty()) {
            const std::function<void()> chore = chores.takeFirst();
            lock.unlock();
            chore();
        } else if (!renders.isEmpty()) {
            const PdfRenderRequest request = renders.takeNext();
            lock.unlock();
            jobs.render(request);
            lock.lock();
            renders.finishRunning();
        } else if (!boundsWanted.isEmpty()) {
            const QList<PdfSelection> batch = boundsWanted.first(qMin(boundsBatch, boundsWanted.size()));
            boundsWanted.remove(0, batch.size());
            lock.unlock();
            jobs.bounds(batch);
        } else {
            lock.unlock();
            const bool more = jobs.indexNext();
            lock.lock();
            if (!more)
                indexing = false;
        }
    }
}

} // namespace vk
