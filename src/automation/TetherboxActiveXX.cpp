#include "automation/TetherboxActiveXX.h"

#include "automation/Module.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cstring>

namespace tbx::automation {
namespace {

/// The control's fixed size in pixels and, at 96 dots per inch, in HIMETRIC units.
constexpr int kSizePixels = 32;
constexpr LONG kSizeHimetric = (kSizePixels * 2540 + 48) / 96;
/// Transparent colour of the bitmaps: the colour of their bottom-left pixel.
COLORREF keyColour(HDC dc, int height) { return GetPixel(dc, 0, height - 1); }

VARIANT longArg(std::int32_t value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT boolArg(bool value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = hostFlag(value);
    return v;
}

/// Draws the control on a device context: the window's background and the bitmap.
class DcPaintSurface final : public ControlPaintSurface {
public:
    DcPaintSurface(HDC dc, int x, int y) : dc_(dc), x_(x), y_(y) {}
    void PaintBase() override
    {
        RECT r{x_, y_, x_ + kSizePixels, y_ + kSizePixels};
        FillRect(dc_, &r, GetSysColorBrush(COLOR_BTNFACE));
    }
    void SetSizeConstraints(int, int, int, int) override {}
    void DrawTransparentBitmap(const std::string &resourceName, int x, int y) override
    {
        std::wstring name = wideText(resourceName);
        auto bitmap = static_cast<HBITMAP>(
            LoadImageW(moduleInstance(), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (bitmap == nullptr)
            return;
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        HDC memory = CreateCompatibleDC(dc_);
        HGDIOBJ old = SelectObject(memory, bitmap);
        TransparentBlt(dc_, x_ + x, y_ + y, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth,
                       info.bmHeight, keyColour(memory, info.bmHeight));
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }

private:
    HDC dc_;
    int x_;
    int y_;
};

/// Enumerates the one connection point of the object.
class ConnectionPointEnum final
    : public SingleInterfaceObject<IEnumConnectionPoints, IID_IEnumConnectionPoints> {
public:
    ConnectionPointEnum(IConnectionPoint *point, ULONG position)
        : point_(ComRef<IConnectionPoint>::share(point)), position_(position)
    {
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint **points, ULONG *fetched) override
    {
        if (points == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG n = 0;
        if (count > 0 && position_ == 0) {
            points[0] = point_.get();
            points[0]->AddRef();
            position_ = n = 1;
        }
        if (fetched != nullptr)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        if (count == 0)
            return S_OK;
        bool had = position_ == 0;
        position_ = 1;
        return had && count == 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints **copy) override
    {
        if (copy == nullptr)
            return E_POINTER;
        *copy = new (std::nothrow) ConnectionPointEnum(point_.get(), position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    ComRef<IConnectionPoint> point_;
    ULONG position_;
};

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
// Connection point
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE EventConnectionPoint::QueryInterface(REFIID riid, void **object)
{
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE EventConnectionPoint::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE EventConnectionPoint::Release() { return owner_.Release(); }

HRESULT STDMETHODCALLTYPE EventConnectionPoint::GetConnectionInterface(IID *iid)
{
    if (iid == nullptr)
        return E_POINTER;
    *iid = kEventsIID;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer **container)
{
    if (container == nullptr)
        return E_POINTER;
    return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container));
}

HRESULT STDMETHODCALLTYPE EventConnectionPoint::Advise(IUnknown *sink, DWORD *cookie)
{
    if (cookie == nullptr)
        return E_POINTER;
    *cookie = 0;
    if (sink == nullptr)
        return E_POINTER;
    ComRef<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(kEventsIID, reinterpret_cast<void **>(dispatch.put()))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(dispatch.put()))))
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard lock(mutex_);
    try {
        sinks_.emplace_back(nextCookie_, std::move(dispatch));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventConnectionPoint::Unadvise(DWORD cookie)
{
    // The sink's last release may call back into us: release it after the lock.
    ComRef<IDispatch> gone;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto &s) { return s.first == cookie; });
        if (it == sinks_.end())
            return CONNECT_E_NOCONNECTION;
        gone = std::move(it->second);
        sinks_.erase(it);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE EventConnectionPoint::EnumConnections(IEnumConnections **connections)
{
    if (connections == nullptr)
        return E_POINTER;
    *connections = nullptr;
    return E_NOTIMPL;
}

void EventConnectionPoint::disconnectAll()
{
    std::vector<std::pair<DWORD, ComRef<IDispatch>>> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(sinks_);
    }
}

std::vector<ComRef<IDispatch>> EventConnectionPoint::sinks() const
{
    std::lock_guard lock(mutex_);
    std::vector<ComRef<IDispatch>> out;
    out.reserve(sinks_.size());
    for (const auto &s : sinks_)
        out.push_back(s.second);
    return out;
}

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
// Events
// ---------------------------------------------------------------------------------------------

template <class Arguments>
void TTetherboxActiveXX::fire(DISPID id, Arguments &&arguments) noexcept
{
    try {
        if (frozen_ > 0)
            return;
        std::vector<ComRef<IDispatch>> sinks = events_.sinks();
        if (sinks.empty())
            return;
        std::vector<VARIANT> args = arguments();
        // DISPPARAMS carry the arguments last to first.
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        for (const auto &sink : sinks) {
            DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
            sink->Invoke(id, IID_NULL, kLibLcid, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    } catch (...) {
        // Out of memory while preparing the event: it is lost, the host lives on.
    }
}

void TTetherboxActiveXX::connectEvents()
{
    // The handlers may run on an SDK thread (ViewfinderUseCanonThread): nothing may leave them.
    auto percent = [this](DISPID id) {
        return [this, id](std::int32_t value) noexcept { fire(id, [&] { return std::vector<VARIANT>{longArg(value)}; }); };
    };
    TTetherboxActiveX &c = *control_;
    c.OnEvent = [this](EventSeverityType severity, EventEnumType event) noexcept {
        fire(202, [&] { return std::vector<VARIANT>{longArg(severity), longArg(event)}; });
    };
    c.OnGetPictureEvent = percent(207);
    c.OnRawDevelopEvent = percent(209);
    c.OnRemoteEvent = [this](RemoteEventCallbackType event, NotifyRemoteEventValidType valid, std::int32_t count,
                             TypeOfPictureType picture) noexcept {
        fire(203, [&] { return std::vector<VARIANT>{longArg(event), longArg(valid), longArg(count), longArg(picture)}; });
    };
    c.OnRemoteGetMovieEvent = percent(206);
    c.OnRemoteGetPictureEvent = percent(205);
    c.OnRemoteProbeParamEvent = percent(208);
    c.OnRemoteTakePictureEvent = percent(204);
    c.OnViewfinderEvent = [this](const std::string &fileName, std::int32_t address, std::int32_t size, bool valid,
                                 std::int32_t zoomX, std::int32_t zoomY, std::int32_t rectX, std::int32_t rectY,
                                 std::int32_t rectWidth, std::int32_t rectHeight, std::int32_t imageX,
                                 std::int32_t imageY, std::int32_t coordWidth, std::int32_t coordHeight,
                                 std::int32_t zoom) noexcept {
        BSTR name = nullptr;
        fire(201, [&] {
            name = hostText(fileName);
            VARIANT text;
            VariantInit(&text);
            text.vt = VT_BSTR;
            text.bstrVal = name;
            return std::vector<VARIANT>{text, longArg(address), longArg(size), boolArg(valid), longArg(zoomX),
                                        longArg(zoomY), longArg(rectX), longArg(rectY), longArg(rectWidth),
                                        longArg(rectHeight), longArg(imageX), longArg(imageY), longArg(coordWidth),
                                        longArg(coordHeight), longArg(zoom)};
        });
        SysFreeString(name);
    };
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::FreezeEvents(BOOL freeze)
{
    if (freeze)
        ++frozen_;
    else if (frozen_ > 0)
        --frozen_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::EnumConnectionPoints(IEnumConnectionPoints **points)
{
    if (points == nullptr)
        return E_POINTER;
    *points = new (std::nothrow) ConnectionPointEnum(&events_, 0);
    return *points ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::FindConnectionPoint(REFIID riid, IConnectionPoint **point)
{
    if (point == nullptr)
        return E_POINTER;
    *point = nullptr;
    if (riid != kEventsIID)
        return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetClassInfo(ITypeInfo **info) { return typeInfoOf(kCLSID, info); }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetGUID(DWORD kind, GUID *guid)
{
    if (guid == nullptr)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = kEventsIID;
    return S_OK;
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

// ---------------------------------------------------------------------------------------------
// Window and painting
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveXX::paintTo(HDC dc, int x, int y)
{
    if (!doubleBuffered_) {
        DcPaintSurface surface(dc, x, y);
        control().SetPaintSurface(&surface);
        control().Paint();
        control().SetPaintSurface(nullptr);
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kSizePixels, kSizePixels);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DcPaintSurface surface(memory, 0, 0);
    control().SetPaintSurface(&surface);
    control().Paint();
    control().SetPaintSurface(nullptr);
    BitBlt(dc, x, y, kSizePixels, kSizePixels, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT CALLBACK TTetherboxActiveXX::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *self = reinterpret_cast<TTetherboxActiveXX *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try {
        switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (self != nullptr)
                self->paintTo(dc, 0, 0);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_NCDESTROY:
            // The container may destroy our window with its own (without closing us first).
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (self != nullptr && self->hwnd_ == hwnd)
                self->hwnd_ = nullptr;
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing may leave a window procedure; the next WM_PAINT tries again.
        if (message == WM_PAINT)
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TTetherboxActiveXX::destroyWindow() noexcept
{
    if (hwnd_ != nullptr) {
        HWND h = hwnd_;
        hwnd_ = nullptr;
        DestroyWindow(h);
    }
}

void TTetherboxActiveXX::viewChanged() noexcept
{
    if (viewSink_)
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

HRESULT TTetherboxActiveXX::activateInPlace(bool uiActivate, HWND parent, LPCRECT pos)
{
    if (!site_)
        return E_UNEXPECTED;
    if (!inPlaceSite_) {
        ComRef<IOleInPlaceSite> ipsite;
        if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void **>(ipsite.put()))))
            return E_NOINTERFACE;
        if (ipsite->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HRESULT hr = ipsite->OnInPlaceActivate();
        if (FAILED(hr))
            return hr;
        inPlaceSite_ = std::move(ipsite);
    }
    if (hwnd_ == nullptr) {
        HWND siteWindow = nullptr;
        if (FAILED(inPlaceSite_->GetWindow(&siteWindow)) || siteWindow == nullptr)
            siteWindow = parent;
        ComRef<IOleInPlaceFrame> frame;
        ComRef<IOleInPlaceUIWindow> document;
        RECT position{0, 0, kSizePixels, kSizePixels};
        RECT clip = position;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (FAILED(inPlaceSite_->GetWindowContext(frame.put(), document.put(), &position, &clip, &frameInfo))) {
            if (pos != nullptr)
                position = *pos;
        }
        hwnd_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0),
                                position.left, position.top, kSizePixels, kSizePixels, siteWindow, nullptr,
                                moduleInstance(), this);
        if (hwnd_ == nullptr) {
            inPlaceSite_->OnInPlaceDeactivate();
            inPlaceSite_.reset();
            return HRESULT_FROM_WIN32(GetLastError());
        }
        EnableWindow(hwnd_, enabled_);
    }
    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        ComRef<IOleInPlaceFrame> frame;
        ComRef<IOleInPlaceUIWindow> document;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(inPlaceSite_->GetWindowContext(frame.put(), document.put(), &position, &clip, &frameInfo))) {
            if (frame)
                frame->SetActiveObject(static_cast<IOleInPlaceActiveObject *>(this), nullptr);
            if (document)
                document->SetActiveObject(static_cast<IOleInPlaceActiveObject *>(this), nullptr);
        }
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IOleObject
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetClientSite(IOleClientSite *site)
{
    if (site == nullptr) {
        InPlaceDeactivate();
    }
    site_ = ComRef<IOleClientSite>::share(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetClientSite(IOleClientSite **site)
{
    if (site == nullptr)
        return E_POINTER;
    *site = ComRef<IOleClientSite>(site_).detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Close(DWORD saveOption)
{
    if (saveOption == OLECLOSE_SAVEIFDIRTY && dirty_ && site_)
        site_->SaveObject();
    InPlaceDeactivate();
    if (adviseHolder_)
        adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetMoniker(DWORD, IMoniker *) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetMoniker(DWORD assign, DWORD which, IMoniker **moniker)
{
    if (moniker == nullptr)
        return E_POINTER;
    *moniker = nullptr;
    if (!site_)
        return E_UNEXPECTED;
    return site_->GetMoniker(assign, which, moniker);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::InitFromData(IDataObject *, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetClipboardData(DWORD, IDataObject **data)
{
    if (data != nullptr)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::DoVerb(LONG verb, LPMSG, IOleClientSite *site, LONG, HWND parent,
                                                     LPCRECT pos)
{
    if (site != nullptr && !site_)
        site_ = ComRef<IOleClientSite>::share(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_UIACTIVATE:
        return activateInPlace(true, parent, pos);
    case OLEIVERB_INPLACEACTIVATE:
        return activateInPlace(false, parent, pos);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (hwnd_ != nullptr)
            ShowWindow(hwnd_, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        // The control has no property pages.
        return E_NOTIMPL;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::EnumVerbs(IEnumOLEVERB **verbs)
{
    if (verbs == nullptr)
        return E_POINTER;
    return OleRegEnumVerbs(kCLSID, verbs);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Update() { return S_OK; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetUserClassID(CLSID *clsid)
{
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = kCLSID;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetUserType(DWORD form, LPOLESTR *type)
{
    if (type == nullptr)
        return E_POINTER;
    return OleRegGetUserType(kCLSID, form, type);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetExtent(DWORD aspect, SIZEL *size)
{
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    // The control keeps its fixed size whatever the container proposes.
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetExtent(DWORD aspect, SIZEL *size)
{
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Advise(IAdviseSink *sink, DWORD *connection)
{
    if (connection == nullptr)
        return E_POINTER;
    if (!adviseHolder_) {
        HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(hr))
            return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Unadvise(DWORD connection)
{
    if (!adviseHolder_)
        return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::EnumAdvise(IEnumSTATDATA **advise)
{
    if (advise == nullptr)
        return E_POINTER;
    *advise = nullptr;
    if (!adviseHolder_)
        return S_OK;
    return adviseHolder_->EnumAdvise(advise);
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetMiscStatus(DWORD, DWORD *status)
{
    if (status == nullptr)
        return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetColorScheme(LOGPALETTE *) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------------------------
// IOleInPlaceObject, IOleInPlaceActiveObject
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetWindow(HWND *hwnd)
{
    if (hwnd == nullptr)
        return E_POINTER;
    *hwnd = hwnd_;
    return hwnd_ != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::InPlaceDeactivate()
{
    UIDeactivate();
    destroyWindow();
    if (inPlaceSite_) {
        ComRef<IOleInPlaceSite> site = std::move(inPlaceSite_);
        site->OnInPlaceDeactivate();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::UIDeactivate()
{
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (inPlaceSite_) {
        ComRef<IOleInPlaceFrame> frame;
        ComRef<IOleInPlaceUIWindow> document;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (SUCCEEDED(inPlaceSite_->GetWindowContext(frame.put(), document.put(), &position, &clip, &frameInfo))) {
            if (document)
                document->SetActiveObject(nullptr, nullptr);
            if (frame)
                frame->SetActiveObject(nullptr, nullptr);
        }
        inPlaceSite_->OnUIDeactivate(FALSE);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetObjectRects(LPCRECT pos, LPCRECT)
{
    if (pos == nullptr)
        return E_POINTER;
    if (hwnd_ != nullptr)
        SetWindowPos(hwnd_, nullptr, pos->left, pos->top, kSizePixels, kSizePixels, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::ResizeBorder(LPCRECT, IOleInPlaceUIWindow *, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::EnableModeless(BOOL) { return S_OK; }

// ---------------------------------------------------------------------------------------------
// IOleControl
// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetControlInfo(CONTROLINFO *info)
{
    if (info == nullptr)
        return E_POINTER;
    if (info->cb < sizeof(CONTROLINFO))
        return E_INVALIDARG;
    // No mnemonics; the control does not eat Enter or Escape.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OnMnemonic(MSG *) { return S_OK; }
HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OnAmbientPropertyChange(DISPID) { return S_OK; }

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
