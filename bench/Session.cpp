#include "Session.h"

#include "drivers/Drivers.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace tbx::bench {

namespace {

/// How long the stand-in's event thread may take to deliver what it holds.
constexpr std::uint32_t kIdleWaitMs = 2000;

} // namespace

std::string redistFolder()
{
    return TBX_REDIST_DIR;
}

namespace {
/// The family of the last session.
CamModType gFamily = CamModEOS;

/// One PowerShot generation-2 camera with the built-in EOS camera's card.
constexpr const char *kGen2Camera = R"({"cameras": [{"id": "ps1", "family": "PowerShot generation 2",
    "volumes": [{"label": "SD1", "items": [{"folder": "DCIM", "items": [{"folder": "100CANON", "items": [
        {"file": "IMG_0001.JPG"}, {"file": "IMG_0002.JPG"}, {"file": "IMG_0003.CR3", "size": 1500000},
        {"file": "IMG_0004.JPG"}, {"file": "MVI_0005.MP4", "size": 3000000}]}]}]}]}]})";
} // namespace

const sim::ControlClient &sim()
{
    // Loaded once for the process; the driver's own load gets the same instance.
    static const sim::ControlClient eos(redistFolder() + "/EDSDK.dll");
    static const sim::ControlClient gen2(redistFolder() + "/PSG7XMK2SDK.dll");
    return gFamily == CamModPowerShotGen2 ? gen2 : eos;
}

void checkSim(std::uint32_t result, const std::string &what)
{
    if (result == TBXSIM_OK)
        return;
    throw std::runtime_error(what + " failed (" + std::to_string(result) + "): " + sim().lastError());
}

std::vector<std::string> simLog()
{
    std::string text;
    checkSim(sim::readCallLog(sim().GetCallLog, text), "Reading the call log");
    return sim::callLogLines(text);
}

std::vector<std::string> simCallNames()
{
    std::vector<std::string> names;
    for (const std::string &line : simLog())
        names.push_back(sim::callName(line));
    return names;
}

void waitForSdkThread()
{
    checkSim(sim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in's event thread");
}

void clearSimLog()
{
    waitForSdkThread();
    checkSim(sim().ClearCallLog(), "Clearing the call log");
}

std::int64_t residentKilobytes()
{
#if defined(_WIN32)
    return 0;
#else
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    std::int64_t resident = 0;
    if (!(statm >> pages >> resident))
        return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

Session::Session(const std::string &scenario, CamModType family) : family_(family)
{
    platform::setClock(&clock_);
    gFamily = family;
    const bool gen2 = family == CamModPowerShotGen2;
    try {
        checkSim(sim().Reset(), "Resetting the stand-in");
        const std::string camera = !scenario.empty() ? scenario : gen2 ? kGen2Camera : "";
        if (!camera.empty())
            checkSim(sim().LoadScenario(camera.c_str()), "Loading the scenario");
        DriverArray drivers = MakeDrivers({family});
        driver_ = static_cast<eos::TEDSDK *>(drivers[gen2 ? SlotGen2 : SlotEOS].get());
        engine_ = std::make_unique<TTetherbox>(std::move(drivers));
        engine_->LibraryFolder = redistFolder();
        engine_->OpenCameraEnumeration();
        ConnectInfoType info;
        engine_->Connect(family, 0, info);
        clearSimLog();
    } catch (...) {
        engine_.reset();
        platform::setClock(nullptr);
        throw;
    }
}

std::unique_ptr<TTetherbox> connectPowerShot(const sim::ControlClient &standIn, const char *scenario, int slot,
                                             std::unique_ptr<CamDriver> driver)
{
    auto check = [&](std::uint32_t result, const std::string &what) {
        if (result != TBXSIM_OK)
            throw std::runtime_error(what + " failed (" + std::to_string(result) + "): " + standIn.lastError());
    };
    std::unique_ptr<TTetherbox> engine;
    try {
        check(standIn.Reset(), "Resetting the stand-in");
        check(standIn.LoadScenario(scenario), "Loading the scenario");
        DriverArray drivers = MakeDrivers({});
        drivers[static_cast<std::size_t>(slot)] = std::move(driver);
        engine = std::make_unique<TTetherbox>(std::move(drivers));
        engine->LibraryFolder = redistFolder();
        engine->OpenCameraEnumeration();
        ConnectInfoType info;
        engine->Connect(CamModPowerShot, 0, info);
        RemoteStartInfoType start;
        engine->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, start, "", false);
        check(standIn.WaitIdle(2000), "Waiting for the stand-in");
    } catch (...) {
        engine.reset();
        platform::setClock(nullptr);
        platform::clearOsVersionOverride();
        throw;
    }
    return engine;
}

void closeEngine(std::unique_ptr<TTetherbox> &engine) noexcept
{
    try {
        if (engine->EnumerationOpen())
            engine->CloseCameraEnumeration();
    } catch (...) {
        // Closing is best effort; the engine still goes below.
    }
    engine.reset();
    platform::setClock(nullptr);
}

Session::~Session()
{
    closeEngine(engine_);
}

void Session::startRemote()
{
    RemoteStartInfoType info;
    engine_->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false);
    clearSimLog();
}

void Session::pump(platform::Millis ms)
{
    waitForSdkThread();
    platform::runFor(ms);
}

const sdk::EdsLibrary &Session::library() const
{
    return family_ == CamModPowerShotGen2 ? sdk::PsLibrary() : sdk::EdsdkLibrary();
}

platform::Millis Session::viewfinderPeriod() const
{
    return family_ == CamModPowerShotGen2 ? engine_->PS2ViewfinderRefreshInterval
                                          : engine_->EOSViewfinderRefreshInterval;
}

sdk::EdsCameraRef Session::camera() const
{
    const sdk::EdsCameraRef ref = driver_->Camera();
    if (ref == nullptr)
        throw std::runtime_error("The driver holds no camera");
    return ref;
}

} // namespace tbx::bench
