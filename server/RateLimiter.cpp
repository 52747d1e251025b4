#include "RateLimiter.h"

namespace vk {

RateLimiter::RateLimiter(int perMinute)
    : m_perMinute(perMinute)
{
}

bool RateLimiter::allow(const QString &client, qint64 nowMs)
{
    if (m_perMinute <= 0)
        return true;
    const std::lock_guard lock(m_mutex);
    if (m_events.size() >= kPruneThreshold && !m_events.contains(client))
        forgetIdleClients(nowMs);
    QList<qint64> &times = m_events[client];
    while (!times.isEmpty() && nowMs - times.first() >= kWindowMs)
        times.removeFirst();
    if (times.size() >= m_perMinute)
        return false;
    times.append(nowMs);
    return true;
}

qsizetype RateLimiter::trackedClients() const
{
    const std::lock_guard lock(m_mutex);
    return m_events.size();
}

void RateLimiter::forgetIdleClients(qint64 nowMs)
{
    for (auto it = m_events.begin(); it != m_events.end();) {
        if (it->isEmpty() || nowMs - it->last() >= kWindowMs)
            it = m_events.erase(it);
        else
            ++it;
    }
}

} // namespace vk
