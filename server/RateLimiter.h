#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <mutex>

namespace vk {

// At most `perMinute` events per client in any sliding minute. Refused events
// are not counted, so a client that keeps hammering gets through again as soon
// as its oldest accepted event is a minute old. Thread-safe.
class RateLimiter
{
public:
    explicit RateLimiter(int perMinute);

    // perMinute 0 lets everything through.
    bool allow(const QString &client, qint64 nowMs);

    qsizetype trackedClients() const;

private:
    void forgetIdleClients(qint64 nowMs);

    static constexpr qint64 kWindowMs = 60 * 1000;
    // Bounds memory when many addresses pass by: beyond this many clients,
    // those idle for a whole window are dropped.
    static constexpr qsizetype kPruneThreshold = 4096;

    const int m_perMinute;
    mutable std::mutex m_mutex;
    QHash<QString, QList<qint64>> m_events;
};

} // namespace vk
