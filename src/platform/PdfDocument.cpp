#include "PdfDocument.h"

#include "Log.h"
#include "PdfTextStore.h"
#include "PdfWorker.h"

#include <QBuffer>
#include <QHash>
#include <QPdfDocument>
#include <QPdfSelection>

#include <atomic>
#include <mutex>

namespace {

std::atomic<quint64> nextDocumentId{1};

// Progress reaches the GUI at most this often, in pages.
constexpr int progressStep = 16;
// Pages measured per worker turn, so that renders asked meanwhile wait little.
constexpr int measureStep = 32;

} // namespace

struct PdfDocument::Private
{
    const quint64 id = nextDocumentId.fetch_add(1);
    QPdfDocument pdf;
    QByteArray bytes;
    QBuffer buffer;
    QString filePath;
    State state = State::Empty;
    int pages = 0;
    quint64 generation = 0;
    QList<QSizeF> pageSizes; // main thread
    bool sizesMeasured = false;
    QList<QSizeF> measuring; // worker thread
    PdfTextStore texts;
    bool indexReported = false;

    mutable std::mutex boundsMutex;
    QHash<PdfSelection, QList<QRectF>> bounds;

    // Declared last: destroyed first, so its thread is gone before the pages are.
    std::unique_ptr<PdfWorker> worker;

    QString extractText(int page) { return pdf.getAllText(page).text(); }
};

PdfDocument::PdfDocument(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
}

PdfDocument::~PdfDocument()
{
    d->worker.reset();
}

static PdfDocument::State stateOf(const QPdfDocument &pdf)
{
    if (pdf.status() == QPdfDocument::Status::Ready)
        return PdfDocument::State::Ready;
    if (pdf.error() == QPdfDocument::Error::IncorrectPassword)
        return PdfDocument::State::Locked;
    return PdfDocument::State::Unreadable;
}

bool PdfDocument::load(const QByteArray &bytes)
{
    d->worker.reset();
    d->pdf.close();
    d->buffer.close();
    d->filePath.clear();
    d->bytes = bytes;
    d->buffer.setData(d->bytes);
    d->buffer.open(QIODevice::ReadOnly);
    d->pdf.load(&d->buffer);
    return finishLoad();
}

bool PdfDocument::load(const QString &filePath)
{
    d->worker.reset();
    d->pdf.close();
    d->buffer.close();
    d->bytes.clear();
    d->filePath = filePath;
    d->pdf.load(filePath);
    return finishLoad();
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (d->state != State::Locked)
        return d->state == State::Ready;
    // load() clears the password, so it has to be set between close() and load().
    d->pdf.close();
    d->pdf.setPassword(password);
    if (d->filePath.isEmpty()) {
        d->buffer.seek(0);
        d->pdf.load(&d->buffer);
    } else {
        d->pdf.load(d->filePath);
    }
    return finishLoad();
}

bool PdfDocument::finishLoad()
{
    d->state = stateOf(d->pdf);
    ++d->generation;
    d->pages = 0;
    d->pageSizes.clear();
    d->measuring.clear();
    d->sizesMeasured = false;
    {
        std::lock_guard lock(d->boundsMutex);
        d->bounds.clear();
    }
    d->indexReported = false;
    if (d->state != State::Ready) {
        d->texts.reset(0);
        if (d->state == State::Unreadable)
            logLine(QStringLiteral("PDF could not be read (QPdfDocument error %1)")
                        .arg(int(d->pdf.error())));
        return false;
    }
    const int count = d->pdf.pageCount();
    d->pages = count;
    const QSizeF first = count > 0 ? d->pdf.pagePointSize(0) : QSizeF();
    d->pageSizes = QList<QSizeF>(count, first);
    d->sizesMeasured = count <= 1;
    if (!d->sizesMeasured)
        d->measuring.append(first);
    d->texts.reset(count);

    PdfWorker::Jobs jobs;
    jobs.render = [this](const PdfRenderRequest &request) {
        Q_EMIT pageRendered(request.client, request.page,
                            renderPage(request.page, request.pixelSize));
    };
    jobs.bounds = [this](const QList<PdfSelection> &selections) {
        for (const PdfSelection &s : selections)
            selectionBounds(s);
        Q_EMIT selectionBoundsReady();
    };
    jobs.indexNext = [this, generation = d->generation] {
        if (!d->measuring.isEmpty() && d->measuring.size() < d->pages) {
            const int end = qMin(d->pages, int(d->measuring.size()) + measureStep);
            for (int i = int(d->measuring.size()); i < end; ++i)
                d->measuring.append(d->pdf.pagePointSize(i));
            if (d->measuring.size() == d->pages)
                QMetaObject::invokeMethod(this, [this, generation, sizes = d->measuring] {
                    applyMeasuredSizes(generation, sizes);
                }, Qt::QueuedConnection);
            return true;
        }
        const bool extracted = d->texts.extractNext([this](int p) { return d->extractText(p); });
        const int done = d->texts.cachedCount();
        if (!extracted || done % progressStep == 0 || done == pageCount())
            QMetaObject::invokeMethod(this, &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
        return extracted;
    };
    d->worker = std::make_unique<PdfWorker>(std::move(jobs));
    d->worker->startIndexing();
    return true;
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
    const auto cached = d->texts.page(page, [this](int p) { return d->extractText(p); });
    return cached ? cached->text : QString();
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
    if (!wasIndexed && d->worker)
        d->worker->setIndexingPaused(true);
    const auto extract = [this](int p) { return d->extractText(p); };
    for (int page = 0; page < pageCount(); ++page) {
        const auto text = d->texts.page(page, extract);
        for (const TextMatch &m : findFolded(text->folded, folded.text))
            found.append({d->id, page, m.start, m.length});
    }
    if (!wasIndexed) {
        if (d->worker)
            d->worker->setIndexingPaused(false);
        QMetaObject::invokeMethod(const_cast<PdfDocument *>(this),
                                  &PdfDocument::reportIndexProgress, Qt::QueuedConnection);
    }
    return found;
}

std::optional<QList<QRectF>> PdfDocument::cachedSelectionBounds(const PdfSelection &selection) const
{
    if (selection.documentId != d->id || !selection.isValid() || selection.page >= pageCount())
        return QList<QRectF>();
    std::lock_guard lock(d->boundsMutex);
    const auto it = d->bounds.constFind(selection);
    if (it == d->bounds.cend())
        return std::nullopt;
    return *it;
}

QList<QRectF> PdfDocument::selectionBounds(const PdfSelection &selection) const
{
    if (const auto cached = cachedSelectionBounds(selection))
        return *cached;
    const int textLength = int(pageText(selection.page).size());
    QList<QRectF> rects;
    // Never ask PDFium for a start past the page text: it leaks the page.
    if (selection.start < textLength) {
        const int length = qMin(selection.length, textLength - selection.start);
        const QPdfSelection s = d->pdf.getSelectionAtIndex(selection.page, selection.start, length);
        for (const QPolygonF &polygon : s.bounds())
            rects.append(polygon.boundingRect());
    }
    std::lock_guard lock(d->boundsMutex);
    d->bounds.insert(selection, rects);
    return rects;
}

void PdfDocument::requestSelectionBounds(const QList<PdfSelection> &selections) const
{
    if (d->worker && !selections.isEmpty())
        d->worker->requestBounds(selections);
}

QImage PdfDocument::renderPage(int page, const QSize &pixelSize) const
{
    if (page < 0 || page >= pageCount() || pixelSize.isEmpty())
        return {};
    return d->pdf.render(page, pixelSize);
}

void PdfDocument::requestRenders(quintptr client, const QList<PdfRenderRequest> &wanted) const
{
    if (d->worker)
        d->worker->setRenderRequests(client, wanted);
}

QPdfDocument *PdfDocument::pdf() const
{
    return &d->pdf;
}
