// The only code that knows the operating system. Everything above this layer is portable C++20
// and reaches the OS through the declarations below; Posix.cpp and Win32.cpp implement them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tbx::platform {

// ---------------------------------------------------------------------------------------------
// Dynamic libraries
// ---------------------------------------------------------------------------------------------

/// An open dynamic library. Closing happens in the destructor. Not copyable, movable.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    /// Opens the library at \a path (a full file name). On POSIX the file name part is matched
    /// without regard to case inside its directory. Returns an empty optional when the file is
    /// missing or cannot be loaded.
    static std::optional<DynamicLibrary> open(const std::string &path);

    /// Why the last open() on this thread failed (the loader's own text); empty after a success.
    static std::string lastError();

    /// Looks a symbol up by its exact name; nullptr when it is not exported.
    void *symbol(const char *name) const;

    bool isOpen() const { return handle_ != nullptr; }
    /// Closes the library now (also done by the destructor).
    void close();

private:
    explicit DynamicLibrary(void *handle) : handle_(handle) {}
    void *handle_ = nullptr;
};

/// Resolves \a path to an existing file. On Windows the path is returned as it is when the file
/// exists. On POSIX the last component is matched without regard to case inside its directory.
/// Returns an empty optional when no such file exists.
std::optional<std::string> findFile(const std::string &path);

/// True when a file (not a directory) exists at \a path, matched as findFile() does.
bool fileExists(const std::string &path);

// ---------------------------------------------------------------------------------------------
// File versions
// ---------------------------------------------------------------------------------------------

/// The four 16-bit parts of a VS_FIXEDFILEINFO file version (dwFileVersionMS/LS).
struct FileVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
    friend bool operator==(const FileVersion &, const FileVersion &) = default;
};

/// Reads the fixed file version of \a path. Windows asks the OS (GetFileVersionInfoA,
/// VerQueryValueA "\\"). POSIX reads the VS_VERSIONINFO resource of a PE file, or the
/// "TBXVERSION" ELF note of our own stand-ins (platform/VersionNote.h). Returns an empty optional
/// when the file has no readable version, or when the fixed information is missing, has a wrong
/// signature or is shorter than its structure.
std::optional<FileVersion> fileVersion(const std::string &path);

/// Parses a VS_FIXEDFILEINFO file version from the bytes of a whole PE image. Exposed for tests
/// and fuzzing; every size and offset is checked before it is read.
std::optional<FileVersion> peFileVersion(const std::uint8_t *data, std::size_t size);
/// The same for an ELF image carrying the TBXVERSION note.
std::optional<FileVersion> elfFileVersion(const std::uint8_t *data, std::size_t size);

// ---------------------------------------------------------------------------------------------
// Error mode and OS version
// ---------------------------------------------------------------------------------------------

/// Sets the process error mode (SetErrorMode on Windows, nothing on POSIX); returns the old one.
unsigned setErrorMode(unsigned mode);

struct OsVersion {
    unsigned major = 0;
    unsigned minor = 0;
};

/// The running OS version. POSIX answers 10.0 (a modern Windows). Returns an empty optional when
/// the query fails. Tests may override it.
std::optional<OsVersion> osVersion();
/// Overrides osVersion() for tests: a value forces that answer, an empty optional makes the
/// query fail; reset with clearOsVersionOverride().
void setOsVersionOverride(std::optional<OsVersion> version);
void clearOsVersionOverride();

// ---------------------------------------------------------------------------------------------
// Clock, sleep and timers
// ---------------------------------------------------------------------------------------------

/// Milliseconds on a monotonic scale.
using Millis = std::int64_t;

/// Source of time for everything in the system. Production uses the real clock; tests install a
/// VirtualClock so that waits and timers run deterministically and without real sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Millis now() const = 0;
    /// Blocks the calling thread for \a ms. Does not pump messages or fire timers (like Sleep).
    virtual void sleep(Millis ms) = 0;
    /// True for a clock whose time only moves when someone moves it.
    virtual bool isVirtual() const { return false; }
};

/// A clock whose time moves only by sleep() and advance(); negative amounts are ignored, so the
/// time never goes back. Thread-safe: any thread may read it, sleep on it or advance it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(Millis start = 0) : now_(start) {}
    Millis now() const override;
    /// Moves the time forward by \a ms and adds \a ms to sleptTotal(). Returns at once.
    void sleep(Millis ms) override;
    bool isVirtual() const override { return true; }
    /// Moves the time forward by \a ms without counting it as sleep.
    void advance(Millis ms);
    /// Total time passed in sleep() calls (so a test can check a retry loop's waits).
    Millis sleptTotal() const;
    /// Number of sleep() calls so far.
    std::int64_t sleepCount() const;

private:
    mutable std::mutex mutex_;
    Millis now_;
    Millis slept_ = 0;
    std::int64_t sleeps_ = 0;
};

/// The clock in use (the real clock unless a test installed another).
Clock &clock();
/// Installs \a clock for the whole process (nullptr restores the real clock). The caller keeps
/// ownership and must restore before destroying it.
void setClock(Clock *clock);

/// Shorthand for clock().sleep(ms).
void sleepMs(Millis ms);

/// A timer that fires on the thread that created it, and only while that thread pumps messages
/// (processMessages(), runFor()) — like a window-message timer. Windows uses SetTimer on a
/// message-only window while the real clock is in use; POSIX and any virtual clock use a
/// per-thread timer loop.
///
/// - A handler may enable, disable, change the interval of or destroy its own timer or any other
///   timer of its thread, and create new ones.
/// - A timer never re-enters itself: while its handler runs (and pumps messages, say), that timer
///   is not fired again; other timers are.
/// - An exception thrown by a handler is swallowed at the dispatch; it never reaches the pump.
/// - An interval of 0 or less runs as 1 ms (interval() still answers what was set).
/// - Missed periods are not caught up: a timer late by several periods fires once.
///
/// \context Thread-bound: setEnabled() and setInterval() called on another thread are refused
/// (the timer stays as it is); enabled() and interval() may be read anywhere. Destroying a timer
/// on another thread stops it firing; its handler is released by the owner thread later.
class Timer {
public:
    using Handler = std::function<void()>;
    explicit Timer(Handler handler, Millis intervalMs = 1000, bool enabled = false);
    ~Timer();
    Timer(const Timer &) = delete;
    Timer &operator=(const Timer &) = delete;

    void setEnabled(bool enabled);
    bool enabled() const;
    /// Changing the interval of an enabled timer restarts its period.
    void setInterval(Millis ms);
    Millis interval() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

/// Fires every timer of the calling thread that is due now (each at most once, earliest due
/// first, ties in creation order) and, on Windows, dispatches the pending window messages (a
/// WM_QUIT is put back for the host's own loop). Returns the number of timer handlers run,
/// including those run by pumps nested in them.
int processMessages();

/// The threads that hold timers of this module (or run one of its dispatches) right now.
std::size_t threadsWithTimers() noexcept;

#ifdef _WIN32
/// Gives back what the timers registered with the OS for this module; for its unloading, when
/// threadsWithTimers() is 0. Never waits.
void endModuleTimers() noexcept;
#endif

/// Pumps the calling thread's messages for \a ms of clock time (0 or less: one pass). With a
/// virtual clock, time is advanced from one due timer to the next, each due timer firing once
/// per period in due order, and finally to the end; with the real clock, the thread waits for
/// messages in between.
void runFor(Millis ms);

// ---------------------------------------------------------------------------------------------
// Local time and paths
// ---------------------------------------------------------------------------------------------

/// Broken-down local time of \a t.
std::tm localTime(std::time_t t);

/// The bias in minutes between UTC and local time, as Windows' GetTimeZoneInformation reports it
/// (UTC = local time + bias; so UTC+1 gives -60), including daylight saving when in force.
int timeZoneBiasMinutes();

/// The directory separator the system uses where it joins names with a backslash.
#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
#else
inline constexpr char kDirSeparator = '/';
#endif

/// Creates every missing directory of \a dir. Returns false on failure.
bool createDirectories(const std::string &dir);

/// Sets the environment variable \a name to \a value for this process and the libraries it
/// loads from now on.
void setEnvironment(const std::string &name, const std::string &value);

// ---------------------------------------------------------------------------------------------
// Memory below 4 GiB
// ---------------------------------------------------------------------------------------------

/// Memory whose address fits in 32 bits, for hosts that take live-view frames as 32-bit
/// addresses in a 64-bit process: a block below 4 GiB, or an empty one (data() == nullptr) where
/// none can be had (a 32-bit process takes any block).
class LowMemoryBlock {
public:
    explicit LowMemoryBlock(std::size_t size);
    ~LowMemoryBlock();
    LowMemoryBlock(const LowMemoryBlock &) = delete;
    LowMemoryBlock &operator=(const LowMemoryBlock &) = delete;

    std::uint8_t *data() const { return data_; }
    std::size_t size() const { return data_ != nullptr ? size_ : 0; }

private:
    /// The OS's own allocation below 4 GiB (64-bit processes); nullptr when there is none.
    static std::uint8_t *allocateLow(std::size_t size);
    static void releaseLow(std::uint8_t *data, std::size_t size);

    std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};

/// True when this platform can place a LowMemoryBlock.
bool lowMemoryAvailable();

// ---------------------------------------------------------------------------------------------
// File names
// ---------------------------------------------------------------------------------------------
// Hosts and the SDKs spell file names as 8-bit strings: in the process's ANSI code page on
// Windows, UTF-8 elsewhere. Every file and directory operation on such a name goes through
// hostPath(), the one conversion, so that the same name never reaches two different files.

/// The file-system path that \a name spells.
std::filesystem::path hostPath(const std::string &name);

/// Opens \a name as std::fopen() would with \a mode; nullptr on failure.
std::FILE *openFile(const std::string &name, const char *mode);

/// Removes the file \a name. Returns false when nothing was removed.
bool removeFile(const std::string &name);

} // namespace tbx::platform
