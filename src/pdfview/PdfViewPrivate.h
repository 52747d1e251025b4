#pragma once

#include "PdfDocument.h"
#include "PdfImageCache.h"
#include "PdfPageLayout.h"
#include "PdfSelection.h"
#include "PdfView.h"
#include "WheelSteps.h"

#include <QHash>
#include <QList>
#include <QSize>

#include <memory>
#include <optional>

namespace vk {

// The state PdfView shares between the files that define it.
struct PdfView::Private
{
    // About thirty A4 pages at 1:1: several screens back and forth. PDFium keeps
    // its own caches per document, which grow by more than 100 MB over a long
    // book (source3.pdf's index pages), so the images get the smaller share.
    static constexpr qint64 kImageCacheBytes = 64LL * 1024 * 1024;
    static constexpr double kMinimumScale = 0.05;
    static constexpr double kMaximumScale = 16.0;

    std::shared_ptr<PdfDocument> document;
    QList<QSizeF> pointSizes;
    PdfPageLayout layout;
    double scale = 1.0;
    bool autoScales = false;
    int currentPage = 0;
    bool scrollingInCode = false;
    WheelSteps wheelSteps;

    std::optional<PdfSelection> currentSelection;
    QList<PdfSelection> highlights;
    QHash<int, QList<PdfSelection>> highlightsOnPage; // of the shown document only
    std::optional<PdfSelection> pendingScroll;

    bool downloading = false;
    QString downloadName;
    qint64 received = 0;
    qint64 total = -1;

    PdfImageCache cache{kImageCacheBytes};
    QHash<int, QSize> failedRenders; // not asked again at the same size
    QList<QMetaObject::Connection> connections;

    bool shows(const PdfSelection &s) const
    {
        return document && s.documentId == document->id() && s.page >= 0
            && s.page < pointSizes.size();
    }
};

} // namespace vk
