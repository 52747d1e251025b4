#include "FixturePdf.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

QColor fixturePageColor(int page)
{
    static const QColor colors[] = {QColor(230, 60, 60), QColor(60, 160, 60), QColor(60, 90, 220)};
    return colors[page % 3];
}

bool writeFixturePdf(const QString &path, int pageCount)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(612, 792), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRectF(0, 0, 612, 792), fixturePageColor(page));
    }
    return painter.end();
}
