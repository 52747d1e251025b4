#pragma once

#include <QString>

namespace vk {

// Writes one diagnostic line to standard error: time, program name and pid,
// then the text, so lines of the viewer and its helpers interleave readably.
void logLine(const QString &message);

} // namespace vk
