#include "engine/EventQueue.h"

#include <utility>

namespace tbx {

void EventQueue::open()
{
    std::lock_guard lock(mutex_);
    open_ = true;
}

void EventQueue::close()
{
    std::deque<QueuedEvent> dropped;
    {
        std::lock_guard lock(mutex_);
        open_ = false;
        dropped.swap(entries_);
    }
    // The entries (frames included) are freed here, outside the lock.
}

bool EventQueue::isOpen() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

bool EventQueue::push(QueuedEvent event)
{
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    entries_.push_back(std::move(event));
    return true;
}

std::optional<QueuedEvent> EventQueue::pop()
{
    std::lock_guard lock(mutex_);
    if (entries_.empty())
        return std::nullopt;
    QueuedEvent event = std::move(entries_.front());
    entries_.pop_front();
    return event;
}

std::size_t EventQueue::size() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace tbx
