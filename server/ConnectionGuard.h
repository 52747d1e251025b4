#pragma once

#include <QHash>
#include <QString>

#include <mutex>

namespace vk {

// Keeps hostile clients from holding connections they do not use. Every
// request must arrive whole within a deadline, counted from the moment the
// connection was ready for it (accepted, or its previous answer sent); a
// connection that misses it is shut down. And no client may hold more than
// its share: a few connections always, more only while less than half of
// the server's limit is taken, so a handful of addresses can never fill it.
// Thread-safe: the server's threads report, a watchdog cuts.
class ConnectionGuard
{
public:
    struct Limits
    {
        unsigned total = 512;
        unsigned perClient = 64;
        // Every client may hold this many whatever the load.
        unsigned assured = 8;
        qint64 requestDeadlineMs = 10'000;
    };

    explicit ConnectionGuard(const Limits &limits);

    // A new connection. False when the client has taken its share: the
    // caller closes it, and it is not tracked.
    bool admit(const void *connection, int fd, const QString &client, qint64 nowMs);
    // The connection's current request has been read whole.
    void requestArrived(const void *connection);
    // An answer was sent and the connection waits for its next request.
    void awaitRequest(const void *connection, qint64 nowMs);
    void release(const void *connection);

    // Shuts down (both directions) every connection whose request is overdue;
    // the server then closes it as it would any broken connection. Done under
    // the lock, so a descriptor released meanwhile is never touched.
    int cutOverdue(qint64 nowMs);

    int connectionsOf(const QString &client) const;

    // Connections refused for their client's share and cut at the deadline
    // since the last call, for the log.
    struct Closed
    {
        qint64 refused = 0;
        qint64 cut = 0;
    };
    Closed takeClosed();

private:
    struct Entry
    {
        int fd = -1;
        QString client;
        qint64 waitingSinceMs = -1; // -1: its request has arrived
    };

    const Limits m_limits;
    mutable std::mutex m_mutex;
    QHash<const void *, Entry> m_connections;
    QHash<QString, int> m_perClient;
    Closed m_closed;
};

} // namespace vk
