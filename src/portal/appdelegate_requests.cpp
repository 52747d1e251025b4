#include "AppDelegate.h"

#include "AnswerText.h"
#include "PortalConfig.h"
#include "UrlSession.h"

std::shared_ptr<UrlTask> AppDelegate::sendPortalRequest(const QString &path,
                                                        std::optional<QString> body,
                                                        AnswerHandler onAnswer,
                                                        std::function<void()> onNoAnswer)
{
    asyncloopnowentered.store(1, std::memory_order_release);
    std::optional<QByteArray> bytes;
    if (body)
        bytes = body->toUtf8();
    const QUrl requestUrl(PortalConfig::baseUrl() + path);

    std::lock_guard lock(requestlock);
    _RequestURL.url = requestUrl;
    _RequestURL.cachePolicy = 0;
    _RequestURL.timeoutInterval = 60.0;
    _RequestURL.httpMethod = "POST";
    _RequestURL.httpBody = bytes;
    auto completion = [this, onAnswer, onNoAnswer](const UrlResponse &response) {
        if (response.data) {
            responsedata = answerText(*response.data);
            if (onAnswer)
                onAnswer(responsedata);
            // The parse kept what the session needs; an answer can be megabytes.
            responsedata = QString();
        } else if (onNoAnswer) {
            onNoAnswer();
        }
        // A request that got no answer is over all the same: a step that waited
        // for it must go on, or the session would hang until the program ends.
        asyncloopnowentered.store(0, std::memory_order_release);
    };
    auto task = UrlSession::shared().dataTask(_RequestURL, completion, UrlSession::kMaxAnswerBytes);
    task->resume();
    return task;
}

void AppDelegate::checkserver()
{
    servertask = sendPortalRequest(
        QStringLiteral("/adminportal/pdfserverchk.php"), std::nullopt,
        [this](const QString &answer) {
            sonline = leadingIntValue(answer);
            serverunanswered.store(false, std::memory_order_relaxed);
        },
        [this] {
            sonline = 0;
            serverunanswered.store(true, std::memory_order_relaxed);
        });
}

void AppDelegate::checkuser()
{
    usertask = sendPortalRequest(
        QStringLiteral("/adminportal/pdfuserchk.php"), QStringLiteral("user=") + user_global,
        [this](const QString &answer) {
            userunanswered.store(false, std::memory_order_relaxed);
            parselogindata(answer);
        },
        [this] { userunanswered.store(true, std::memory_order_relaxed); });
}

void AppDelegate::checkbooks()
{
    const quint64 generation = bookgeneration.fetch_add(1) + 1;
    // Without an answer the list is empty rather than the one of an earlier sign-in.
    const auto take = [this, generation](const QString &answer, bool answered) {
        if (generation != bookgeneration.load())
            return;
        bookunanswered.store(!answered, std::memory_order_relaxed);
        parsebookdata(answer);
    };
    booktask = sendPortalRequest(QStringLiteral("/adminportal/pdfbookchk.php"),
                                 QStringLiteral("company=") + company_global
                                     + QStringLiteral("&categoryname=") + category_global,
                                 [take](const QString &answer) { take(answer, true); },
                                 [take] { take(QString(), false); });
}

void AppDelegate::pdfstatusupdate(const QString &status)
{
    auto task = sendPortalRequest(QStringLiteral("/adminportal/pdfloginupdate.php"),
                                  QStringLiteral("user=") + user_global
                                      + QStringLiteral("&status=") + status,
                                  nullptr, nullptr);
    std::lock_guard lock(requestlock);
    statustask = std::move(task);
}
