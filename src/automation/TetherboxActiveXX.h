// TTetherboxActiveXX: the COM object of the control class. It hosts one TTetherboxActiveX, shows
// it as a 32 x 32 window when a container activates it, forwards every member of the automation
// interface to it and fires the control's events to the sinks connected through its connection
// point. Apartment threaded: every call arrives on the thread that created the object.
#pragma once

#include "automation/ComSupport.h"
#include "automation/Identity.h"
#include "control/TetherboxActiveX.h"

#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tbx::automation {

/// The control's fixed size in pixels and, at 96 dots per inch, in HIMETRIC units.
inline constexpr int kSizePixels = 32;
inline constexpr LONG kSizeHimetric = (kSizePixels * 2540 + 48) / 96;

class TTetherboxActiveXX;

/// The connection point of the event interface. It lives inside its object and shares the
/// object's reference count.
class EventConnectionPoint final : public IConnectionPoint {
public:
    explicit EventConnectionPoint(TTetherboxActiveXX &owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **connections) override;

    /// The connected sinks, in the order they connected (references of their own). Safe to call
    /// from an SDK thread that fires an event while the host connects or disconnects.
    std::vector<ComRef<IDispatch>> sinks() const;
    void disconnectAll();

private:
    TTetherboxActiveXX &owner_;
    mutable std::mutex mutex_;
    std::vector<std::pair<DWORD, ComRef<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
};

class TTetherboxActiveXX final : public ITetherboxActiveXX,
                                 public ISupportErrorInfo,
                                 public IProvideClassInfo2,
                                 public IConnectionPointContainer,
                                 public IOleObject,
                                 public IOleInPlaceObject,
                                 public IOleInPlaceActiveObject,
                                 public IOleControl,
                                 public IViewObject2,
                                 public IPersistStreamInit,
                                 public IPersistPropertyBag {
public:
    /// Creates an object with one reference, or raises.
    static TTetherboxActiveXX *create();

    TTetherboxActiveX &control() { return *control_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid,
                                            DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params,
                                     VARIANT *result, EXCEPINFO *exception, UINT *argError) override;

    // ITetherboxActiveXX: the members the control serves (TetherboxActiveXXMembers.cpp)
#include "automation/TetherboxActiveXXMembers.inc"

    // ITetherboxActiveXX: properties and members of the window
    HRESULT STDMETHODCALLTYPE Paint() override;
    HRESULT STDMETHODCALLTYPE get_Version(FLOAT *Value) override;
    HRESULT STDMETHODCALLTYPE put_Version(FLOAT Value) override;
    HRESULT STDMETHODCALLTYPE get_EOSViewfinderRefreshInterval(LONG *Value) override;
    HRESULT STDMETHODCALLTYPE put_EOSViewfinderRefreshInterval(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_PS2ViewfinderRefreshInterval(LONG *Value) override;
    HRESULT STDMETHODCALLTYPE put_PS2ViewfinderRefreshInterval(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_LibraryFolder(BSTR *Value) override;
    HRESULT STDMETHODCALLTYPE put_LibraryFolder(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG *Value) override;
    HRESULT STDMETHODCALLTYPE DrawTextBiDiModeFlagsReadingOnly(LONG *Value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE InitiateAction() override;
    HRESULT STDMETHODCALLTYPE IsRightToLeft(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE UseRightToLeftReading(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE UseRightToLeftScrollBar(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL *Value) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE SetSubComponent(VARIANT_BOOL IsSubComponent) override;
    HRESULT STDMETHODCALLTYPE AboutBox() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID *guid) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint **point) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite *site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite **site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker *moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker **moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject *data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject **data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite *site, LONG index, HWND parent,
                                     LPCRECT pos) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB **verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID *clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR *type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL *size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL *size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink *sink, DWORD *connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA **advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD *status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE *palette) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND *hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow *window, BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO *info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG *msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void *aspectInfo, DVTARGETDEVICE *device,
                                   HDC targetDC, HDC dc, LPCRECTL bounds, LPCRECTL wBounds,
                                   BOOL(STDMETHODCALLTYPE *cont)(ULONG_PTR), ULONG_PTR contArg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void *aspectInfo, DVTARGETDEVICE *device,
                                          HDC targetDC, LOGPALETTE **colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void *aspectInfo, DWORD *freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink *sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD *aspects, DWORD *flags, IAdviseSink **sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE *device, LPSIZEL size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER *size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag *bag, IErrorLog *log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll) override;

    /// Window procedure of the control's window class (registered by the module).
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    TTetherboxActiveXX();
    ~TTetherboxActiveXX();

    void connectEvents();
    /// Calls event \p id on every connected sink with the arguments \p arguments makes (in the
    /// order of the event's parameters; made only when a sink is connected). Never raises: a
    /// sink's failure does not concern the control.
    template <class Arguments>
    void fire(DISPID id, Arguments &&arguments) noexcept;

    HRESULT activateInPlace(bool uiActivate, HWND parent, LPCRECT pos);
    void destroyWindow() noexcept;
    void paintTo(HDC dc, int x, int y);
    void viewChanged() noexcept;
    HRESULT dispatchTypeInfo(ITypeInfo **info);

    LONG refs_ = 1;
    std::unique_ptr<TTetherboxActiveX> control_;
    EventConnectionPoint events_{*this};
    LONG frozen_ = 0;

    ComRef<IOleClientSite> site_;
    ComRef<IOleInPlaceSite> inPlaceSite_;
    ComRef<IOleAdviseHolder> adviseHolder_;
    ComRef<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    HWND hwnd_ = nullptr;
    bool uiActive_ = false;
    SIZEL extent_{};
    bool dirty_ = false;

    bool doubleBuffered_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool subComponent_ = false;
};

/// Shows the about box, modal and without owner, until it is closed.
void showAboutBox();

} // namespace tbx::automation
