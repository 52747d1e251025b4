#include "Log.h"
#include "PdfTiles.h"
#include "PdfViewPaint.h"
#include "PdfViewPrivate.h"

#include <QPainter>

namespace vk {

// Which images PdfView asks the worker for, what it keeps of the answers, and
// how it paints them. A page too large for one image at the current zoom is
// asked for in tiles, and only the tiles of its part in view.

QRect PdfView::visiblePartOf(int page) const
{
    const QRect pageRect = d->layout.pages.at(page);
    const QRect shown = visibleContentRect().intersected(pageRect).translated(-pageRect.topLeft());
    return toDevicePixels(shown, viewport()->devicePixelRatioF());
}

void PdfView::repaintPage(int page)
{
    viewport()->update(d->layout.pages.at(page).translated(-visibleContentRect().topLeft()));
}

QList<PdfImageKey> PdfView::imagesShowing(int page) const
{
    const QSize size = pixelSizeOf(page);
    if (!needsTiles(size))
        return {PdfImageKey{page, size, {}}};
    QList<PdfImageKey> keys;
    for (const QRect &tile : tilesCovering(size, visiblePartOf(page)))
        keys.append({page, size, tile});
    return keys;
}

void PdfView::scheduleRenders()
{
    if (!d->document)
        return;
    const QRect view = visibleContentRect();
    const PageInterval visible = visiblePages(d->layout, view.top(), view.height());
    QList<PdfRenderRequest> wanted;
    QSet<PdfImageKey> tilesShown;
    if (!visible.isEmpty()) {
        const int count = int(d->layout.pages.size());
        QList<int> pages;
        for (int p = visible.first; p <= visible.last; ++p)
            pages.append(p);
        // A neighbour larger than the whole cache would push out what is on
        // screen, and be pushed out itself before it is shown: a page of some
        // hundred megabytes is rendered once it comes into view.
        const auto fitsTheCache = [this](int p) {
            return pixelCount(pixelSizeOf(p)) * kBytesPerPixel <= d->cache.maxBytes();
        };
        if (visible.last + 1 < count && fitsTheCache(visible.last + 1))
            pages.append(visible.last + 1);
        if (visible.first > 0 && fitsTheCache(visible.first - 1))
            pages.append(visible.first - 1);
        for (int p : pages) {
            const QList<PdfImageKey> keys = imagesShowing(p);
            for (const PdfImageKey &key : keys) {
                if (key.isTile())
                    tilesShown.insert(key);
                if (!d->cache.contains(key) && d->failedRenders.value(p) != key.pageSize)
                    wanted.append({quintptr(this), p, key.pageSize, key.clip});
            }
        }
    }
    d->cache.setPinned(visible, tilesShown);
    d->document->requestRenders(quintptr(this), wanted);
}

void PdfView::acceptRender(quint64 documentId, const PdfRenderRequest &request, const QImage &image)
{
    const int page = request.page;
    if (request.client != quintptr(this) || !d->document || d->document->id() != documentId
        || page < 0 || page >= d->pointSizes.size())
        return;
    // Rendered for a scale or screen the view no longer has.
    if (request.pixelSize != pixelSizeOf(page))
        return;
    if (image.isNull()) {
        logLine(QStringLiteral("PDF page %1 could not be rendered at %2 x %3 pixels")
                    .arg(page + 1).arg(request.pixelSize.width()).arg(request.pixelSize.height()));
        d->failedRenders.insert(page, request.pixelSize);
        return;
    }
    QImage shown = image;
    shown.setDevicePixelRatio(viewport()->devicePixelRatioF());
    d->cache.insert({page, request.pixelSize, request.clip}, shown);
    repaintPage(page);
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
    const PageInterval visible = visiblePages(d->layout, view.top(), view.height());
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
    const double ratio = viewport()->devicePixelRatioF();
    QList<int> painted;
    for (int p = visible.first; p <= visible.last; ++p) {
        const QRect pageRect = d->layout.pages.at(p);
        QList<PdfViewPaint::Piece> pieces;
        bool complete = true;
        for (const PdfImageKey &key : imagesShowing(p)) {
            const QImage image = d->cache.find(key);
            complete = complete && !image.isNull();
            if (image.isNull())
                continue;
            const QRectF clip = key.isTile() ? QRectF(QPointF(key.clip.topLeft()) / ratio, QSizeF(key.clip.size()) / ratio)
                                             : QRectF(QPointF(0, 0), pageRect.size());
            pieces.append({clip.translated(pageRect.topLeft()), image});
        }
        if (complete)
            painted.append(p);
        else if (const QImage stretched = d->cache.findAnySize(p); !stretched.isNull())
            pieces.prepend({pageRect, stretched});
        PdfViewPaint::page(painter, pageRect, pieces);
        for (const PdfSelection &s : d->highlightsOnPage.value(p))
            PdfViewPaint::highlights(painter, pageRect, d->scale, boundsOf(s));
        if (d->currentSelection && d->shows(*d->currentSelection) && d->currentSelection->page == p)
            PdfViewPaint::current(painter, pageRect, d->scale, boundsOf(*d->currentSelection));
    }
    painter.end();
    // A page still without its images at this size (first show, another screen's
    // pixel ratio, tiles scrolled into view): make sure they are asked for.
    if (painted.size() < visible.last - visible.first + 1)
        scheduleRenders();
    d->document->requestSelectionBounds(boundsMissing);
    for (int p : std::as_const(painted))
        Q_EMIT pagePainted(p);
}

} // namespace vk
