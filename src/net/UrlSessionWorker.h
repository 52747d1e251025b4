#pragma once

#include "UrlRequest.h"

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

class QNetworkAccessManager;

namespace vk {

class UrlTaskBase;

// The thread behind a UrlSession. It owns the network access manager (made on
// the thread itself, which is the only thread allowed to use it) and keeps every
// resumed task alive until its completion handler has run.
class UrlSessionWorker
{
public:
    UrlSessionWorker();
    ~UrlSessionWorker();

    // Any thread. After stop() both complete the task at once on the calling thread.
    void start(const std::shared_ptr<UrlTaskBase> &task);
    void cancel(const std::shared_ptr<UrlTaskBase> &task);
    // Completes the task on the worker with a response made on another thread.
    void deliver(const std::shared_ptr<UrlTaskBase> &task, UrlResponse response);

    // Completes every task in flight, then ends the thread. Blocks; not from the worker.
    void stop();

    // Any thread. Read by each worker when its first request starts.
    static void setExtraCaCertificates(const QList<QSslCertificate> &certificates);
    QSslConfiguration tlsConfiguration();

    // Worker thread only.
    QNetworkAccessManager &manager();
    void forget(UrlTaskBase *task);

private:
    // Runs action on the worker, or right here with the session's end as reason
    // once the worker no longer takes work.
    void dispatch(const std::shared_ptr<UrlTaskBase> &task,
                  std::function<void()> action, bool track);

    QThread m_thread;
    QObject *m_context;
    QNetworkAccessManager *m_manager = nullptr;

    std::mutex m_mutex;
    std::optional<QSslConfiguration> m_tls;
    bool m_stopping = false;
    std::set<std::shared_ptr<UrlTaskBase>> m_inFlight;
};

} // namespace vk
