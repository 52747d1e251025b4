#include "AppDelegate.h"

#include "ContentsPanel.h"
#include "Frames.h"
#include "PageNumbers.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"

#include <QInputDialog>
#include <QLabel>
#include <QTreeWidget>

#include <utility>

using namespace vk;

namespace {
// Wide enough for a chapter title of a few words beside the page.
constexpr int kContentsWidth = 300;
constexpr int kToolbarHeight = 40;
}

void AppDelegate::buildReadingControls(int H)
{
    // Right of the match counter, in the toolbar strip.
    m_pagel = new QLabel(_view2);
    setBottomLeftFrame(m_pagel, kToolbarHeight, 740, 0, 150, 20);
    m_pagel->setTextInteractionFlags(Qt::NoTextInteraction);
    connect(_pdfView, &PdfView::currentPageChanged, this, &AppDelegate::updatePageLabel);

    const int pdfHeight = H - kToolbarHeight;
    m_contents = new ContentsPanel(_view1);
    setBottomLeftFrame(m_contents, pdfHeight, 2, 2, kContentsWidth, pdfHeight - 4);
    m_contents->setHidden(true);
    connect(m_contents, &ContentsPanel::entryChosen, this, &AppDelegate::showContentsEntry);

    connect(_pdfView, &PdfView::zoomStepAsked, this, &AppDelegate::zoomAround);
    // A match on a page already in view is reached only once its outline has
    // come from the worker: the jump is kept then.
    connect(_pdfView, &PdfView::selectionReached, this, [this] {
        if (const auto from = std::exchange(m_jumpPending, std::nullopt))
            m_history.recordJump(*from, _pdfView->placeAt());
    });
}

int AppDelegate::shownPageCount() const
{
    const std::shared_ptr<PdfDocument> document = _pdfView->document();
    return document ? document->pageCount() : 0;
}

void AppDelegate::updatePageLabel()
{
    m_pagel->setText(pageLabelText(_pdfView->currentPageIndex(), shownPageCount()));
}

void AppDelegate::readingDocumentChanged()
{
    m_history.clear();
    m_jumpPending.reset();
    updatePageLabel();
    m_contents->clear();
    if (!m_contents->isHidden())
        requestContents();
}

void AppDelegate::jump(const std::function<void()> &move)
{
    const PdfPlace from = _pdfView->placeAt();
    m_jumpPending.reset();
    move();
    const PdfPlace to = _pdfView->placeAt();
    if (to == from)
        m_jumpPending = from;
    else
        m_history.recordJump(from, to);
}

void AppDelegate::goToPageAsked()
{
    askPageNumber(QString());
}

void AppDelegate::askPageNumber(const QString &reason)
{
    const int count = shownPageCount();
    if (count <= 0 || _view1->isHidden())
        return;
    if (!m_pageDialog) {
        m_pageDialog = new QInputDialog(_window);
        m_pageDialog->setWindowTitle(QStringLiteral("Go to Page"));
        m_pageDialog->setInputMode(QInputDialog::TextInput);
        connect(m_pageDialog, &QInputDialog::textValueSelected, this, &AppDelegate::goToPageNumber);
    }
    const QString prompt = QStringLiteral("Page number (1 to %1):").arg(count);
    m_pageDialog->setLabelText(reason.isEmpty() ? prompt : reason + QLatin1Char('\n') + prompt);
    m_pageDialog->setTextValue(reason.isEmpty() ? QString::number(_pdfView->currentPageIndex() + 1)
                                                : m_pageDialog->textValue());
    m_pageDialog->open();
}

void AppDelegate::goToPageNumber(const QString &text)
{
    const int count = shownPageCount();
    const std::optional<int> index = pageIndexFromInput(text, count);
    if (!index) {
        // Asked again with the reason, so the reader can correct the number.
        askPageNumber(badPageNumberText(count));
        return;
    }
    jump([this, index] { _pdfView->goToPage(*index); });
}

void AppDelegate::toggleContents()
{
    if (_view1->isHidden())
        return;
    const bool show = m_contents->isHidden();
    m_contents->setHidden(!show);
    if (show) {
        m_contents->raise();
        if (!m_contents->hasOutline())
            requestContents();
        m_contents->tree()->setFocus(Qt::ShortcutFocusReason);
    }
}

void AppDelegate::requestContents()
{
    // While a book downloads there is nothing to say yet; it is asked for
    // when the book arrives.
    const std::shared_ptr<PdfDocument> document = _pdfView->document();
    if (!document)
        return;
    // Read once per book, on its worker; an answer for a book no longer shown is dropped.
    connect(document.get(), &PdfDocument::outlineRead, m_contents,
            [this, id = document->id()](const QList<PdfOutlineEntry> &entries) {
        const std::shared_ptr<PdfDocument> shown = _pdfView->document();
        if (shown && shown->id() == id)
            m_contents->setOutline(entries);
    }, Qt::SingleShotConnection);
    // A large book's outline waits for its text: a few seconds at most.
    m_contents->showReading();
    document->requestOutline();
}

void AppDelegate::showContentsEntry(const PdfOutlineEntry &entry)
{
    jump([this, entry] {
        // Across the page from its left edge: the entry names a line, not a column.
        _pdfView->showPlace(PdfPlace{entry.page, QPointF(0, qMax(0.0, entry.point.y()))});
    });
}

void AppDelegate::goBack()
{
    if (const auto place = m_history.back(_pdfView->placeAt()))
        _pdfView->showPlace(*place);
}

void AppDelegate::goForward()
{
    if (const auto place = m_history.forward(_pdfView->placeAt()))
        _pdfView->showPlace(*place);
}

void AppDelegate::zoomAround(int steps, QPoint viewportPos)
{
    // The combo box's choice applies the zoom, as for the keys; then the spot
    // under the mouse is brought back under it.
    const PdfPlace anchor = _pdfView->placeAt(viewportPos);
    stepZoom(steps);
    _pdfView->showPlace(anchor, viewportPos);
}
