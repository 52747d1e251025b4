#include "WriteQueue.h"

namespace vk {

WriteQueue::WriteQueue(std::size_t capacity)
    : m_capacity(capacity)
    , m_thread([this] { work(); })
{
}

WriteQueue::~WriteQueue()
{
    stop();
}

bool WriteQueue::submit(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping || m_jobs.size() >= m_capacity)
            return false;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

void WriteQueue::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void WriteQueue::work()
{
    for (;;) {
        Job job;
        bool run = true;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            run = !m_stopping;
        }
        job(run);
    }
}

} // namespace vk
