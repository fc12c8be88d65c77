// Test-support COM object for the script suites (registered only while they run). Wine's script
// host can neither bind events nor wait while pumping messages, so this object does both:
//
//   Set support = CreateObject("TetherboxTest.Support")
//   support.Connect control, sinkObject   ' events call sinkObject.OnEventName(args...)
//   support.Pump 200                      ' pumps the thread's messages for 200 ms
//   support.Disconnect
//
// The sink is any script object; an event whose name the object lacks is dropped.
#include <windows.h>
#include <dispex.h>
#include <olectl.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "automation/ComSupport.h"

using tbx::automation::ComRef;

namespace {

HINSTANCE g_instance = nullptr;
LONG g_objects = 0;

// {6C1D3E2A-94F7-4B1E-9F3A-0D5B7C2E8A41}
const CLSID kSupportClsid = {0x6c1d3e2a, 0x94f7, 0x4b1e, {0x9f, 0x3a, 0x0d, 0x5b, 0x7c, 0x2e, 0x8a, 0x41}};
const wchar_t kSupportProgId[] = L"TetherboxTest.Support";

enum : DISPID { kPump = 1, kConnect = 2, kDisconnect = 3 };

struct SupportObjectCount {
    static void add() { InterlockedIncrement(&g_objects); }
    static void release() { InterlockedDecrement(&g_objects); }
};

template <class I, const IID &Id>
using Unknown = tbx::automation::SingleInterfaceObject<I, Id, SupportObjectCount>;

/// Receives the control's events and calls the script object's method of the same name.
class Forwarder final : public Unknown<IDispatch, IID_IDispatch> {
public:
    Forwarder(IDispatch *target, std::map<DISPID, std::wstring> names)
        : target_(ComRef<IDispatch>::share(target)), names_(std::move(names))
    {
        target->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void **>(targetEx_.put()));
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (object != nullptr && riid == events_) {
            *object = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        return SingleInterfaceObject::QueryInterface(riid, object);
    }
    void setEventsIid(const IID &iid) { events_ = iid; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS *params, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        auto it = names_.find(id);
        if (it == names_.end())
            return S_OK;
        BSTR name = SysAllocString(it->second.c_str());
        DISPID target = DISPID_UNKNOWN;
        HRESULT hr = E_FAIL;
        if (targetEx_)
            hr = targetEx_->GetDispID(name, fdexNameCaseInsensitive, &target);
        if (FAILED(hr)) {
            LPOLESTR names[] = {name};
            hr = target_->GetIDsOfNames(IID_NULL, names, 1, lcid, &target);
        }
        SysFreeString(name);
        if (FAILED(hr))
            return S_OK; // the script does not handle this event
        VARIANT result;
        VariantInit(&result);
        if (targetEx_)
            targetEx_->InvokeEx(target, lcid, DISPATCH_METHOD, params, &result, nullptr, nullptr);
        else
            target_->Invoke(target, IID_NULL, lcid, DISPATCH_METHOD, params, &result, nullptr, nullptr);
        VariantClear(&result);
        return S_OK;
    }

private:
    ComRef<IDispatch> target_;
    ComRef<IDispatchEx> targetEx_;
    std::map<DISPID, std::wstring> names_;
    IID events_ = IID_IDispatch;
};

HRESULT argument(DISPPARAMS *params, UINT index, VARTYPE type, VARIANT &out)
{
    // Arguments arrive last to first.
    if (params == nullptr || index >= params->cArgs)
        return DISP_E_BADPARAMCOUNT;
    VariantInit(&out);
    return VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - index], 0, type);
}

class Support final : public Unknown<IDispatch, IID_IDispatch> {
public:
    Support() = default;
    ~Support() override { disconnect(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        static const std::pair<const wchar_t *, DISPID> known[] = {
            {L"Pump", kPump}, {L"Connect", kConnect}, {L"Disconnect", kDisconnect}};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const auto &k : known)
                if (i == 0 && lstrcmpiW(names[i], k.first) == 0)
                    ids[i] = k.second;
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *,
                                     UINT *) override
    {
        if (result != nullptr)
            VariantInit(result);
        VARIANT a, b;
        switch (id) {
        case kPump: {
            HRESULT hr = argument(params, 0, VT_I4, a);
            if (FAILED(hr))
                return hr;
            pump(a.lVal);
            return S_OK;
        }
        case kConnect: {
            HRESULT hr = argument(params, 0, VT_DISPATCH, a);
            if (SUCCEEDED(hr) && FAILED(hr = argument(params, 1, VT_DISPATCH, b)))
                VariantClear(&a);
            if (FAILED(hr))
                return hr;
            hr = connect(a.pdispVal, b.pdispVal);
            VariantClear(&a);
            VariantClear(&b);
            return hr;
        }
        case kDisconnect:
            disconnect();
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    static void pump(LONG ms)
    {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms < 0 ? 0 : ms);
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= end)
                return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        }
    }

    HRESULT connect(IDispatch *control, IDispatch *sink)
    {
        disconnect();
        if (control == nullptr || sink == nullptr)
            return E_INVALIDARG;
        // The event names come from the control's own class information.
        ComRef<IProvideClassInfo2> info;
        HRESULT hr = control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void **>(info.put()));
        IID events{};
        if (SUCCEEDED(hr))
            hr = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
        ComRef<ITypeInfo> coclass, eventInfo;
        if (SUCCEEDED(hr))
            hr = info->GetClassInfo(coclass.put());
        if (FAILED(hr))
            return hr;
        ComRef<ITypeLib> lib;
        UINT index = 0;
        if (FAILED(hr = coclass->GetContainingTypeLib(lib.put(), &index)) ||
            FAILED(hr = lib->GetTypeInfoOfGuid(events, eventInfo.put())))
            return hr;
        TYPEATTR *attr = nullptr;
        eventInfo->GetTypeAttr(&attr);
        std::map<DISPID, std::wstring> names;
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC *f = nullptr;
            if (FAILED(eventInfo->GetFuncDesc(i, &f)))
                continue;
            BSTR name = nullptr;
            UINT n = 0;
            if (SUCCEEDED(eventInfo->GetNames(f->memid, &name, 1, &n)) && n == 1) {
                names[f->memid] = name;
                SysFreeString(name);
            }
            eventInfo->ReleaseFuncDesc(f);
        }
        eventInfo->ReleaseTypeAttr(attr);

        ComRef<IConnectionPointContainer> container;
        if (FAILED(hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container.put()))) ||
            FAILED(hr = container->FindConnectionPoint(events, point_.put())))
            return hr;
        auto *forwarder = new Forwarder(sink, std::move(names));
        forwarder->setEventsIid(events);
        hr = point_->Advise(forwarder, &cookie_);
        forwarder->Release();
        if (FAILED(hr))
            point_.reset();
        return hr;
    }

    void disconnect()
    {
        if (point_ && cookie_ != 0)
            point_->Unadvise(cookie_);
        cookie_ = 0;
        point_.reset();
    }

    ComRef<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

class Factory final : public Unknown<IClassFactory, IID_IClassFactory> {
public:
    Factory() = default;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto *support = new Support();
        HRESULT hr = support->QueryInterface(riid, object);
        support->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

std::wstring clsidKey()
{
    wchar_t text[40] = {};
    StringFromGUID2(kSupportClsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

bool setValue(const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_instance = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void **object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (clsid != kSupportClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto *factory = new Factory();
    HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_instance, path, MAX_PATH);
    wchar_t clsid[40] = {};
    StringFromGUID2(kSupportClsid, clsid, 40);
    const std::wstring key = clsidKey();
    bool ok = setValue(key, nullptr, L"Tetherbox test support") && setValue(key + L"\\InprocServer32", nullptr, path) &&
              setValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
              setValue(std::wstring(kSupportProgId) + L"\\CLSID", nullptr, clsid);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey().c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, clsidKey().c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kSupportProgId);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kSupportProgId);
    return S_OK;
}
