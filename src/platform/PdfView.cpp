#include "PdfView.h"

#include "Log.h"
#include "PdfDocument.h"
#include "PdfImageCache.h"
#include "PdfPageLayout.h"
#include "PdfViewPaint.h"

#include <QHash>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <cmath>

namespace {

// About sixty A4 pages at 1:1. PDFium keeps its own caches per document, which
// grow by more than 100 MB over a long book (source3.pdf's index pages), so the
// images get the smaller share.
constexpr qint64 imageCacheBytes = 128LL * 1024 * 1024;
constexpr double minimumScale = 0.05;
constexpr double maximumScale = 16.0;

} // namespace

struct PdfView::Private
{
    std::shared_ptr<PdfDocument> document;
    QList<QSizeF> pointSizes;
    PdfPageLayout layout;
    double scale = 1.0;
    bool autoScales = false;
    int currentPage = 0;
    bool scrollingInCode = false;

    std::optional<PdfSelection> currentSelection;
    QList<PdfSelection> highlights;
    QHash<int, QList<PdfSelection>> highlightsOnPage; // of the shown document only
    std::optional<PdfSelection> pendingScroll;

    bool downloading = false;
    QString downloadName;
    qint64 received = 0;
    qint64 total = -1;

    PdfImageCache cache{imageCacheBytes};
    QHash<int, QSize> failedRenders; // not asked again at the same size
    QList<QMetaObject::Connection> connections;

    bool shows(const PdfSelection &s) const
    {
        return document && s.documentId == document->id() && s.page >= 0
            && s.page < pointSizes.size();
    }
};

PdfView::PdfView(QWidget *parent)
    : QAbstractScrollArea(parent), d(std::make_unique<Private>())
{
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
            [this, id](quintptr client, int page, const QImage &image) {
                acceptRender(id, client, page, image);
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
    scale = qBound(minimumScale, scale, maximumScale);
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
    // Near the end the page may not reach the top of the view; it is current anyway.
    scrollToContentY(d->layout.pages.at(index).top() - PdfPageLayout::gap);
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

std::optional<PdfSelection> PdfView::currentSelection() const
{
    return d->currentSelection;
}

void PdfView::setCurrentSelection(const PdfSelection &selection)
{
    d->currentSelection = selection;
    viewport()->update();
}

void PdfView::clearCurrentSelection()
{
    d->currentSelection.reset();
    d->pendingScroll.reset();
    viewport()->update();
}

QList<PdfSelection> PdfView::highlightedSelections() const
{
    return d->highlights;
}

void PdfView::setHighlightedSelections(const QList<PdfSelection> &selections)
{
    d->highlights = selections;
    rebuildHighlightIndex();
    viewport()->update();
}

void PdfView::rebuildHighlightIndex()
{
    d->highlightsOnPage.clear();
    for (const PdfSelection &s : std::as_const(d->highlights))
        if (d->shows(s))
            d->highlightsOnPage[s.page].append(s);
}

void PdfView::scrollSelectionToVisible()
{
    if (!d->currentSelection || !d->shows(*d->currentSelection))
        return;
    const PdfSelection selection = *d->currentSelection;
    if (const auto bounds = d->document->cachedSelectionBounds(selection)) {
        scrollToSelectionBounds(selection, *bounds);
        return;
    }
    // The bounds come from the worker; until then at least bring the page into view.
    const QRect page = d->layout.pages.at(selection.page);
    if (!visibleContentRect().intersects(page))
        goToPage(selection.page);
    d->pendingScroll = selection;
    d->document->requestSelectionBounds({selection});
}

void PdfView::boundsArrived()
{
    viewport()->update();
    if (!d->pendingScroll || d->pendingScroll != d->currentSelection || !d->shows(*d->pendingScroll))
        return;
    if (const auto bounds = d->document->cachedSelectionBounds(*d->pendingScroll)) {
        const PdfSelection selection = *d->pendingScroll;
        d->pendingScroll.reset();
        scrollToSelectionBounds(selection, *bounds);
    }
}

void PdfView::scrollToSelectionBounds(const PdfSelection &selection, const QList<QRectF> &bounds)
{
    const QRect page = d->layout.pages.at(selection.page);
    if (bounds.isEmpty()) {
        if (!visibleContentRect().intersects(page))
            goToPage(selection.page);
        return;
    }
    QRectF united;
    for (const QRectF &r : bounds)
        united = united.isNull() ? r : united.united(r);
    const QRectF shown(page.left() + united.left() * d->scale, page.top() + united.top() * d->scale,
                       united.width() * d->scale, united.height() * d->scale);
    ensureContentRectVisible(shown.toAlignedRect());
}

void PdfView::ensureContentRectVisible(const QRect &rect)
{
    const QRect view = visibleContentRect();
    if (view.contains(rect))
        return;
    if (rect.top() < view.top() || rect.bottom() > view.bottom())
        verticalScrollBar()->setValue(rect.center().y() - view.height() / 2);
    if (rect.left() < view.left() || rect.right() > view.right())
        horizontalScrollBar()->setValue(rect.center().x() - view.width() / 2);
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

void PdfView::scheduleRenders()
{
    if (!d->document)
        return;
    const QRect view = visibleContentRect();
    const PageRange visible = visiblePages(d->layout, view.top(), view.height());
    d->cache.setPinned(visible);
    QList<PdfRenderRequest> wanted;
    if (!visible.isEmpty()) {
        const int count = int(d->layout.pages.size());
        QList<int> pages;
        for (int p = visible.first; p <= visible.last; ++p)
            pages.append(p);
        if (visible.last + 1 < count)
            pages.append(visible.last + 1);
        if (visible.first > 0)
            pages.append(visible.first - 1);
        for (int p : pages) {
            const QSize size = pixelSizeOf(p);
            if (!d->cache.contains(p, size) && d->failedRenders.value(p) != size)
                wanted.append({quintptr(this), p, size});
        }
    }
    d->document->requestRenders(quintptr(this), wanted);
}

void PdfView::acceptRender(quint64 documentId, quintptr client, int page, const QImage &image)
{
    if (client != quintptr(this) || !d->document || d->document->id() != documentId
        || page < 0 || page >= d->pointSizes.size())
        return;
    const QSize expected = pixelSizeOf(page);
    if (image.isNull()) {
        logLine(QStringLiteral("PDF page %1 could not be rendered").arg(page + 1));
        d->failedRenders.insert(page, expected);
        return;
    }
    // Rendered for a scale or screen the view no longer has.
    if (image.size() != expected)
        return;
    QImage shown = image;
    shown.setDevicePixelRatio(viewport()->devicePixelRatioF());
    d->cache.insert(page, shown);
    viewport()->update(d->layout.pages.at(page).translated(-visibleContentRect().topLeft()));
}

void PdfView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    painter.fillRect(area, QColor(0xd6, 0xd6, 0xd6));
    if (d->downloading) {
        PdfViewPaint::download(painter, this, area, d->downloadName, d->received, d->total);
        return;
    }
    const QString reason = placeholderText();
    if (!reason.isEmpty()) {
        PdfViewPaint::placeholder(painter, area, reason);
        return;
    }

    const QRect view = visibleContentRect();
    const PageRange visible = visiblePages(d->layout, view.top(), view.height());
    if (visible.isEmpty())
        return;
    painter.translate(-view.topLeft());
    QList<PdfSelection> boundsMissing;
    const auto boundsOf = [&](const PdfSelection &s) {
        const auto bounds = d->document->cachedSelectionBounds(s);
        if (bounds)
            return *bounds;
        if (s == d->currentSelection)
            boundsMissing.prepend(s);
        else
            boundsMissing.append(s);
        return QList<QRectF>();
    };
    QList<int> painted;
    for (int p = visible.first; p <= visible.last; ++p) {
        const QRect pageRect = d->layout.pages.at(p);
        QImage image = d->cache.find(p, pixelSizeOf(p));
        if (!image.isNull())
            painted.append(p);
        else
            image = d->cache.findAnySize(p);
        PdfViewPaint::page(painter, pageRect, image);
        for (const PdfSelection &s : d->highlightsOnPage.value(p))
            PdfViewPaint::highlights(painter, pageRect, d->scale, boundsOf(s));
        if (d->currentSelection && d->shows(*d->currentSelection) && d->currentSelection->page == p)
            PdfViewPaint::current(painter, pageRect, d->scale, boundsOf(*d->currentSelection));
    }
    painter.end();
    // A page still without its image at this size (first show, another screen's
    // pixel ratio): make sure it is asked for.
    if (painted.size() < visible.last - visible.first + 1)
        scheduleRenders();
    d->document->requestSelectionBounds(boundsMissing);
    for (int p : std::as_const(painted))
        Q_EMIT pagePainted(p);
}
