#pragma once

#include <QList>
#include <QString>

#include <optional>

// The figures of a run, each printed beside its goal (an upper bound) and
// whether it was met; figures without a goal are shown for reference.
class FigureTable
{
public:
    void add(const QString &book, const QString &figure, double value, const QString &unit,
             std::optional<double> goal = std::nullopt);
    void print() const;
    int missedCount() const;

private:
    struct Row
    {
        QString book;
        QString figure;
        double value;
        QString unit;
        std::optional<double> goal;
    };
    QList<Row> rows;
};
