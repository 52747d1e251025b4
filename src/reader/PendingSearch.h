#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace vk {

class PdfDocument;

// At most one search waiting for a document's text index. Extracting the rest
// of a long book's text on the window's thread would hold it for seconds, so a
// search made before the index is complete runs when the document says it is.
class PendingSearch
{
public:
    using Progress = std::function<void(int percent)>;

    PendingSearch() = default;
    PendingSearch(const PendingSearch &) = delete;
    PendingSearch &operator=(const PendingSearch &) = delete;
    ~PendingSearch() { drop(); }

    // Runs search now when there is nothing to wait for (no document, one that
    // is not Ready, or one already indexed) and returns true; else keeps it,
    // replacing any search kept before, reports the share of pages read through
    // progress, and returns false. context ends the wait when it is destroyed.
    bool run(QObject *context, const std::shared_ptr<PdfDocument> &document,
             std::function<void()> search, Progress progress);
    // Forgets the kept search; true when there was one.
    bool drop();

private:
    QMetaObject::Connection m_search;
    QMetaObject::Connection m_progress;
};

} // namespace vk
