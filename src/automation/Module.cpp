#include "automation/Module.h"

#include "engine/Tetherbox.h"

#include <atomic>
#include <mutex>
#include <string>

namespace tbx::automation {
namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
std::mutex g_typeLibMutex;
ITypeLib *g_typeLib = nullptr;

} // namespace

HINSTANCE moduleInstance() { return g_instance; }
void setModuleInstance(HINSTANCE instance) { g_instance = instance; }

std::wstring modulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void addObject() { ++g_objects; }
void releaseObject() { --g_objects; }
void lockServer(bool lock)
{
    if (lock)
        ++g_locks;
    else
        --g_locks;
}

bool canUnload()
{
    // An engine holds the vendor libraries and may have SDK threads running into this module.
    // Nor may a timer of ours be left on some thread: its window procedure lives in this module.
    return g_objects.load() == 0 && g_locks.load() == 0 && !EngineRegistry::exists() &&
           platform::threadsWithTimers() == 0;
}

ITypeLib *typeLibrary()
{
    std::lock_guard lock(g_typeLibMutex);
    if (g_typeLib == nullptr) {
        std::wstring path = modulePath();
        if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &g_typeLib)))
            g_typeLib = nullptr;
    }
    return g_typeLib;
}

HRESULT typeInfoOf(REFGUID guid, ITypeInfo **info)
{
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    ITypeLib *lib = typeLibrary();
    if (lib == nullptr)
        return TYPE_E_CANTLOADLIBRARY;
    return lib->GetTypeInfoOfGuid(guid, info);
}

void releaseModuleState()
{
    std::lock_guard lock(g_typeLibMutex);
    if (g_typeLib != nullptr) {
        g_typeLib->Release();
        g_typeLib = nullptr;
    }
}

} // namespace tbx::automation
