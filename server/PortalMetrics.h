#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>

namespace vk {

// What the portal has done since it started, for an operator's monitoring:
// requests by endpoint and status, how long they took, refusals by the rate
// limits, database failures and the connections open now. Counting is a
// relaxed atomic add, so request threads never wait on each other here.
// Labels come from fixed tables only: no address, e-mail, token or password
// can reach the text.
class PortalMetrics
{
public:
    enum Endpoint { ServerCheck, UserCheck, BookCheck, StatusUpdate, Books, Other, EndpointCount };

    // The endpoint a request path belongs to; anything unknown is Other.
    static Endpoint endpointOf(const QString &path);

    // A request ended: status 0 when the connection closed before an answer.
    // Every 429 is a refusal by a rate limit.
    void requestDone(Endpoint endpoint, int status, qint64 elapsedNs);
    void databaseError();
    void connectionOpened();
    void connectionClosed();

    // Everything in the Prometheus text format (version 0.0.4).
    QByteArray exposition() const;

    static constexpr char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";

private:
    // Fixed so that the label set stays small and no client can make it grow.
    static constexpr std::array<int, 8> kStatuses{0, 200, 400, 404, 405, 413, 429, 503};
    static constexpr int kStatusSlots = int(kStatuses.size()) + 1; // the last: any other
    // Upper bounds of the latency buckets, in microseconds.
    static constexpr std::array<qint64, 13> kBucketBoundsUs{1'000,   2'500,   5'000,     10'000,    25'000,
                                                           50'000,  100'000, 250'000,   500'000,   1'000'000,
                                                           2'500'000, 5'000'000, 10'000'000};
    static constexpr int kBucketSlots = int(kBucketBoundsUs.size()) + 1; // the last: beyond every bound

    using Counter = std::atomic<quint64>;
    std::array<std::array<Counter, kStatusSlots>, EndpointCount> m_requests{};
    // Each request counts in one bucket only; the text sums them up.
    std::array<std::array<Counter, kBucketSlots>, EndpointCount> m_latency{};
    std::array<Counter, EndpointCount> m_latencySumUs{};
    std::array<Counter, EndpointCount> m_rateLimited{};
    Counter m_databaseErrors{0};
    std::atomic<qint64> m_openConnections{0};
};

} // namespace vk
