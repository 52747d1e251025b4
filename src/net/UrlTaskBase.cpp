#include "UrlTaskBase.h"

#include "Log.h"
#include "UrlFailure.h"
#include "UrlSessionWorker.h"

#include <QNetworkReply>

#include <chrono>

namespace vk {

namespace {
// Ends the caller chose: nothing went wrong with the transfer itself.
bool isDeliberateEnd(const QString &error)
{
    return error == UrlSession::kCancelled || error == UrlSession::kSessionEnded;
}
}

UrlTaskBase::UrlTaskBase(std::shared_ptr<UrlSessionWorker> worker, QByteArray method, QUrl url,
                         UrlSession::CompletionHandler completion)
    : m_worker(std::move(worker))
    , m_method(std::move(method))
    , m_url(std::move(url))
    , m_completion(std::move(completion))
{
}

void UrlTaskBase::resume()
{
    if (m_resumed.exchange(true) || m_handlerClaimed.load(std::memory_order_acquire))
        return;
    m_worker->start(shared_from_this());
}

void UrlTaskBase::cancel()
{
    if (m_handlerClaimed.load(std::memory_order_acquire))
        return;
    m_worker->cancel(shared_from_this());
}

bool UrlTaskBase::isCompleted() const
{
    return m_completed.load(std::memory_order_acquire);
}

bool UrlTaskBase::waitForCompletion(int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_completedChanged.wait_for(lock, std::chrono::milliseconds(qMax(0, timeoutMs)),
                                       [this] { return isCompleted(); });
}

void UrlTaskBase::complete(const UrlResponse &response)
{
    if (m_handlerClaimed.exchange(true, std::memory_order_acq_rel))
        return;
    // The worker's reference may be the last one; keep this task alive to the end.
    const std::shared_ptr<UrlTaskBase> self = shared_from_this();
    logFailure(response);
    const UrlSession::CompletionHandler completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(response);
    {
        std::lock_guard lock(m_mutex);
        m_completed.store(true, std::memory_order_release);
    }
    m_completedChanged.notify_all();
    m_worker->forget(this);
}

void UrlTaskBase::startOnWorker(QNetworkAccessManager &manager)
{
    // Cancelled before it started, or resumed after it completed.
    if (m_handlerClaimed.load(std::memory_order_acquire)) {
        m_worker->forget(this);
        return;
    }
    m_reply = send(manager);
    if (!m_reply)
        return;
    watch(QObject::connect(m_reply, &QNetworkReply::finished, m_reply,
                           [self = shared_from_this()] { self->replyFinished(); }));
}

void UrlTaskBase::abortWith(const QString &reason)
{
    if (m_handlerClaimed.load(std::memory_order_acquire))
        return;
    // Completing can release every other reference, also from inside a signal of the reply.
    const std::shared_ptr<UrlTaskBase> self = shared_from_this();
    int statusCode = 0;
    if (QNetworkReply *reply = releaseReply()) {
        statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // Only after this task's own connections are gone: the abort travels to
        // the HTTP thread through the reply's signals, and that is what closes
        // the connection instead of leaving it to receive the rest.
        reply->abort();
    }
    complete({std::nullopt, statusCode, reason});
}

void UrlTaskBase::watch(QMetaObject::Connection connection)
{
    m_connections.append(connection);
}

QSslConfiguration UrlTaskBase::tlsConfiguration() const
{
    return m_worker->tlsConfiguration();
}

QNetworkReply *UrlTaskBase::releaseReply()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    for (const QMetaObject::Connection &connection : std::exchange(m_connections, {}))
        QObject::disconnect(connection);
    if (reply)
        reply->deleteLater();
    return reply;
}

void UrlTaskBase::replyFinished()
{
    QNetworkReply *reply = releaseReply();
    if (reply)
        complete(answer(*reply));
}

void UrlTaskBase::logFailure(const UrlResponse &response) const
{
    if (isDeliberateEnd(response.error))
        return;
    QString cause = response.error;
    if (cause.isEmpty() && response.statusCode >= 400)
        cause = QStringLiteral("HTTP %1, its body taken as the answer").arg(response.statusCode);
    if (cause.isEmpty())
        return;
    logLine(QStringLiteral("request failed: %1 %2: %3")
                .arg(QString::fromLatin1(m_method), urlForLog(m_url), cause));
}

} // namespace vk
