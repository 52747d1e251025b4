#include "PdfView.h"

#include "PdfDocument.h"

#include <QPainter>
#include <QScrollBar>

struct PdfView::Private
{
    std::shared_ptr<PdfDocument> document;
    double scale = 1.0;
    bool autoScales = false;
    int currentPage = 0;
    std::optional<PdfSelection> currentSelection;
    QList<PdfSelection> highlights;
    bool downloading = false;
    QString downloadName;
    qint64 received = 0;
    qint64 total = -1;
};

PdfView::PdfView(QWidget *parent)
    : QAbstractScrollArea(parent), d(std::make_unique<Private>())
{
}

PdfView::~PdfView() = default;

void PdfView::setDocument(std::shared_ptr<PdfDocument> document)
{
    d->document = std::move(document);
    d->downloading = false;
    d->currentPage = 0;
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
    viewport()->update();
}

double PdfView::scaleFactor() const
{
    return d->scale;
}

void PdfView::setScaleFactor(double scale)
{
    if (scale <= 0 || scale == d->scale)
        return;
    d->scale = scale;
    Q_EMIT scaleFactorChanged(scale);
    viewport()->update();
}

bool PdfView::autoScales() const
{
    return d->autoScales;
}

void PdfView::setAutoScales(bool on)
{
    d->autoScales = on;
}

int PdfView::currentPageIndex() const
{
    return d->currentPage;
}

void PdfView::goToPage(int index)
{
    const int count = d->document ? d->document->pageCount() : 0;
    if (index < 0 || index >= count || index == d->currentPage)
        return;
    d->currentPage = index;
    Q_EMIT currentPageChanged(index);
    viewport()->update();
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
    goToPage(d->document ? d->document->pageCount() - 1 : 0);
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
    viewport()->update();
}

QList<PdfSelection> PdfView::highlightedSelections() const
{
    return d->highlights;
}

void PdfView::setHighlightedSelections(const QList<PdfSelection> &selections)
{
    d->highlights = selections;
    viewport()->update();
}

void PdfView::scrollSelectionToVisible()
{
    if (d->currentSelection && d->document && d->currentSelection->documentId == d->document->id())
        goToPage(d->currentSelection->page);
}

QString PdfView::placeholderText() const
{
    if (d->downloading)
        return d->downloadName;
    if (!d->document)
        return QStringLiteral("No book open");
    switch (d->document->state()) {
    case PdfDocument::State::Locked:
        return QStringLiteral("This book is locked");
    case PdfDocument::State::Ready:
        return d->document->pageCount() > 0 ? QString() : QStringLiteral("This book could not be opened");
    default:
        return QStringLiteral("This book could not be opened");
    }
}
