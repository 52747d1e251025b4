#include "PdfDocument.h"

#include "Log.h"
#include "PdfTextStore.h"
#include "PdfWorker.h"

#include <QBuffer>
#include <QHash>
#include <QPdfDocument>
#include <QPdfSelection>

#include <malloc.h>

#include <atomic>
#include <mutex>

namespace {

std::atomic<quint64> nextDocumentId{1};

// Progress reaches the GUI at most this often, in pages.
constexpr int progressStep = 16;
// Pages measured per worker turn, so that renders asked meanwhile wait little.
constexpr int measureStep = 32;

} // namespace

static PdfDocument::State stateOf(const QPdfDocument &pdf)
{
    if (pdf.status() == QPdfDocument::Status::Ready)
        return PdfDocument::State::Ready;
    if (pdf.error() == QPdfDocument::Error::IncorrectPassword)
        return PdfDocument::State::Locked;
    return PdfDocument::State::Unreadable;
}

// What a load found out, handed from the thread that loaded to the main thread.
struct PdfDocument::Loaded
{
    State state = State::Empty;
    int error = 0;
    int pages = 0;
    QSizeF firstPageSize;
};

// The PDFium side of a document. Fields marked "main thread" belong to the
// PdfDocument's thread; the rest is set by whichever thread loads and then read
// by the worker.
struct PdfDocument::Private
{
    const quint64 id = nextDocumentId.fetch_add(1);
    // Held while the book is (re)loaded, so a load never overlaps another.
    std::mutex loadMutex;
    // Made by the first load, on the thread that loads: making one takes QtPdf's
    // global lock, which another book being closed may hold for a while.
    std::unique_ptr<QPdfDocument> pdf;
    QByteArray bytes;
    QBuffer buffer;
    QString filePath;
    int loadedPages = 0;
    quint64 loadedGeneration = 0;
    QList<QSizeF> measuring; // worker thread
    PdfTextStore texts;

    mutable std::mutex boundsMutex;
    QHash<PdfSelection, QList<QRectF>> bounds;

    State state = State::Empty;    // main thread
    int pages = 0;                 // main thread
    quint64 generation = 0;        // main thread
    QList<QSizeF> pageSizes;       // main thread
    bool sizesMeasured = false;    // main thread
    bool indexReported = false;    // main thread

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

    QString extractText(int page) { return pdf->getAllText(page).text(); }

    void closeOrCreate()
    {
        if (pdf)
            pdf->close();
        else
            pdf = std::make_unique<QPdfDocument>();
    }

    void loadBytes(const QByteArray &data)
    {
        closeOrCreate();
        buffer.close();
        filePath.clear();
        bytes = data;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        pdf->load(&buffer);
    }

    void loadFile(const QString &path)
    {
        closeOrCreate();
        buffer.close();
        bytes.clear();
        filePath = path;
        pdf->load(path);
    }

    void reloadWithPassword(const QString &password)
    {
        // load() clears the password, so it has to be set between close() and load().
        pdf->close();
        pdf->setPassword(password);
        if (filePath.isEmpty()) {
            buffer.seek(0);
            pdf->load(&buffer);
        } else {
            pdf->load(filePath);
        }
    }

    // The calls below run on the worker or the main thread, for a loaded book.
    QString pageText(int page)
    {
        const auto cached = texts.page(page, [this](int p) { return extractText(p); });
        return cached ? cached->text : QString();
    }

    std::optional<QList<QRectF>> cachedBounds(const PdfSelection &selection) const
    {
        if (selection.documentId != id || !selection.isValid() || selection.page >= loadedPages)
            return QList<QRectF>();
        std::lock_guard lock(boundsMutex);
        const auto it = bounds.constFind(selection);
        if (it == bounds.cend())
            return std::nullopt;
        return *it;
    }

    QList<QRectF> selectionBounds(const PdfSelection &selection)
    {
        if (const auto cached = cachedBounds(selection))
            return *cached;
        const int textLength = int(pageText(selection.page).size());
        QList<QRectF> rects;
        // Never ask PDFium for a start past the page text: it leaks the page.
        if (selection.start < textLength) {
            const int length = qMin(selection.length, textLength - selection.start);
            const QPdfSelection s = pdf->getSelectionAtIndex(selection.page, selection.start, length);
            for (const QPolygonF &polygon : s.bounds())
                rects.append(polygon.boundingRect());
        }
        std::lock_guard lock(boundsMutex);
        bounds.insert(selection, rects);
        return rects;
    }

    QImage render(int page, const QSize &pixelSize)
    {
        if (page < 0 || page >= loadedPages || pixelSize.isEmpty())
            return {};
        return pdf->render(page, pixelSize);
    }

    // Resets what the worker reads for the book just loaded.
    Loaded settle(quint64 generation)
    {
        Loaded result;
        result.state = stateOf(*pdf);
        result.error = int(pdf->error());
        if (result.state == State::Ready) {
            result.pages = pdf->pageCount();
            if (result.pages > 0)
                result.firstPageSize = pdf->pagePointSize(0);
        }
        loadedPages = result.pages;
        loadedGeneration = generation;
        measuring.clear();
        if (result.pages > 1)
            measuring.append(result.firstPageSize);
        texts.reset(result.pages);
        std::lock_guard lock(boundsMutex);
        bounds.clear();
        return result;
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
    PdfWorker::retire(std::move(worker), [book = std::move(d)]() mutable {
        book.reset();
        // PDFium's caches of a large book take hundreds of megabytes, spread
        // over the heaps of the threads that used it; give the freed pages
        // back, so that the next book starts from the same footprint.
        malloc_trim(0);
    });
}

bool PdfDocument::load(const QByteArray &bytes)
{
    worker.reset();
    std::lock_guard lock(d->loadMutex);
    d->loadBytes(bytes);
    return finishLoad(d->settle(++d->generation));
}

bool PdfDocument::load(const QString &filePath)
{
    worker.reset();
    std::lock_guard lock(d->loadMutex);
    d->loadFile(filePath);
    return finishLoad(d->settle(++d->generation));
}

void PdfDocument::loadInBackground(const QByteArray &bytes, const QString &password)
{
    worker.reset();
    const quint64 generation = ++d->generation;
    finishLoad(Loaded{});
    startWorker();
    worker->post([book = d.get(), bytes, password, generation] {
        std::unique_lock lock(book->loadMutex);
        book->loadBytes(bytes);
        if (!password.isEmpty() && stateOf(*book->pdf) == State::Locked)
            book->reloadWithPassword(password);
        const Loaded result = book->settle(generation);
        lock.unlock();
        book->toFront([&](PdfDocument *q) {
            QMetaObject::invokeMethod(q, [q, result, generation] {
                if (generation != q->d->generation)
                    return;
                q->finishLoad(result);
                Q_EMIT q->loaded();
            }, Qt::QueuedConnection);
        });
    });
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (d->state != State::Locked)
        return d->state == State::Ready;
    worker.reset();
    std::lock_guard lock(d->loadMutex);
    d->reloadWithPassword(password);
    return finishLoad(d->settle(++d->generation));
}

bool PdfDocument::finishLoad(const Loaded &result)
{
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
    worker->startIndexing();
    return true;
}

void PdfDocument::startWorker()
{
    Private *book = d.get();
    PdfWorker::Jobs jobs;
    jobs.render = [book](const PdfRenderRequest &request) {
        const QImage image = book->render(request.page, request.pixelSize);
        book->toFront([&](PdfDocument *q) {
            Q_EMIT q->pageRendered(request.client, request.page, image);
        });
    };
    jobs.bounds = [book](const QList<PdfSelection> &selections) {
        for (const PdfSelection &s : selections)
            book->selectionBounds(s);
        book->toFront([](PdfDocument *q) { Q_EMIT q->selectionBoundsReady(); });
    };
    jobs.indexNext = [book] {
        if (!book->measuring.isEmpty() && book->measuring.size() < book->loadedPages) {
            const int end = qMin(book->loadedPages, int(book->measuring.size()) + measureStep);
            for (int i = int(book->measuring.size()); i < end; ++i)
                book->measuring.append(book->pdf->pagePointSize(i));
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

QImage PdfDocument::renderPage(int page, const QSize &pixelSize) const
{
    return d->state == State::Ready ? d->render(page, pixelSize) : QImage();
}

void PdfDocument::requestRenders(quintptr client, const QList<PdfRenderRequest> &wanted) const
{
    if (worker)
        worker->setRenderRequests(client, wanted);
}
