#include "Session.h"

#include "drivers/Drivers.h"
#include "sim/TbxSimCallLog.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace tbx::bench {

namespace {

template <class F>
void bind(const platform::DynamicLibrary &library, F &target, const char *name)
{
    target = reinterpret_cast<F>(library.symbol(name));
    if (target == nullptr)
        throw std::runtime_error("The EOS stand-in in " + redistFolder() + " does not export " + name);
}

/// Opens the stand-in once for the process; the driver's own load gets the same instance.
const platform::DynamicLibrary &standIn()
{
    static const platform::DynamicLibrary library = [] {
        const std::string path = redistFolder() + "/EDSDK.dll";
        std::optional<platform::DynamicLibrary> opened = platform::DynamicLibrary::open(path);
        if (!opened)
            throw std::runtime_error(path + " could not be loaded: " + platform::DynamicLibrary::lastError());
        return std::move(*opened);
    }();
    return library;
}

SimApi loadSimApi()
{
    const platform::DynamicLibrary &library = standIn();
    SimApi api;
    bind(library, api.LoadScenario, "TbxSim_LoadScenario");
    bind(library, api.Reset, "TbxSim_Reset");
    bind(library, api.GetCallLog, "TbxSim_GetCallLog");
    bind(library, api.ClearCallLog, "TbxSim_ClearCallLog");
    bind(library, api.InjectFault, "TbxSim_InjectFault");
    bind(library, api.FireEvent, "TbxSim_FireEvent");
    bind(library, api.WaitIdle, "TbxSim_WaitIdle");
    bind(library, api.GetObjectCount, "TbxSim_GetObjectCount");
    bind(library, api.GetLastError, "TbxSim_GetLastError");
    return api;
}

/// How long the stand-in's event thread may take to deliver what it holds.
constexpr std::uint32_t kIdleWaitMs = 2000;

} // namespace

std::string redistFolder()
{
    return TBX_REDIST_DIR;
}

const SimApi &sim()
{
    static const SimApi api = loadSimApi();
    return api;
}

void checkSim(std::uint32_t result, const std::string &what)
{
    if (result == TBXSIM_OK)
        return;
    char text[1024] = {};
    std::uint32_t needed = 0;
    sim().GetLastError(text, sizeof text, &needed);
    throw std::runtime_error(what + " failed (" + std::to_string(result) + "): " + text);
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

Session::~Session()
{
    try {
        if (engine_->EnumerationOpen())
            engine_->CloseCameraEnumeration();
    } catch (...) {
        // Closing is best effort; the engine still goes below.
    }
    engine_.reset();
    platform::setClock(nullptr);
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
