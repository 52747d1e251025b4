#pragma once

#include "UrlSession.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <mutex>

class QNetworkAccessManager;
class QNetworkReply;
class QSslConfiguration;

namespace vk {

class UrlSessionWorker;

// What every task shares: the once-only completion, waiting for it, aborting the
// transfer in flight and logging why a transfer failed. Subclasses make the reply
// and read its answer.
class UrlTaskBase : public UrlTask, public std::enable_shared_from_this<UrlTaskBase>
{
public:
    UrlTaskBase(std::shared_ptr<UrlSessionWorker> worker, QByteArray method, QUrl url,
                UrlSession::CompletionHandler completion);

    void resume() override;
    void cancel() override;
    bool isCompleted() const override;
    bool waitForCompletion(int timeoutMs) const override;

    // Runs the completion handler unless it already ran. On the worker thread,
    // or on the caller's thread once the session has stopped.
    void complete(const UrlResponse &response);

    // Worker thread only.
    void startOnWorker(QNetworkAccessManager &manager);
    // Completes without data and drops the transfer's connection.
    void abortWith(const QString &reason);

protected:
    // Worker thread only. Null when the subclass completes the task another way.
    virtual QNetworkReply *send(QNetworkAccessManager &manager) = 0;
    // The response of a reply that finished without being aborted.
    virtual UrlResponse answer(QNetworkReply &reply) = 0;
    QSslConfiguration tlsConfiguration() const;
    // Every connection a subclass makes to its reply goes through here, so that
    // letting go of the reply removes exactly these and none of Qt's own.
    void watch(QMetaObject::Connection connection);
    std::shared_ptr<UrlSessionWorker> worker() const { return m_worker; }

private:
    void replyFinished();
    // Removes this task's connections to the reply and schedules its deletion.
    QNetworkReply *releaseReply();
    void logFailure(const UrlResponse &response) const;

    std::shared_ptr<UrlSessionWorker> m_worker;
    const QByteArray m_method;
    const QUrl m_url;
    UrlSession::CompletionHandler m_completion;
    std::atomic<bool> m_resumed{false};
    std::atomic<bool> m_handlerClaimed{false};
    std::atomic<bool> m_completed{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_completedChanged;

    // Worker thread only.
    QPointer<QNetworkReply> m_reply;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace vk
