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

TTetherbox::TTetherbox(DriverPtr cdsdk, DriverPtr prsdk, DriverPtr edsdk, DriverPtr pssdk)
    : cdsdk_(std::move(cdsdk)), prsdk_(std::move(prsdk)), edsdk_(std::move(edsdk)), pssdk_(std::move(pssdk))
{
    if (!cdsdk_ || !prsdk_ || !edsdk_ || !pssdk_)
        throw EAssertionFailed("The camera engine needs all four camera drivers");
    TimerEOSViewfinder = std::make_unique<platform::Timer>([this] { TimerEOSViewfinderTimer(); },
                                                           EOSViewfinderRefreshInterval, false);
    TimerPS2Viewfinder = std::make_unique<platform::Timer>([this] { TimerPS2ViewfinderTimer(); },
                                                           PS2ViewfinderRefreshInterval, false);
    registryIndex_ = EngineRegistry::add(this);
    const EngineHooks hooks{&TTetherbox::QueueProbeProgress};
    cdsdk_->Attach(registryIndex_, cdRecords_, hooks);
    prsdk_->Attach(registryIndex_, prRecords_, hooks);
    edsdk_->Attach(registryIndex_, edRecords_, hooks);
    pssdk_->Attach(registryIndex_, psRecords_, hooks);
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
    for (int family = CamModPowerShot; family <= CamModPowerShotGen2; ++family) {
        try {
            endFamily(family);
        } catch (...) {
        }
    }
    closePTPFile();
    pollTimer_.reset();
    queue_.close();
    cdsdk_.reset();
    prsdk_.reset();
    TimerEOSViewfinder.reset();
    edsdk_.reset();
    TimerPS2Viewfinder.reset();
    pssdk_.reset();
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
        switch (family) {
        case CamModPowerShot:
            cdsdk_->StartSDK(LibraryFolder);
            if (!ptpDisabled_) {
                try {
                    prsdk_->StartSDK(LibraryFolder);
                } catch (...) {
                    // Leave nothing half started behind.
                    try {
                        cdsdk_->EndSDK();
                    } catch (...) {
                    }
                    throw;
                }
            }
            state.family1StartedPTP = !ptpDisabled_;
            break;
        case CamModEOS:
            edsdk_->StartSDK(LibraryFolder);
            break;
        default:
            pssdk_->StartSDK(LibraryFolder);
            break;
        }
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
    switch (family) {
    case CamModPowerShot: {
        std::exception_ptr failure;
        try {
            cdsdk_->EndSDK();
        } catch (...) {
            failure = std::current_exception();
        }
        if (state.family1StartedPTP) {
            state.family1StartedPTP = false;
            prsdk_->EndSDK();
        }
        if (failure)
            std::rethrow_exception(failure);
        break;
    }
    case CamModEOS:
        edsdk_->EndSDK();
        break;
    default:
        pssdk_->EndSDK();
        break;
    }
}

void TTetherbox::enumerateFamily(int family)
{
    // Records of the connected camera's family may still be in use by its driver: keep them
    // until Disconnect and enumerate into fresh lists.
    auto fresh = [&](CameraRecordList &records) {
        if (family == this->family())
            retiredRecords_.push_back(std::move(records));
        records.clear();
    };
    switch (family) {
    case CamModPowerShot:
        fresh(cdRecords_);
        fresh(prRecords_);
        cdsdk_->EnumerateCameras(powerShotNames_);
        if (!ptpDisabled_)
            prsdk_->EnumerateCameras(powerShotNames_);
        break;
    case CamModEOS:
        fresh(edRecords_);
        edsdk_->EnumerateCameras(eosNames_);
        break;
    default:
        fresh(psRecords_);
        pssdk_->EnumerateCameras(ps2Names_);
        break;
    }
}

EnumerationListsType TTetherbox::OpenCameraEnumeration()
{
    framePending_ = false;
    powerShotNames_.clear();
    eosNames_.clear();
    ps2Names_.clear();

    // Families in their fixed order; the first that finds a camera ends the search.
    int found = CamModNone;
    for (int family : {int(CamModPowerShot), int(CamModPowerShotGen2), int(CamModEOS)}) {
        StartTheSDKs(family);
        enumerateFamily(family);
        const StringList &names = family == CamModPowerShot ? powerShotNames_
                                  : family == CamModEOS     ? eosNames_
                                                            : ps2Names_;
        if (!names.empty()) {
            found = family;
            break;
        }
        if (family != this->family())
            endFamily(family);
    }
    // A family an earlier enumeration left running is ended unless it found cameras now or
    // serves the connected camera.
    for (int family = CamModPowerShot; family <= CamModPowerShotGen2; ++family)
        if (sdkStarted_[family] && family != found && family != this->family())
            endFamily(family);

    if (!pollTimer_) {
        queue_.open();
        pollTimer_ = std::make_unique<platform::Timer>([this] { pollTick(); }, kPollIntervalMs, true);
    }
    return EnumerationListsType{&powerShotNames_, &eosNames_, &ps2Names_};
}

void TTetherbox::closeQuietly()
{
    // Best effort: the camera may already be gone, and closing must still end the SDKs.
    if (viewfinderMode_) {
        try {
            viewfinderMode_ = false;
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
    for (int family : {int(CamModPowerShot), int(CamModEOS), int(CamModPowerShotGen2)}) {
        try {
            endFamily(family);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    powerShotNames_.clear();
    eosNames_.clear();
    ps2Names_.clear();
    cdRecords_.clear();
    prRecords_.clear();
    edRecords_.clear();
    psRecords_.clear();
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
    if (index < 0)
        throw ECamException("Cannot connect to camera number " + std::to_string(index) +
                            ": camera numbers start at 0");

    cameraIndex_ = index;
    connection_.FirmwareVersion.clear();
    ConnectInfoType record; // the driver fills a zeroed record
    bool throughPTP = false;
    switch (family) {
    case CamModPowerShot:
        if (static_cast<std::size_t>(index) >= cdRecords_.size() && !ptpDisabled_) {
            ConnectCallbacks callbacks;
            callbacks.ptpEvent = &TTetherbox::PTPEventCallback;
            prsdk_->Connect(callbacks, index, record, registryIndex_);
            throughPTP = true;
        } else {
            // Beyond the legacy cameras with PTP disabled, the legacy driver refuses the index
            // with its own message instead of "connecting" nothing.
            ConnectCallbacks callbacks;
            callbacks.legacyEvent = &TTetherbox::CameraEventCallback;
            cdsdk_->Connect(callbacks, index, record, registryIndex_);
        }
        break;
    default: {
        const bool eos = family == CamModEOS;
        CamDriver &drv = eos ? *edsdk_ : *pssdk_;
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
    viewfinderMode_ = false;
    singleFrame_ = false;
    setEOSViewfinderTimer(false);
    setPS2ViewfinderTimer(false);
    {
        std::lock_guard lock(ptpMutex_);
        pendingPTP_.clear();
    }
    closePTPFile();

    int result = 0;
    switch (family()) {
    case CamModNone:
        break;
    case CamModPowerShot:
        result = powerShotDriver().Disconnect();
        break;
    case CamModEOS:
        result = edsdk_->Disconnect();
        break;
    default:
        result = pssdk_->Disconnect();
        break;
    }
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
    return usesPTP_ ? *prsdk_ : *cdsdk_;
}

CamDriver &TTetherbox::connectedDriver()
{
    switch (requireCamera()) {
    case CamModPowerShot:
        return powerShotDriver();
    case CamModEOS:
        return *edsdk_;
    default:
        return *pssdk_;
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
