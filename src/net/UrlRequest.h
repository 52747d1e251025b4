#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace vk {

// A request as plain data. The session copies it when a task is made, so a caller
// may reuse and reconfigure one request object while earlier tasks are in flight.
struct UrlRequest
{
    QUrl url;
    int cachePolicy = 0;           // 0: the protocol's own caching rules apply
    double timeoutInterval = 60.0; // seconds without progress before the task gives up
    QByteArray httpMethod = "GET";
    std::optional<QByteArray> httpBody; // nullopt: no body at all
};

// What a completion handler receives.
struct UrlResponse
{
    // nullopt: no answer arrived (unreachable, TLS refused, reset, timed out,
    // cancelled) or it was larger than the task's limit.
    std::optional<QByteArray> data;
    int statusCode = 0;             // HTTP status, 0 when there was none
    QString error;                  // empty when the transfer itself succeeded
};

} // namespace vk
