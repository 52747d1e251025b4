#include "FigureTable.h"

#include <algorithm>
#include <cstdio>

void FigureTable::add(const QString &book, const QString &figure, double value, const QString &unit,
                      std::optional<double> goal)
{
    rows.append({book, figure, value, unit, goal});
}

int FigureTable::missedCount() const
{
    return int(std::count_if(rows.begin(), rows.end(),
                             [](const Row &row) { return row.goal && row.value >= *row.goal; }));
}

void FigureTable::print() const
{
    int bookWidth = 4;
    int figureWidth = 6;
    for (const Row &row : rows) {
        bookWidth = std::max(bookWidth, int(row.book.size()));
        figureWidth = std::max(figureWidth, int(row.figure.size()));
    }
    std::printf("%-*s  %-*s  %12s  %12s  %s\n", bookWidth, "book", figureWidth, "figure", "measured", "goal",
                "result");
    for (const Row &row : rows) {
        const QString measured = QStringLiteral("%1 %2").arg(row.value, 0, 'f', row.value < 100 ? 1 : 0).arg(row.unit);
        const QString goal = row.goal ? QStringLiteral("< %1 %2").arg(*row.goal, 0, 'f', 0).arg(row.unit) : QString();
        const char *result = !row.goal ? "" : row.value < *row.goal ? "met" : "missed";
        std::printf("%-*s  %-*s  %12s  %12s  %s\n", bookWidth, qPrintable(row.book), figureWidth,
                    qPrintable(row.figure), qPrintable(measured), qPrintable(goal), result);
    }
    std::fflush(stdout);
}
