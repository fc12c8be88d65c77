// Private to the platform layer: the per-thread timer loop shared by Posix.cpp and Win32.cpp,
// and the hooks each of them provides to it.
#pragma once

#include "platform/Platform.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tbx::platform::detail {

/// One timer as its thread's loop sees it. Shared between the Timer object and the loop, so a
/// handler that destroys its own timer keeps running on a live object until it returns.
struct TimerState {
    Timer::Handler handler;
    std::thread::id owner = std::this_thread::get_id();
    std::uint64_t seq = 0; ///< creation order: ties in due time fire in this order

    // Readable on any thread.
    std::atomic<bool> enabled{false};
    std::atomic<Millis> interval{1000};
    /// Set when the Timer was destroyed on a foreign thread; the owner drops it when it pumps.
    std::atomic<bool> abandoned{false};

    // Owner thread only.
    bool destroyed = false;
    bool running = false;         ///< inside its handler
    std::uint64_t firedPass = 0;  ///< the pump pass that last fired it
    Millis due = 0;               ///< next due time in the portable loop
    std::uintptr_t nativeId = 0;  ///< nonzero while armed as a window-message timer

    Millis period() const { return interval.load() < 1 ? 1 : interval.load(); }
};

/// The timers of one thread.
/// The calling thread's last failure to open a library. Kept in plain thread-local storage: a
/// thread-local object with a destructor runs at the thread's exit, and a module unloaded then
/// would hang the process in its runtime's clean-up.
void setLastOpenError(const std::string &text) noexcept;
std::string lastOpenError();

struct TimerLoop {
    std::vector<std::shared_ptr<TimerState>> timers; ///< in creation order
    const Clock *clockSeen = nullptr; ///< the clock the armed timers were armed against
    std::uint64_t nextSeq = 1;
    /// The processMessages() call dispatching right now (0 outside one): within one call a
    /// timer fires at most once, even if the OS queues several of its ticks meanwhile.
    std::uint64_t pass = 0;
    std::uint64_t lastPass = 0;
    std::int64_t fired = 0;   ///< handlers run so far
    std::uintptr_t nextNativeId = 1;
    void *native = nullptr;   ///< the OS part's per-thread data (the message window)
    int depth = 0;            ///< dispatches and handlers running on it right now

    TimerLoop() = default;
    TimerLoop(const TimerLoop &) = delete;
    TimerLoop &operator=(const TimerLoop &) = delete;
    ~TimerLoop();
};

/// The calling thread's loop, created on first use.
TimerLoop *currentLoop();
/// Frees the calling thread's loop if it holds no timer and runs nothing.
void releaseIfIdle() noexcept;

/// Runs the handler of \a state (marking it running, swallowing exceptions) unless it is gone,
/// disabled, already running or already fired in the current pass. Returns true when it ran.
bool fire(TimerLoop &loop, const std::shared_ptr<TimerState> &state);

/// Drops timers destroyed on foreign threads.
void dropAbandoned(TimerLoop &loop);

// ---- Implemented per OS --------------------------------------------------------------------

/// Arms \a state as an OS timer when the OS has one for the clock in use; false means the
/// portable loop runs it (due time already set by the caller).
bool nativeArm(TimerLoop &loop, TimerState &state);
/// Stops the OS timer of \a state, if any.
void nativeDisarm(TimerLoop &loop, TimerState &state);
/// Dispatches the OS messages that are waiting for the calling thread.
void nativeDispatchPending(TimerLoop &loop);
/// Waits up to \a ms of real time for OS messages (or just sleeps where there are none).
void nativeWait(Millis ms);
/// Releases the per-thread OS data at thread exit.
void nativeShutdown(TimerLoop &loop);
/// Tells the OS part that \a loop is now the calling thread's loop (nullptr: it has none). Where the
/// OS offers a thread-exit hook without a module's runtime behind it (POSIX thread keys), the loop of
/// a thread that ends while still holding timers is freed there; on Windows nothing may run at a
/// thread's exit (a module unloaded then would hang), so such a loop stays until the process ends.
void nativeTrackThreadLoop(TimerLoop *loop) noexcept;
/// Frees \a loop, the loop of a thread that is ending. Called by the OS part's thread-exit hook.
void discardEndingThreadLoop(TimerLoop *loop) noexcept;

// ---- Byte parsing shared by the version readers ----------------------------------------------

/// Reads a VS_FIXEDFILEINFO of \a size bytes: empty when shorter than 52 bytes or when the
/// signature is not 0xFEEF04BD.
std::optional<FileVersion> parseFixedFileInfo(const std::uint8_t *data, std::size_t size);

/// Reads the version of a whole PE or ELF image, chosen by its magic bytes.
std::optional<FileVersion> versionFromImage(const std::uint8_t *data, std::size_t size);

/// The OS version as the OS reports it (osVersion() without the test override).
std::optional<OsVersion> queryOsVersion();

} // namespace tbx::platform::detail
