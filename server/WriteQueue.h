#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vk {

// One thread that runs the portal's database writes in turn. SQLite lets one
// writer in at a time anyway, and a write that waits for the lock (an admin
// command, an outside session) then waits here instead of in a request
// thread, so answers that need no write keep flowing.
class WriteQueue
{
public:
    // A job is called once: with true on the queue's thread, or with false
    // when the queue stops before its turn (it must answer without writing).
    using Job = std::function<void(bool run)>;

    explicit WriteQueue(std::size_t capacity);
    ~WriteQueue();
    WriteQueue(const WriteQueue &) = delete;
    WriteQueue &operator=(const WriteQueue &) = delete;

    // False when the queue is full or stopped; the job is then not called.
    bool submit(Job job);
    // Runs the job in progress to its end, cancels the rest, joins the thread.
    void stop();

private:
    void work();

    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace vk
