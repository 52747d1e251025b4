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

    QByteArray path() const { return target.split('?').first(); }
    // Case-insensitive; empty when absent.
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &[key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

// How the server answers one path.
struct CaptureAnswer
{
    // Sized: Content-Length and body. CloseDelimited: body, then the server closes.
    // Silent: no answer at all. Reset: the connection is reset (RST) unanswered.
    // Trickle: body repeated at bytesPerSecond, without end. Raw: body alone,
    // no HTTP framing.
    enum class Kind { Sized, CloseDelimited, Silent, Reset, Trickle, Raw };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
    QByteArray location{};       // a Location header when not empty
    int bytesPerSecond = 0;      // Trickle
    qint64 announcedLength = -1; // Trickle: the Content-Length claimed; -1 for none
};
