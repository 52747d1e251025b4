#include "DemoBooks.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>

namespace vk {

namespace {

const QStringList kParagraphs = {
    QStringLiteral("The velkarn reader keeps the library on the portal and opens each book on demand."),
    QStringLiteral("Calibration of the press starts with a clean drum and a level bed."),
    QStringLiteral("Search finds every match on every page, whatever the letter case."),
    QStringLiteral("Safety first: switch the machine off before opening the side panel."),
    QStringLiteral("A margin of twelve points keeps the text clear of the binding."),
    QStringLiteral("Each chapter ends with a short summary and a list of terms."),
};

} // namespace

QString writeDemoPdf(const QString &path, const QString &title, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setResolution(72);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("velkarn-portal demo"));
    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("cannot write %1").arg(path);
    QFont heading(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    QFont body(QStringLiteral("DejaVu Serif"), 10);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        painter.setFont(heading);
        painter.drawText(36, 60, QStringLiteral("%1 - page %2").arg(title).arg(page));
        painter.setFont(body);
        const int width = int(writer.width()) - 72;
        int y = 84;
        for (int i = 0; i < kParagraphs.size(); ++i) {
            QRect used;
            painter.drawText(QRect(36, y, width, 200), Qt::TextWordWrap,
                             kParagraphs.at((page + i) % kParagraphs.size()), &used);
            y += used.height() + 10;
        }
        painter.drawText(QRect(36, y, width, 40), Qt::TextWordWrap,
                         QStringLiteral("Page marker: marker-%1 (page %2 of %3).")
                             .arg(page, 4, 10, QLatin1Char('0'))
                             .arg(page)
                             .arg(pages));
    }
    if (!painter.end())
        return QStringLiteral("cannot finish %1").arg(path);
    return {};
}

} // namespace vk
