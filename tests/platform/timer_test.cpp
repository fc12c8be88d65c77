// Owner-thread timers on the virtual clock: order, interval changes, handlers that change or
// destroy timers, re-entry, exceptions, threads; and, on Windows only, a short real-time run
// through the window-message timers.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using tbx::platform::Millis;
using tbx::platform::processMessages;
using tbx::platform::runFor;
using tbx::platform::Timer;
using tbx::platform::VirtualClock;

namespace {

class VirtualTimers : public ::testing::Test {
protected:
    void SetUp() override { tbx::platform::setClock(&clock); }
    void TearDown() override { tbx::platform::setClock(nullptr); }

    /// A handler that logs "name@time".
    Timer::Handler logger(const std::string &name)
    {
        return [this, name] { log.push_back(name + "@" + std::to_string(clock.now())); };
    }

    VirtualClock clock{1000};
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(VirtualTimers, RunForFiresInDueOrderWithTiesInCreationOrder)
{
    Timer a(logger("a"), 30, true);
    Timer b(logger("b"), 20, true);
    Timer c(logger("c"), 20, true);
    Timer off(logger("off"), 5, false);
    runFor(60);
    EXPECT_EQ(log, (Log{"b@1020", "c@1020", "a@1030", "b@1040", "c@1040", "a@1060", "b@1060",
                        "c@1060"}));
    EXPECT_EQ(clock.now(), 1060);
    EXPECT_EQ(clock.sleptTotal(), 0) << "running timers is not sleeping";

    log.clear();
    runFor(5);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.now(), 1065) << "time reaches the end even with nothing due";
}

TEST_F(VirtualTimers, ProcessMessagesFiresWhatIsDueOnceWithoutCatchingUp)
{
    Timer t(logger("t"), 10, true);
    EXPECT_EQ(processMessages(), 0);
    clock.advance(95); // nine periods late
    EXPECT_EQ(processMessages(), 1);
    EXPECT_EQ(processMessages(), 0);
    clock.advance(10);
    EXPECT_EQ(processMessages(), 1);
    EXPECT_EQ(log, (Log{"t@1095", "t@1105"}));
}

TEST_F(VirtualTimers, SleepDoesNotFireTimers)
{
    int fired = 0;
    Timer t([&] { ++fired; }, 10, true);
    tbx::platform::sleepMs(100);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(clock.sleptTotal(), 100);
    EXPECT_EQ(processMessages(), 1);
}

TEST_F(VirtualTimers, EnablingAndIntervalChangesRestartThePeriod)
{
    Timer t(logger("t"), 100, false);
    runFor(50);
    t.setEnabled(true);   // due at 1150
    runFor(40);           // 1090
    t.setEnabled(true);   // already enabled: no restart
    t.setInterval(30);    // restarts: due at 1120, then 1150
    EXPECT_EQ(t.interval(), 30);
    runFor(60);           // 1150
    t.setEnabled(false);
    runFor(100);
    EXPECT_EQ(log, (Log{"t@1120", "t@1150"}));
    EXPECT_FALSE(t.enabled());
}

TEST_F(VirtualTimers, ZeroOrNegativeIntervalRunsEveryMillisecond)
{
    int zero = 0;
    int negative = 0;
    Timer a([&] { ++zero; }, 0, true);
    Timer b([&] { ++negative; }, -5, true);
    runFor(5);
    EXPECT_EQ(zero, 5);
    EXPECT_EQ(negative, 5);
    EXPECT_EQ(a.interval(), 0);
}

TEST_F(VirtualTimers, HandlersChangeTimersIncludingOnesDueInTheSamePass)
{
    Timer *victim = nullptr;
    int selfCount = 0;
    Timer self(
        [&] {
            log.push_back("self@" + std::to_string(clock.now()));
            if (++selfCount == 2)
                self.setEnabled(false);
        },
        10, true);
    Timer disabler([&] { victim->setEnabled(false); }, 25, true);
    Timer later(logger("later"), 25, true); // due with the disabler, created after it
    victim = &later;
    Timer stretcher(
        [&] {
            log.push_back("stretch@" + std::to_string(clock.now()));
            stretcher.setInterval(stretcher.interval() * 2);
        },
        7, true);
    runFor(60);
    EXPECT_EQ(log, (Log{"stretch@1007", "self@1010", "self@1020", "stretch@1021", "stretch@1049"}));
}

TEST_F(VirtualTimers, HandlersDestroyTimersSafely)
{
    std::unique_ptr<Timer> self;
    std::unique_ptr<Timer> other;
    auto keepAlive = std::make_shared<int>(7);
    int seen = 0;
    self = std::make_unique<Timer>(
        [&, keepAlive] {
            // Destroying the running timer must not destroy the handler under our feet.
            self.reset();
            other.reset(); // due in this same pass, after us
            seen = *keepAlive;
            log.push_back("self@" + std::to_string(clock.now()));
        },
        10, true);
    other = std::make_unique<Timer>(logger("other"), 10, true);
    runFor(50);
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(log, (Log{"self@1010"}));
    EXPECT_EQ(keepAlive.use_count(), 1) << "the handler is released once it has returned";
}

TEST_F(VirtualTimers, HandlersCreateTimersThatStartTheirOwnPeriod)
{
    std::vector<std::unique_ptr<Timer>> made;
    Timer maker(
        [&] {
            if (made.empty())
                made.push_back(std::make_unique<Timer>(logger("new"), 5, true));
        },
        10, true);
    runFor(21);
    EXPECT_EQ(log, (Log{"new@1015", "new@1020"}));
}

TEST_F(VirtualTimers, ATimerNeverReentersItselfWhenItsHandlerPumps)
{
    int depth = 0;
    int maxDepth = 0;
    int outer = 0;
    Timer pumping(
        [&] {
            maxDepth = std::max(maxDepth, ++depth);
            if (++outer == 1) {
                runFor(35);
                processMessages();
            }
            --depth;
        },
        10, true);
    Timer inner(logger("inner"), 10, true);
    runFor(60);
    EXPECT_EQ(maxDepth, 1);
    // The pumping handler ran at 1010 and pumped until 1045; meanwhile only "inner" fired. It
    // returned overdue, so it fired again at once, then every 10 ms (missed periods coalesce).
    EXPECT_EQ(log, (Log{"inner@1010", "inner@1020", "inner@1030", "inner@1040", "inner@1050",
                        "inner@1060"}));
    EXPECT_EQ(outer, 3) << "at 1010, 1045 and 1055";
}

TEST_F(VirtualTimers, AnExceptionInAHandlerStaysInTheDispatch)
{
    int thrown = 0;
    Timer failing(
        [&] {
            ++thrown;
            throw std::runtime_error("tick failed");
        },
        10, true);
    Timer unknown([] { throw 42; }, 15, true);
    Timer healthy(logger("ok"), 10, true);
    EXPECT_NO_THROW(runFor(30));
    EXPECT_EQ(thrown, 3) << "a failing timer stays enabled and keeps firing";
    EXPECT_EQ(log, (Log{"ok@1010", "ok@1020", "ok@1030"}));
}

TEST_F(VirtualTimers, TimersBelongToTheirThread)
{
    int mine = 0;
    std::atomic<int> theirs{0};
    auto local = std::make_unique<Timer>([&] { ++mine; }, 10, true);
    std::unique_ptr<Timer> foreign;
    std::thread([&] { foreign = std::make_unique<Timer>([&] { ++theirs; }, 10, true); }).join();
    runFor(30);
    EXPECT_EQ(mine, 3);
    EXPECT_EQ(theirs, 0) << "a timer fires only while its own thread pumps";

    // Changes from another thread are refused and leave the timer as it was.
    std::thread([&] {
        local->setEnabled(false);
        local->setInterval(1);
    }).join();
    EXPECT_TRUE(local->enabled());
    EXPECT_EQ(local->interval(), 10);
    runFor(10);
    EXPECT_EQ(mine, 4);

    // Destroying it on another thread stops it; the owner drops it on its next pump.
    std::thread([&] { local.reset(); }).join();
    runFor(30);
    EXPECT_EQ(mine, 4);
    foreign.reset(); // its thread is gone: nothing to do but let go
}

TEST_F(VirtualTimers, TimersArmedOnTheRealClockMoveToAnInstalledVirtualClock)
{
    tbx::platform::setClock(nullptr);
    Timer t(logger("t"), 40, true); // armed against the real clock
    tbx::platform::setClock(&clock);
    runFor(100);
    EXPECT_EQ(log, (Log{"t@1040", "t@1080"}));
}

#ifndef _WIN32
namespace {
/// A clock that is not virtual, so runFor() takes its real-time path, but whose waits are
/// recorded and take no real time.
class SteppingClock final : public tbx::platform::Clock {
public:
    Millis now() const override { return now_; }
    void sleep(Millis ms) override
    {
        waits.push_back(ms);
        now_ += ms;
    }
    std::vector<Millis> waits;

private:
    Millis now_ = 0;
};
} // namespace

TEST(RealTimeLoop, WaitsExactlyUntilTheNextDueTimerOrTheEnd)
{
    SteppingClock clock;
    tbx::platform::setClock(&clock);
    std::vector<Millis> fired;
    Timer t([&] { fired.push_back(clock.now()); }, 10, true);
    Timer slow([&] { fired.push_back(-clock.now()); }, 25, true);
    runFor(35);
    tbx::platform::setClock(nullptr);
    EXPECT_EQ(fired, (std::vector<Millis>{10, 20, -25, 30}));
    EXPECT_EQ(clock.waits, (std::vector<Millis>{10, 10, 5, 5, 5}));
}
#endif

TEST(VirtualClock, MovesForwardOnlyAndCountsSleeps)
{
    VirtualClock clock(500);
    clock.sleep(20);
    clock.sleep(-5);
    clock.advance(100);
    clock.advance(-100);
    EXPECT_EQ(clock.now(), 620);
    EXPECT_EQ(clock.sleptTotal(), 20);
    EXPECT_EQ(clock.sleepCount(), 2);
    EXPECT_TRUE(clock.isVirtual());
    EXPECT_FALSE(tbx::platform::clock().isVirtual());
}

#ifdef _WIN32
TEST(WindowTimers, RealClockTicksArriveThroughTheMessageLoop)
{
    ASSERT_FALSE(tbx::platform::clock().isVirtual());
    int ticks = 0;
    int depth = 0;
    int maxDepth = 0;
    Timer t(
        [&] {
            maxDepth = std::max(maxDepth, ++depth);
            ++ticks;
            if (ticks == 1)
                runFor(60); // pumps inside the handler: must not re-enter
            --depth;
        },
        20, true);
    const Millis start = tbx::platform::clock().now();
    runFor(180);
    const Millis took = tbx::platform::clock().now() - start;
    EXPECT_GE(took, 180);
    EXPECT_LT(took, 1000);
    EXPECT_GE(ticks, 2);
    EXPECT_LE(ticks, 12);
    EXPECT_EQ(maxDepth, 1);
    t.setEnabled(false);
    const int before = ticks;
    runFor(50);
    EXPECT_EQ(ticks, before);
}
#endif
