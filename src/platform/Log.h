#pragma once

#include <QString>

// Writes one diagnostic line to standard error, stamped like the platform log
// the viewer was first written for: time, program name and pid, then the text.
void logLine(const QString &message);
