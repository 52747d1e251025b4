#include "Log.h"
#include "PdfViewPaint.h"
#include "PdfViewPrivate.h"

#include <QPainter>

// Which pages PdfView asks the worker for, what it keeps of the answers, and how
// it paints them.

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
