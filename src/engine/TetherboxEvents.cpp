// The event path: engine callbacks that the SDKs and drivers call (often on threads of their
// own), the event queue they fill, and the poll timer that delivers one event per tick to the
// engine's event properties on the owner thread.
//
// Rules every callback keeps:
// - it finds its engine in EngineRegistry under the registry lock and holds that lock while it
//   uses the engine, so the engine cannot be destroyed under it; an event for an engine that is
//   gone is dropped;
// - it checks every pointer it is given and reads no more than the data says it holds;
// - no exception leaves it, and it returns 0;
// - it never calls back into the SDK that called it: a keep-alive it asks for is carried out by
//   the next poll tick on the owner thread.
#include "engine/Tetherbox.h"

#include <climits>
#include <cstring>
#include <span>
#include <utility>

namespace tbx {

namespace {

/// Frames larger than this are not JPEG frames of any camera; they are dropped rather than copied.
constexpr std::uint32_t kMaxFrameBytes = 64u * 1024u * 1024u;

std::optional<std::uint32_t> readParameter(const void *data, std::uint32_t size)
{
    if (data == nullptr || size < sizeof(std::uint32_t))
        return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

EventSeverityType legacySeverity(std::uint32_t eventWord)
{
    switch ((eventWord >> 16) & 0xFu) {
    case 0x0:
        return EventSeverityInfo;
    case 0x2:
        return EventSeverityWarning;
    case 0x4:
        return EventSeverityClosing;
    default:
        return EventSeverityNotUsed;
    }
}

EventEnumType legacyBattery(std::uint32_t parameter)
{
    switch (parameter & 0xFu) {
    case 6:
        return EventBatteryLevelNormal;
    case 4:
        return EventBatteryLevelWeak;
    case 3:
        return EventBatteryLevelSafetyLow;
    case 2:
        return EventBatteryLevelLB;
    default:
        return EventNotUsed;
    }
}

EventEnumType legacyEventNum(std::uint32_t lowWord, std::uint32_t parameter)
{
    switch (lowWord) {
    case 1:
        return legacyBattery(parameter);
    case 2:
        return EventDialChanged;
    case 3:
        return EventCFGateOpened;
    case 4:
        return EventBatteryCoverOpened;
    case 6:
        return EventUnrecoverableError;
    case 7:
        return EventUnkonwnCommandReceived;
    case 11:
        return EventRemoteParameterChanged;
    case 13:
        return EventConnectionDisappeared;
    default:
        return EventNotUsed;
    }
}

RemoteEventCallbackType releaseEvent(std::uint32_t code)
{
    switch (code) {
    case 10:
        return RemoteEventCallbackResetHWError;
    case 27:
        return RemoteEventCallbackChangedByUI;
    case 28:
        return RemoteEventCallbackReleaseStart;
    case 29:
        return RemoteEventCallbackReleaseComplete;
    case 30:
        return RemoteEventCallbackCamReleaseOn;
    case 32:
        return RemoteEventCallbackViewfinderOff;
    case 33:
        return RemoteEventCallbackViewfinderOn;
    default:
        return RemoteEventCallbackNotUsed;
    }
}

/// A directory item whose extension starts with "M" is a movie; a name without a dot or with
/// an empty extension is a card item.
bool isMovieName(const std::string &name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 >= name.size())
        return false;
    return name[dot + 1] == 'M' || name[dot + 1] == 'm';
}

constexpr std::uint32_t kPtpDevicePropChanged = 0x4006;
constexpr std::uint32_t kPtpCFGateOpened = 0xC001;
constexpr std::uint32_t kPtpResetHWError = 0xC005;
constexpr std::uint32_t kPtpViewfinderOff = 0xC006;
constexpr std::uint32_t kPtpViewfinderOn = 0xC007;
constexpr std::uint32_t kPtpFullImageReady = 0xC008;
constexpr std::uint32_t kPtpThumbnailReady = 0xC009;
constexpr std::uint32_t kPtpBattery = 0xC00A;
constexpr std::uint32_t kPtpCamReleaseOn = 0xC00B;
constexpr std::uint32_t kPtpChangedByUI1 = 0xC00C;
constexpr std::uint32_t kPtpChangedByUI2 = 0xC00E;
constexpr std::uint32_t kPtpShutdown = 0xD001;

constexpr std::uint32_t kStateShutdown = 0x301;
constexpr std::uint32_t kStateWillSoonShutDown = 0x303;
constexpr std::uint32_t kStateCaptureError = 0x305;
constexpr std::uint32_t kStateInternalError = 0x306;
constexpr std::uint32_t kStatePowerZoomInfoChanged = 0x311;
constexpr std::uint32_t kPropertyChanged = 0x101;
constexpr std::uint32_t kPropertyDescChanged = 0x102;
constexpr std::uint32_t kObjectDirItemCreated = 0x204;
constexpr std::uint32_t kObjectDirItemRequestTransfer = 0x208;

} // namespace

/// Finds a callback's engine and runs \p fn on it while the registry keeps it alive (without
/// holding the registry lock, so \p fn may call into the SDK); swallows every failure.
struct EngineAccess {
    template <class Fn>
    static std::uint32_t withEngine(std::int64_t index, Fn &&fn) noexcept
    {
        if (index < 0 || index > INT_MAX)
            return 0;
        const int slot = static_cast<int>(index);
        TTetherbox *engine = nullptr;
        try {
            engine = EngineRegistry::acquire(slot);
        } catch (...) {
            return 0;
        }
        if (engine == nullptr)
            return 0;
        try {
            fn(*engine);
        } catch (...) {
        }
        try {
            EngineRegistry::release(slot);
        } catch (...) {
        }
        return 0;
    }
    template <class Fn>
    static std::uint32_t withEngine(const void *context, Fn &&fn) noexcept
    {
        const auto index = registryIndexFromContext(context);
        return index ? withEngine(*index, std::forward<Fn>(fn)) : 0;
    }

    static void queuePercent(TTetherbox &e, EventKind kind, std::uint32_t percent)
    {
        e.queueEvent(kind, static_cast<int>(percent > INT_MAX ? INT_MAX : percent));
    }
};

// ---------------------------------------------------------------------------------------------
// Queue producers
// ---------------------------------------------------------------------------------------------

bool TTetherbox::queueEvent(EventKind kind, decltype(QueuedEvent::Data) data)
{
    return queue_.push(QueuedEvent{kind, std::move(data)});
}

void TTetherbox::queueCameraEvent(EventSeverityType severity, EventEnumType num)
{
    queueEvent(EventKind::Camera, EventCallbackType{severity, num});
}

void TTetherbox::queueRemoteEvent(RemoteEventCallbackType event, AdditionNotifyRemoteEventType data)
{
    queueEvent(EventKind::Remote, RemoteEventItem{event, data});
}

void TTetherbox::queueFrame(const void *buffer, std::uint32_t size)
{
    if (!OnViewfinderEvent.assigned() || buffer == nullptr || size == 0 || size > kMaxFrameBytes)
        return;
    // One frame in flight at most: a slow host gets the newest frames at a lower rate.
    bool idle = false;
    if (!framePending_.compare_exchange_strong(idle, true))
        return;
    const auto *bytes = static_cast<const std::uint8_t *>(buffer);
    if (!queueEvent(EventKind::ViewfinderFrame, JpegBlob(bytes, bytes + size)))
        framePending_ = false;
}

void TTetherbox::QueueProbeProgress(int registryIndex, int percent) noexcept
{
    EngineAccess::withEngine(registryIndex, [&](TTetherbox &e) {
        if (e.OnRemoteProbeParamEvent.assigned())
            e.queueEvent(EventKind::ProbeParam, percent);
    });
}

// ---------------------------------------------------------------------------------------------
// Poll timer
// ---------------------------------------------------------------------------------------------

void TTetherbox::reportTimerFailure(const std::string &message)
{
    try {
        OnTimerError.invoke(message);
    } catch (...) {
    }
}

void TTetherbox::keepAliveNow()
{
    switch (family()) {
    case CamModPowerShot:
        powerShotDriver().KeepAlive();
        break;
    case CamModEOS:
        driver(SlotEOS).KeepAlive();
        break;
    default: // no camera, or generation 2, which needs none
        break;
    }
}

void TTetherbox::deliver(QueuedEvent &event)
{
    switch (event.Kind) {
    case EventKind::Camera:
        OnEvent.invoke(std::get<EventCallbackType>(event.Data));
        break;
    case EventKind::ViewfinderFrame: {
        const JpegBlob &frame = std::get<JpegBlob>(event.Data);
        const ViewfinderPositionType metadata = ViewfinderMetadata();
        OnViewfinderEvent.invoke(std::span<const std::uint8_t>(frame), metadata);
        break;
    }
    case EventKind::Remote: {
        const RemoteEventItem &item = std::get<RemoteEventItem>(event.Data);
        OnRemoteEvent.invoke(item.Event, item.Data);
        break;
    }
    case EventKind::TakePicture:
        OnRemoteTakePictureEvent.invoke(std::get<int>(event.Data));
        break;
    case EventKind::RemoteGetPicture:
        OnRemoteGetPictureEvent.invoke(std::get<int>(event.Data));
        break;
    case EventKind::RemoteGetMovie:
        OnRemoteGetMovieEvent.invoke(std::get<int>(event.Data));
        break;
    case EventKind::GetPicture:
        OnGetPictureEvent.invoke(std::get<int>(event.Data));
        break;
    case EventKind::ProbeParam:
        OnRemoteProbeParamEvent.invoke(std::get<int>(event.Data));
        break;
    case EventKind::RawDevelop:
        OnRawDevelopEvent.invoke(std::get<int>(event.Data));
        break;
    }
}

void TTetherbox::pollTick()
{
    // A host that pumps messages inside a handler must not get a second event (or the same one
    // again) from a nested tick.
    if (delivering_)
        return;
    delivering_ = true;
    // The handler may destroy the engine; then nothing of it may be touched afterwards.
    const std::shared_ptr<bool> alive = alive_;
    auto guarded = [&](auto &&step) {
        try {
            step();
        } catch (const std::exception &failure) {
            if (*alive)
                reportTimerFailure(failure.what());
        } catch (...) {
            if (*alive)
                reportTimerFailure("An event handler failed with an unknown error");
        }
        return *alive;
    };

    if (keepAliveRequested_.exchange(false) && !guarded([&] { keepAliveNow(); }))
        return;
    // The head entry is detached before its handler runs and freed when this scope ends,
    // whatever the handler did; an event whose handler raised is not delivered again.
    if (std::optional<QueuedEvent> event = queue_.pop()) {
        const bool frame = event->Kind == EventKind::ViewfinderFrame;
        if (!guarded([&] { deliver(*event); }))
            return;
        if (frame)
            framePending_ = false;
    }
    delivering_ = false;
}

// ---------------------------------------------------------------------------------------------
// Legacy and PTP callbacks
// ---------------------------------------------------------------------------------------------

std::uint32_t TBX_STDCALL TTetherbox::CameraEventCallback(std::uint32_t eventWord, const void *data,
                                                               std::uint32_t dataSize, std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (!e.OnEvent.assigned())
            return;
        const std::uint32_t lowWord = eventWord & 0xFFFFu;
        if (lowWord == 5) { // the camera will soon shut down
            e.keepAliveRequested_ = true;
            return;
        }
        const std::uint32_t parameter = readParameter(data, dataSize).value_or(0);
        e.queueCameraEvent(legacySeverity(eventWord), legacyEventNum(lowWord, parameter));
    });
}

std::uint32_t TBX_STDCALL TTetherbox::RemoteEventCallback(std::uint32_t code, const void *data,
                                                               std::uint32_t dataSize, std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (!e.OnRemoteEvent.assigned())
            return;
        const RemoteEventCallbackType event = releaseEvent(code);
        AdditionNotifyRemoteEventType extra;
        if (event == RemoteEventCallbackReleaseComplete) {
            extra.EventValid = NotifyRemoteEventValid1;
            if (e.ReleaseMode() != ReleaseModeOnlyToCamera) {
                const auto count = static_cast<std::int32_t>(readParameter(data, dataSize).value_or(0));
                // Thumbnail and picture of one shot arrive as two items.
                extra.NumOfEvents = e.ReleaseDataKind() == ReleaseDataKingTakeBothThumbAndPic ? count / 2 : count;
            }
        }
        e.queueRemoteEvent(event, extra);
    });
}

std::uint32_t TBX_STDCALL TTetherbox::PTPEventCallback(std::uint32_t /*camera*/, std::uint32_t context,
                                                            void *eventData)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        const std::optional<PtpEventRecord> record = PtpEventRecord::fromContainer(eventData);
        if (!record)
            return;
        const std::uint32_t code = record->eventCode();
        if (e.OnEvent.assigned()) {
            switch (code) {
            case kPtpCFGateOpened:
                e.queueCameraEvent(EventSeverityClosing, EventCFGateOpened);
                break;
            case kPtpShutdown:
                e.queueCameraEvent(EventSeverityClosing, EventConnectionDisappeared);
                break;
            case kPtpBattery:
                switch (record->parameter()) {
                case 1:
                    e.queueCameraEvent(EventSeverityInfo, EventBatteryLevelNormal);
                    break;
                case 2:
                    e.queueCameraEvent(EventSeverityWarning, EventBatteryLevelWeak);
                    break;
                case 3:
                    e.queueCameraEvent(EventSeverityWarning, EventBatteryLevelSafetyLow);
                    break;
                case 4:
                    e.queueCameraEvent(EventSeverityClosing, EventBatteryLevelLB);
                    break;
                default:
                    e.queueCameraEvent(EventSeverityNotUsed, EventNotUsed);
                    break;
                }
                break;
            default:
                break;
            }
        }
        if (!e.OnRemoteEvent.assigned())
            return;
        switch (code) {
        case kPtpDevicePropChanged:
        case kPtpChangedByUI1:
        case kPtpChangedByUI2:
            e.queueRemoteEvent(RemoteEventCallbackChangedByUI);
            break;
        case kPtpResetHWError:
            e.queueRemoteEvent(RemoteEventCallbackResetHWError);
            break;
        case kPtpViewfinderOff:
            e.queueRemoteEvent(RemoteEventCallbackViewfinderOff);
            break;
        case kPtpViewfinderOn:
            e.queueRemoteEvent(RemoteEventCallbackViewfinderOn);
            break;
        case kPtpCamReleaseOn:
            e.queueRemoteEvent(RemoteEventCallbackCamReleaseOn);
            break;
        case kPtpFullImageReady: {
            {
                std::lock_guard lock(e.ptpMutex_);
                e.pendingPTP_.push_back(*record);
            }
            AdditionNotifyRemoteEventType extra;
            extra.EventValid = NotifyRemoteEventValid1;
            extra.NumOfEvents = 1;
            e.queueRemoteEvent(RemoteEventCallbackReleaseComplete, extra);
            break;
        }
        case kPtpThumbnailReady: {
            std::lock_guard lock(e.ptpMutex_);
            e.pendingPTP_.push_back(*record);
            break;
        }
        default:
            break;
        }
    });
}

std::uint32_t TBX_STDCALL TTetherbox::PTPTransferCallback(std::uint32_t /*camera*/, std::uint32_t /*object*/,
                                                               std::uint32_t context, void *progress)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (progress == nullptr)
            return;
        PtpProgressRecord record;
        std::memcpy(&record, progress, sizeof record);
        if (e.OnRemoteTakePictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::TakePicture, record.PercentComplete);
        std::lock_guard lock(e.ptpMutex_);
        if (record.Length > 0) {
            // Blocks are written only while the download's file is open.
            if (e.ptpFile_ == nullptr)
                return;
            if (record.Data == nullptr ||
                std::fwrite(record.Data, 1, record.Length, e.ptpFile_) != record.Length)
                e.ptpWriteFailed_ = true;
            e.ptpStreamOpen_ = true;
        } else if (e.ptpStreamOpen_) {
            e.ptpStreamOpen_ = false;
            if (std::fclose(e.ptpFile_) != 0)
                e.ptpWriteFailed_ = true;
            e.ptpFile_ = nullptr;
        }
    });
}

std::uint32_t TBX_STDCALL TTetherbox::TakePictureProgress(std::uint32_t percent, std::uint32_t /*status*/,
                                                               std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (e.OnRemoteTakePictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::TakePicture, percent);
    });
}

std::uint32_t TBX_STDCALL TTetherbox::RemoteGetPictureProgress(std::uint32_t percent,
                                                                    std::uint32_t /*status*/, std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (e.OnRemoteGetPictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::RemoteGetPicture, percent);
    });
}

std::uint32_t TBX_STDCALL TTetherbox::GetPictureProgress(std::uint32_t percent, std::uint32_t /*status*/,
                                                              std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (e.OnGetPictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::GetPicture, percent);
    });
}

std::uint32_t TBX_STDCALL TTetherbox::LegacyViewfinderCallback(void *buffer, std::uint32_t size,
                                                                    std::uint32_t /*format*/, std::uint32_t context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.queueFrame(buffer, size); });
}

namespace {
/// The engine whose PTP frame the calling thread is handing to the host, if any.
thread_local const TTetherbox *tlsDirectFrameEngine = nullptr;
} // namespace

std::uint32_t TBX_STDCALL TTetherbox::PTPViewfinderCallback(std::uint32_t /*camera*/, std::uint32_t context,
                                                                 std::uint32_t size, void *buffer)
{
    // A frame for the SDK's own thread is handed to the host while the registry still holds the
    // engine and while it counts as being delivered: destroying the engine, stopping the
    // viewfinder or disconnecting waits for it, and no frame starts after them.
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        {
            std::lock_guard lock(e.metadataMutex_);
            e.metadata_.Valid = 0;
        }
        if (!e.useSDKThread_) {
            if (e.viewfinderMode_ && e.OnViewfinderEvent.assigned())
                e.queueFrame(buffer, size);
            return;
        }
        if (buffer == nullptr || size == 0 || size > kMaxFrameBytes)
            return;
        TNotifyViewfinderEvent direct;
        {
            std::lock_guard lock(e.directFrameMutex_);
            if (!e.viewfinderMode_ || !e.OnViewfinderEvent.assigned())
                return;
            direct = e.OnViewfinderEvent.get();
            ++e.directFrames_;
        }
        const TTetherbox *outer = std::exchange(tlsDirectFrameEngine, &e);
        try {
            const auto *bytes = static_cast<const std::uint8_t *>(buffer);
            direct(std::span<const std::uint8_t>(bytes, size), e.ViewfinderMetadata());
        } catch (...) {
        }
        tlsDirectFrameEngine = outer;
        {
            std::lock_guard lock(e.directFrameMutex_);
            --e.directFrames_;
        }
        e.directFrameDone_.notify_all();
    });
}

void TTetherbox::endViewfinder()
{
    std::unique_lock lock(directFrameMutex_);
    viewfinderMode_ = false;
    const int own = tlsDirectFrameEngine == this ? 1 : 0;
    directFrameDone_.wait(lock, [&] { return directFrames_ <= own; });
}

// ---------------------------------------------------------------------------------------------
// EOS and generation-2 handlers
// ---------------------------------------------------------------------------------------------

void TTetherbox::stateEvent(std::uint32_t event, std::uint32_t param, bool eos)
{
    if (!OnEvent.assigned())
        return;
    switch (event) {
    case kStateShutdown:
        queueCameraEvent(EventSeverityClosing, EventRemoteShutdownReasonNotKnown);
        break;
    case kStateWillSoonShutDown:
        keepAliveRequested_ = true;
        break;
    case kStateCaptureError:
        queueCameraEvent(EventSeverityClosing, EventRemoteCaptureError);
        break;
    case kStateInternalError:
        queueCameraEvent(EventSeverityClosing, EventUnrecoverableError);
        break;
    case kStatePowerZoomInfoChanged: {
        if (!eos)
            break;
        {
            std::lock_guard lock(metadataMutex_);
            PowerZoomInfoType &zoom = metadata_.PowerZoom;
            auto bit = [&](int n) { return static_cast<std::uint8_t>((param >> n) & 1u); };
            zoom.Controllable = bit(0);
            zoom.PZSwitch = bit(1);
            zoom.Condition = bit(2);
            const std::uint32_t extreme = (param >> 3) & 3u;
            zoom.ExtremePosition = extreme == 1u ? 1 : extreme == 3u ? 0 : 2;
            zoom.Attached = bit(5);
            zoom.BatteryLife = bit(6);
            zoom.LensZoomLock = bit(7);
            zoom.SpeedSwitch = bit(8);
            zoom.IncreasingTemperature = bit(9);
            zoom.HighTemperature = bit(10);
            zoom.CurrentSpeed = param >> 16;
        }
        queueCameraEvent(EventSeverityInfo, EventPowerZoomInfoChanged);
        break;
    }
    default:
        break;
    }
}

void TTetherbox::propertyEvent(std::uint32_t event, bool eos)
{
    // Parameter changes matter to the host only while it watches the live view.
    const bool watching = eos ? eosTimerRunning_.load() : ps2TimerRunning_.load();
    if (!watching || !OnEvent.assigned())
        return;
    if (event == kPropertyChanged)
        queueCameraEvent(EventSeverityInfo, EventRemoteParameterChanged);
    else if (event == kPropertyDescChanged)
        queueCameraEvent(EventSeverityInfo, EventRemoteNewSupportedParameters);
}

void TTetherbox::objectEvent(std::uint32_t event, void *object, CamDriver &drv)
{
    if (object == nullptr)
        return;
    if (!OnRemoteEvent.assigned()) {
        drv.ReleaseObject(object);
        return;
    }
    switch (event) {
    case kObjectDirItemRequestTransfer: {
        if (!drv.RegisterTransferItem(object))
            return; // the session has ended
        AdditionNotifyRemoteEventType extra;
        extra.EventValid = NotifyRemoteEventValid2;
        extra.TypeOfPicture = TypeOfPicturePicture;
        queueRemoteEvent(RemoteEventCallbackReleaseImageReady, extra);
        break;
    }
    case kObjectDirItemCreated: {
        std::string name;
        try {
            name = drv.ObjectFileName(object);
        } catch (...) {
            drv.ReleaseObject(object);
            throw;
        }
        if (isMovieName(name)) {
            if (drv.RegisterMovieItem(object))
                queueRemoteEvent(RemoteEventCallbackReleaseMovieReady);
        } else if (drv.RegisterCardItem(object)) {
            queueRemoteEvent(RemoteEventCallbackReleaseImageFromCFCardReady);
        }
        break;
    }
    default:
        // No list keeps it: give it back to the SDK.
        drv.ReleaseObject(object);
        break;
    }
}

std::uint32_t TBX_STDCALL TTetherbox::EOSStateEventHandler(std::uint32_t event, std::uint32_t param,
                                                                void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.stateEvent(event, param, true); });
}

std::uint32_t TBX_STDCALL TTetherbox::PS2StateEventHandler(std::uint32_t event, std::uint32_t param,
                                                                void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.stateEvent(event, param, false); });
}

std::uint32_t TBX_STDCALL TTetherbox::EOSPropertyEventHandler(std::uint32_t event, std::uint32_t /*property*/,
                                                                   std::uint32_t /*param*/, void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.propertyEvent(event, true); });
}

std::uint32_t TBX_STDCALL TTetherbox::PS2PropertyEventHandler(std::uint32_t event, std::uint32_t /*property*/,
                                                                   std::uint32_t /*param*/, void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.propertyEvent(event, false); });
}

std::uint32_t TBX_STDCALL TTetherbox::EOSObjectEventHandler(std::uint32_t event, void *object, void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.objectEvent(event, object, e.driver(SlotEOS)); });
}

std::uint32_t TBX_STDCALL TTetherbox::PS2ObjectEventHandler(std::uint32_t event, void *object, void *context)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) { e.objectEvent(event, object, e.driver(SlotGen2)); });
}

std::uint32_t TBX_STDCALL TTetherbox::EOSProgressCallback(std::uint32_t percent, void *context,
                                                               std::int32_t * /*cancel*/)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        switch (e.driver(SlotEOS).TransferContext()) {
        case 1:
            if (e.OnRemoteTakePictureEvent.assigned())
                EngineAccess::queuePercent(e, EventKind::TakePicture, percent);
            break;
        case 2:
            if (e.OnGetPictureEvent.assigned())
                EngineAccess::queuePercent(e, EventKind::GetPicture, percent);
            if (e.OnRemoteGetMovieEvent.assigned())
                EngineAccess::queuePercent(e, EventKind::RemoteGetMovie, percent);
            break;
        default:
            break;
        }
    });
}

std::uint32_t TBX_STDCALL TTetherbox::PS2ProgressCallback(std::uint32_t percent, void *context,
                                                               std::int32_t * /*cancel*/)
{
    return EngineAccess::withEngine(context, [&](TTetherbox &e) {
        if (e.OnGetPictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::GetPicture, percent);
        if (e.OnRemoteTakePictureEvent.assigned())
            EngineAccess::queuePercent(e, EventKind::TakePicture, percent);
    });
}

} // namespace tbx
