#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>

class QPainter;
class QWidget;

namespace vk {

// Drawing pieces of PdfView, kept apart from its scrolling and scheduling.
namespace PdfViewPaint {

// An image and where it goes, in the painter's logical pixels.
struct Piece
{
    QRectF target;
    QImage image;
};

// A white sheet with a thin border, with the page's images on it in order: the
// whole page, or its tiles (an image of another size is stretched until the
// right one arrives).
void page(QPainter &painter, const QRect &pageRect, const QList<Piece> &pieces);

// Selection rectangles given in page points, drawn over pageRect shown at scale.
void current(QPainter &painter, const QRect &pageRect, double scale, const QList<QRectF> &rects);
void highlights(QPainter &painter, const QRect &pageRect, double scale, const QList<QRectF> &rects);

// A short reason centred in area.
void placeholder(QPainter &painter, const QRect &area, const QString &text);

// The book's name above a progress bar, centred in area; total < 0: unknown size.
void download(QPainter &painter, const QWidget *widget, const QRect &area, const QString &name,
              qint64 received, qint64 total);

} // namespace PdfViewPaint

} // namespace vk
