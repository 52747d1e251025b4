#include "ConnectionGuard.h"

#include <sys/socket.h>

#include <utility>

namespace vk {

ConnectionGuard::ConnectionGuard(const Limits &limits)
    : m_limits(limits)
{
}

bool ConnectionGuard::admit(const void *connection, int fd, const QString &client, qint64 nowMs)
{
    const std::lock_guard lock(m_mutex);
    const int held = m_perClient.value(client);
    const bool assured = unsigned(held) < m_limits.assured;
    const bool shared = unsigned(held) < m_limits.perClient
        && unsigned(m_connections.size()) < m_limits.total / 2;
    if (!assured && !shared) {
        ++m_closed.refused;
        return false;
    }
    m_connections.insert(connection, {fd, client, nowMs});
    ++m_perClient[client];
    return true;
}

void ConnectionGuard::requestArrived(const void *connection)
{
    const std::lock_guard lock(m_mutex);
    if (auto it = m_connections.find(connection); it != m_connections.end())
        it->waitingSinceMs = -1;
}

void ConnectionGuard::awaitRequest(const void *connection, qint64 nowMs)
{
    const std::lock_guard lock(m_mutex);
    if (auto it = m_connections.find(connection); it != m_connections.end())
        it->waitingSinceMs = nowMs;
}

void ConnectionGuard::release(const void *connection)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_connections.constFind(connection);
    if (it == m_connections.cend())
        return;
    if (--m_perClient[it->client] <= 0)
        m_perClient.remove(it->client);
    m_connections.erase(it);
}

int ConnectionGuard::cutOverdue(qint64 nowMs)
{
    const std::lock_guard lock(m_mutex);
    int cut = 0;
    for (Entry &entry : m_connections) {
        if (entry.waitingSinceMs < 0 || nowMs - entry.waitingSinceMs < m_limits.requestDeadlineMs)
            continue;
        ::shutdown(entry.fd, SHUT_RDWR);
        // Cut once; the server's close notice removes it.
        entry.waitingSinceMs = -1;
        ++cut;
    }
    m_closed.cut += cut;
    return cut;
}

int ConnectionGuard::connectionsOf(const QString &client) const
{
    const std::lock_guard lock(m_mutex);
    return m_perClient.value(client);
}

ConnectionGuard::Closed ConnectionGuard::takeClosed()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_closed, {});
}

} // namespace vk
