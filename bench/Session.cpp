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

const sim::ControlClient &sim()
{
    // Loaded once for the process; the driver's own load gets the same instance.
    static const sim::ControlClient client(redistFolder() + "/EDSDK.dll");
    return client;
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

Session::Session(const std::string &scenario)
{
    platform::setClock(&clock_);
    try {
        checkSim(sim().Reset(), "Resetting the stand-in");
        if (!scenario.empty())
            checkSim(sim().LoadScenario(scenario.c_str()), "Loading the scenario");
        DriverArray drivers = MakeDrivers({CamModEOS});
        driver_ = static_cast<eos::TEDSDK *>(drivers[SlotEOS].get());
        engine_ = std::make_unique<TTetherbox>(std::move(drivers));
        engine_->LibraryFolder = redistFolder();
        engine_->OpenCameraEnumeration();
        ConnectInfoType info;
        engine_->Connect(CamModEOS, 0, info);
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

sdk::EdsCameraRef Session::camera() const
{
    const sdk::EdsCameraRef ref = driver_->Camera();
    if (ref == nullptr)
        throw std::runtime_error("The driver holds no camera");
    return ref;
}

} // namespace tbx::bench
