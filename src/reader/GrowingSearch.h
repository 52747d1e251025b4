#pragma once

#include "PdfSelection.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace vk {

class PdfDocument;

// One search over a book whose text may still be arriving. The matches of the
// pages read so far (every page from the first on, so none is missed before the
// last one reported) come at once, and more as the reading goes on, until the
// whole book is searched. Together they are what a search of the complete text
// finds, in the same order.
class GrowingSearch
{
public:
    struct Update
    {
        QList<PdfSelection> added; // found since the last update, in book order
        bool complete = false;     // every page was searched; no update follows
        int pagesRead = 0;
        int pageCount = 0;
    };
    using Handler = std::function<void(const Update &update)>;

    GrowingSearch() = default;
    GrowingSearch(const GrowingSearch &) = delete;
    GrowingSearch &operator=(const GrowingSearch &) = delete;
    ~GrowingSearch() { drop(); }

    // Replaces the search before. Calls handler before it returns with what the
    // pages read so far hold, then again as more are read (from context's
    // thread, not after context is gone). A document that is not Ready, or
    // whose text is complete, is searched whole at once.
    void start(QObject *context, const std::shared_ptr<PdfDocument> &document, const QString &pattern,
               Handler handler);
    // Stops reporting; true when the search was still growing.
    bool drop();
    bool isGrowing() const { return bool(m_handler); }

private:
    void advance();

    std::weak_ptr<PdfDocument> m_document;
    QString m_pattern;
    Handler m_handler;
    int m_searched = 0;      // pages searched so far
    int m_lastReported = -1; // pages searched at the last update
    QMetaObject::Connection m_prefix;
};

} // namespace vk
