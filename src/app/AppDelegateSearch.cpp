#include "AppDelegate.h"

#include "Log.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "GrowingSearch.h"
#include "SearchStepping.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>

using namespace vk;

void AppDelegate::tvaction()
{
    logLine(QStringLiteral("enter tv=") + QStringLiteral("tvaction:"));
    searchPressedf();
}

void AppDelegate::searchPressedf()
{
    findfirsttext(_searchtv->text());
}

void AppDelegate::searchPressedp()
{
    findprevtext();
}

void AppDelegate::searchPressedn()
{
    findnexttext();
}

bool AppDelegate::runWhenTextIndexed(std::function<void()> search)
{
    // The first search of a long book waits seconds; the share of pages read
    // shows that it is getting on.
    return m_pendingSearch.run(this, _pdfView->document(), std::move(search), [this](int percent) {
        _matchl->setText(QStringLiteral("Searching ... %1%").arg(percent));
    });
}

void AppDelegate::findfirsttext(const QString &pattern)
{
    m_pendingSearch.drop();
    findcount = 0;
    const std::shared_ptr<PdfDocument> document = _pdfView->document();
    if (!document) {
        m_growingSearch.drop();
        results.reset();
        searchGrew({{}, true, 0, 0});
        return;
    }
    // The first match shows as soon as the pages up to it are read; the rest
    // join the list while the book's text arrives.
    results = QList<PdfSelection>();
    m_growingSearch.start(this, document, pattern,
                          [this](const GrowingSearch::Update &update) { searchGrew(update); });
}

void AppDelegate::searchGrew(const GrowingSearch::Update &update)
{
    m_resultsComplete = update.complete;
    if (!results || (results->isEmpty() && update.added.isEmpty())) {
        _searchp->setEnabled(false);
        _searchn->setEnabled(false);
        if (update.complete)
            showMatchCount();
        else
            _matchl->setText(QStringLiteral("Searching ... %1%")
                                 .arg(qint64(update.pagesRead) * 100 / qMax(1, update.pageCount)));
        return;
    }
    const bool first = results->isEmpty();
    results->append(update.added);
    if (first) {
        jump([this] {
            _pdfView->setCurrentSelection(results->at(0));
            _pdfView->scrollSelectionToVisible();
        });
        findcount = 0;
        _searchp->setEnabled(true);
    }
    if (!update.added.isEmpty()) {
        // ">" stopped at the last match found so far; there is a next one now.
        _searchn->setEnabled(true);
        _pdfView->setHighlightedSelections(*results);
    }
    showMatchCount();
}

void AppDelegate::findnexttext()
{
    const qsizetype count = results ? results->size() : 0;
    logLine(QString::asprintf("rcount=%lu, b4fcount=%d", static_cast<unsigned long>(count), findcount));
    applySearchStep(stepForward(count, findcount));
}

void AppDelegate::findprevtext()
{
    const qsizetype count = results ? results->size() : 0;
    applySearchStep(stepBack(count, findcount));
}

void AppDelegate::applySearchStep(const SearchStep &step)
{
    findcount = step.findcount;
    if (step.prevEnabled)
        _searchp->setEnabled(*step.prevEnabled);
    if (step.nextEnabled)
        _searchn->setEnabled(*step.nextEnabled);
    if (step.selectMatch)
        selectMatch();
    else
        _pdfView->clearCurrentSelection();
}

void AppDelegate::selectMatch()
{
    jump([this] {
        _pdfView->setCurrentSelection(results->at(findcount));
        _pdfView->scrollSelectionToVisible();
    });
    showMatchCount();
}

void AppDelegate::showMatchCount()
{
    if (!results)
        _matchl->setText(_pdfView->document() ? QString() : QStringLiteral("No matches"));
    else if (results->isEmpty())
        _matchl->setText(QStringLiteral("No matches"));
    else
        _matchl->setText(QStringLiteral("%1 of %2%3")
                             .arg(findcount + 1)
                             .arg(results->size())
                             .arg(m_resultsComplete ? QString() : QStringLiteral("+")));
}

void AppDelegate::findtext(const QString &pattern)
{
    runWhenTextIndexed([this, pattern] {
        const std::shared_ptr<PdfDocument> document = _pdfView->document();
        if (!document)
            return;
        const QList<PdfSelection> matches = document->findString(pattern);
        const std::optional<PdfSelection> current = _pdfView->currentSelection();
        const bool fromCurrent = current && current->documentId == document->id();
        for (const PdfSelection &match : matches) {
            if (fromCurrent
                && std::tie(match.page, match.start) <= std::tie(current->page, current->start))
                continue;
            _pdfView->setCurrentSelection(match);
            _pdfView->scrollSelectionToVisible();
            return;
        }
    });
}

void AppDelegate::findnexttext2(const QString &pattern)
{
    // It replaces results with the whole book's matches.
    m_growingSearch.drop();
    m_resultsComplete = true;
    runWhenTextIndexed([this, pattern] {
        const std::shared_ptr<PdfDocument> document = _pdfView->document();
        if (document)
            results = document->findString(pattern);
        else
            results.reset();
        // With fewer than two matches there is no second one to end on.
        if (!results || results->size() < 2)
            return;
        for (const PdfSelection &match : *results)
            _pdfView->setCurrentSelection(match);
        _pdfView->setCurrentSelection(results->at(1));
        _pdfView->scrollSelectionToVisible();
    });
}
