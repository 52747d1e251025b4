#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// One HTTP request exactly as it reached the server.
struct CapturedRequest
{
    QByteArray method;
    QByteArray target; // path and query as sent
    QList<QPair<QByteArray, QByteArray>> headers; // in order, names as sent
    QByteArray body;   // the Content-Length bytes, untouched

    QByteArray path() const; // target without its query
    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
};
