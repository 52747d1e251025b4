#pragma once

#include "UrlSession.h"

#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <mutex>

class QNetworkAccessManager;
class QNetworkReply;
class QSslConfiguration;
class UrlSessionWorker;

// What every task shares: the once-only completion, waiting for it, and
// aborting the transfer in flight. Subclasses make the reply and read its answer.
class UrlTaskBase : public UrlTask, public std::enable_shared_from_this<UrlTaskBase>
{
public:
    UrlTaskBase(std::shared_ptr<UrlSessionWorker> worker, UrlSession::CompletionHandler completion);

    void resume() override;
    void cancel() override;
    bool isCompleted() const override;
    bool waitForCompletion(int timeoutMs) const override;

    // Runs the completion handler unless it already ran. On the worker thread,
    // or on the caller's thread once the session has stopped.
    void complete(const UrlResponse &response);

    // Worker thread only.
    void startOnWorker(QNetworkAccessManager &manager);
    void abortWith(const QString &reason);

protected:
    // Worker thread only.
    virtual QNetworkReply *send(QNetworkAccessManager &manager) = 0;
    // The response of a reply that finished without being aborted.
    virtual UrlResponse answer(QNetworkReply &reply) = 0;
    const QSslConfiguration &tlsConfiguration() const;
    // Why a transfer ended without an answer, in words.
    static QString failureText(const QNetworkReply &reply);

private:
    void replyFinished();

    std::shared_ptr<UrlSessionWorker> m_worker;
    UrlSession::CompletionHandler m_completion;
    std::atomic<bool> m_resumed{false};
    std::atomic<bool> m_handlerClaimed{false};
    std::atomic<bool> m_completed{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_completedChanged;

    // Worker thread only.
    QPointer<QNetworkReply> m_reply;
    QString m_abortReason;
};
