#include "PortalRequests.h"

#include "AnswerText.h"

namespace vk {

namespace {
// Long enough for any answer already on its way; the controller is going anyway.
constexpr int kTeardownWaitMs = 5000;
constexpr double kRequestTimeoutSeconds = 60.0;
}

PortalRequests::PortalRequests(std::atomic<quint8> &guard, UrlRequest &request,
                               QString &responseData, std::function<QString()> baseUrl,
                               UrlSession &session)
    : m_guard(guard),
      m_request(request),
      m_responseData(responseData),
      m_baseUrl(std::move(baseUrl)),
      m_session(session)
{
}

PortalRequests::~PortalRequests()
{
    // The handlers hold the controller: none may run after it is gone.
    std::shared_ptr<UrlTask> status;
    {
        std::lock_guard lock(m_mutex);
        status = m_status;
    }
    for (const auto &task : {m_server, m_user, m_book, status}) {
        if (task) {
            task->cancel();
            task->waitForCompletion(kTeardownWaitMs);
        }
    }
}

std::shared_ptr<UrlTask> PortalRequests::send(const QString &path, std::optional<QString> body,
                                              AnswerHandler onAnswer,
                                              std::function<void()> onNoAnswer)
{
    m_guard.store(1, std::memory_order_release);
    std::optional<QByteArray> bytes;
    if (body)
        bytes = body->toUtf8();

    std::lock_guard lock(m_mutex);
    m_request.url = QUrl(m_baseUrl() + path);
    m_request.cachePolicy = 0;
    m_request.timeoutInterval = kRequestTimeoutSeconds;
    m_request.httpMethod = "POST";
    m_request.httpBody = bytes;
    auto completion = [this, onAnswer, onNoAnswer](const UrlResponse &response) {
        if (response.data) {
            m_responseData = answerText(*response.data);
            if (onAnswer)
                onAnswer(m_responseData);
            // The parse kept what the session needs; an answer can be megabytes.
            m_responseData = QString();
        } else if (onNoAnswer) {
            onNoAnswer();
        }
        // A request that got no answer is over all the same: a step that waited
        // for it must go on, or the session would hang until the program ends.
        m_guard.store(0, std::memory_order_release);
    };
    auto task = m_session.dataTask(m_request, completion, UrlSession::kMaxAnswerBytes);
    task->resume();
    return task;
}

bool PortalRequests::isAnswered(const std::shared_ptr<UrlTask> &task) const
{
    return m_guard.load(std::memory_order_acquire) == 0 && task && task->isCompleted();
}

void PortalRequests::checkServer(std::function<void(qint32 value)> take)
{
    m_server = send(
        QStringLiteral("/adminportal/pdfserverchk.php"), std::nullopt,
        [this, take](const QString &answer) {
            take(leadingIntValue(answer));
            m_serverUnanswered.store(false, std::memory_order_relaxed);
        },
        [this, take] {
            take(0);
            m_serverUnanswered.store(true, std::memory_order_relaxed);
        });
}

void PortalRequests::checkUser(const QString &user, AnswerHandler take)
{
    m_user = send(
        QStringLiteral("/adminportal/pdfuserchk.php"), QStringLiteral("user=") + user,
        [this, take](const QString &answer) {
            m_userUnanswered.store(false, std::memory_order_relaxed);
            take(answer);
        },
        [this] { m_userUnanswered.store(true, std::memory_order_relaxed); });
}

void PortalRequests::checkBooks(const QString &company, const QString &category, AnswerHandler take)
{
    const quint64 generation = m_bookGeneration.fetch_add(1) + 1;
    const auto hand = [this, generation, take](const QString &answer, bool answered) {
        if (generation != m_bookGeneration.load())
            return;
        m_bookUnanswered.store(!answered, std::memory_order_relaxed);
        take(answer);
    };
    m_book = send(QStringLiteral("/adminportal/pdfbookchk.php"),
                  QStringLiteral("company=") + company + QStringLiteral("&categoryname=") + category,
                  [hand](const QString &answer) { hand(answer, true); },
                  [hand] { hand(QString(), false); });
}

void PortalRequests::updateStatus(const QString &user, const QString &status)
{
    auto task = send(QStringLiteral("/adminportal/pdfloginupdate.php"),
                     QStringLiteral("user=") + user + QStringLiteral("&status=") + status,
                     nullptr, nullptr);
    std::lock_guard lock(m_mutex);
    m_status = std::move(task);
}

bool PortalRequests::waitForStatusUpdate(int timeoutMs)
{
    std::shared_ptr<UrlTask> sent;
    {
        std::lock_guard lock(m_mutex);
        sent = m_status;
    }
    if (!sent)
        return false;
    sent->waitForCompletion(timeoutMs);
    return true;
}

} // namespace vk
