#include "PdfViewPaint.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QWidget>

namespace vk {

namespace PdfViewPaint {

void page(QPainter &painter, const QRect &pageRect, const QList<Piece> &pieces)
{
    painter.fillRect(pageRect, Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Piece &piece : pieces)
        painter.drawImage(piece.target, piece.image);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(pageRect.adjusted(0, 0, -1, -1));
}

static void fillRects(QPainter &painter, const QRect &pageRect, double scale,
                      const QList<QRectF> &rects, const QColor &colour)
{
    for (const QRectF &r : rects) {
        const QRectF shown(pageRect.left() + r.left() * scale, pageRect.top() + r.top() * scale,
                           r.width() * scale, r.height() * scale);
        painter.fillRect(shown, colour);
    }
}

void current(QPainter &painter, const QRect &pageRect, double scale, const QList<QRectF> &rects)
{
    // Multiply keeps the glyphs dark under the selection colour.
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    fillRects(painter, pageRect, scale, rects, QColor(90, 150, 255, 200));
    painter.restore();
}

void highlights(QPainter &painter, const QRect &pageRect, double scale, const QList<QRectF> &rects)
{
    fillRects(painter, pageRect, scale, rects, QColor(255, 230, 0, 90));
}

void placeholder(QPainter &painter, const QRect &area, const QString &text)
{
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void download(QPainter &painter, const QWidget *widget, const QRect &area, const QString &name,
              qint64 received, qint64 total)
{
    const int barWidth = qMin(320, area.width() - 40);
    const int lineHeight = painter.fontMetrics().height();
    const QRect bar(area.center().x() - barWidth / 2, area.center().y() + 4, barWidth, lineHeight + 4);
    const QRect label(area.left() + 10, bar.top() - 8 - 2 * lineHeight, area.width() - 20, 2 * lineHeight);
    painter.setPen(QColor(60, 60, 60));
    painter.drawText(label, Qt::AlignHCenter | Qt::AlignBottom,
                     painter.fontMetrics().elidedText(name, Qt::ElideMiddle, label.width()));

    QStyleOptionProgressBar option;
    option.initFrom(widget);
    option.rect = bar;
    option.state |= QStyle::State_Horizontal;
    option.minimum = 0;
    // Scaled to permille: byte counts overflow the int range of the style option.
    option.maximum = total > 0 ? 1000 : 0;
    option.progress = total > 0 ? int(qBound(qint64(0), received * 1000 / total, qint64(1000))) : 0;
    option.textVisible = false;
    widget->style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, widget);
}

} // namespace PdfViewPaint

} // namespace vk
