#include "RequestLog.h"

QString requestLogLine(const QDateTime &when, const QString &client, const QString &method,
                       const QString &path, int status, double durationMs)
{
    const QString statusText = status > 0 ? QString::number(status) : QStringLiteral("closed");
    return QStringLiteral("%1 %2 %3 %4 %5 %6ms")
        .arg(when.toUTC().toString(Qt::ISODateWithMs), client, method, path, statusText,
             QString::number(durationMs, 'f', 2));
}

QString loggablePath(const QString &path)
{
    const QString books = QStringLiteral("/books/");
    if (path.startsWith(books) && path.size() > books.size() + 6)
        return path.left(books.size() + 6) + QStringLiteral("...");
    return path;
}
