#pragma once

#include "PortalMetrics.h"
#include "RateLimiter.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <variant>

struct PortalRequest
{
    QString method;
    QString path;
    QByteArray body;
    QString client;
};

struct PortalReply
{
    int status = 200;
    QByteArray body;
    // Set for a book download: the file to stream instead of `body`.
    QString filePath;
};

// A status update that passed every check that needs no database: what is
// left is the write.
struct StatusWrite
{
    QString user;
    bool online = false;
};

struct PortalConfig
{
    QString databasePath;
    QString storeDir;
    QString publicUrl; // book locations start with it; no trailing "/"
    double onlineTtlHours = 12;
    int userChecksPerMinute = 30;
    // A reader sends two a session; this leaves room for many behind one NAT.
    int statusUpdatesPerMinute = 60;
};

// Answers one request from the library. Independent of the HTTP layer, so the
// endpoints can be driven directly. Safe to call from many threads at once:
// each thread uses its own database connection.
class PortalService
{
public:
    explicit PortalService(const PortalConfig &config);

    // Answers a request completely: begin(), then write() when it asks for one.
    PortalReply handle(const PortalRequest &request);

    // The answer, or for an admitted status update the write still to be
    // made. The HTTP layer runs writes on a queue of their own, so a write
    // that waits for the database lock holds up no other request, while
    // malformed and rate-limited updates are refused without queueing.
    std::variant<PortalReply, StatusWrite> begin(const PortalRequest &request);
    PortalReply write(const StatusWrite &update);

    // Database failures are counted here, everything else by the HTTP layer.
    PortalMetrics &metrics() { return _metrics; }

    // Milliseconds since the epoch; replaceable so the online TTL can be exercised.
    void setClock(std::function<qint64()> clock);

    static constexpr qsizetype maxBodyBytes = 64 * 1024;

private:
    PortalReply serverCheck();
    PortalReply userCheck(const PortalRequest &request);
    PortalReply bookCheck(const PortalRequest &request);
    std::variant<PortalReply, StatusWrite> statusUpdate(const PortalRequest &request);
    PortalReply bookFile(const QString &token);
    PortalReply unavailable(const QString &what, const QString &error);

    const PortalConfig _config;
    RateLimiter _userChecks;
    RateLimiter _statusUpdates;
    std::function<qint64()> _clock;
    PortalMetrics _metrics;
};
