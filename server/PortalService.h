#pragma once

#include "RateLimiter.h"

#include <QByteArray>
#include <QString>

#include <functional>

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

    PortalReply handle(const PortalRequest &request);

    // True for the one request that writes to the library (the status
    // update): the HTTP layer runs it apart, so a write that waits for the
    // database lock holds up no other request.
    static bool writes(const PortalRequest &request);

    // Milliseconds since the epoch; replaceable so the online TTL can be exercised.
    void setClock(std::function<qint64()> clock);

    static constexpr qsizetype maxBodyBytes = 64 * 1024;

private:
    PortalReply serverCheck();
    PortalReply userCheck(const PortalRequest &request);
    PortalReply bookCheck(const PortalRequest &request);
    PortalReply statusUpdate(const PortalRequest &request);
    PortalReply bookFile(const QString &token);
    PortalReply unavailable(const QString &what, const QString &error) const;

    const PortalConfig _config;
    RateLimiter _userChecks;
    RateLimiter _statusUpdates;
    std::function<qint64()> _clock;
};
