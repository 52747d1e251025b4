#include "UrlTaskBase.h"

#include "UrlSessionWorker.h"

#include <QNetworkReply>

#include <chrono>

UrlTaskBase::UrlTaskBase(std::shared_ptr<UrlSessionWorker> worker,
                         UrlSession::CompletionHandler completion)
    : m_worker(std::move(worker))
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
    QObject::connect(m_reply, &QNetworkReply::finished, m_reply,
                     [self = shared_from_this()] { self->replyFinished(); });
}

void UrlTaskBase::abortWith(const QString &reason)
{
    if (m_handlerClaimed.load(std::memory_order_acquire))
        return;
    // Completing can release every other reference, also from inside a signal of the reply.
    const std::shared_ptr<UrlTaskBase> self = shared_from_this();
    m_abortReason = reason;
    int statusCode = 0;
    if (m_reply) {
        statusCode = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        m_reply->abort(); // finishes the reply, which completes this task with the reason
    }
    complete({std::nullopt, statusCode, reason});
    if (m_reply) {
        m_reply->disconnect();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
}

const QSslConfiguration &UrlTaskBase::tlsConfiguration() const
{
    return m_worker->tlsConfiguration();
}

QString UrlTaskBase::failureText(const QNetworkReply &reply)
{
    // Qt reports its own transfer timeout as a cancel; only aborts of ours carry
    // a reason, so a cancel without one is the timeout.
    if (reply.error() == QNetworkReply::OperationCanceledError
        || reply.error() == QNetworkReply::TimeoutError)
        return QStringLiteral("Timed out");
    return reply.errorString();
}

void UrlTaskBase::replyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect();
    reply->deleteLater();
    if (!m_abortReason.isEmpty()) {
        complete({std::nullopt,
                  reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  m_abortReason});
        return;
    }
    complete(answer(*reply));
}
