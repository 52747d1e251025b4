#pragma once

#include <QDateTime>
#include <QString>

namespace vk {

// One line per request: time, client, method and path, status, duration.
// Bodies are never logged, so no address or password reaches the log.
// A status of 0 means the connection ended before an answer was sent.
QString requestLogLine(const QDateTime &when, const QString &client, const QString &method,
                       const QString &path, int status, double durationMs);

// Book paths carry the token that grants the download; the log keeps only
// enough of it to tell requests apart. Control characters are escaped and a
// long path is cut, so a request cannot forge or flood log lines.
QString loggablePath(const QString &path);

// Any text a client or a library hands to the log: every 32-digit hex run
// (a book token) shortened, control characters and backslashes escaped, at
// most maxChars characters kept and a cut marked.
QString loggableText(const QString &text, qsizetype maxChars);

// A message of libmicrohttpd's as one log line. Its messages quote request
// paths, so they get the same treatment as request lines.
QString libraryLogLine(const QString &message);

// Writes one line to standard error in a single call, so lines written by
// different request threads never interleave.
void writeLogLine(const QString &line);

} // namespace vk
