#include "TickGaps.h"

#include <algorithm>

namespace {
constexpr int kTickMs = 10;
}

TickGaps::TickGaps()
{
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [this] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    sinceTick.start();
    tick.start(kTickMs);
}

void TickGaps::startPhase()
{
    longest = 0;
    sinceTick.restart();
}

double TickGaps::longestMs() const
{
    // A gap still open counts as well: the phase may end inside it.
    return std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
}
