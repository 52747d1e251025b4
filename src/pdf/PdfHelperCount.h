#pragma once

namespace vk {

// How many text helpers a book gets: one per processor core that nothing else
// is using right now, at least one and at most kMaxTextHelpers. On a busy
// machine extra helpers only repeat each other's start-up work (each parses the
// book and loads its fonts) while taking time from the programs already running.
inline constexpr int kMaxTextHelpers = 4;

int helperCountFor(int cores, int othersRunnable);
// From the processors this process may use, less the tasks of other programs
// that are runnable at this moment (/proc/loadavg less this process's own).
int textHelperCount();

} // namespace vk
