// The simulated library's own event thread: callbacks to the host are queued and run one after
// the other on this thread, as the vendor libraries do. In manual mode nothing runs by itself;
// the host drains the queue from its own thread (the SDK's "get event" call).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tbx::sim {

class EventPump {
public:
    enum class Mode { Thread, Manual };

    EventPump() = default;
    ~EventPump();
    EventPump(const EventPump &) = delete;
    EventPump &operator=(const EventPump &) = delete;

    /// Starts delivery. In Thread mode this starts the worker thread.
    void start(Mode mode);
    /// Stops delivery: the worker finishes the task it runs, the rest of the queue is dropped.
    /// Must not be called from a task.
    void stop();
    bool running() const;
    Mode mode() const;

    /// Queues a task. Ignored while the pump is stopped.
    void post(std::function<void()> task);
    /// Runs every queued task on the calling thread (Manual mode); returns how many ran.
    std::size_t drain();
    /// Waits until the queue is empty and no task runs, at most \a timeout. True when idle.
    bool waitIdle(std::chrono::milliseconds timeout);
    /// True when the calling thread is the worker thread.
    bool onWorker() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> queue_;
    std::thread worker_;
    std::thread::id workerId_;
    Mode mode_ = Mode::Thread;
    bool running_ = false;
    bool stopping_ = false;
    bool busy_ = false;
};

} // namespace tbx::sim
