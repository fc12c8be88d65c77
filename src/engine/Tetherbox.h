// TTetherbox: the camera engine. One facade over the four camera drivers: SDK start-up,
// enumeration, connection, the dispatch rule with its state checks, the event path from SDK
// threads to the owner thread, remote capture, viewfinder timers, parameter files, housekeeping
// and the camera collection.
#pragma once

#include "engine/CamDefines.h"
#include "engine/CamDriver.h"
#include "engine/EventQueue.h"
#include "platform/Platform.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace tbx {

// Fixed messages of the dispatch rule.
inline constexpr const char *kMsgNotInRemoteMode = "Camera not in remote mode";
inline constexpr const char *kMsgNotInViewfinderMode = "Camera not in viewfinder mode";
inline constexpr const char *kMsgNotInMovieRecordingMode = "Camera not in movie recording mode";
inline constexpr const char *kMsgNoCamera = "No camera is connected";
inline constexpr const char *kMsgNotSupportedByEOS = "Not supported by EOS cameras";
inline constexpr const char *kMsgNotSupportedByPowerShot = "Not supported by PowerShot cameras";
inline constexpr const char *kMsgNotSupportedByCamera = "Not supported by the camera";
inline constexpr const char *kMsgAlreadyConnected = "Camera already connected.";
inline constexpr const char *kMsgNoWindowsVersion =
    "Could not detect windows version, which is required for EOS-support (StartTheSDKs)";

class TTetherbox;

/// An event property of the engine: a handler that the owner thread assigns and invokes, and
/// whose "assigned" state SDK threads may test at any time.
/// \context Thread-safe.
template <class F>
class EventProperty {
public:
    EventProperty() = default;
    EventProperty(const EventProperty &) = delete;
    EventProperty &operator=(const EventProperty &) = delete;

    EventProperty &operator=(F handler)
    {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
        assigned_ = static_cast<bool>(handler_);
        return *this;
    }
    EventProperty &operator=(std::nullptr_t) { return *this = F(); }

    bool assigned() const noexcept { return assigned_.load(); }
    explicit operator bool() const noexcept { return assigned(); }

    /// A copy of the handler (empty when none is assigned).
    F get() const
    {
        std::lock_guard lock(mutex_);
        return handler_;
    }

    /// Calls the handler with \p args; false when none is assigned.
    template <class... Args>
    bool invoke(Args &&...args) const
    {
        const F handler = get();
        if (!handler)
            return false;
        handler(std::forward<Args>(args)...);
        return true;
    }

private:
    mutable std::mutex mutex_;
    F handler_;
    std::atomic<bool> assigned_{false};
};

/// The process-wide list of engines that SDK callbacks use to find theirs by index. Slots are
/// never reused or compacted while any engine lives; the list is freed with the last engine.
/// \context Thread-safe. A callback takes its engine with acquire() and gives it back with
/// release(); it runs without holding lock(), so it may call into an SDK that holds locks of its
/// own while it calls us back. remove() waits for the callbacks still running on the engine.
class EngineRegistry {
public:
    static std::recursive_mutex &lock();
    /// True while at least one engine exists.
    static bool exists();
    /// Number of slots, empty ones included (0 when the list does not exist).
    static std::size_t slotCount();

    /// Puts \p engine into a new slot at the end (creating the list) and returns its index.
    static int add(TTetherbox *engine);
    /// Empties slot \p index, then waits until no other thread runs a callback on its engine;
    /// frees the list when every slot is empty.
    static void remove(int index);
    /// The engine in slot \p index, marked as in use by a callback, or nullptr.
    static TTetherbox *acquire(int index);
    /// Ends a callback's use of the engine in slot \p index.
    static void release(int index);
    /// The engine in slot \p index, or nullptr. The caller holds lock().
    static TTetherbox *find(int index);
};

class TTetherbox {
public:
    using DriverPtr = std::unique_ptr<CamDriver>;

    /// Creates the engine with its drivers, one in every slot, and takes a slot in EngineRegistry.
    /// \context Thread-bound: the creating thread owns the engine, its timers and its events.
    explicit TTetherbox(DriverArray drivers);
    /// Destroying the engine from inside one of its own event handlers is safe: the delivery in
    /// progress notices and touches nothing of the engine afterwards.
    ~TTetherbox();
    TTetherbox(const TTetherbox &) = delete;
    TTetherbox &operator=(const TTetherbox &) = delete;

    // ---- published properties ----
    float Version = 8.9f;
    int EOSViewfinderRefreshInterval = 50;
    int PS2ViewfinderRefreshInterval = 25;
    std::string LibraryFolder;
    ReleaseModeType ReleaseMode() const { return releaseMode_.load(); }
    ReleaseDataKindType ReleaseDataKind() const { return releaseDataKind_.load(); }

    EventProperty<TNotifyCameraEvent> OnEvent;
    EventProperty<TNotifyViewfinderEvent> OnViewfinderEvent;
    EventProperty<TNotifyRemoteEvent> OnRemoteEvent;
    EventProperty<TNotifyRemoteTakePictureEvent> OnRemoteTakePictureEvent;
    EventProperty<TNotifyRemoteGetPictureEvent> OnRemoteGetPictureEvent;
    EventProperty<TNotifyRemoteGetMovieEvent> OnRemoteGetMovieEvent;
    EventProperty<TNotifyGetPictureEvent> OnGetPictureEvent;
    EventProperty<TNotifyRemoteProbeParamEvent> OnRemoteProbeParamEvent;
    EventProperty<TNotifyRawDevelopEvent> OnRawDevelopEvent;
    /// Told about a failure that a timer of the engine caught (an event handler or a viewfinder
    /// tick that raised). No failure ever leaves a timer into the platform's dispatch; without a
    /// handler the failure is dropped.
    EventProperty<std::function<void(const std::string &message)>> OnTimerError;

    /// The viewfinder timers; created disabled.
    std::unique_ptr<platform::Timer> TimerEOSViewfinder;
    std::unique_ptr<platform::Timer> TimerPS2Viewfinder;

    int RegistryIndex() const { return registryIndex_; }

    // ---- engine core ----
    /// Starts the SDK of \p family (1 legacy and PTP PowerShot, 2 EOS, 3 PowerShot generation 2)
    /// unless this engine already runs it.
    void StartTheSDKs(int family);
    /// Tries the families in the order PowerShot, PowerShot generation 2, EOS and stops at the
    /// first that finds a camera; opens the event queue and its poll timer.
    EnumerationListsType OpenCameraEnumeration();
    /// Stops the viewfinder, ends remote mode and disconnects (best effort), ends this engine's
    /// SDKs and frees the event queue and the poll timer.
    void CloseCameraEnumeration();
    /// Connects camera \p index of \p family's name list.
    void Connect(int family, int index, ConnectInfoType &info);
    /// Disconnects; returns the driver's result (0 with no camera connected).
    int Disconnect();

    /// The connected camera (family code 0 when none).
    const ConnectInfoType &Connection() const { return connection_; }
    bool RemoteMode() const { return remoteMode_; }
    bool ViewfinderMode() const { return viewfinderMode_.load(); }
    bool MovieRecording() const { return movieRecording_; }
    bool PTPDisabled() const { return ptpDisabled_; }
    /// True while the poll timer and the event queue exist.
    bool EnumerationOpen() const { return pollTimer_ != nullptr; }
    std::size_t QueuedEventCount() const { return queue_.size(); }
    std::size_t PendingPTPTransferCount() const;

    // ---- remote capture ----
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                     const std::string &cacheFolder, bool probe);
    void RemoteEnd();
    int RemoteGetNumberOfAvailableShots();
    void RemoteTakePicture();
    void RemotePressShutter(int button);
    void RemoteGetPicture(const std::string &fileName, int pictureType);
    void RemoteGetMovie(const std::string &fileName, bool deleteAfter);
    void RemoteGetCFPicture(const std::string &fileName, bool deleteAfter);
    void RemoteAFLock(bool lock);
    void RemoteBULBMode(bool on);
    void RemotePowerZoomStop();
    void RemotePowerZoomTele(bool fast, int speed);
    void RemotePowerZoomWide(bool fast, int speed);
    ZoomPosType RemoteGetZoomPos();
    void RemoteSetZoomPos(int pos);

    // ---- engine callbacks (called by the SDKs and drivers, on any thread; never raise) ----
    static std::uint32_t TBX_STDCALL CameraEventCallback(std::uint32_t eventWord, const void *data,
                                                              std::uint32_t dataSize, std::uint32_t context);
    static std::uint32_t TBX_STDCALL RemoteEventCallback(std::uint32_t code, const void *data,
                                                              std::uint32_t dataSize, std::uint32_t context);
    static std::uint32_t TBX_STDCALL PTPEventCallback(std::uint32_t camera, std::uint32_t context,
                                                           void *eventData);
    static std::uint32_t TBX_STDCALL PTPTransferCallback(std::uint32_t camera, std::uint32_t object,
                                                              std::uint32_t context, void *progress);
    static std::uint32_t TBX_STDCALL TakePictureProgress(std::uint32_t percent, std::uint32_t status,
                                                              std::uint32_t context);
    static std::uint32_t TBX_STDCALL RemoteGetPictureProgress(std::uint32_t percent, std::uint32_t status,
                                                                   std::uint32_t context);
    static std::uint32_t TBX_STDCALL GetPictureProgress(std::uint32_t percent, std::uint32_t status,
                                                             std::uint32_t context);
    static std::uint32_t TBX_STDCALL EOSStateEventHandler(std::uint32_t event, std::uint32_t param,
                                                               void *context);
    static std::uint32_t TBX_STDCALL PS2StateEventHandler(std::uint32_t event, std::uint32_t param,
                                                               void *context);
    static std::uint32_t TBX_STDCALL EOSPropertyEventHandler(std::uint32_t event, std::uint32_t property,
                                                                  std::uint32_t param, void *context);
    static std::uint32_t TBX_STDCALL PS2PropertyEventHandler(std::uint32_t event, std::uint32_t property,
                                                                  std::uint32_t param, void *context);
    static std::uint32_t TBX_STDCALL EOSObjectEventHandler(std::uint32_t event, void *object, void *context);
    static std::uint32_t TBX_STDCALL PS2ObjectEventHandler(std::uint32_t event, void *object, void *context);
    static std::uint32_t TBX_STDCALL EOSProgressCallback(std::uint32_t percent, void *context,
                                                              std::int32_t *cancel);
    static std::uint32_t TBX_STDCALL PS2ProgressCallback(std::uint32_t percent, void *context,
                                                              std::int32_t *cancel);
    static std::uint32_t TBX_STDCALL LegacyViewfinderCallback(void *buffer, std::uint32_t size,
                                                                   std::uint32_t format, std::uint32_t context);
    static std::uint32_t TBX_STDCALL PTPViewfinderCallback(std::uint32_t camera, std::uint32_t context,
                                                                std::uint32_t size, void *buffer);
    /// Queues probe progress (kind 7) for the engine at \p registryIndex; drivers reach it
    /// through EngineHooks.
    static void QueueProbeProgress(int registryIndex, int percent) noexcept;

    /// The engine's viewfinder metadata (a consistent copy).
    ViewfinderPositionType ViewfinderMetadata() const;

    /// Tick handlers of the two viewfinder timers (implemented with the viewfinder operations).
    void TimerEOSViewfinderTimer();
    void TimerPS2ViewfinderTimer();

    // ---- viewfinder, parameter store and housekeeping ----
    // Viewfinder. Frames of the legacy and PTP PowerShot cameras arrive through the frame
    // callbacks; those of the EOS and generation-2 cameras are pulled from their driver by the
    // two viewfinder timers, one frame per tick.

    /// Starts the viewfinder of the connected camera; \p useSDKThread asks for PTP frames to be
    /// delivered on the SDK's thread instead of through the event queue.
    void RemoteStartViewfinder(bool useSDKThread);
    /// Stops the viewfinder. Both viewfinder timers are disabled in any case.
    void RemoteStopViewfinder();
    /// Asks for one frame: true for PowerShot cameras, whose frames arrive by themselves; an EOS
    /// camera in viewfinder mode gets one frame from the next tick (false is returned).
    bool RemoteGetViewfinderImage();
    void RemoteSetViewfinderOutput(std::uint8_t output);
    void RemoteSetViewfinderDriveLens(int step);
    void RemoteSetViewfinderWhitebalance(int x, int y);
    void RemoteSetViewfinderAutofocusMode(std::uint8_t mode);
    std::uint8_t RemoteGetViewfinderAutofocusMode();
    /// Fills \p info (zero-filled first, whatever happens).
    void RemoteGetViewfinderAutofocusInfo(AFFocusInfoType &info);
    void RemoteSetViewfinderZoom(int zoom);
    void RemoteSetViewfinderZoomPosition(int x, int y);
    void RemoteSetViewfinderDepthOfFieldPreview(bool on);
    bool RemoteGetViewfinderDepthOfFieldPreview();
    void RemoteActivateViewfinderAuto(bool on);
    void RemoteStartMovieRecording();
    void RemoteEndMovieRecording();
    /// True while an EOS single frame has been asked for and not yet pulled.
    bool SingleFrameRequested() const { return singleFrame_; }

    // Remote parameters and their files.
    RemoteParamsType RemoteGetCameraCacheParameters();
    void RemoteSetRemoteParams(const RemoteParamsType &params);
    /// Reads the parameter file \p fileName and applies it; a file that is not a parameter record
    /// is refused before anything is applied.
    void RemoteLoadCameraRemoteParams(const std::string &fileName);
    /// Reads the camera's parameters, then stores them in \p fileName; when the read fails no file
    /// is created and an existing one keeps its content.
    void RemoteSaveCameraRemoteParams(const std::string &fileName);

    /// RAW development record of the host interface.
    struct RAWDevelopmentParamsType {
        std::uint8_t WhiteBalanceSetting = 0;
        std::int32_t WhiteBalanceKelvin = 0;
    };
    /// RAW development is not offered: each of these raises "RAW handling is unfortunately not
    /// supported", whatever the state.
    std::array<std::uint8_t, 17> OpenRAWObject(const std::string &fileName);
    void SetRAWDevelopmentParameters(const RAWDevelopmentParamsType &params);
    RAWDevelopmentParamsType GetRAWDevelopmentParameters();
    void DevelopRAWPicture(const std::string &outFileName, int fileFormat, int bitsPerPixel,
                           const std::string &iccProfileFileName, int jpegQuality);
    void CloseRAWObject();

    // Housekeeping and the camera collection (no remote mode needed).
    void SetTimeInCamera(std::time_t time);
    void SetOwnerName(const std::string &name);
    /// The camera body's identification; empty for PowerShot cameras.
    std::string GetBodyID();
    void FormatCameraCard();
    bool RemoteSupported();
    /// Lists the pictures on the card into \p list (replaced only when the driver succeeds).
    void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list);
    void CloseCameraCollection(ImageListType &list);
    /// Downloads picture \p position (0-based) of the collection into \p fileName.
    void GetPicture(int position, const std::string &fileName);
    void DeletePicture(ImageListType &list, int position);

private:
    /// How a family answers an operation: served by its driver, ignored, or refused.
    enum class Answer { Serve, Ignore, NotByEOS, NotByPowerShot, NotByCamera };
    /// The driver that serves the operation for the connected family (legacy or PTP for family 1),
    /// nullptr when the family ignores it; raises "No camera is connected" or the refusal.
    CamDriver *familyDriver(Answer powerShot, Answer eos, Answer gen2);
    /// The body of both viewfinder ticks.
    void viewfinderTick(bool eos);
    void runViewfinderTick(bool eos);

    bool eosTickRunning_ = false;
    bool ps2TickRunning_ = false;
    /// Set by a failed tick, cleared by one that succeeds: only the first failure of a run is
    /// reported.
    bool eosTickFailing_ = false;
    bool ps2TickFailing_ = false;

    friend struct EngineAccess;

    // Dispatch helpers shared by every operation.
    int family() const { return connection_.CameraModel; }
    /// Raises the remote-mode message when remote mode is off.
    void requireRemoteMode() const;
    /// Raises the viewfinder-mode message when viewfinder mode is off.
    void requireViewfinderMode() const;
    /// Raises "No camera is connected" for family 0 and returns the family code otherwise.
    int requireCamera() const;
    /// The family-1 driver of the connected camera (legacy or PTP, as decided at Connect).
    CamDriver &powerShotDriver();
    /// The driver of the connected family; requireCamera() first.
    CamDriver &connectedDriver();
    bool connectedThroughPTP() const { return family() == CamModPowerShot && usesPTP_; }

    // Viewfinder timer switches that keep a copy of the state SDK threads may read.
    void setEOSViewfinderTimer(bool enabled);
    void setPS2ViewfinderTimer(bool enabled);

    // SDK lifetime
    void startFamily(int family);
    void endFamily(int family);
    void enumerateFamily(int family);
    void closeQuietly();
    /// Leaves viewfinder mode and waits for a frame being handed to the host on an SDK thread
    /// (not for one the calling thread is delivering), so no frame follows.
    void endViewfinder();

    // Event path
    void pollTick();
    void deliver(QueuedEvent &event);
    void keepAliveNow();
    bool queueEvent(EventKind kind, decltype(QueuedEvent::Data) data);
    void queueCameraEvent(EventSeverityType severity, EventEnumType num);
    void queueRemoteEvent(RemoteEventCallbackType event, AdditionNotifyRemoteEventType data = {});
    void queueFrame(const void *buffer, std::uint32_t size);
    void stateEvent(std::uint32_t event, std::uint32_t param, bool eos);
    void propertyEvent(std::uint32_t event, bool eos);
    void objectEvent(std::uint32_t event, void *object, CamDriver &driver);
    void reportTimerFailure(const std::string &message);
    void remoteGetPTPPicture(const std::string &fileName);
    void closePTPFile();

    // Drivers, one per slot.
    DriverArray drivers_;
    CamDriver &driver(int slot) { return *drivers_[static_cast<std::size_t>(slot)]; }
    /// True when the engine takes \p slot's driver: the PTP slot only while PTP is enabled.
    bool slotInUse(int slot) const { return slot != SlotPTP || !ptpDisabled_; }

    // Name lists (by family code) and camera records (by slot); each engine has its own.
    std::array<StringList, CamModPowerShotGen2 + 1> names_;
    std::array<CameraRecordList, kDriverSlotCount> records_;
    /// Records replaced by a new enumeration while a camera was connected (its driver may still
    /// refer to them); freed at Disconnect.
    std::vector<CameraRecordList> retiredRecords_;

    // State
    int registryIndex_ = -1;
    ConnectInfoType connection_;
    int cameraIndex_ = 0;
    bool usesPTP_ = false;
    bool remoteMode_ = false;
    std::atomic<bool> viewfinderMode_{false};
    bool movieRecording_ = false;
    bool singleFrame_ = false;
    std::atomic<bool> useSDKThread_{false};
    /// PTP frames handed to the host on the SDK's thread right now; the viewfinder ends only
    /// once none is (endViewfinder). Guards the switch of viewfinderMode_ against a delivery.
    std::mutex directFrameMutex_;
    std::condition_variable directFrameDone_;
    int directFrames_ = 0;
    bool ptpDisabled_ = false;
    bool sdkStarted_[4] = {};
    std::atomic<ReleaseModeType> releaseMode_{ReleaseModeOnlyToPC};
    std::atomic<ReleaseDataKindType> releaseDataKind_{ReleaseDataKindTakeOnlyThumbnail};
    std::atomic<bool> eosTimerRunning_{false};
    std::atomic<bool> ps2TimerRunning_{false};

    // Event path state
    EventQueue queue_;
    std::unique_ptr<platform::Timer> pollTimer_;
    std::atomic<bool> framePending_{false};
    std::atomic<bool> keepAliveRequested_{false};
    bool delivering_ = false;
    /// Cleared by the destructor; a delivery in progress keeps a copy to notice.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    mutable std::mutex metadataMutex_;
    ViewfinderPositionType metadata_;

    // PTP transfers
    mutable std::mutex ptpMutex_;
    std::deque<PtpEventRecord> pendingPTP_;
    std::FILE *ptpFile_ = nullptr;
    bool ptpStreamOpen_ = false;
    bool ptpWriteFailed_ = false;
};

} // namespace tbx
