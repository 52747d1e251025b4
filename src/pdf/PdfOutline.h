#pragma once

#include <QList>
#include <QPointF>
#include <QString>

class QPdfDocument;

namespace vk {

// One entry of a book's outline (its table of contents), in reading order.
struct PdfOutlineEntry
{
    QString title;
    int parent = -1; // index of the entry it belongs under; -1 at the top
    int page = -1;   // from 0; -1 when the entry leads nowhere
    QPointF point;   // on the page, points from its top-left; (0, 0) without one
};

// The outline of a loaded document, depth first, so that an entry comes
// after the one it belongs under. Reads PDFium: call it on the thread that
// may use pdf.
QList<PdfOutlineEntry> readOutline(QPdfDocument &pdf);

} // namespace vk
