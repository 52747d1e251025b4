#include "PortalMetrics.h"

#include <algorithm>

namespace vk {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Label values, in the order of PortalMetrics::Endpoint.
constexpr std::array<const char *, PortalMetrics::EndpointCount> kEndpointNames{
    "pdfserverchk.php", "pdfuserchk.php", "pdfbookchk.php", "pdfloginupdate.php", "books", "other"};

// The bucket bounds in seconds, written out rather than formatted from the
// microseconds so that every scrape shows the very same labels.
constexpr std::array<const char *, 14> kBucketLabels{"0.001", "0.0025", "0.005", "0.01", "0.025", "0.05", "0.1",
                                                     "0.25",  "0.5",    "1",     "2.5",  "5",     "10",   "+Inf"};

void describe(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(QByteArray &out, const QByteArray &nameAndLabels, quint64 value)
{
    out += nameAndLabels + ' ' + QByteArray::number(value) + '\n';
}

QByteArray endpointLabel(int endpoint)
{
    return QByteArray("endpoint=\"") + kEndpointNames[endpoint] + '"';
}

} // namespace

PortalMetrics::Endpoint PortalMetrics::endpointOf(const QString &path)
{
    static const QString kAdminPrefix = QStringLiteral("/adminportal/");
    if (path.startsWith(QStringLiteral("/books/")))
        return Books;
    if (!path.startsWith(kAdminPrefix))
        return Other;
    const QStringView name = QStringView(path).mid(kAdminPrefix.size());
    for (int endpoint = ServerCheck; endpoint <= StatusUpdate; ++endpoint) {
        if (name == QLatin1String(kEndpointNames[endpoint]))
            return Endpoint(endpoint);
    }
    return Other;
}

void PortalMetrics::requestDone(Endpoint endpoint, int status, qint64 elapsedNs)
{
    const auto known = std::find(kStatuses.begin(), kStatuses.end(), status);
    m_requests[endpoint][known - kStatuses.begin()].fetch_add(1, kRelaxed);
    if (status == 429)
        m_rateLimited[endpoint].fetch_add(1, kRelaxed);
    // A connection that ended without an answer took no meaningful time.
    if (status == 0)
        return;
    const qint64 us = std::max<qint64>(0, elapsedNs / 1000);
    const auto bucket = std::lower_bound(kBucketBoundsUs.begin(), kBucketBoundsUs.end(), us);
    m_latency[endpoint][bucket - kBucketBoundsUs.begin()].fetch_add(1, kRelaxed);
    m_latencySumUs[endpoint].fetch_add(quint64(us), kRelaxed);
}

void PortalMetrics::databaseError()
{
    m_databaseErrors.fetch_add(1, kRelaxed);
}

void PortalMetrics::connectionOpened()
{
    m_openConnections.fetch_add(1, kRelaxed);
}

void PortalMetrics::connectionClosed()
{
    m_openConnections.fetch_sub(1, kRelaxed);
}

QByteArray PortalMetrics::exposition() const
{
    static_assert(kBucketLabels.size() == std::size_t(kBucketSlots));
    QByteArray out;
    out.reserve(16 * 1024);

    describe(out, "velkarn_portal_requests_total", "counter",
             "Requests by endpoint and HTTP status; code \"none\": the connection ended before an answer.");
    for (int endpoint = 0; endpoint < EndpointCount; ++endpoint) {
        for (int slot = 0; slot < kStatusSlots; ++slot) {
            const quint64 value = m_requests[endpoint][slot].load(kRelaxed);
            if (value == 0)
                continue;
            const QByteArray code = slot == kStatusSlots - 1 ? QByteArray("other")
                : kStatuses[slot] == 0                         ? QByteArray("none")
                                                               : QByteArray::number(kStatuses[slot]);
            sample(out, "velkarn_portal_requests_total{" + endpointLabel(endpoint) + ",code=\"" + code + "\"}", value);
        }
    }

    describe(out, "velkarn_portal_request_duration_seconds", "histogram",
             "Time from a request's headers to its answer sent, by endpoint.");
    for (int endpoint = 0; endpoint < EndpointCount; ++endpoint) {
        // The count is the sum of the very bucket values shown, so the two
        // agree even while requests are being counted.
        quint64 cumulative = 0;
        for (int slot = 0; slot < kBucketSlots; ++slot) {
            cumulative += m_latency[endpoint][slot].load(kRelaxed);
            sample(out,
                   "velkarn_portal_request_duration_seconds_bucket{" + endpointLabel(endpoint) + ",le=\""
                       + kBucketLabels[slot] + "\"}",
                   cumulative);
        }
        const quint64 sumUs = m_latencySumUs[endpoint].load(kRelaxed);
        out += "velkarn_portal_request_duration_seconds_sum{" + endpointLabel(endpoint) + "} "
            + QByteArray::number(double(sumUs) / 1e6, 'f', 6) + '\n';
        sample(out, "velkarn_portal_request_duration_seconds_count{" + endpointLabel(endpoint) + '}', cumulative);
    }

    describe(out, "velkarn_portal_rate_limited_total", "counter",
             "Requests refused with 429 because their client address used up its share of the minute.");
    for (int endpoint = 0; endpoint < EndpointCount; ++endpoint)
        sample(out, "velkarn_portal_rate_limited_total{" + endpointLabel(endpoint) + '}',
               m_rateLimited[endpoint].load(kRelaxed));

    describe(out, "velkarn_portal_database_errors_total", "counter",
             "Requests answered 503 because the database failed; the log says why.");
    sample(out, "velkarn_portal_database_errors_total", m_databaseErrors.load(kRelaxed));

    describe(out, "velkarn_portal_open_connections", "gauge", "Client connections open now.");
    out += "velkarn_portal_open_connections " + QByteArray::number(m_openConnections.load(kRelaxed)) + '\n';
    return out;
}

} // namespace vk
