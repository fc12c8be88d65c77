// The automation object's events: its connection point and the translation of the control's
// events into calls of the hosts' sinks.
#include "automation/TetherboxActiveXX.h"

#include "automation/Module.h"
#include "platform/Errors.h"

#include <algorithm>

namespace tbx::automation {
namespace {

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

} // namespace tbx::automation
