#pragma once

#include <QList>
#include <QMetaType>
#include <QPointF>
#include <QString>

class QPdfDocument;

namespace vk {

// One entry of a book's outline (its table of contents), in reading order.
struct PdfOutlineEntry
{
    QString title;
    int level = 0;   // 0 for a top entry, its children 1, ...
    int page = -1;   // from 0; -1 when the entry leads nowhere
    QPointF point;   // on the page, points from its top-left; (0, 0) without one
    friend bool operator==(const PdfOutlineEntry &, const PdfOutlineEntry &) = default;
};

// The outline of a loaded document, depth first. Reads PDFium: call it on the
// thread that may use pdf.
QList<PdfOutlineEntry> readOutline(QPdfDocument &pdf);

// For each entry, the index of the entry it belongs under, or -1 for a top
// entry. An entry whose level skips ahead belongs under the nearest entry above
// it of a lower level.
QList<int> outlineParents(const QList<PdfOutlineEntry> &entries);

} // namespace vk

Q_DECLARE_METATYPE(vk::PdfOutlineEntry)
