#pragma once

#include <functional>

// Runs the event loop until done() holds or timeoutMs pass, looking each time
// the loop is through with the events pending, and every 10 ms. True when
// done() held.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
