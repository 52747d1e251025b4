#include "PdfDocument.h"

#include "Log.h"
#include "PdfBook.h"
#include "PdfTextHelpers.h"
#include "PdfWorker.h"

#include <QThread>

#include <malloc.h>

#include <mutex>

namespace {

// Progress reaches the GUI at most this often, in pages.
constexpr int progressStep = 16;
// Pages measured per worker turn, so that renders asked meanwhile wait little.
constexpr int measureStep = 32;
// Smaller books are read on the worker in a second or less; starting helper
// processes would not pay.
constexpr int helperMinimumPages = 64;

} // namespace

struct PdfDocument::Private : PdfBook
{
    // The PdfDocument's own thread only.
    State state = State::Empty;
    int pages = 0;
    quint64 generation = 0;
    QList<QSizeF> pageSizes;
    bool sizesMeasured = false;
    bool indexReported = false;
    QList<PdfPageRecord> earlyPages;

    // The object signals go to; null once it is gone, so a worker finishing a
    // job after that reports to nobody.
    std::mutex frontMutex;
    PdfDocument *front = nullptr;

    template<typename Report>
    void toFront(Report report)
    {
        std::lock_guard lock(frontMutex);
        if (front)
            report(front);
    }
};

PdfDocument::PdfDocument(QObject *parent)
    : QObject(parent), d(std::make_shared<Private>())
{
    d->front = this;
}

PdfDocument::~PdfDocument()
{
    {
        std::lock_guard lock(d->frontMutex);
        d->front = nullptr;
    }
    if (!worker)
        return; // nothing was opened that a close could take long over
    PdfWorker::retire(std::move(worker), [book = std::move(d)]() mutable {
        book.reset();
        // PDFium's caches of a large book take hundreds of megabytes, spread
        // over the heaps of the threads that used it; give the freed pages
        // back, so that the next book starts from the same footprint.
        malloc_trim(0);
    });
}

bool PdfDocument::loadHere(const std::function<void(PdfBook &)> &open)
{
    // What still reads the old book stops first: a load must not overlap it.
    dropHelpers();
    worker.reset();
    open(*d);
    return finishLoad(d->settle(++d->generation));
}

bool PdfDocument::load(const QByteArray &bytes)
{
    return loadHere([&](PdfBook &book) { book.loadBytes(bytes); });
}

bool PdfDocument::load(const QString &filePath)
{
    return loadHere([&](PdfBook &book) { book.loadFile(filePath); });
}

void PdfDocument::loadInBackground(const QByteArray &bytes, const QString &password)
{
    dropHelpers();
    worker.reset();
    const quint64 generation = ++d->generation;
    finishLoad(PdfLoadResult{});
    startWorker();
    worker->post([book = d.get(), bytes, password, generation] {
        book->loadBytes(bytes);
        if (!password.isEmpty() && book->loadState() == State::Locked)
            book->reloadWithPassword(password);
        const PdfLoadResult result = book->settle(generation);
        book->toFront([&](PdfDocument *q) {
            QMetaObject::invokeMethod(q, [q, result, generation] {
                if (generation != q->d->generation)
                    return;
                q->finishLoad(result);
                Q_EMIT q->loaded();
            }, Qt::QueuedConnection);
        });
    });
    // Started before the book is parsed here: they parse it themselves, and a
    // book that turns out small or locked costs only their start.
    if (!bytes.isEmpty())
        startHelpers(bytes, password, PdfTextHelpers::unknownPageCount);
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (d->state != State::Locked)
        return d->state == State::Ready;
    return loadHere([&](PdfBook &book) { book.reloadWithPassword(password); });
}

bool PdfDocument::finishLoad(const PdfLoadResult &result)
{
    const bool helped = result.state == State::Ready && result.pages >= helperMinimumPages;
    if (!helped)
        dropHelpers();
    d->state = result.state;
    d->pages = result.pages;
    d->pageSizes = QList<QSizeF>(result.pages, result.firstPageSize);
    d->sizesMeasured = result.pages <= 1;
    d->indexReported = false;
    if (d->state == State::Unreadable)
        logLine(QStringLiteral("PDF could not be read (QPdfDocument error %1)").arg(result.error));
    if (d->state != State::Ready)
        return false;
    if (!worker)
        startWorker();
    if (helped && helpers) {
        for (const PdfPageRecord &record : std::exchange(d->earlyPages, {}))
            takeHelperPage(record);
        helpers->setPageCount(d->pages);
    } else if (helped && !d->pdfBytes().isEmpty()) {
        startHelpers(d->pdfBytes(), d->password(), d->pages);
    } else {
        worker->startIndexing();
    }
    return true;
}

void PdfDocument::dropHelpers()
{
    d->earlyPages.clear();
    if (!helpers)
        return;
    // This may run while the helpers are handing over a page, so the object
    // goes at the next turn of the event loop; its processes go now.
    helpers->stop();
    helpers.release()->deleteLater();
}

void PdfDocument::startHelpers(const QByteArray &bytes, const QString &password, int pageCount)
{
    d->earlyPages.clear();
    helpers = std::make_unique<PdfTextHelpers>();
    connect(helpers.get(), &PdfTextHelpers::pageRead, this, &PdfDocument::takeHelperPage);
    connect(helpers.get(), &PdfTextHelpers::finished, this, &PdfDocument::helpersFinished);
    helpers->start(bytes, password, pageCount, qBound(1, QThread::idealThreadCount(), 2));
}

void PdfDocument::takeHelperPage(const PdfPageRecord &record)
{
    // Pages that arrive while this process still parses the book wait for it.
    if (d->state != State::Ready) {
        d->earlyPages.append(record);
        return;
    }
    if (record.page >= d->pages)
        return;
    d->texts.put(record.page, record.text);
    const int done = d->texts.cachedCount();
    if (done % progressStep == 0 || done == d->pages)
        reportIndexProgress();
}

void PdfDocument::helpersFinished(bool complete)
{
    if (!complete)
        logLine(QStringLiteral("reading the rest of the book's text in this process"));
    // Page sizes are measured here either way, after the text: measuring them
    // alongside would cost the helpers a fifth of their time.
    worker->startIndexing();
}

void PdfDocument::startWorker()
{
    Private *book = d.get();
    PdfWorker::Jobs jobs;
    jobs.render = [book](const PdfRenderRequest &request) {
        const QImage image = book->render(request.page, request.pixelSize, request.clip);
        book->toFront([&](PdfDocument *q) {
            Q_EMIT q->pageRendered(request, image);
        });
    };
    jobs.bounds = [book](const QList<PdfSelection> &selections) {
        for (const PdfSelection &s : selections)
            book->selectionBounds(s);
        book->toFront([](PdfDocument *q) { Q_EMIT q->selectionBoundsReady(); });
    };
    jobs.indexNext = [book] {
        if (!book->measuring.isEmpty() && book->measuring.size() < book->loadedPages) {
            book->measureNextSizes(measureStep);
            if (book->measuring.size() == book->loadedPages)
                book->toFront([book](PdfDocument *q) {
                    QMetaObject::invokeMethod(q, [q, generation = book->loadedGeneration,
                                                  sizes = book->measuring] {
                        q->applyMeasuredSizes(generation, sizes);
                    }, Qt::QueuedConnection);
                });
            return true;
        }
        const bool extracted = book->texts.extractNext([book](int p) { return book->extractText(p); });
        const int done = book->texts.cachedCount();
        if (!extracted || done % progressStep == 0 || done == book->loadedPages)
            book->toFront([](PdfDocument *q) {
                QMetaObject::invokeMethod(q, &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
            });
        return extracted;
    };
    worker = std::make_unique<PdfWorker>(std::move(jobs));
}

void PdfDocument::applyMeasuredSizes(quint64 generation, const QList<QSizeF> &sizes)
{
    if (generation != d->generation)
        return;
    d->sizesMeasured = true;
    if (sizes == d->pageSizes)
        return;
    d->pageSizes = sizes;
    Q_EMIT pageSizesChanged();
}

bool PdfDocument::arePageSizesMeasured() const
{
    return d->sizesMeasured;
}

void PdfDocument::reportIndexProgress()
{
    if (d->state != State::Ready || d->indexReported)
        return;
    const int done = d->texts.cachedCount();
    Q_EMIT textIndexProgress(done, pageCount());
    if (done == pageCount()) {
        d->indexReported = true;
        Q_EMIT textIndexed();
    }
}

PdfDocument::State PdfDocument::state() const
{
    return d->state;
}

quint64 PdfDocument::id() const
{
    return d->id;
}

int PdfDocument::pageCount() const
{
    return d->pages;
}

QSizeF PdfDocument::pageSize(int page) const
{
    if (page < 0 || page >= d->pageSizes.size())
        return {};
    return d->pageSizes.at(page);
}

QString PdfDocument::pageText(int page) const
{
    return d->state == State::Ready ? d->pageText(page) : QString();
}

bool PdfDocument::isTextIndexed() const
{
    return d->state == State::Ready && d->texts.isComplete();
}

int PdfDocument::textExtractionCount() const
{
    return d->texts.extractionCount();
}

QList<PdfSelection> PdfDocument::findString(const QString &pattern) const
{
    QList<PdfSelection> found;
    const FoldedText folded = foldCase(pattern);
    if (folded.text.isEmpty() || d->state != State::Ready)
        return found;
    const bool wasIndexed = d->texts.isComplete();
    if (!wasIndexed && worker)
        worker->setIndexingPaused(true);
    const auto extract = [this](int p) { return d->extractText(p); };
    for (int page = 0; page < pageCount(); ++page) {
        const auto text = d->texts.page(page, extract);
        for (const TextMatch &m : findFolded(text->folded, folded.text))
            found.append({d->id, page, m.start, m.length});
    }
    if (!wasIndexed) {
        if (worker)
            worker->setIndexingPaused(false);
        QMetaObject::invokeMethod(const_cast<PdfDocument *>(this),
                                  &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
    }
    return found;
}

std::optional<QList<QRectF>> PdfDocument::cachedSelectionBounds(const PdfSelection &selection) const
{
    if (d->state != State::Ready)
        return QList<QRectF>();
    return d->cachedBounds(selection);
}

QList<QRectF> PdfDocument::selectionBounds(const PdfSelection &selection) const
{
    return d->state == State::Ready ? d->selectionBounds(selection) : QList<QRectF>();
}

void PdfDocument::requestSelectionBounds(const QList<PdfSelection> &selections) const
{
    if (worker && !selections.isEmpty())
        worker->requestBounds(selections);
}

QImage PdfDocument::renderPage(int page, const QSize &pixelSize, const QRect &clip) const
{
    return d->state == State::Ready ? d->render(page, pixelSize, clip) : QImage();
}

void PdfDocument::requestRenders(quintptr client, const QList<PdfRenderRequest> &wanted) const
{
    if (worker)
        worker->setRenderRequests(client, wanted);
}
