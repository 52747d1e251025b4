#pragma once

#include <QElapsedTimer>
#include <QTimer>

// A 10 ms timer on the calling thread's event loop that keeps the longest time
// between two of its ticks since the phase began: how long that thread was held
// away from its events.
class TickGaps
{
public:
    TickGaps();

    void startPhase();
    double longestMs() const;

private:
    QTimer tick;
    QElapsedTimer sinceTick;
    double longest = 0;
};
