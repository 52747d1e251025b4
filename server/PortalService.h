#pragma once

#include "LibraryQueries.h"
#include "PortalDatabase.h"
#include "PortalMetrics.h"
#include "RateLimiter.h"

#include <QAtomicInteger>
#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>
#include <variant>

namespace vk {

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
// left is counting it against its client's limit, and the write.
struct StatusWrite
{
    QString user;
    bool online = false;
    QString client; // the key its limit counts under
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
// each thread uses its own database connection. Everything that several
// processes serving one library must agree on (online flags, rate-limit
// counts) lives in the library, none of it here.
class PortalService
{
public:
    // Throws CommandError for a database location it cannot take.
    explicit PortalService(const PortalConfig &config);

    PortalDatabase &database() { return m_database; }

    // Answers a request completely: begin(), then write() when it asks for one.
    PortalReply handle(const PortalRequest &request);

    // The answer, or for a well-formed status update the write still to be
    // made. The HTTP layer runs writes on a queue of their own, so a write
    // that waits for the database lock holds up no other request, while
    // malformed updates are refused without queueing. The limit is counted
    // in the library, which is a write too, so it is counted on the queue.
    std::variant<PortalReply, StatusWrite> begin(const PortalRequest &request);
    PortalReply write(const StatusWrite &update);

    // Database failures are counted here, everything else by the HTTP layer.
    PortalMetrics &metrics() { return m_metrics; }

    // Milliseconds since the epoch; replaceable so the online TTL can be exercised.
    void setClock(std::function<qint64()> clock);

    static constexpr qsizetype kMaxBodyBytes = 64 * 1024;

private:
    PortalReply serverCheck();
    PortalReply userCheck(const PortalRequest &request);
    PortalReply bookCheck(const PortalRequest &request);
    std::variant<PortalReply, StatusWrite> statusUpdate(const PortalRequest &request);
    PortalReply bookFile(const QString &token);
    PortalReply unavailable(const QString &what, const QString &error);
    // Runs a query (on this thread's connection); after a failure on a
    // connection that was open, once more on a fresh one, since a connection
    // the database dropped (a restart, a failover) fails only when next used.
    template<typename Query>
    auto withConnection(QueryStatus *status, Query query);
    // The 429 reply when the client is over its limit, or a 503 when the
    // count cannot be kept; nullopt when the request may go on.
    std::optional<PortalReply> limit(const QString &kind, int perMinute, const QString &client);
    // Held around each write where the engine takes one writer at a time.
    std::unique_lock<std::mutex> writeTurn();

    const PortalConfig m_config;
    PortalDatabase m_database;
    std::function<qint64()> m_clock;
    PortalMetrics m_metrics;
    RateLimiter m_userChecks;
    RateLimiter m_statusUpdates;
    QAtomicInteger<qint64> m_countsForgottenMinute = 0;
    std::mutex m_writes;
};

} // namespace vk
