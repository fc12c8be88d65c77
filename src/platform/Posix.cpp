// The POSIX implementation: dlopen with a case-insensitive file lookup, file versions read from
// the bytes of the file, the portable timer loop with nothing of the OS underneath, and local
// time from the C library.
#include "platform/Internal.h"
#include "platform/Platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace tbx::platform {

namespace {

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool equalsIgnoringCase(const char *a, const std::string &b)
{
    const auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return a[i] == '\0' && i == b.size();
}

/// Files larger than this are not version-checked (no SDK library comes near it).
constexpr std::uintmax_t kMaxVersionedFileSize = 512u * 1024 * 1024;

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uintmax_t>(size) > kMaxVersionedFileSize)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(bytes.data()), size))
        return std::nullopt;
    return bytes;
}

std::atomic<unsigned> gErrorMode{0};

} // namespace

// ---------------------------------------------------------------------------------------------
// Dynamic libraries
// ---------------------------------------------------------------------------------------------

std::optional<DynamicLibrary> DynamicLibrary::open(const std::string &path)
{
    auto found = findFile(path);
    if (!found) {
        detail::setLastOpenError(path + ": no such file");
        return std::nullopt;
    }
    // A name without a slash would send dlopen() searching the library path instead.
    if (found->find('/') == std::string::npos)
        found = "./" + *found;
    void *handle = ::dlopen(found->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = ::dlerror();
        detail::setLastOpenError(why ? why : *found + ": cannot be loaded");
        return std::nullopt;
    }
    detail::setLastOpenError({});
    return DynamicLibrary(handle);
}

std::string DynamicLibrary::lastError()
{
    return detail::lastOpenError();
}

void *DynamicLibrary::symbol(const char *name) const
{
    if (!handle_ || !name)
        return nullptr;
    return ::dlsym(handle_, name);
}

void DynamicLibrary::close()
{
    if (handle_)
        ::dlclose(std::exchange(handle_, nullptr));
}

std::optional<std::string> findFile(const std::string &path)
{
    if (path.empty())
        return std::nullopt;
    if (isRegularFile(path))
        return path;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (name.empty())
        return std::nullopt;
    DIR *dir = ::opendir(prefix.empty() ? "." : prefix.c_str());
    if (!dir)
        return std::nullopt;
    // Several names can match when they differ only in case: take the first in byte order so
    // the answer does not depend on the directory's order.
    std::optional<std::string> best;
    while (const dirent *entry = ::readdir(dir)) {
        if (!equalsIgnoringCase(entry->d_name, name))
            continue;
        std::string candidate = prefix + entry->d_name;
        if (isRegularFile(candidate) && (!best || candidate < *best))
            best = std::move(candidate);
    }
    ::closedir(dir);
    return best;
}

bool fileExists(const std::string &path)
{
    return findFile(path).has_value();
}

// ---------------------------------------------------------------------------------------------
// Versions, error mode, OS version
// ---------------------------------------------------------------------------------------------

std::optional<FileVersion> fileVersion(const std::string &path)
{
    auto found = findFile(path);
    if (!found)
        return std::nullopt;
    auto bytes = readWholeFile(*found);
    if (!bytes)
        return std::nullopt;
    return detail::versionFromImage(bytes->data(), bytes->size());
}

unsigned setErrorMode(unsigned mode)
{
    return gErrorMode.exchange(mode);
}

std::optional<OsVersion> detail::queryOsVersion()
{
    return OsVersion{10, 0};
}

// ---------------------------------------------------------------------------------------------
// Timer loop hooks: no OS timers, the portable loop runs everything
// ---------------------------------------------------------------------------------------------

bool detail::nativeArm(TimerLoop &, TimerState &)
{
    return false;
}

void detail::nativeDisarm(TimerLoop &, TimerState &) {}

void detail::nativeDispatchPending(TimerLoop &) {}

void detail::nativeWait(Millis ms)
{
    // No messages to wait for: waiting is sleeping on the clock in use.
    clock().sleep(ms);
}

void detail::nativeShutdown(TimerLoop &) {}

namespace {

/// The thread key whose destructor frees the loop of a thread that ends while holding timers
/// (a timer it created and never destroyed, or destroyed from another thread).
pthread_key_t threadLoopKey()
{
    static const pthread_key_t key = [] {
        pthread_key_t k{};
        if (pthread_key_create(&k, [](void *loop) {
                detail::discardEndingThreadLoop(static_cast<detail::TimerLoop *>(loop));
            }) != 0)
            std::abort();
        return k;
    }();
    return key;
}

} // namespace

void detail::nativeTrackThreadLoop(TimerLoop *loop) noexcept
{
    pthread_setspecific(threadLoopKey(), loop);
}

// ---------------------------------------------------------------------------------------------
// Local time and paths
// ---------------------------------------------------------------------------------------------

std::tm localTime(std::time_t t)
{
    ::tzset(); // follow TZ changes, as Windows follows its settings
    std::tm result{};
    if (!::localtime_r(&t, &result))
        return std::tm{};
    return result;
}

int timeZoneBiasMinutes()
{
    ::tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return 0;
    return static_cast<int>(-local.tm_gmtoff / 60);
}

std::filesystem::path hostPath(const std::string &name)
{
    return std::filesystem::path(name); // the bytes as they are: UTF-8 by convention
}

std::FILE *openFile(const std::string &name, const char *mode)
{
    return std::fopen(name.c_str(), mode);
}

bool createDirectories(const std::string &dir)
{
    if (dir.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec) && !ec;
}

void setEnvironment(const std::string &name, const std::string &value)
{
    ::setenv(name.c_str(), value.c_str(), 1);
}

std::uint8_t *LowMemoryBlock::allocateLow(std::size_t size)
{
#if defined(__linux__) && defined(MAP_32BIT)
    void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<std::uint8_t *>(p);
#else
    (void)size;
    return nullptr;
#endif
}

void LowMemoryBlock::releaseLow(std::uint8_t *data, std::size_t size)
{
#if defined(__linux__) && defined(MAP_32BIT)
    munmap(data, size);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace tbx::platform
