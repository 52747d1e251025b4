#include "GrowingSearch.h"

#include "PdfDocument.h"

namespace vk {

namespace {

// Pages read without a match are told at most this often: each update may
// redraw the label and the highlights.
constexpr int kQuietPages = 16;

} // namespace

bool GrowingSearch::drop()
{
    m_handler = nullptr;
    m_document.reset();
    return QObject::disconnect(m_prefix);
}

void GrowingSearch::start(QObject *context, const std::shared_ptr<PdfDocument> &document,
                          const QString &pattern, Handler handler)
{
    drop();
    if (document->state() != PdfDocument::State::Ready || document->isTextIndexed()) {
        const int pages = document->pageCount();
        handler({document->findString(pattern), true, pages, pages});
        return;
    }
    m_document = document;
    m_pattern = pattern;
    m_handler = std::move(handler);
    m_searched = 0;
    m_lastReported = -1;
    m_prefix = QObject::connect(document.get(), &PdfDocument::textPrefixRead, context, [this] { advance(); });
    advance();
}

void GrowingSearch::advance()
{
    const std::shared_ptr<PdfDocument> document = m_document.lock();
    if (!document || !m_handler)
        return;
    const int pages = document->pageCount();
    const int readPrefix = document->textReadPrefix();
    Update update;
    update.pageCount = pages;
    if (readPrefix > m_searched) {
        update.added = document->findString(m_pattern, m_searched, readPrefix);
        m_searched = readPrefix;
    }
    update.pagesRead = m_searched;
    update.complete = m_searched >= pages;
    if (update.added.isEmpty() && !update.complete && m_lastReported >= 0
        && m_searched - m_lastReported < kQuietPages)
        return;
    m_lastReported = m_searched;
    // The handler may start the next search, which replaces this one.
    const Handler handler = m_handler;
    if (update.complete)
        drop();
    handler(update);
}

} // namespace vk
