#include "EventPump.h"

namespace tbx::sim {

EventPump::~EventPump()
{
    if (worker_.joinable()) {
#if defined(_WIN32)
        // Joining from a DLL's unload would wait on the loader lock the worker needs to exit.
        // A host that skips the SDK's terminate call loses the thread with the process.
        worker_.detach();
#else
        stop();
#endif
    }
}

void EventPump::start(Mode mode)
{
    std::lock_guard lock(mutex_);
    if (running_)
        return;
    mode_ = mode;
    running_ = true;
    stopping_ = false;
    if (mode == Mode::Thread) {
        worker_ = std::thread([this] { run(); });
        workerId_ = worker_.get_id();
    }
}

void EventPump::stop()
{
    std::thread worker;
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return;
        stopping_ = true;
        running_ = false;
        queue_.clear();
        worker = std::move(worker_);
    }
    wake_.notify_all();
    if (worker.joinable()) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach(); // stopped from one of its own tasks: it ends after this task
        else
            worker.join();
    }
    std::lock_guard lock(mutex_);
    workerId_ = {};
    idle_.notify_all();
}

bool EventPump::running() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

EventPump::Mode EventPump::mode() const
{
    std::lock_guard lock(mutex_);
    return mode_;
}

void EventPump::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return;
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

std::size_t EventPump::drain()
{
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty() || mode_ != Mode::Manual)
                break;
            task = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        task();
        ++ran;
        std::lock_guard lock(mutex_);
        busy_ = false;
    }
    idle_.notify_all();
    return ran;
}

bool EventPump::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return queue_.empty() && !busy_; });
}

bool EventPump::onWorker() const
{
    std::lock_guard lock(mutex_);
    return workerId_ == std::this_thread::get_id();
}

void EventPump::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            break;
        auto task = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        if (queue_.empty())
            idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}

} // namespace tbx::sim
