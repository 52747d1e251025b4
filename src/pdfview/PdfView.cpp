#include "PdfView.h"

#include "PdfViewPrivate.h"

#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <cmath>
#include <malloc.h>

namespace vk {

namespace {

// Page images are megabytes each. Left to glibc's sliding threshold they end up
// on a heap that PDFium fragments, and freeing a full cache when the book changes
// then stalls the window for hundreds of milliseconds in malloc_consolidate.
// Mapped blocks are given back with one munmap each.
void mapLargeImagesSeparately()
{
    static const bool once = [] { return mallopt(M_MMAP_THRESHOLD, 256 * 1024) == 1; }();
    Q_UNUSED(once);
}

} // namespace

PdfView::PdfView(QWidget *parent)
    : QAbstractScrollArea(parent), d(std::make_unique<Private>())
{
    mapLargeImagesSeparately();
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

PdfView::~PdfView()
{
    if (d->document)
        d->document->requestRenders(quintptr(this), {});
}

void PdfView::setDocument(std::shared_ptr<PdfDocument> document)
{
    for (const auto &c : std::as_const(d->connections))
        disconnect(c);
    d->connections.clear();
    if (d->document)
        d->document->requestRenders(quintptr(this), {});

    d->document = std::move(document);
    d->downloading = false;
    d->pointSizes.clear();
    d->cache.clear();
    d->failedRenders.clear();
    d->pendingScroll.reset();
    if (d->document && d->document->state() == PdfDocument::State::Ready) {
        for (int i = 0; i < d->document->pageCount(); ++i)
            d->pointSizes.append(d->document->pageSize(i));
    }
    if (d->document) {
        const quint64 id = d->document->id();
        d->connections.append(connect(
            d->document.get(), &PdfDocument::pageRendered, this,
            [this, id](const PdfRenderRequest &request, const QImage &image) {
                acceptRender(id, request, image);
            },
            Qt::QueuedConnection));
        d->connections.append(connect(d->document.get(), &PdfDocument::selectionBoundsReady,
                                      this, &PdfView::boundsArrived, Qt::QueuedConnection));
        d->connections.append(connect(d->document.get(), &PdfDocument::pageSizesChanged,
                                      this, &PdfView::takeMeasuredSizes));
    }
    rebuildHighlightIndex();
    const int previousPage = std::exchange(d->currentPage, 0);
    relayout();
    // Always there with pages, so fitting the width cannot make it come and go.
    setVerticalScrollBarPolicy(hasPages() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (d->autoScales)
        applyAutoScale();
    scrollToContentY(0);
    horizontalScrollBar()->setValue(0);
    if (previousPage != 0)
        Q_EMIT currentPageChanged(0);
    scheduleRenders();
    viewport()->update();
}

std::shared_ptr<PdfDocument> PdfView::document() const
{
    return d->document;
}

void PdfView::showDownload(const QString &bookName)
{
    d->downloading = true;
    d->downloadName = bookName;
    d->received = 0;
    d->total = -1;
    viewport()->update();
}

void PdfView::setDownloadProgress(qint64 received, qint64 total)
{
    d->received = received;
    d->total = total;
    if (d->downloading)
        viewport()->update();
}

double PdfView::scaleFactor() const
{
    return d->scale;
}

void PdfView::setScaleFactor(double scale)
{
    if (!std::isfinite(scale) || scale <= 0)
        return;
    applyScale(scale);
}

void PdfView::applyScale(double scale)
{
    scale = qBound(Private::kMinimumScale, scale, Private::kMaximumScale);
    if (scale == d->scale)
        return;
    relayoutKeepingPlace([&] { d->scale = scale; });
    Q_EMIT scaleFactorChanged(scale);
}

void PdfView::relayoutKeepingPlace(const std::function<void()> &change)
{
    // Keep the same spot of the current page at the top of the view.
    const int page = d->currentPage;
    const bool anchored = page < d->layout.pages.size();
    double fraction = 0;
    if (anchored) {
        const QRect r = d->layout.pages.at(page);
        fraction = double(verticalScrollBar()->value() - r.top()) / r.height();
    }
    // The anchor page stays current even if the new scroll range clamps the position.
    const QScopedValueRollback inCode(d->scrollingInCode, true);
    change();
    relayout();
    if (anchored && page < d->layout.pages.size()) {
        const QRect r = d->layout.pages.at(page);
        scrollToContentY(r.top() + int(std::lround(fraction * r.height())));
    }
    scheduleRenders();
    viewport()->update();
}

void PdfView::takeMeasuredSizes()
{
    if (!d->document || d->document->pageCount() != d->pointSizes.size())
        return;
    relayoutKeepingPlace([this] {
        for (int i = 0; i < d->pointSizes.size(); ++i)
            d->pointSizes[i] = d->document->pageSize(i);
    });
    if (d->autoScales)
        applyAutoScale();
}

bool PdfView::autoScales() const
{
    return d->autoScales;
}

void PdfView::setAutoScales(bool on)
{
    d->autoScales = on;
    if (on)
        applyAutoScale();
}

void PdfView::applyAutoScale()
{
    if (!hasPages())
        return;
    const double fit = fitWidthScale(d->pointSizes, viewport()->width());
    if (fit > 0)
        applyScale(fit);
}

int PdfView::currentPageIndex() const
{
    return d->currentPage;
}

void PdfView::setCurrentPage(int index)
{
    if (index == d->currentPage)
        return;
    d->currentPage = index;
    Q_EMIT currentPageChanged(index);
}

void PdfView::goToPage(int index)
{
    if (!hasPages() || index < 0 || index >= d->layout.pages.size())
        return;
    // The reader moves on: a scroll still waiting for a match's outline must not
    // pull the view back to it.
    d->pendingScroll.reset();
    // Near the end the page may not reach the top of the view; it is current anyway.
    scrollToContentY(d->layout.pages.at(index).top() - PdfPageLayout::kGap);
    setCurrentPage(index);
}

void PdfView::goToFirstPage()
{
    goToPage(0);
}

void PdfView::goToPreviousPage()
{
    goToPage(d->currentPage - 1);
}

void PdfView::goToNextPage()
{
    goToPage(d->currentPage + 1);
}

void PdfView::goToLastPage()
{
    goToPage(int(d->layout.pages.size()) - 1);
}

QString PdfView::placeholderText() const
{
    if (d->downloading)
        return d->downloadName;
    if (!d->document || d->document->state() == PdfDocument::State::Empty)
        return QStringLiteral("No book open");
    if (d->document->state() == PdfDocument::State::Locked)
        return QStringLiteral("This book is locked");
    if (!hasPages())
        return QStringLiteral("This book could not be opened");
    return {};
}

bool PdfView::hasPages() const
{
    return !d->pointSizes.isEmpty();
}

QSize PdfView::pixelSizeOf(int page) const
{
    return scaledPageSize(d->pointSizes.at(page), d->scale * viewport()->devicePixelRatioF());
}

QRect PdfView::visibleContentRect() const
{
    return QRect(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()),
                 viewport()->size());
}

void PdfView::relayout()
{
    d->layout = layoutPages(d->pointSizes, d->scale, viewport()->width());
    const QSize content = d->layout.contentSize;
    const QSize view = viewport()->size();
    verticalScrollBar()->setRange(0, qMax(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setRange(0, qMax(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
}

void PdfView::scrollToContentY(int y)
{
    const QScopedValueRollback inCode(d->scrollingInCode, true);
    verticalScrollBar()->setValue(y);
}

void PdfView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (d->autoScales)
        applyAutoScale();
    relayout();
    scheduleRenders();
}

void PdfView::scrollContentsBy(int, int)
{
    if (!d->scrollingInCode && hasPages())
        setCurrentPage(pageAtOffset(d->layout, verticalScrollBar()->value()));
    scheduleRenders();
    viewport()->update();
}

} // namespace vk
