#include "WriteQueue.h"

namespace vk {

WriteQueue::WriteQueue(std::size_t capacity)
    : _capacity(capacity)
    , _thread([this] { work(); })
{
}

WriteQueue::~WriteQueue()
{
    stop();
}

bool WriteQueue::submit(Job job)
{
    {
        const std::lock_guard lock(_mutex);
        if (_stopping || _jobs.size() >= _capacity)
            return false;
        _jobs.push_back(std::move(job));
    }
    _wake.notify_one();
    return true;
}

void WriteQueue::stop()
{
    {
        const std::lock_guard lock(_mutex);
        _stopping = true;
    }
    _wake.notify_one();
    if (_thread.joinable())
        _thread.join();
}

void WriteQueue::work()
{
    for (;;) {
        Job job;
        bool run = true;
        {
            std::unique_lock lock(_mutex);
            _wake.wait(lock, [this] { return _stopping || !_jobs.empty(); });
            if (_jobs.empty())
                return;
            job = std::move(_jobs.front());
            _jobs.pop_front();
            run = !_stopping;
        }
        job(run);
    }
}

} // namespace vk
