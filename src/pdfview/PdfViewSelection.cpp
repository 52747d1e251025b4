#include "PdfViewPrivate.h"

#include <QScrollBar>

namespace vk {

// The current and highlighted selections of PdfView, and scrolling to them.

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
    const QHash<int, QList<PdfSelection>> before = d->highlightsOnPage;
    d->highlights = selections;
    rebuildHighlightIndex();
    // A search that grows while the book's text is read adds matches on pages
    // far from the view, many times a second; repainting the view for each of
    // them took the window a tenth of a core from the text helpers.
    const QRect view = visibleContentRect();
    const PageInterval visible = visiblePages(d->layout, view.top(), view.height());
    for (int p = visible.first; !visible.isEmpty() && p <= visible.last; ++p)
        if (before.value(p) != d->highlightsOnPage.value(p))
            repaintPage(p);
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
        Q_EMIT selectionReached();
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

} // namespace vk
