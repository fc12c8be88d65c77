// The Win32 implementation: the loader and version APIs of the OS, and window-message timers on
// a message-only window per thread while the real clock is in use. With a virtual clock the
// portable timer loop runs the timers instead, so engine tests stay deterministic under Wine.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/Internal.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace tbx::platform {

namespace {

std::string systemMessage(DWORD code)
{
    char *text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message + " (error " + std::to_string(code) + ")";
}

bool isAbsolute(const std::string &path)
{
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
            (path[1] == '\\' || path[1] == '/'));
}

std::wstring widen(const std::string &text, UINT codePage)
{
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

DWORD attributesOf(const std::string &path)
{
    return GetFileAttributesW(hostPath(path).c_str());
}

bool isDirectory(const std::string &path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Dynamic libraries
// ---------------------------------------------------------------------------------------------

std::optional<DynamicLibrary> DynamicLibrary::open(const std::string &path)
{
    if (!fileExists(path)) {
        detail::setLastOpenError(path + ": no such file");
        return std::nullopt;
    }
    // With a full path, the library's own folder is searched for its dependencies first (the
    // vendor libraries load their companions from beside themselves).
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr,
                                    isAbsolute(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
    if (!module) {
        detail::setLastOpenError(path + ": " + systemMessage(GetLastError()));
        return std::nullopt;
    }
    detail::setLastOpenError({});
    return DynamicLibrary(module);
}

std::string DynamicLibrary::lastError()
{
    return detail::lastOpenError();
}

void *DynamicLibrary::symbol(const char *name) const
{
    if (!handle_ || !name)
        return nullptr;
    FARPROC proc = GetProcAddress(static_cast<HMODULE>(handle_), name);
    void *address = nullptr;
    static_assert(sizeof proc == sizeof address);
    std::memcpy(&address, &proc, sizeof address);
    return address;
}

void DynamicLibrary::close()
{
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

std::optional<std::string> findFile(const std::string &path)
{
    if (path.empty())
        return std::nullopt;
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return path;
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
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<std::uint8_t> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data()))
        return std::nullopt;
    void *value = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!VerQueryValueA(info.data(), root, &value, &length) || !value)
        return std::nullopt;
    // The value must lie inside the block we handed over before we read it.
    const auto *begin = static_cast<const std::uint8_t *>(value);
    if (begin < info.data() || begin > info.data() + info.size() ||
        length > static_cast<std::size_t>(info.data() + info.size() - begin))
        return std::nullopt;
    return detail::parseFixedFileInfo(begin, length);
}

unsigned setErrorMode(unsigned mode)
{
    return SetErrorMode(mode);
}

std::optional<OsVersion> detail::queryOsVersion()
{
    // GetVersionEx answers what the manifest allows, not what runs; ntdll tells the truth.
    using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion");
        RtlGetVersionFn rtlGetVersion = nullptr;
        static_assert(sizeof proc == sizeof rtlGetVersion);
        std::memcpy(&rtlGetVersion, &proc, sizeof proc);
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (rtlGetVersion && rtlGetVersion(&info) == 0)
            return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return std::nullopt;
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
}

// ---------------------------------------------------------------------------------------------
// Window-message timers
// ---------------------------------------------------------------------------------------------

namespace {

constexpr char kTimerWindowClass[] = "TetherboxTimerWindow";

/// The module this code is linked into (the control's DLL, or a test executable).
HINSTANCE ownModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ownModule), &module);
    return module;
}

bool registerTimerWindowClass()
{
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        // The timers call timerProc directly; the window itself only needs default handling,
        // which also stays valid should this module be unloaded before the class is.
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = ownModule();
        wc.lpszClassName = kTimerWindowClass;
        registered = RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    });
    return registered;
}

HWND timerWindow(detail::TimerLoop &loop)
{
    if (!loop.native && registerTimerWindowClass()) {
        HWND window = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, ownModule(), nullptr);
        loop.native = window;
    }
    return static_cast<HWND>(loop.native);
}

void CALLBACK timerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    auto *loop = detail::currentLoop();
    if (!loop)
        return;
    std::shared_ptr<detail::TimerState> state;
    for (const auto &t : loop->timers) {
        if (t->nativeId == id) {
            state = t;
            break;
        }
    }
    if (!state) { // a tick queued before the timer was re-armed or destroyed
        KillTimer(window, id);
        return;
    }
    if (state->abandoned) {
        detail::dropAbandoned(*loop);
        return;
    }
    detail::fire(*loop, state);
    detail::releaseIfIdle();
}

/// Messages one processMessages() dispatches at most, so that a host posting messages from
/// its own handlers cannot keep it from returning.
constexpr int kMaxMessagesPerPass = 10000;

} // namespace

bool detail::nativeArm(TimerLoop &loop, TimerState &state)
{
    if (clock().isVirtual())
        return false;
    HWND window = timerWindow(loop);
    if (!window)
        return false; // the portable loop still runs it while the thread pumps
    const Millis period = std::clamp<Millis>(state.period(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const UINT_PTR id = loop.nextNativeId++;
    if (!SetTimer(window, id, static_cast<UINT>(period), timerProc))
        return false;
    state.nativeId = id;
    return true;
}

void detail::nativeDisarm(TimerLoop &loop, TimerState &state)
{
    if (state.nativeId && loop.native)
        KillTimer(static_cast<HWND>(loop.native), state.nativeId);
    state.nativeId = 0;
}

void detail::nativeDispatchPending(TimerLoop &)
{
    MSG msg;
    for (int i = 0; i < kMaxMessagesPerPass && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            // Not ours to handle: put it back for the host's own loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void detail::nativeWait(Millis ms)
{
    if (ms <= 0)
        return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<Millis>(ms, INFINITE - 1)),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void endModuleTimers() noexcept
{
    // A class registered by a module outlives it; a module loaded again would find the class of
    // its unloaded predecessor, whose window procedure is gone.
    UnregisterClassA(kTimerWindowClass, ownModule());
}

void detail::nativeShutdown(TimerLoop &loop)
{
    if (loop.native)
        DestroyWindow(static_cast<HWND>(std::exchange(loop.native, nullptr)));
}

// Nothing of ours runs at a thread's exit (see Internal.h): the loop of a thread that ends while
// holding timers is not freed, and DllCanUnloadNow keeps the module loaded while it exists.
void detail::nativeTrackThreadLoop(TimerLoop *) noexcept {}

// ---------------------------------------------------------------------------------------------
// Local time and paths
// ---------------------------------------------------------------------------------------------

std::tm localTime(std::time_t t)
{
    std::tm result{};
    if (localtime_s(&result, &t) != 0)
        return std::tm{};
    return result;
}

int timeZoneBiasMinutes()
{
    TIME_ZONE_INFORMATION info{};
    switch (GetTimeZoneInformation(&info)) {
    case TIME_ZONE_ID_DAYLIGHT:
        return static_cast<int>(info.Bias + info.DaylightBias);
    case TIME_ZONE_ID_STANDARD:
        return static_cast<int>(info.Bias + info.StandardBias);
    case TIME_ZONE_ID_UNKNOWN:
        return static_cast<int>(info.Bias);
    default:
        return 0;
    }
}

bool createDirectories(const std::string &dir)
{
    if (dir.empty())
        return false;
    // Create each level in turn, skipping a drive ("C:") and the "\\server\share" of a UNC
    // path; a level that exists already is fine.
    const bool unc = dir.size() > 2 && (dir[0] == '\\' || dir[0] == '/') &&
                     (dir[1] == '\\' || dir[1] == '/');
    int separators = 0;
    for (std::size_t i = 0; i < dir.size(); ++i) {
        if (dir[i] != '\\' && dir[i] != '/')
            continue;
        ++separators;
        const std::string level = dir.substr(0, i);
        if (level.empty() || level.back() == ':' || level.back() == '\\' || level.back() == '/' ||
            (unc && separators <= 4))
            continue;
        CreateDirectoryW(hostPath(level).c_str(), nullptr);
    }
    CreateDirectoryW(hostPath(dir).c_str(), nullptr);
    return isDirectory(dir);
}

void setEnvironment(const std::string &name, const std::string &value)
{
    _putenv_s(name.c_str(), value.c_str());
}

std::uint8_t *LowMemoryBlock::allocateLow(std::size_t size)
{
    std::uint8_t *data = nullptr;
    for (std::uintptr_t at = 0x10000000; at < 0xF0000000u && data == nullptr; at += 0x01000000)
        data = static_cast<std::uint8_t *>(
            VirtualAlloc(reinterpret_cast<void *>(at), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    return data;
}

void LowMemoryBlock::releaseLow(std::uint8_t *data, std::size_t /*size*/)
{
    VirtualFree(data, 0, MEM_RELEASE);
}

std::filesystem::path hostPath(const std::string &name)
{
    return std::filesystem::path(widen(name, CP_ACP));
}

std::FILE *openFile(const std::string &name, const char *mode)
{
    return _wfopen(hostPath(name).c_str(), widen(mode, CP_ACP).c_str());
}

} // namespace tbx::platform
