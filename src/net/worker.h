#pragma once
// A thread beside the window that runs jobs one at a time, in the order they
// were handed over, and keeps their results until the UI thread takes them.
// A job may block for minutes (a call to the service, a download), so the
// lock is never held while one runs, and stopping cancels the call under way
// through the HttpCancel the job is given instead of waiting for it. The
// thread starts with the first job; it is joined by join() or, at the
// latest, by the destructor, so none outlives its owner.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/ui_wake.h"
#include "net/http.h"

namespace qm {

template <typename Job, typename Result>
class Worker {
public:
    // Runs on the worker thread and touches nothing the UI thread uses.
    using Run = std::function<Result(const Job&, const HttpCancel&)>;

    explicit Worker(Run run)
        : m_run(std::move(run))
    {
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker()
    {
        stop();
        join();
    }

    // Queues a job, starting the thread on first use; once stopped, the job
    // is dropped and the answer is false. UI thread only.
    bool submit(Job job)
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_stop)
                return false;
            m_queue.push_back(std::move(job));
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        m_wake.notify_one();
        return true;
    }

    // The results finished since the last call, oldest first.
    std::vector<Result> take()
    {
        std::vector<Result> out;
        std::lock_guard<std::mutex> guard(m_lock);
        out.swap(m_results);
        return out;
    }

    // Drops the queued jobs, cancels the one under way and tells the thread
    // to end; no result comes after this.
    void stop()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
            m_queue.clear();
        }
        m_cancel.cancel();
        m_wake.notify_all();
    }

    // Waits for the thread to end; call stop() first. UI thread only.
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void loop()
    {
        std::unique_lock<std::mutex> guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            Job job = std::move(m_queue.front());
            m_queue.pop_front();
            guard.unlock();
            Result result = m_run(job, m_cancel);
            guard.lock();
            if (!m_stop) {
                m_results.push_back(std::move(result));
                wakeUiThread();
            }
        }
    }

    Run m_run;
    std::mutex m_lock;  // guards the queue, the results and the stop flag
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    std::vector<Result> m_results;
    bool m_stop = false;
    HttpCancel m_cancel;
    std::thread m_thread;  // UI thread only
};

}  // namespace qm
