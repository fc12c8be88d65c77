// The automation object's view (IViewObject2) and the persistence of its published settings.
#include "automation/TetherboxActiveXX.h"

#include "automation/Module.h"
#include "platform/Errors.h"

#include <cstring>

namespace tbx::automation {
namespace {

constexpr DWORD kStreamMagic = 0x58425454; // "TTBX"
constexpr DWORD kStreamVersion = 1;

HRESULT readExact(IStream *stream, void *data, ULONG size)
{
    ULONG got = 0;
    HRESULT hr = stream->Read(data, size, &got);
    if (FAILED(hr))
        return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

HRESULT writeExact(IStream *stream, const void *data, ULONG size)
{
    ULONG put = 0;
    HRESULT hr = stream->Write(data, size, &put);
    if (FAILED(hr))
        return hr;
    return put == size ? S_OK : STG_E_WRITEFAULT;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// IViewObject2
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Draw(DWORD aspect, LONG, void *, DVTARGETDEVICE *, HDC, HDC dc,
                                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE *)(ULONG_PTR),
                                                   ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (dc == nullptr)
        return E_INVALIDARG;
    const int x = bounds != nullptr ? static_cast<int>(bounds->left) : 0;
    const int y = bounds != nullptr ? static_cast<int>(bounds->top) : 0;
    return guarded([&] { paintTo(dc, x, y); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetColorSet(DWORD, LONG, void *, DVTARGETDEVICE *, HDC,
                                                          LOGPALETTE **colors)
{
    if (colors != nullptr)
        *colors = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Freeze(DWORD, LONG, void *, DWORD *) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink *sink)
{
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = ComRef<IAdviseSink>::share(sink);
    if (sink != nullptr && (flags & ADVF_PRIMEFIRST) != 0)
        viewChanged();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetAdvise(DWORD *aspects, DWORD *flags, IAdviseSink **sink)
{
    if (aspects != nullptr)
        *aspects = viewAspects_;
    if (flags != nullptr)
        *flags = viewFlags_;
    if (sink != nullptr)
        *sink = ComRef<IAdviseSink>(viewSink_).detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE *, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// ---------------------------------------------------------------------------------------------
// Persistence of the published settings. Version is the build's own and is not stored.
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetClassID(CLSID *clsid) { return GetUserClassID(clsid); }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::InitNew()
{
    dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Load(LPSTREAM stream)
{
    if (stream == nullptr)
        return E_POINTER;
    DWORD header[2] = {};
    LONG intervals[2] = {};
    DWORD length = 0;
    HRESULT hr = readExact(stream, header, sizeof header);
    if (FAILED(hr))
        return hr;
    if (header[0] != kStreamMagic || header[1] != kStreamVersion)
        return STG_E_OLDFORMAT;
    if (FAILED(hr = readExact(stream, intervals, sizeof intervals)) ||
        FAILED(hr = readExact(stream, &length, sizeof length)))
        return hr;
    if (length > kMaxControlString)
        return STG_E_DOCFILECORRUPT;
    std::wstring folder(length, L'\0');
    if (length > 0 && FAILED(hr = readExact(stream, folder.data(), length * sizeof(wchar_t))))
        return hr;
    return guarded([&] {
        BSTR text = SysAllocStringLen(folder.data(), length);
        std::string path;
        try {
            path = controlPath(text, "LibraryFolder", "Load");
        } catch (...) {
            SysFreeString(text);
            throw;
        }
        SysFreeString(text);
        control().EOSViewfinderRefreshInterval = intervals[0];
        control().PS2ViewfinderRefreshInterval = intervals[1];
        control().LibraryFolder = path;
        dirty_ = false;
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Save(LPSTREAM stream, BOOL clearDirty)
{
    if (stream == nullptr)
        return E_POINTER;
    std::wstring folder;
    try {
        folder = wideText(control().LibraryFolder);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const DWORD header[2] = {kStreamMagic, kStreamVersion};
    const LONG intervals[2] = {control().EOSViewfinderRefreshInterval, control().PS2ViewfinderRefreshInterval};
    const DWORD length = static_cast<DWORD>(folder.size());
    HRESULT hr;
    if (FAILED(hr = writeExact(stream, header, sizeof header)) ||
        FAILED(hr = writeExact(stream, intervals, sizeof intervals)) ||
        FAILED(hr = writeExact(stream, &length, sizeof length)) ||
        (length > 0 && FAILED(hr = writeExact(stream, folder.data(), length * sizeof(wchar_t)))))
        return hr;
    if (clearDirty)
        dirty_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetSizeMax(ULARGE_INTEGER *size)
{
    if (size == nullptr)
        return E_POINTER;
    size->QuadPart = 5 * sizeof(DWORD) + kMaxControlString * sizeof(wchar_t);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Load(IPropertyBag *bag, IErrorLog *log)
{
    if (bag == nullptr)
        return E_POINTER;
    return guarded([&] {
        auto read = [&](const wchar_t *name, VARTYPE type, VARIANT &value) {
            VariantInit(&value);
            value.vt = type;
            return SUCCEEDED(bag->Read(name, &value, log));
        };
        VARIANT v;
        if (read(L"EOSViewfinderRefreshInterval", VT_I4, v))
            control().EOSViewfinderRefreshInterval = v.lVal;
        VariantClear(&v);
        if (read(L"PS2ViewfinderRefreshInterval", VT_I4, v))
            control().PS2ViewfinderRefreshInterval = v.lVal;
        VariantClear(&v);
        if (read(L"LibraryFolder", VT_BSTR, v) && v.vt == VT_BSTR) {
            try {
                control().LibraryFolder = controlPath(v.bstrVal, "LibraryFolder", "Load");
            } catch (...) {
                VariantClear(&v);
                throw;
            }
        }
        VariantClear(&v);
        dirty_ = false;
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Save(IPropertyBag *bag, BOOL clearDirty, BOOL)
{
    if (bag == nullptr)
        return E_POINTER;
    HRESULT hr = guarded([&] {
        auto write = [&](const wchar_t *name, VARIANT &value) {
            HRESULT r = bag->Write(name, &value);
            VariantClear(&value);
            if (FAILED(r))
                throw OleError(r, "The property bag refused the control's settings");
        };
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = control().EOSViewfinderRefreshInterval;
        write(L"EOSViewfinderRefreshInterval", v);
        v.vt = VT_I4;
        v.lVal = control().PS2ViewfinderRefreshInterval;
        write(L"PS2ViewfinderRefreshInterval", v);
        v.vt = VT_BSTR;
        v.bstrVal = hostText(control().LibraryFolder);
        write(L"LibraryFolder", v);
    });
    if (SUCCEEDED(hr) && clearDirty)
        dirty_ = false;
    return hr;
}

} // namespace tbx::automation
