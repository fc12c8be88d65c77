// A C++ client of a simulated SDK library's control API (TbxSimControl.h), for host programs and
// tests: it loads the library file by path (a library a host already loaded is the same
// instance, so the client steers the cameras the host sees), binds every TbxSim_ export and reads
// the call log and the last error as text. Header-only; every stand-in offers the same API, so
// one client serves whichever library file it is given.
#pragma once

#include "TbxSimCallLog.h"
#include "TbxSimControl.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

/// Every function of the control API, without its TbxSim_ prefix.
#define TBX_SIM_CONTROL_FUNCTIONS(X)                                                                                   \
    X(LoadScenario)                                                                                                    \
    X(Reset)                                                                                                           \
    X(AttachCamera)                                                                                                    \
    X(DetachCamera)                                                                                                    \
    X(InjectFault)                                                                                                     \
    X(ClearFaults)                                                                                                     \
    X(SetBusy)                                                                                                         \
    X(Unplug)                                                                                                          \
    X(GetCallLog)                                                                                                      \
    X(ClearCallLog)                                                                                                    \
    X(FireEvent)                                                                                                       \
    X(ReleaseShutter)                                                                                                  \
    X(SetProperty)                                                                                                     \
    X(GetProperty)                                                                                                     \
    X(WaitIdle)                                                                                                        \
    X(GetObjectCount)                                                                                                  \
    X(GetLastError)

namespace tbx::sim {

class ControlClient {
public:
    /// Loads the library file at \p libraryPath and binds its control API.
    /// \throws std::runtime_error naming the file when it cannot be loaded or lacks a function.
    explicit ControlClient(const std::string &libraryPath) : path_(libraryPath), library_(open(libraryPath))
    {
        if (!library_)
            throw std::runtime_error("cannot load the simulated SDK library " + libraryPath);
#define TBX_SIM_CLIENT_BIND(name) name = reinterpret_cast<TbxSim_##name##_t>(need("TbxSim_" #name));
        TBX_SIM_CONTROL_FUNCTIONS(TBX_SIM_CLIENT_BIND)
#undef TBX_SIM_CLIENT_BIND
    }

    /// True when the library file at \p libraryPath loads and offers the control API, as every
    /// stand-in does and the vendor's libraries do not.
    static bool isStandIn(const std::string &libraryPath)
    {
        const std::shared_ptr<void> library = open(libraryPath);
        return library && symbol(library.get(), "TbxSim_Reset") != nullptr;
    }

#define TBX_SIM_CLIENT_MEMBER(name) TbxSim_##name##_t name = nullptr;
    TBX_SIM_CONTROL_FUNCTIONS(TBX_SIM_CLIENT_MEMBER)
#undef TBX_SIM_CLIENT_MEMBER

    /// True when the library exports \p name (an SDK entry point, say).
    bool exports(const std::string &name) const { return symbol(library_.get(), name.c_str()) != nullptr; }

    /// The library file the client was made for.
    const std::string &libraryPath() const { return path_; }

    /// The whole call log as text.
    std::string callLog() const
    {
        std::string text;
        readCallLog(GetCallLog, text);
        return text;
    }

    /// The call log, one line per call.
    std::vector<std::string> callLogLines() const { return sim::callLogLines(callLog()); }

    /// The text of the last control call that failed.
    std::string lastError() const
    {
        char text[1024] = {};
        std::uint32_t needed = 0;
        GetLastError(text, sizeof text, &needed);
        return text;
    }

private:
    /// The library stays loaded while a client (or a copy of it) holds it.
    static std::shared_ptr<void> open(const std::string &path)
    {
#if defined(_WIN32)
        HMODULE module = LoadLibraryA(path.c_str());
        if (module == nullptr)
            return nullptr;
        return std::shared_ptr<void>(module, [](void *m) { FreeLibrary(static_cast<HMODULE>(m)); });
#else
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return nullptr;
        return std::shared_ptr<void>(handle, [](void *h) { dlclose(h); });
#endif
    }

    static void *symbol(void *library, const char *name)
    {
#if defined(_WIN32)
        return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
        return dlsym(library, name);
#endif
    }

    void *need(const char *name) const
    {
        void *p = symbol(library_.get(), name);
        if (p == nullptr)
            throw std::runtime_error("the simulated SDK library " + path_ + " does not export " + name);
        return p;
    }

    std::string path_;
    std::shared_ptr<void> library_;
};

} // namespace tbx::sim
