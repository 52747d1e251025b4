#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

struct MHD_Daemon;

namespace vk {

class PortalMetrics;

// The operator's address beside the portal: plain HTTP, GET /healthz and
// GET /metrics only, everything else 404. A daemon of its own, so a scrape
// never waits behind readers' requests and no portal endpoint answers here.
class MetricsServer
{
public:
    // The database's error text, empty when it answers.
    using HealthCheck = std::function<QString()>;

    MetricsServer(const PortalMetrics &metrics, HealthCheck health);
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // Takes the listening socket over. Returns an error text, empty once it serves.
    QString start(int listenFd);
    void stop();

    // Answers one request: the status and body for this method and path.
    struct Answer
    {
        int status = 404;
        QByteArray body;
        const char *contentType = "text/plain; charset=utf-8";
    };
    Answer answer(const QString &method, const QString &path);

private:
    const PortalMetrics &m_metrics;
    const HealthCheck m_health;
    // Only a change between healthy and not is logged, so a load balancer
    // asking every second cannot flood the log.
    std::atomic<bool> m_healthy{true};
    MHD_Daemon *m_daemon = nullptr;
};

} // namespace vk
