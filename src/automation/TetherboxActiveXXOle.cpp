// The automation object as an OLE control: its window and painting, IOleObject, in-place
// activation and IOleControl.
#include "automation/TetherboxActiveXX.h"

#include "automation/Module.h"
#include "platform/Errors.h"

#include <algorithm>

namespace tbx::automation {
namespace {

/// Transparent colour of the bitmaps: the colour of their bottom-left pixel.
COLORREF keyColour(HDC dc, int height) { return GetPixel(dc, 0, height - 1); }
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

} // namespace

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

} // namespace tbx::automation
