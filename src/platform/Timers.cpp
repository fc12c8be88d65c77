// Owner-thread timers and message pumping, the part shared by every OS.
//
// Each thread has a TimerLoop holding its timers in creation order. A timer is armed either as
// an OS timer (Windows with the real clock: SetTimer, fired by WM_TIMER from any message loop of
// the thread) or in the portable loop (a due time checked whenever the thread pumps through
// processMessages() or runFor()). A handler can change or destroy any timer while it runs:
// nothing here holds an iterator or a plain reference across a handler call, only shared_ptr
// copies of the timer states.
#include "platform/Internal.h"
#include "platform/Platform.h"

#include <algorithm>

namespace tbx::platform {

namespace detail {

namespace {

// The thread's loop lives while it holds a timer or runs a dispatch and is freed as soon as it
// is idle, so nothing is left for the thread's exit to clean up: a thread-local object with a
// destructor can hang a module that is unloaded while a thread ends.
thread_local TimerLoop *tLoop = nullptr;

} // namespace

std::atomic<std::size_t> gLiveLoops{0};

namespace {

void arm(TimerLoop &loop, TimerState &state)
{
    nativeDisarm(loop, state);
    state.due = clock().now() + state.period();
    nativeArm(loop, state);
}

/// Re-arms every enabled timer when the clock in use has changed since they were armed (a test
/// installing or removing a virtual clock), so due times always belong to the current clock.
void syncClock(TimerLoop &loop)
{
    const Clock *current = &clock();
    if (current == loop.clockSeen)
        return;
    loop.clockSeen = current;
    for (const auto &t : loop.timers) {
        if (t->enabled && !t->destroyed)
            arm(loop, *t);
    }
}

bool inPortableLoop(const TimerState &t)
{
    return t.enabled && !t.destroyed && !t.abandoned && !t.running && t.nativeId == 0;
}

/// Fires the portable timers due now, earliest first, ties in creation order.
void runDue(TimerLoop &loop)
{
    const Millis now = clock().now();
    std::vector<std::shared_ptr<TimerState>> due;
    for (const auto &t : loop.timers) {
        if (inPortableLoop(*t) && t->due <= now)
            due.push_back(t);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const auto &a, const auto &b) { return a->due < b->due; });
    for (const auto &t : due) {
        // An earlier handler may have changed or destroyed this one.
        if (!inPortableLoop(*t) || t->due > now)
            continue;
        t->due = clock().now() + t->period();
        fire(loop, t);
    }
}

std::optional<Millis> nextDue(const TimerLoop &loop)
{
    std::optional<Millis> next;
    for (const auto &t : loop.timers) {
        if (inPortableLoop(*t) && (!next || t->due < *next))
            next = t->due;
    }
    return next;
}

void advanceTo(Clock &c, Millis t)
{
    const Millis delta = t - c.now();
    if (delta <= 0)
        return;
    if (auto *v = dynamic_cast<VirtualClock *>(&c))
        v->advance(delta);
    else
        c.sleep(delta);
}

bool onOwnerThread(const TimerState &state)
{
    return state.owner == std::this_thread::get_id();
}

} // namespace

TimerLoop::~TimerLoop()
{
    auto all = std::move(timers);
    timers.clear();
    for (const auto &t : all)
        nativeDisarm(*this, *t);
    nativeShutdown(*this);
}

TimerLoop *currentLoop()
{
    if (!tLoop) {
        tLoop = new TimerLoop;
        ++gLiveLoops;
        nativeTrackThreadLoop(tLoop);
    }
    return tLoop;
}

void discardEndingThreadLoop(TimerLoop *loop) noexcept
{
    if (loop == nullptr)
        return;
    if (tLoop == loop)
        tLoop = nullptr;
    nativeTrackThreadLoop(nullptr);
    --gLiveLoops;
    delete loop;
}

void releaseIfIdle() noexcept
{
    TimerLoop *loop = tLoop;
    if (loop == nullptr || loop->depth != 0 || !loop->timers.empty())
        return;
    tLoop = nullptr;
    --gLiveLoops;
    delete loop;
}


bool fire(TimerLoop &loop, const std::shared_ptr<TimerState> &state)
{
    TimerState &s = *state;
    if (s.destroyed || s.abandoned || !s.enabled || s.running ||
        (loop.pass != 0 && s.firedPass == loop.pass))
        return false;
    s.running = true;
    s.firedPass = loop.pass;
    ++loop.fired;
    ++loop.depth; // the handler may destroy every timer: the loop stays until this returns
    try {
        if (s.handler)
            s.handler();
    } catch (...) {
        // The last line of defence: a timer's failure must never unwind into the message pump
        // (on Windows, through the OS's dispatch). Handlers report their own failures.
    }
    --loop.depth;
    s.running = false;
    return true;
}

void dropAbandoned(TimerLoop &loop)
{
    for (auto it = loop.timers.begin(); it != loop.timers.end();) {
        if ((*it)->abandoned) {
            nativeDisarm(loop, **it);
            it = loop.timers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace detail

using detail::TimerState;

struct Timer::Impl {
    std::shared_ptr<TimerState> state;
};

Timer::Timer(Handler handler, Millis intervalMs, bool enabled) : impl_(std::make_unique<Impl>())
{
    auto state = std::make_shared<TimerState>();
    state->handler = std::move(handler);
    state->interval = intervalMs;
    if (auto *loop = detail::currentLoop()) {
        state->seq = loop->nextSeq++;
        loop->timers.push_back(state);
    }
    impl_->state = std::move(state);
    if (enabled)
        setEnabled(true);
}

Timer::~Timer()
{
    TimerState &s = *impl_->state;
    s.enabled = false;
    if (!detail::onOwnerThread(s)) {
        // The owner's loop is not ours to touch: let the owner drop it when it next pumps.
        s.abandoned = true;
        return;
    }
    s.destroyed = true;
    if (auto *loop = detail::currentLoop()) {
        detail::nativeDisarm(*loop, s);
        auto &timers = loop->timers;
        timers.erase(std::remove(timers.begin(), timers.end(), impl_->state), timers.end());
        detail::releaseIfIdle();
    }
}

void Timer::setEnabled(bool enabled)
{
    TimerState &s = *impl_->state;
    if (!detail::onOwnerThread(s) || s.enabled == enabled)
        return;
    s.enabled = enabled;
    auto *loop = detail::currentLoop();
    if (!loop)
        return;
    if (enabled) {
        detail::syncClock(*loop);
        detail::arm(*loop, s);
    } else {
        detail::nativeDisarm(*loop, s);
    }
}

bool Timer::enabled() const
{
    return impl_->state->enabled;
}

void Timer::setInterval(Millis ms)
{
    TimerState &s = *impl_->state;
    if (!detail::onOwnerThread(s))
        return;
    s.interval = ms;
    auto *loop = detail::currentLoop();
    if (loop && s.enabled) {
        detail::syncClock(*loop);
        detail::arm(*loop, s);
    }
}

Millis Timer::interval() const
{
    return impl_->state->interval;
}

std::size_t threadsWithTimers() noexcept
{
    return detail::gLiveLoops.load();
}

int processMessages()
{
    auto *loop = detail::currentLoop();
    ++loop->depth;
    detail::dropAbandoned(*loop);
    detail::syncClock(*loop);
    const std::int64_t before = loop->fired;
    const std::uint64_t outer = loop->pass;
    loop->pass = ++loop->lastPass;
    detail::nativeDispatchPending(*loop);
    detail::runDue(*loop);
    loop->pass = outer;
    const auto fired = static_cast<int>(loop->fired - before);
    --loop->depth;
    detail::releaseIfIdle();
    return fired;
}

void runFor(Millis ms)
{
    auto *loop = detail::currentLoop();
    // Holds the loop over the passes below; freed on the way out once idle.
    struct Hold {
        detail::TimerLoop &loop;
        explicit Hold(detail::TimerLoop &l) : loop(l) { ++loop.depth; }
        ~Hold()
        {
            --loop.depth;
            detail::releaseIfIdle();
        }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    } hold(*loop);
    Clock &c = clock();
    const Millis end = c.now() + std::max<Millis>(ms, 0);
    if (c.isVirtual()) {
        // From due timer to due timer. Every pass fires each due timer once and moves its due
        // time past now, or a handler moved the clock on: either way this ends.
        for (;;) {
            processMessages();
            auto next = detail::nextDue(*loop);
            if (!next || *next > end)
                break;
            detail::advanceTo(c, *next);
        }
        detail::advanceTo(c, end);
        return;
    }
    for (;;) {
        processMessages();
        const Millis now = c.now();
        if (now >= end)
            break;
        Millis wait = end - now;
        if (auto next = detail::nextDue(*loop))
            wait = std::clamp<Millis>(*next - now, 0, wait);
        detail::nativeWait(wait);
    }
}

} // namespace tbx::platform
