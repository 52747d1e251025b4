#include "ConnectionGuard.h"

#include <sys/socket.h>

#include <utility>

namespace vk {

ConnectionGuard::ConnectionGuard(const Limits &limits)
    : _limits(limits)
{
}

bool ConnectionGuard::admit(const void *connection, int fd, const QString &client, qint64 nowMs)
{
    const std::lock_guard lock(_mutex);
    const int held = _perClient.value(client);
    const bool assured = unsigned(held) < _limits.assured;
    const bool shared = unsigned(held) < _limits.perClient
        && unsigned(_connections.size()) < _limits.total / 2;
    if (!assured && !shared) {
        ++_closed.refused;
        return false;
    }
    _connections.insert(connection, {fd, client, nowMs});
    ++_perClient[client];
    return true;
}

void ConnectionGuard::requestArrived(const void *connection)
{
    const std::lock_guard lock(_mutex);
    if (auto it = _connections.find(connection); it != _connections.end())
        it->waitingSinceMs = -1;
}

void ConnectionGuard::awaitRequest(const void *connection, qint64 nowMs)
{
    const std::lock_guard lock(_mutex);
    if (auto it = _connections.find(connection); it != _connections.end())
        it->waitingSinceMs = nowMs;
}

void ConnectionGuard::release(const void *connection)
{
    const std::lock_guard lock(_mutex);
    const auto it = _connections.constFind(connection);
    if (it == _connections.cend())
        return;
    if (--_perClient[it->client] <= 0)
        _perClient.remove(it->client);
    _connections.erase(it);
}

int ConnectionGuard::cutOverdue(qint64 nowMs)
{
    const std::lock_guard lock(_mutex);
    int cut = 0;
    for (Entry &entry : _connections) {
        if (entry.waitingSinceMs < 0 || nowMs - entry.waitingSinceMs < _limits.requestDeadlineMs)
            continue;
        ::shutdown(entry.fd, SHUT_RDWR);
        // Cut once; the server's close notice removes it.
        entry.waitingSinceMs = -1;
        ++cut;
    }
    _closed.cut += cut;
    return cut;
}

int ConnectionGuard::connectionsOf(const QString &client) const
{
    const std::lock_guard lock(_mutex);
    return _perClient.value(client);
}

ConnectionGuard::Closed ConnectionGuard::takeClosed()
{
    const std::lock_guard lock(_mutex);
    return std::exchange(_closed, {});
}

} // namespace vk
