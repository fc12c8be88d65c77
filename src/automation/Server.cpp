// The module's entry points: the class factory of the control class, the unload check and the
// registration of the control class, its program identifier and its type library.
#include "automation/Module.h"
#include "automation/Registration.h"
#include "automation/TetherboxActiveXX.h"
#include "platform/Platform.h"

#include <new>

using namespace tbx::automation;

namespace {

class ClassFactory final : public SingleInterfaceObject<IClassFactory, IID_IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        TTetherboxActiveXX *created = nullptr;
        HRESULT hr = guarded([&] { created = TTetherboxActiveXX::create(); });
        if (FAILED(hr))
            return hr;
        hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lockServer(lock != FALSE);
        return S_OK;
    }
};

bool registerWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &TTetherboxActiveXX::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        setModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
        return registerWindowClass(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other DLLs may be gone already: leave things be.
        if (reserved == nullptr) {
            releaseModuleState();
            UnregisterClassW(kWindowClass, instance);
            tbx::platform::endModuleTimers();
        }
        return TRUE;
    default:
        return TRUE;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void **object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (clsid != kCLSID)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto *factory = new (std::nothrow) ClassFactory();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return canUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return registerServer(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return unregisterServer(); }
