#pragma once

#include <functional>

// Runs the event loop until done() holds or timeoutMs pass, looking every
// millisecond so that a figure taken right after is not rounded up to a coarser
// polling step. True when done() held.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
