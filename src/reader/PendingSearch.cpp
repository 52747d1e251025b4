#include "PendingSearch.h"

#include "PdfDocument.h"

namespace vk {

bool PendingSearch::drop()
{
    QObject::disconnect(m_progress);
    return QObject::disconnect(m_search);
}

bool PendingSearch::run(QObject *context, const std::shared_ptr<PdfDocument> &document,
                        std::function<void()> search, Progress progress)
{
    drop();
    if (!document || document->state() != PdfDocument::State::Ready || document->isTextIndexed()) {
        search();
        return true;
    }
    m_search = QObject::connect(document.get(), &PdfDocument::textIndexed, context, [this, search] {
        drop();
        search();
    });
    m_progress = QObject::connect(document.get(), &PdfDocument::textIndexProgress, context,
                                  [progress](int done, int total) {
        if (total > 0 && progress)
            progress(int(qint64(done) * 100 / total));
    });
    // The index may have completed between the first look and the connection.
    if (!document->isTextIndexed())
        return false;
    drop();
    search();
    return true;
}

} // namespace vk
