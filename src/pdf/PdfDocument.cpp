#include "PdfDocument.h"

#include "Log.h"
#include "PdfBook.h"
#include "PdfHelperText.h"
#include "PdfTextCache.h"
#include "PdfTextHelpers.h"
#include "PdfWorker.h"

#include <QThreadPool>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace vk {

namespace {

// Progress reaches the GUI at most this often, in pages.
constexpr int kProgressStep = 16;
// Pages measured per worker turn, so that renders asked meanwhile wait little.
constexpr int kMeasureStep = 32;
// Smaller books are read on the worker in a second or less; starting helper
// processes would not pay.
constexpr int kHelperMinimumPages = 64;

// Outlines are read on a thread of their own at a lower priority: libqpdf
// spends some 0.4 s of a core on source3.pdf's outline (a second when it
// listed every page), and beside the two text helpers on two cores
// that pushed a first search's first match from 60 ms to 350 ms. The panel
// can wait; the match can not.
QThreadPool &outlinePool()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

void lowerThisThreadsPriority()
{
    constexpr int kOutlineNice = 10;
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), kOutlineNice);
}

} // namespace

struct PdfDocument::Private
{
    // PDFium's side; the worker and this thread both read it.
    PdfBook book;

    // The PdfDocument's own thread only.
    State state = State::Empty;
    int pages = 0;
    quint64 generation = 0;
    QList<QSizeF> pageSizes;
    bool sizesMeasured = false;
    bool indexReported = false;
    quint64 outlineWantedFor = 0; // the generation whose outline waits for its text
    int prefixReported = 0;
    // The next background load's origin, and texts a reopening found kept.
    QString textLocation;
    QList<PdfTextStore::PagePtr> keptText;
    bool textWasKept = false;
    // The worker's: a book loaded in the background has not shown a page yet.
    bool firstRenderPending = false;
    // What a book loaded in the background still waits for before books
    // retired for it may close: its first page and its whole text.
    std::atomic<int> unsettled = 0;
    void settleOne()
    {
        if (unsettled.fetch_sub(1) == 1)
            PdfWorker::bookSettled();
    }

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
    : QObject(parent),
      d(std::make_shared<Private>()),
      m_helperText(std::make_unique<PdfHelperText>(
          [this](const PdfPageRecord &record) { takeHelperPage(record); },
          [this](bool complete) { helpersFinished(complete); }))
{
    d->front = this;
}

PdfDocument::~PdfDocument()
{
    {
        std::lock_guard lock(d->frontMutex);
        d->front = nullptr;
    }
    if (!m_worker)
        return; // nothing was opened that a close could take long over
    PdfWorker::retire(std::move(m_worker), [shared = std::move(d)]() mutable {
        shared.reset();
        // PDFium's caches of a large book take hundreds of megabytes, spread
        // over the heaps of the threads that used it; give the freed pages
        // back, so that the next book starts from the same footprint.
        malloc_trim(0);
    });
}

bool PdfDocument::loadHere(const std::function<void(PdfBook &)> &open)
{
    // What still reads the old book stops first: a load must not overlap it.
    m_helperText->stop();
    m_worker.reset();
    open(d->book);
    return finishLoad(d->book.settle(++d->generation));
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
    m_helperText->stop();
    m_worker.reset();
    const quint64 generation = ++d->generation;
    finishLoad(PdfLoadResult{});
    startWorker();
    const QString location = d->textLocation;
    // The digest is taken only when a book of that size was kept there, and
    // then on the worker: a large book takes a while to hash.
    const bool mayBeKept = !location.isEmpty() && PdfTextCache::session().mayHold(location, bytes.size());
    m_worker->post([p = d.get(), bytes, password, generation, location, mayBeKept] {
        QList<PdfTextStore::PagePtr> kept;
        if (mayBeKept)
            kept = PdfTextCache::session().find(location, PdfTextCache::digestOf(bytes));
        p->book.loadBytes(bytes);
        if (!password.isEmpty() && p->book.loadState() == State::Locked)
            p->book.reloadWithPassword(password);
        const PdfLoadResult result = p->book.settle(generation);
        p->firstRenderPending = result.state == State::Ready;
        p->unsettled = p->firstRenderPending ? 2 : 0;
        if (!p->firstRenderPending)
            PdfWorker::bookSettled();
        p->toFront([&](PdfDocument *q) {
            QMetaObject::invokeMethod(q, [q, result, generation, kept] {
                if (generation != q->d->generation)
                    return;
                q->d->keptText = kept;
                q->finishLoad(result);
                Q_EMIT q->loaded();
            }, Qt::QueuedConnection);
        });
    });
    // Started before the book is parsed here: they parse it themselves, and a
    // book that turns out small or locked costs only their start.
    if (!bytes.isEmpty() && !mayBeKept)
        m_helperText->start(bytes, password, PdfTextHelpers::kUnknownPageCount);
}

void PdfDocument::setTextLocation(const QString &location)
{
    d->textLocation = location;
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (d->state != State::Locked)
        return d->state == State::Ready;
    return loadHere([&](PdfBook &book) { book.reloadWithPassword(password); });
}

bool PdfDocument::finishLoad(const PdfLoadResult &result)
{
    const bool helped = result.state == State::Ready && result.pages >= kHelperMinimumPages;
    if (!helped)
        m_helperText->stop();
    d->state = result.state;
    d->pages = result.pages;
    d->pageSizes = QList<QSizeF>(result.pages, result.firstPageSize);
    d->sizesMeasured = result.pages <= 1;
    d->indexReported = false;
    d->prefixReported = 0;
    d->textWasKept = false;
    const QList<PdfTextStore::PagePtr> kept = std::exchange(d->keptText, {});
    if (d->state == State::Unreadable)
        logLine(QStringLiteral("PDF could not be read (QPdfDocument error %1)").arg(result.error));
    if (d->state != State::Ready)
        return false;
    if (!m_worker)
        startWorker();
    if (!kept.isEmpty()) {
        d->book.texts().adopt(kept);
        d->textWasKept = d->book.texts().isComplete();
    }
    if (d->textWasKept) {
        m_helperText->stop();
        m_worker->startIndexing(); // measures the page sizes; the text is there
        QMetaObject::invokeMethod(this, &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
    } else if (helped && m_helperText->isRunning()) {
        m_helperText->documentReady(d->pages);
    } else if (helped && !d->book.pdfBytes().isEmpty()) {
        m_helperText->start(d->book.pdfBytes(), d->book.password(), d->pages);
    } else {
        m_worker->startIndexing();
    }
    return true;
}

void PdfDocument::takeHelperPage(const PdfPageRecord &record)
{
    if (record.page >= d->pages)
        return;
    d->book.texts().put(record.page, record.text);
    const int done = d->book.texts().cachedCount();
    if (done % kProgressStep == 0 || done == d->pages)
        reportIndexProgress();
    else
        reportPrefix();
}

void PdfDocument::helpersFinished(bool complete)
{
    if (!complete)
        logLine(QStringLiteral("reading the rest of the book's text in this process"));
    // Page sizes are measured here either way, after the text: measuring them
    // alongside would cost the helpers a fifth of their time.
    m_worker->startIndexing();
}

void PdfDocument::startWorker()
{
    Private *p = d.get();
    PdfBook *book = &p->book;
    PdfWorker::Jobs jobs;
    jobs.render = [p, book](const PdfRenderRequest &request) {
        const QImage image = book->render(request.page, request.pixelSize, request.clip);
        p->toFront([&](PdfDocument *q) {
            Q_EMIT q->pageRendered(request, image);
        });
        if (std::exchange(p->firstRenderPending, false))
            p->settleOne();
        book->renewIfGrown();
    };
    jobs.bounds = [p, book](const QList<PdfSelection> &selections) {
        for (const PdfSelection &s : selections)
            book->selectionBounds(s);
        p->toFront([](PdfDocument *q) { Q_EMIT q->selectionBoundsReady(); });
    };
    jobs.indexNext = [p, book] {
        if (!book->measured().isEmpty() && book->measured().size() < book->loadedPages()) {
            book->measureNextSizes(kMeasureStep);
            if (book->measured().size() == book->loadedPages())
                p->toFront([book](PdfDocument *q) {
                    QMetaObject::invokeMethod(q, [q, generation = book->loadedGeneration(),
                                                  sizes = book->measured()] {
                        q->applyMeasuredSizes(generation, sizes);
                    }, Qt::QueuedConnection);
                });
            return true;
        }
        const bool extracted =
            book->texts().extractNext([book](int page) { return book->extractText(page); });
        const int done = book->texts().cachedCount();
        if (!extracted || done % kProgressStep == 0 || done == book->loadedPages())
            p->toFront([](PdfDocument *q) {
                QMetaObject::invokeMethod(q, &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
            });
        return extracted;
    };
    m_worker = std::make_unique<PdfWorker>(std::move(jobs));
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
    const int done = d->book.texts().cachedCount();
    Q_EMIT textIndexProgress(done, pageCount());
    reportPrefix();
    if (done == pageCount()) {
        d->indexReported = true;
        d->settleOne();
        keepText();
        Q_EMIT textIndexed();
        readOutlineIfWanted();
    }
}

void PdfDocument::reportPrefix()
{
    const int prefix = d->book.texts().readPrefix();
    if (d->state != State::Ready || prefix <= d->prefixReported)
        return;
    d->prefixReported = prefix;
    Q_EMIT textPrefixRead(prefix);
}

void PdfDocument::keepText()
{
    const QByteArray bytes = d->book.pdfBytes();
    if (d->textLocation.isEmpty() || d->textWasKept || bytes.isEmpty())
        return;
    // Hashing a large book takes tens of milliseconds: not on this thread.
    QThreadPool::globalInstance()->start([location = d->textLocation, bytes, pages = d->book.texts().pages()] {
        PdfTextCache::session().put(location, PdfTextCache::digestOf(bytes), bytes.size(), pages);
    });
}

PdfDocument::State PdfDocument::state() const
{
    return d->state;
}

quint64 PdfDocument::id() const
{
    return d->book.id();
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
    return d->state == State::Ready ? d->book.pageText(page) : QString();
}

bool PdfDocument::isTextIndexed() const
{
    return d->state == State::Ready && d->book.texts().isComplete();
}

int PdfDocument::textExtractionCount() const
{
    return d->book.texts().extractionCount();
}

int PdfDocument::textReadPrefix() const
{
    return d->state == State::Ready ? d->book.texts().readPrefix() : 0;
}

QList<PdfSelection> PdfDocument::findString(const QString &pattern) const
{
    return findString(pattern, 0, pageCount());
}

QList<PdfSelection> PdfDocument::findString(const QString &pattern, int firstPage, int endPage) const
{
    QList<PdfSelection> found;
    const FoldedText folded = foldCase(pattern);
    if (folded.text.isEmpty() || d->state != State::Ready)
        return found;
    firstPage = qMax(0, firstPage);
    endPage = qMin(endPage, pageCount());
    // Pages already read need no pause of the worker.
    const bool wasIndexed = d->book.texts().isComplete() || endPage <= d->book.texts().readPrefix();
    if (!wasIndexed && m_worker)
        m_worker->setIndexingPaused(true);
    const auto extract = [this](int p) { return d->book.extractText(p); };
    for (int page = firstPage; page < endPage; ++page) {
        const auto text = d->book.texts().page(page, extract);
        for (const TextMatch &m : findFolded(text->folded, folded.text))
            found.append({d->book.id(), page, m.start, m.length});
    }
    if (!wasIndexed) {
        if (m_worker)
            m_worker->setIndexingPaused(false);
        QMetaObject::invokeMethod(const_cast<PdfDocument *>(this),
                                  &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
    }
    return found;
}

std::optional<QList<QRectF>> PdfDocument::cachedSelectionBounds(const PdfSelection &selection) const
{
    if (d->state != State::Ready)
        return QList<QRectF>();
    return d->book.cachedBounds(selection);
}

QList<QRectF> PdfDocument::selectionBounds(const PdfSelection &selection) const
{
    return d->state == State::Ready ? d->book.selectionBounds(selection) : QList<QRectF>();
}

void PdfDocument::requestSelectionBounds(const QList<PdfSelection> &selections) const
{
    if (m_worker && !selections.isEmpty())
        m_worker->requestBounds(selections);
}

void PdfDocument::requestOutline() const
{
    auto *self = const_cast<PdfDocument *>(this);
    if (d->state != State::Ready) {
        QMetaObject::invokeMethod(self, [self] { Q_EMIT self->outlineRead({}); }, Qt::QueuedConnection);
        return;
    }
    // Read beside the two text helpers, even at nice 10, source3.pdf's outline
    // took 0.46 s of a core out of the 2.35 s a first search waited for its
    // whole count, and the contents came after that search all the same
    // (2.6-2.9 s). So the outline waits for the text, within reason.
    d->outlineWantedFor = d->generation;
    if (d->indexReported) {
        self->readOutlineIfWanted();
        return;
    }
    QTimer::singleShot(kOutlineWait, self, [self] { self->readOutlineIfWanted(); });
}

void PdfDocument::readOutlineIfWanted()
{
    if (std::exchange(d->outlineWantedFor, 0) != d->generation || d->state != State::Ready)
        return;
    // Off both the GUI and the worker: libqpdf parses the book on its own,
    // without PDFium's lock, so renders and the text index go on meanwhile.
    outlinePool().start([p = d, generation = d->generation, bytes = d->book.pdfBytes(),
                         path = d->book.filePath(), password = d->book.password()] {
        lowerThisThreadsPriority();
        const QList<PdfOutlineEntry> entries = readOutline(bytes, path, password);
        // libqpdf parses the object streams holding the entries' pages, most of
        // a LaTeX book's. Freed, that stays resident in this thread's heap (some
        // 120 MiB for source3.pdf) until it is handed back; 2 MiB are left after. Done
        // before the outline leaves: trimming holds this heap's lock for some
        // 300 ms, and the GUI thread freeing the outline's strings meanwhile
        // stalled the window for as long in one run out of three.
        malloc_trim(0);
        p->toFront([&](PdfDocument *q) {
            QMetaObject::invokeMethod(q, [q, entries, generation] {
                if (generation == q->d->generation)
                    Q_EMIT q->outlineRead(entries);
            }, Qt::QueuedConnection);
        });
    });
}

QImage PdfDocument::renderPage(int page, const QSize &pixelSize, const QRect &clip) const
{
    return d->state == State::Ready ? d->book.render(page, pixelSize, clip) : QImage();
}

void PdfDocument::requestRenders(quintptr client, const QList<PdfRenderRequest> &wanted) const
{
    if (m_worker)
        m_worker->setRenderRequests(client, wanted);
}

} // namespace vk
