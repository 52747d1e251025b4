#include "UrlSessionWorker.h"

#include "UrlTaskBase.h"

#include <QNetworkAccessManager>

namespace vk {

UrlSessionWorker::UrlSessionWorker()
    : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("UrlSession"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

UrlSessionWorker::~UrlSessionWorker()
{
    stop();
}

void UrlSessionWorker::start(const std::shared_ptr<UrlTaskBase> &task)
{
    dispatch(task, [this, task] { task->startOnWorker(manager()); }, true);
}

void UrlSessionWorker::cancel(const std::shared_ptr<UrlTaskBase> &task)
{
    dispatch(task, [task] { task->abortWith(UrlSession::kCancelled); }, false);
}

void UrlSessionWorker::deliver(const std::shared_ptr<UrlTaskBase> &task, UrlResponse response)
{
    dispatch(task, [task, response = std::move(response)] { task->complete(response); }, false);
}

void UrlSessionWorker::dispatch(const std::shared_ptr<UrlTaskBase> &task,
                                std::function<void()> action, bool track)
{
    {
        // Posting under the lock orders every action before the sweep of stop().
        std::lock_guard lock(m_mutex);
        if (!m_stopping) {
            if (track)
                m_inFlight.insert(task);
            QMetaObject::invokeMethod(m_context, std::move(action), Qt::QueuedConnection);
            return;
        }
    }
    task->complete({std::nullopt, 0, UrlSession::kSessionEnded});
}

void UrlSessionWorker::stop()
{
    std::set<std::shared_ptr<UrlTaskBase>> inFlight;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
        inFlight = m_inFlight;
    }
    QMetaObject::invokeMethod(
        m_context,
        [this, &inFlight] {
            for (const std::shared_ptr<UrlTaskBase> &task : inFlight)
                task->abortWith(UrlSession::kSessionEnded);
            delete m_manager;
            m_manager = nullptr;
        },
        Qt::BlockingQueuedConnection);
    {
        // Tasks that were already complete when the sweep reached them.
        std::lock_guard lock(m_mutex);
        m_inFlight.clear();
    }
    m_thread.quit();
    m_thread.wait();
}

QNetworkAccessManager &UrlSessionWorker::manager()
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager;
    return *m_manager;
}

namespace {
std::mutex extraCaMutex;
QList<QSslCertificate> &extraCa()
{
    static QList<QSslCertificate> certificates;
    return certificates;
}
}

void UrlSessionWorker::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    std::lock_guard lock(extraCaMutex);
    extraCa() = certificates;
}

QSslConfiguration UrlSessionWorker::tlsConfiguration()
{
    std::lock_guard lock(m_mutex);
    if (!m_tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> extra;
        {
            std::lock_guard caLock(extraCaMutex);
            extra = extraCa();
        }
        // Setting any CA list turns off the on-demand loading of the system's
        // roots, so the system's roots are listed along with the extra ones.
        if (!extra.isEmpty())
            tls.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
        m_tls = tls;
    }
    return *m_tls;
}

void UrlSessionWorker::forget(UrlTaskBase *task)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        if (it->get() == task) {
            m_inFlight.erase(it);
            return;
        }
    }
}

} // namespace vk
