#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>

namespace vk {

// One entry of a book's outline (its table of contents), in reading order.
struct PdfOutlineEntry
{
    QString title;
    int parent = -1; // index of the entry it belongs under; -1 at the top
    int page = -1;   // from 0; -1 when the entry leads nowhere
    QPointF point;   // on the page, points from its top-left; (0, 0) without one
};

// The outline of a book given as bytes, or else as the file at path, opened
// with password: depth first, so that an entry comes after the one it belongs
// under. Read with libqpdf rather than QtPdf, whose outline model loads every
// page an entry points at under PDFium's one lock (seconds for a long book,
// while no page could be rendered). Empty when the book has no outline or
// cannot be read.
QList<PdfOutlineEntry> readOutline(const QByteArray &bytes, const QString &path, const QString &password);

} // namespace vk
