#include "MetricsServer.h"

#include "PortalMetrics.h"
#include "RequestLog.h"

#include <QDateTime>

#include <microhttpd.h>

namespace vk {

namespace {

// Enough for a monitoring system and a load balancer or two.
constexpr unsigned kThreads = 2;
constexpr unsigned kConnectionLimit = 32;
constexpr unsigned kIdleTimeoutSeconds = 10;

MHD_Result handleRequest(void *cls, MHD_Connection *connection, const char *url, const char *method,
                         const char *, const char *, size_t *uploadDataSize, void **requestContext)
{
    // Answered on the headers alone, since nothing here takes a body; one
    // sent anyway is dropped.
    *uploadDataSize = 0;
    if (*requestContext)
        return MHD_YES;
    *requestContext = cls;
    const MetricsServer::Answer answer =
        static_cast<MetricsServer *>(cls)->answer(QString::fromLatin1(method), QString::fromUtf8(url));
    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(answer.body.size()), const_cast<char *>(answer.body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result result = MHD_queue_response(connection, unsigned(answer.status), response);
    MHD_destroy_response(response);
    return result;
}

} // namespace

MetricsServer::MetricsServer(const PortalMetrics &metrics, HealthCheck health)
    : m_metrics(metrics)
    , m_health(std::move(health))
{
}

MetricsServer::~MetricsServer()
{
    stop();
}

QString MetricsServer::start(int listenFd)
{
    m_daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL, 0, nullptr, nullptr,
                               &handleRequest, this,
                               MHD_OPTION_LISTEN_SOCKET, listenFd,
                               MHD_OPTION_THREAD_POOL_SIZE, kThreads,
                               MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit,
                               MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeoutSeconds,
                               MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(32 * 1024),
                               MHD_OPTION_END);
    return m_daemon ? QString() : QStringLiteral("cannot serve health and metrics");
}

void MetricsServer::stop()
{
    if (!m_daemon)
        return;
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

MetricsServer::Answer MetricsServer::answer(const QString &method, const QString &path)
{
    if (method != QStringLiteral("GET") && method != QStringLiteral("HEAD"))
        return {404, "not found"};
    if (path == QStringLiteral("/metrics"))
        return {200, m_metrics.exposition(), PortalMetrics::kContentType};
    if (path != QStringLiteral("/healthz"))
        return {404, "not found"};
    const QString error = m_health();
    const bool healthy = error.isEmpty();
    if (m_healthy.exchange(healthy) != healthy) {
        const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        writeLogLine(healthy ? QStringLiteral("%1 health check: the database answers again").arg(now)
                             : QStringLiteral("%1 health check failed: %2").arg(now, loggableText(error, 512)));
    }
    return healthy ? Answer{200, "ok"} : Answer{503, "database unavailable"};
}

} // namespace vk
