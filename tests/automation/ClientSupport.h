// A COM client's view of the control for the client and hosting suites: creation by program
// identifier, late-bound calls by name, and an event sink that records what it receives.
#pragma once

#include "ComTest.h"
#include "Scratch.h"

#include <olectl.h>

#include "TetherboxActiveXXControl1.h"

#include <filesystem>
#include <vector>

namespace tbx::test {

/// A variant that frees what it holds.
struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    Var(const Var &o) { VariantInit(&v); VariantCopy(&v, const_cast<VARIANT *>(&o.v)); }
    Var &operator=(const Var &o) { if (this != &o) { VariantClear(&v); VariantCopy(&v, const_cast<VARIANT *>(&o.v)); } return *this; }
    ~Var() { VariantClear(&v); }
    static Var i4(LONG value) { Var r; r.v.vt = VT_I4; r.v.lVal = value; return r; }
    static Var i2(SHORT value) { Var r; r.v.vt = VT_I2; r.v.iVal = value; return r; }
    static Var boolean(VARIANT_BOOL value) { Var r; r.v.vt = VT_BOOL; r.v.boolVal = value; return r; }
    static Var str(const std::wstring &text)
    {
        Var r;
        r.v.vt = VT_BSTR;
        r.v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return r;
    }
    LONG asLong() const { Var c; VariantChangeType(&c.v, const_cast<VARIANT *>(&v), 0, VT_I4); return c.v.lVal; }
    std::wstring asText() const
    {
        Var c;
        if (FAILED(VariantChangeType(&c.v, const_cast<VARIANT *>(&v), 0, VT_BSTR)) || c.v.bstrVal == nullptr)
            return {};
        return std::wstring(c.v.bstrVal, SysStringLen(c.v.bstrVal));
    }
};

/// Outcome of a late-bound call.
struct CallResult {
    HRESULT hr = E_FAIL;
    Var value;
    std::wstring description; // from EXCEPINFO
    std::wstring source;
    HRESULT scode = S_OK;
};

/// Calls \p name on \p object through GetIDsOfNames and Invoke; \p args in declaration order.
inline CallResult invoke(IDispatch *object, const wchar_t *name, WORD flags, std::vector<Var> args = {})
{
    CallResult r;
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    r.hr = object->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
    if (FAILED(r.hr))
        return r;
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(it->v);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    UINT argError = 0;
    r.hr = object->Invoke(id, IID_NULL, 0x409, flags, &params, &r.value.v, &info, &argError);
    if (r.hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn != nullptr)
            info.pfnDeferredFillIn(&info);
        r.scode = info.scode;
        if (info.bstrDescription)
            r.description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
        if (info.bstrSource)
            r.source.assign(info.bstrSource, SysStringLen(info.bstrSource));
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
    }
    return r;
}

inline CallResult call(IDispatch *o, const wchar_t *name, std::vector<Var> args = {})
{
    return invoke(o, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
}
inline CallResult get(IDispatch *o, const wchar_t *name) { return invoke(o, name, DISPATCH_PROPERTYGET); }
inline CallResult put(IDispatch *o, const wchar_t *name, Var value)
{
    return invoke(o, name, DISPATCH_PROPERTYPUT, {std::move(value)});
}

/// The description of the thread's error info (after a failed vtable call).
inline std::wstring lastErrorDescription()
{
    ComRef<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return L"<no error info>";
    Bstr text;
    info->GetDescription(text.put());
    return text.text();
}

/// An event sink that records every event it receives, with its arguments in declaration order.
class RecordingSink final : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::vector<Var> args;
    };

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_ITetherboxActiveXXEvents) {
            *object = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); } // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override { *count = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        Event e{id, {}};
        for (UINT i = params->cArgs; i > 0; --i) {
            Var a;
            VariantCopy(&a.v, &params->rgvarg[i - 1]);
            e.args.push_back(a);
        }
        if (onEvent)
            onEvent(e);
        events.push_back(std::move(e));
        return S_OK;
    }

    std::size_t count(DISPID id) const
    {
        std::size_t n = 0;
        for (const auto &e : events)
            n += e.id == id ? 1 : 0;
        return n;
    }
    const Event *last(DISPID id) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->id == id)
                return &*it;
        return nullptr;
    }

    long refs = 0;
    std::vector<Event> events;
    /// Called while the event is being fired (for data valid only then).
    std::function<void(const Event &)> onEvent;
};

/// Event identifiers.
enum : DISPID {
    kOnViewfinderEvent = 201, kOnEvent, kOnRemoteEvent, kOnRemoteTakePictureEvent, kOnRemoteGetPictureEvent,
    kOnRemoteGetMovieEvent, kOnGetPictureEvent, kOnRemoteProbeParamEvent, kOnRawDevelopEvent
};

} // namespace tbx::test
