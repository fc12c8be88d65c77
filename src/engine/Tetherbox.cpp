// Engine core: creation and destruction, the process-wide registry, SDK start-up, enumeration,
// connection and the dispatch helpers every operation uses.
//
// Several engines in one process: each engine keeps its own name lists and camera records, and
// remembers which families it started. The SDKs themselves are process-wide, so their starts are
// counted per family: the first engine to need a family starts its SDK, the last one to let go
// of it (by CloseCameraEnumeration, or by being destroyed while still holding it) ends it. An
// engine therefore never initialises an SDK twice and never ends one that another engine still
// uses.
#include "engine/Tetherbox.h"

#include <condition_variable>
#include <exception>
#include <thread>
#include <vector>

namespace tbx {

namespace {

constexpr platform::Millis kBusyWaitMs = 50;
constexpr platform::Millis kPollIntervalMs = 25;

/// The families in the engine's order, that of their driver slots: PowerShot, PowerShot
/// generation 2, EOS. Enumeration stops at the first family that finds a camera.
constexpr int kFamilyOrder[] = {slotFamily(SlotLegacy), slotFamily(SlotGen2), slotFamily(SlotEOS)};

/// A process-wide busy flag, waited on with 50 ms sleeps. The thread that holds it may take it
/// again (an owner thread that re-enters through a nested message loop must not wait for itself).
class BusyFlag {
public:
    void acquire()
    {
        const auto me = std::this_thread::get_id();
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (depth_ == 0 || holder_ == me) {
                    holder_ = me;
                    ++depth_;
                    return;
                }
            }
            platform::sleepMs(kBusyWaitMs);
        }
    }
    void release()
    {
        std::lock_guard lock(mutex_);
        if (--depth_ == 0)
            holder_ = {};
    }

private:
    std::mutex mutex_;
    std::thread::id holder_;
    int depth_ = 0;
};

class BusyGuard {
public:
    explicit BusyGuard(BusyFlag &flag) : flag_(flag) { flag_.acquire(); }
    ~BusyGuard() { flag_.release(); }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    BusyFlag &flag_;
};

/// Everything shared by the engines of one process.
struct ProcessState {
    std::recursive_mutex registryMutex;
    std::condition_variable_any callbackFinished;
    std::unique_ptr<std::vector<TTetherbox *>> registry;
    /// Callbacks running on each slot's engine right now (same length as the registry).
    std::vector<int> inFlight;
    std::mutex sdkMutex;
    int sdkUsers[4] = {};
    bool family1StartedPTP = false;
    BusyFlag connectGuard;
    BusyFlag destroyGuard;
};

ProcessState &process()
{
    static ProcessState state;
    return state;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// EngineRegistry
// ---------------------------------------------------------------------------------------------

std::recursive_mutex &EngineRegistry::lock()
{
    return process().registryMutex;
}

bool EngineRegistry::exists()
{
    std::lock_guard guard(lock());
    return process().registry != nullptr;
}

std::size_t EngineRegistry::slotCount()
{
    std::lock_guard guard(lock());
    return process().registry ? process().registry->size() : 0;
}

int EngineRegistry::add(TTetherbox *engine)
{
    std::lock_guard guard(lock());
    auto &registry = process().registry;
    if (!registry) {
        registry = std::make_unique<std::vector<TTetherbox *>>();
        process().inFlight.clear();
    }
    registry->push_back(engine);
    process().inFlight.push_back(0);
    return static_cast<int>(registry->size() - 1);
}

namespace {
/// The callbacks the calling thread is running, per slot (a callback may reach the owner's code,
/// which must not wait for itself). Plain data: thread-local objects with destructors are not
/// safe at process exit with every Windows runtime.
struct ThreadCallbacks {
    static constexpr int kSlots = 8;
    int slot[kSlots];
    int count[kSlots];
    int used;
};
thread_local ThreadCallbacks tlsInFlight{};

int *ownCount(int index, bool create)
{
    for (int i = 0; i < tlsInFlight.used; ++i)
        if (tlsInFlight.slot[i] == index)
            return &tlsInFlight.count[i];
    if (!create || tlsInFlight.used == ThreadCallbacks::kSlots)
        return nullptr;
    const int i = tlsInFlight.used++;
    tlsInFlight.slot[i] = index;
    tlsInFlight.count[i] = 0;
    return &tlsInFlight.count[i];
}

int ownCallbacks(int index)
{
    const int *count = ownCount(index, false);
    return count ? *count : 0;
}
} // namespace

void EngineRegistry::remove(int index)
{
    std::unique_lock guard(lock());
    auto &state = process();
    if (!state.registry || index < 0 || static_cast<std::size_t>(index) >= state.registry->size())
        return;
    const auto slot = static_cast<std::size_t>(index);
    (*state.registry)[slot] = nullptr;
    // No new callback finds the engine now; wait for those still running on it (other than the
    // calling thread's own), so the engine is never freed under them.
    state.callbackFinished.wait(guard, [&] { return state.inFlight[slot] <= ownCallbacks(index); });
    if (state.inFlight[slot] != 0)
        return; // a callback of this thread still uses the list; it is freed with a later engine
    for (TTetherbox *engine : *state.registry)
        if (engine != nullptr)
            return;
    for (int count : state.inFlight)
        if (count != 0)
            return;
    state.registry.reset();
    state.inFlight.clear();
}

TTetherbox *EngineRegistry::acquire(int index)
{
    std::lock_guard guard(lock());
    TTetherbox *engine = find(index);
    if (engine == nullptr)
        return nullptr;
    const auto slot = static_cast<std::size_t>(index);
    ++process().inFlight[slot];
    if (int *own = ownCount(index, true))
        ++*own;
    return engine;
}

void EngineRegistry::release(int index)
{
    std::lock_guard guard(lock());
    auto &state = process();
    const auto slot = static_cast<std::size_t>(index);
    for (int i = 0; i < tlsInFlight.used; ++i) {
        if (tlsInFlight.slot[i] != index)
            continue;
        if (--tlsInFlight.count[i] <= 0) { // the entry is free again
            const int last = --tlsInFlight.used;
            tlsInFlight.slot[i] = tlsInFlight.slot[last];
            tlsInFlight.count[i] = tlsInFlight.count[last];
        }
        break;
    }
    if (slot < state.inFlight.size() && state.inFlight[slot] > 0)
        --state.inFlight[slot];
    state.callbackFinished.notify_all();
}

TTetherbox *EngineRegistry::find(int index)
{
    const auto &registry = process().registry;
    if (!registry || index < 0 || static_cast<std::size_t>(index) >= registry->size())
        return nullptr;
    return (*registry)[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------------------------

TTetherbox::TTetherbox(DriverArray drivers) : drivers_(std::move(drivers))
{
    for (const DriverPtr &slot : drivers_)
        if (!slot)
            throw EAssertionFailed("The camera engine needs a driver in every slot");
    TimerEOSViewfinder = std::make_unique<platform::Timer>([this] { TimerEOSViewfinderTimer(); },
                                                           EOSViewfinderRefreshInterval, false);
    TimerPS2Viewfinder = std::make_unique<platform::Timer>([this] { TimerPS2ViewfinderTimer(); },
                                                           PS2ViewfinderRefreshInterval, false);
    registryIndex_ = EngineRegistry::add(this);
    const EngineHooks hooks{&TTetherbox::QueueProbeProgress, &records_[SlotLegacy]};
    for (int slot = 0; slot < kDriverSlotCount; ++slot)
        driver(slot).Attach(registryIndex_, records_[static_cast<std::size_t>(slot)], hooks);
}

TTetherbox::~TTetherbox()
{
    BusyGuard guard(process().destroyGuard);
    // From here on no callback finds this engine; removal waits for the callbacks still running
    // on it to finish.
    EngineRegistry::remove(registryIndex_);
    *alive_ = false;
    // The engine gives back its share of the SDKs it started; when it was the last user, the
    // SDK is ended here (best effort), so a later engine starts it afresh.
    for (int family : kFamilyOrder) {
        try {
            endFamily(family);
        } catch (...) {
        }
    }
    closePTPFile();
    pollTimer_.reset();
    queue_.close();
    // The viewfinder timers go before the drivers whose frames they pull.
    TimerEOSViewfinder.reset();
    TimerPS2Viewfinder.reset();
    for (DriverPtr &slot : drivers_)
        slot.reset();
}

// ---------------------------------------------------------------------------------------------
// SDK start-up and enumeration
// ---------------------------------------------------------------------------------------------

void TTetherbox::StartTheSDKs(int family)
{
    const auto version = platform::osVersion();
    if (!version)
        throw EInOutError(kMsgNoWindowsVersion);
    ptpDisabled_ = version->major > 5;
    if (family < CamModPowerShot || family > CamModPowerShotGen2)
        throw ECamException("There is no camera family " + std::to_string(family) + " to start");
    if (sdkStarted_[family])
        return;
    startFamily(family);
}

void TTetherbox::startFamily(int family)
{
    ProcessState &state = process();
    std::lock_guard lock(state.sdkMutex);
    if (state.sdkUsers[family] == 0) {
        std::vector<int> started;
        try {
            for (int slot = 0; slot < kDriverSlotCount; ++slot) {
                if (slotFamily(slot) != family || !slotInUse(slot))
                    continue;
                driver(slot).StartSDK(LibraryFolder);
                started.push_back(slot);
            }
        } catch (...) {
            // Leave nothing half started behind.
            for (int slot : started) {
                try {
                    driver(slot).EndSDK();
                } catch (...) {
                }
            }
            throw;
        }
        if (family == CamModPowerShot)
            state.family1StartedPTP = !ptpDisabled_;
    }
    ++state.sdkUsers[family];
    sdkStarted_[family] = true;
}

void TTetherbox::endFamily(int family)
{
    if (!sdkStarted_[family])
        return;
    ProcessState &state = process();
    std::lock_guard lock(state.sdkMutex);
    sdkStarted_[family] = false;
    if (--state.sdkUsers[family] > 0)
        return;
    // Every slot of the family is ended; the first failure is raised afterwards. The PTP slot
    // was started only when PTP was enabled at the time.
    std::exception_ptr failure;
    for (int slot = 0; slot < kDriverSlotCount; ++slot) {
        if (slotFamily(slot) != family)
            continue;
        if (slot == SlotPTP) {
            if (!state.family1StartedPTP)
                continue;
            state.family1StartedPTP = false;
        }
        try {
            driver(slot).EndSDK();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TTetherbox::enumerateFamily(int family)
{
    // Records of the connected camera's family may still be in use by its driver: keep them
    // until Disconnect and enumerate into fresh lists.
    for (int slot = 0; slot < kDriverSlotCount; ++slot) {
        if (slotFamily(slot) != family)
            continue;
        CameraRecordList &records = records_[static_cast<std::size_t>(slot)];
        if (family == this->family())
            retiredRecords_.push_back(std::move(records));
        records.clear();
    }
    for (int slot = 0; slot < kDriverSlotCount; ++slot)
        if (slotFamily(slot) == family && slotInUse(slot))
            driver(slot).EnumerateCameras(names_[static_cast<std::size_t>(family)]);
}

EnumerationListsType TTetherbox::OpenCameraEnumeration()
{
    framePending_ = false;
    for (StringList &names : names_)
        names.clear();

    // Families in their fixed order; the first that finds a camera ends the search.
    int found = CamModNone;
    for (int family : kFamilyOrder) {
        StartTheSDKs(family);
        enumerateFamily(family);
        if (!names_[static_cast<std::size_t>(family)].empty()) {
            found = family;
            break;
        }
        if (family != this->family())
            endFamily(family);
    }
    // A family an earlier enumeration left running is ended unless it found cameras now or
    // serves the connected camera.
    for (int family : kFamilyOrder)
        if (sdkStarted_[family] && family != found && family != this->family())
            endFamily(family);

    if (!pollTimer_) {
        queue_.open();
        pollTimer_ = std::make_unique<platform::Timer>([this] { pollTick(); }, kPollIntervalMs, true);
    }
    return EnumerationListsType{&names_[CamModPowerShot], &names_[CamModEOS], &names_[CamModPowerShotGen2]};
}

void TTetherbox::closeQuietly()
{
    // Best effort: the camera may already be gone, and closing must still end the SDKs.
    if (viewfinderMode_) {
        try {
            endViewfinder();
            setEOSViewfinderTimer(false);
            setPS2ViewfinderTimer(false);
            if (family() != CamModNone)
                connectedDriver().RemoteStopViewfinder();
        } catch (...) {
        }
    }
    if (remoteMode_) {
        try {
            RemoteEnd();
        } catch (...) {
        }
        remoteMode_ = false;
    }
    if (family() != CamModNone) {
        try {
            Disconnect();
        } catch (...) {
        }
        connection_.CameraModel = CamModNone;
    }
}

void TTetherbox::CloseCameraEnumeration()
{
    closeQuietly();
    std::exception_ptr failure;
    for (int family : kFamilyOrder) {
        try {
            endFamily(family);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    for (StringList &names : names_)
        names.clear();
    for (CameraRecordList &records : records_)
        records.clear();
    retiredRecords_.clear();
    // Safe from inside an event handler: the delivery in progress owns its detached entry, and
    // a timer may be destroyed by its own handler.
    pollTimer_.reset();
    queue_.close();
    framePending_ = false;
    keepAliveRequested_ = false;
    if (failure)
        std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------------------------
// Connect and Disconnect
// ---------------------------------------------------------------------------------------------

void TTetherbox::Connect(int family, int index, ConnectInfoType &info)
{
    BusyGuard guard(process().connectGuard);
    if (this->family() != CamModNone)
        throw ECamException(kMsgAlreadyConnected);
    if (family < CamModPowerShot || family > CamModPowerShotGen2)
        throw ECamException("Cannot connect to camera type " + std::to_string(family) +
                            ": the camera type must be 1 (PowerShot), 2 (EOS) or 3 (PowerShot generation 2)");

    cameraIndex_ = index;
    connection_.FirmwareVersion.clear();
    ConnectInfoType record; // the driver fills a zeroed record
    bool throughPTP = false;
    switch (family) {
    case CamModPowerShot:
        // A negative number goes to the legacy driver, which refuses it in its own words.
        if (index >= 0 && static_cast<std::size_t>(index) >= records_[SlotLegacy].size() && slotInUse(SlotPTP)) {
            ConnectCallbacks callbacks;
            callbacks.ptpEvent = &TTetherbox::PTPEventCallback;
            driver(SlotPTP).Connect(callbacks, index, record, registryIndex_);
            throughPTP = true;
        } else {
            // Beyond the legacy cameras with PTP disabled, the legacy driver refuses the index
            // with its own message instead of "connecting" nothing.
            ConnectCallbacks callbacks;
            callbacks.legacyEvent = &TTetherbox::CameraEventCallback;
            driver(SlotLegacy).Connect(callbacks, index, record, registryIndex_);
        }
        break;
    default: {
        const bool eos = family == CamModEOS;
        CamDriver &drv = driver(eos ? SlotEOS : SlotGen2);
        ConnectCallbacks callbacks;
        callbacks.stateEvent = eos ? &TTetherbox::EOSStateEventHandler : &TTetherbox::PS2StateEventHandler;
        callbacks.propertyEvent = eos ? &TTetherbox::EOSPropertyEventHandler : &TTetherbox::PS2PropertyEventHandler;
        callbacks.objectEvent = eos ? &TTetherbox::EOSObjectEventHandler : &TTetherbox::PS2ObjectEventHandler;
        callbacks.progress = eos ? &TTetherbox::EOSProgressCallback : &TTetherbox::PS2ProgressCallback;
        drv.Connect(callbacks, index, record, registryIndex_);
        try {
            record.FirmwareVersion = drv.ReadFirmwareVersion();
        } catch (...) {
            // Do not leave a camera connected that the engine does not know about.
            try {
                drv.Disconnect();
            } catch (...) {
            }
            throw;
        }
        break;
    }
    }
    record.CameraModel = static_cast<std::uint8_t>(family);
    connection_ = record;
    usesPTP_ = throughPTP;
    info = connection_;
}

int TTetherbox::Disconnect()
{
    // Whatever the family, nothing of the viewfinder or of a PTP download outlives the camera.
    endViewfinder();
    singleFrame_ = false;
    movieRecording_ = false;
    setEOSViewfinderTimer(false);
    setPS2ViewfinderTimer(false);
    {
        std::lock_guard lock(ptpMutex_);
        pendingPTP_.clear();
    }
    closePTPFile();

    const int result = family() == CamModNone ? 0 : connectedDriver().Disconnect();
    connection_.CameraModel = CamModNone;
    usesPTP_ = false;
    retiredRecords_.clear();
    return result;
}

// ---------------------------------------------------------------------------------------------
// Dispatch helpers
// ---------------------------------------------------------------------------------------------

void TTetherbox::requireRemoteMode() const
{
    if (!remoteMode_)
        throw ECamException(kMsgNotInRemoteMode);
}

void TTetherbox::requireViewfinderMode() const
{
    if (!viewfinderMode_)
        throw ECamException(kMsgNotInViewfinderMode);
}

int TTetherbox::requireCamera() const
{
    if (family() == CamModNone)
        throw ECamException(kMsgNoCamera);
    return family();
}

CamDriver &TTetherbox::powerShotDriver()
{
    return driver(usesPTP_ ? SlotPTP : SlotLegacy);
}

CamDriver &TTetherbox::connectedDriver()
{
    switch (requireCamera()) {
    case CamModPowerShot:
        return powerShotDriver();
    case CamModEOS:
        return driver(SlotEOS);
    default:
        return driver(SlotGen2);
    }
}

void TTetherbox::setEOSViewfinderTimer(bool enabled)
{
    eosTimerRunning_ = enabled;
    if (TimerEOSViewfinder)
        TimerEOSViewfinder->setEnabled(enabled);
}

void TTetherbox::setPS2ViewfinderTimer(bool enabled)
{
    ps2TimerRunning_ = enabled;
    if (TimerPS2Viewfinder)
        TimerPS2Viewfinder->setEnabled(enabled);
}

std::size_t TTetherbox::PendingPTPTransferCount() const
{
    std::lock_guard lock(ptpMutex_);
    return pendingPTP_.size();
}

ViewfinderPositionType TTetherbox::ViewfinderMetadata() const
{
    std::lock_guard lock(metadataMutex_);
    return metadata_;
}

} // namespace tbx
