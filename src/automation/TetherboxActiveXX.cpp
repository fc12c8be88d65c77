// The automation object: lifetime, IDispatch through the type library and the members of the
// window that hosts read and write.
#include "automation/TetherboxActiveXX.h"

#include "automation/Module.h"
#include "platform/Errors.h"

#include <cstring>

namespace tbx::automation {
namespace {

#ifdef _WIN64
/// Memory below 4 GiB for live-view frames in stream mode, whose address hosts receive as a
/// 32-bit integer. One block per control, grown when a frame does not fit.
class LowFrameBlock {
public:
    LowFrameBlock() = default;
    LowFrameBlock(const LowFrameBlock &) = delete;
    LowFrameBlock &operator=(const LowFrameBlock &) = delete;
    ~LowFrameBlock() { release(); }

    std::uint8_t *get(std::size_t size)
    {
        if (data_ != nullptr && size <= size_)
            return data_;
        release();
        for (std::uintptr_t at = 0x10000000; at + size < 0xF0000000u && data_ == nullptr; at += 0x01000000)
            data_ = static_cast<std::uint8_t *>(
                VirtualAlloc(reinterpret_cast<void *>(at), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        size_ = data_ != nullptr ? size : 0;
        return data_;
    }

private:
    void release()
    {
        if (data_ != nullptr)
            VirtualFree(data_, 0, MEM_RELEASE);
        data_ = nullptr;
        size_ = 0;
    }
    std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};
#endif

} // namespace

// ---------------------------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------------------------

TTetherboxActiveXX::TTetherboxActiveXX() : control_(std::make_unique<TTetherboxActiveX>())
{
    extent_.cx = kSizeHimetric;
    extent_.cy = kSizeHimetric;
#ifdef _WIN64
    control_->SetLowBlockProvider(
        [block = std::make_shared<LowFrameBlock>()](std::size_t size) { return block->get(size); });
#endif
    connectEvents();
    addObject();
}

TTetherboxActiveXX::~TTetherboxActiveXX()
{
    destroyWindow();
    events_.disconnectAll();
    control_.reset();
    releaseObject();
}

TTetherboxActiveXX *TTetherboxActiveXX::create() { return new TTetherboxActiveXX(); }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::QueryInterface(REFIID riid, void **object)
{
    if (object == nullptr)
        return E_POINTER;
    void *p = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIID)
        p = static_cast<ITetherboxActiveXX *>(this);
    else if (riid == IID_ISupportErrorInfo)
        p = static_cast<ISupportErrorInfo *>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        p = static_cast<IProvideClassInfo2 *>(this);
    else if (riid == IID_IConnectionPointContainer)
        p = static_cast<IConnectionPointContainer *>(this);
    else if (riid == IID_IOleObject)
        p = static_cast<IOleObject *>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        p = static_cast<IOleInPlaceObject *>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        p = static_cast<IOleInPlaceActiveObject *>(this);
    else if (riid == IID_IOleControl)
        p = static_cast<IOleControl *>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        p = static_cast<IViewObject2 *>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        p = static_cast<IPersistStreamInit *>(this);
    else if (riid == IID_IPersistPropertyBag)
        p = static_cast<IPersistPropertyBag *>(this);
    *object = p;
    if (p == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TTetherboxActiveXX::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE TTetherboxActiveXX::Release()
{
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
        // Keep the count from reaching zero again while the destructor releases what it holds.
        refs_ = 1;
        delete this;
    }
    return static_cast<ULONG>(n);
}

// ---------------------------------------------------------------------------------------------
// IDispatch through the type library
// ---------------------------------------------------------------------------------------------

HRESULT TTetherboxActiveXX::dispatchTypeInfo(ITypeInfo **info) { return typeInfoOf(kIID, info); }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetTypeInfoCount(UINT *count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return dispatchTypeInfo(info);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID,
                                                            DISPID *ids)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComRef<ITypeInfo> info;
    HRESULT hr = dispatchTypeInfo(info.put());
    if (FAILED(hr))
        return hr;
    return DispGetIDsOfNames(info.get(), names, count, ids);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params,
                                                     VARIANT *result, EXCEPINFO *exception, UINT *argError)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComRef<ITypeInfo> info;
    HRESULT hr = dispatchTypeInfo(info.put());
    if (FAILED(hr))
        return hr;
    hr = DispInvoke(static_cast<ITetherboxActiveXX *>(this), info.get(), id, flags, params, result, exception,
                    argError);
    // The member's own error info, for hosts that read EXCEPINFO rather than GetErrorInfo.
    if (hr == DISP_E_EXCEPTION && exception != nullptr && exception->bstrDescription == nullptr) {
        ComRef<IErrorInfo> error;
        if (GetErrorInfo(0, error.put()) == S_OK && error) {
            error->GetSource(&exception->bstrSource);
            error->GetDescription(&exception->bstrDescription);
            SetErrorInfo(0, error.get());
        }
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == kIID || riid == IID_IDispatch ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Members of the window
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Paint()
{
    return guarded([&] {
        if (hwnd_ != nullptr) {
            InvalidateRect(hwnd_, nullptr, TRUE);
            UpdateWindow(hwnd_);
        }
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Version(FLOAT *Value)
{
    return guardedOut(Value, [&] { return control().Version(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_Version(FLOAT Value)
{
    return guarded([&] { control().SetVersion(Value); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_EOSViewfinderRefreshInterval(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().EOSViewfinderRefreshInterval); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_EOSViewfinderRefreshInterval(LONG Value)
{
    return guarded([&] {
        control().EOSViewfinderRefreshInterval = Value;
        dirty_ = true;
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_PS2ViewfinderRefreshInterval(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().PS2ViewfinderRefreshInterval); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_PS2ViewfinderRefreshInterval(LONG Value)
{
    return guarded([&] {
        control().PS2ViewfinderRefreshInterval = Value;
        dirty_ = true;
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_LibraryFolder(BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().LibraryFolder); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_LibraryFolder(BSTR Value)
{
    return guarded([&] {
        control().LibraryFolder = controlPath(Value, "LibraryFolder", "LibraryFolder");
        dirty_ = true;
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_DoubleBuffered(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(doubleBuffered_); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_DoubleBuffered(VARIANT_BOOL Value)
{
    return guarded([&] { doubleBuffered_ = controlFlag(Value); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_AlignDisabled(VARIANT_BOOL *Value)
{
    // The control has no child controls to align.
    return guardedOut(Value, [&] { return hostFlag(false); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_VisibleDockClientCount(LONG *Value)
{
    // Nothing docks into the control.
    return guardedOut(Value, [&] { return LONG{0}; });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::DrawTextBiDiModeFlagsReadingOnly(LONG *Value)
{
    // Left-to-right reading: no DT_RTLREADING.
    return guardedOut(Value, [&] { return LONG{0}; });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Enabled(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(enabled_); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_Enabled(VARIANT_BOOL Value)
{
    return guarded([&] {
        enabled_ = controlFlag(Value);
        if (hwnd_ != nullptr)
            EnableWindow(hwnd_, enabled_);
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::InitiateAction()
{
    // No action is attached to the control, so there is nothing to refresh.
    return guarded([] {});
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::IsRightToLeft(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(false); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::UseRightToLeftReading(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(false); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::UseRightToLeftScrollBar(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(false); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Visible(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(visible_); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::put_Visible(VARIANT_BOOL Value)
{
    return guarded([&] {
        visible_ = controlFlag(Value);
        if (hwnd_ != nullptr)
            ShowWindow(hwnd_, visible_ ? SW_SHOWNA : SW_HIDE);
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetSubComponent(VARIANT_BOOL IsSubComponent)
{
    return guarded([&] { subComponent_ = controlFlag(IsSubComponent); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::AboutBox()
{
    return guarded([] { showAboutBox(); });
}

} // namespace tbx::automation
