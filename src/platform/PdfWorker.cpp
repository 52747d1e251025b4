#include "PdfWorker.h"

#include <QSet>

namespace {
constexpr qsizetype boundsBatch = 8;
}

PdfWorker::PdfWorker(Jobs jobs)
    : jobs(std::move(jobs)), thread([this] { run(); })
{
}

PdfWorker::~PdfWorker()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
        renders.clear();
        boundsWanted.clear();
    }
    wake.notify_all();
    thread.join();
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
            return stopping || !boundsWanted.isEmpty() || !renders.isEmpty()
                || (indexing && !indexingPaused);
        });
        if (stopping)
            return;
        if (!renders.isEmpty()) {
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
