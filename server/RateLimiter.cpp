#include "RateLimiter.h"

namespace vk {

RateLimiter::RateLimiter(int perMinute)
    : _perMinute(perMinute)
{
}

bool RateLimiter::allow(const QString &client, qint64 nowMs)
{
    if (_perMinute <= 0)
        return true;
    const std::lock_guard lock(_mutex);
    if (_events.size() >= pruneThreshold && !_events.contains(client))
        forgetIdleClients(nowMs);
    QList<qint64> &times = _events[client];
    while (!times.isEmpty() && nowMs - times.first() >= windowMs)
        times.removeFirst();
    if (times.size() >= _perMinute)
        return false;
    times.append(nowMs);
    return true;
}

qsizetype RateLimiter::trackedClients() const
{
    const std::lock_guard lock(_mutex);
    return _events.size();
}

void RateLimiter::forgetIdleClients(qint64 nowMs)
{
    for (auto it = _events.begin(); it != _events.end();) {
        if (it->isEmpty() || nowMs - it->last() >= windowMs)
            it = _events.erase(it);
        else
            ++it;
    }
}

} // namespace vk
