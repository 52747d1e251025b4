#pragma once

#include "UrlRequest.h"
#include "UrlSession.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace vk {

// The portal's four requests and what is known about each one in flight. Every
// request is configured on the one request value the controller shares and sent
// as a copy; the controller's guard stays up from then until its handler is done.
// Handlers run on the session's worker thread.
class PortalRequests
{
public:
    using AnswerHandler = std::function<void(const QString &answer)>;

    // guard, request and responseData belong to the controller and outlive this;
    // baseUrl is asked at every request, so the portal may move between them.
    PortalRequests(std::atomic<quint8> &guard, UrlRequest &request, QString &responseData,
                   std::function<QString()> baseUrl, UrlSession &session = UrlSession::shared());
    ~PortalRequests(); // cancels what is in flight and waits for its handlers

    // take gets the leading integer of the answer, or 0 when none came.
    void checkServer(std::function<void(qint32 value)> take);
    void checkUser(const QString &user, AnswerHandler take);
    // Only the latest book check hands its answer over; one that got no answer
    // hands over the empty text, so an earlier sign-in's list is not kept.
    void checkBooks(const QString &company, const QString &category, AnswerHandler take);
    void updateStatus(const QString &user, const QString &status);

    bool isServerAnswered() const { return isAnswered(m_server); }
    bool isUserAnswered() const { return isAnswered(m_user); }
    bool isBookAnswered() const { return isAnswered(m_book); }
    bool isBookCheckOutstanding() const { return m_book && !m_book->isCompleted(); }
    // Whether the last check of each kind ended without an answer (reset,
    // refusal, TLS failure, timeout, answer over the limit).
    bool serverUnanswered() const { return m_serverUnanswered.load(std::memory_order_relaxed); }
    bool userUnanswered() const { return m_userUnanswered.load(std::memory_order_relaxed); }
    bool bookUnanswered() const { return m_bookUnanswered.load(std::memory_order_relaxed); }

    // Waits for the last status update, if one was sent; false when none was.
    bool waitForStatusUpdate(int timeoutMs);

private:
    std::shared_ptr<UrlTask> send(const QString &path, std::optional<QString> body,
                                  AnswerHandler onAnswer, std::function<void()> onNoAnswer);
    bool isAnswered(const std::shared_ptr<UrlTask> &task) const;

    std::atomic<quint8> &m_guard;
    UrlRequest &m_request;
    QString &m_responseData;
    const std::function<QString()> m_baseUrl;
    UrlSession &m_session;

    // The "Y" update is sent from the worker while the main thread may send
    // "N", so configuring the shared request and keeping its task are locked.
    std::mutex m_mutex;
    std::shared_ptr<UrlTask> m_server;
    std::shared_ptr<UrlTask> m_user;
    std::shared_ptr<UrlTask> m_book;
    std::shared_ptr<UrlTask> m_status;
    std::atomic<quint64> m_bookGeneration = 0;
    // Written by the completion handler before its task completes.
    std::atomic<bool> m_serverUnanswered = false;
    std::atomic<bool> m_userUnanswered = false;
    std::atomic<bool> m_bookUnanswered = false;
};

} // namespace vk
