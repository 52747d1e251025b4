#pragma once

#include <QDateTime>
#include <QString>

// One line per request: time, client, method and path, status, duration.
// Bodies are never logged, so no address or password reaches the log.
// A status of 0 means the connection ended before an answer was sent.
QString requestLogLine(const QDateTime &when, const QString &client, const QString &method,
                       const QString &path, int status, double durationMs);

// Book paths carry the token that grants the download; the log keeps only
// enough of it to tell requests apart.
QString loggablePath(const QString &path);
