#include "EosFixture.h"

#include "drivers/Drivers.h"

#include "../../sim/TbxSimCallLog.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tbx::test {

namespace {

void *symbol(const char *name)
{
    const std::string path = redistFolder() + "/EDSDK.dll";
#if defined(_WIN32)
    HMODULE library = LoadLibraryA(path.c_str());
    void *p = library == nullptr ? nullptr : reinterpret_cast<void *>(GetProcAddress(library, name));
#else
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void *p = library == nullptr ? nullptr : dlsym(library, name);
#endif
    if (p == nullptr)
        throw std::runtime_error("The EOS stand-in in " + path + " does not export " + name);
    return p;
}

template <class F>
void bind(F &target, const char *name)
{
    target = reinterpret_cast<F>(symbol(name));
}

SimControl loadControl()
{
    SimControl c;
    bind(c.LoadScenario, "TbxSim_LoadScenario");
    bind(c.Reset, "TbxSim_Reset");
    bind(c.InjectFault, "TbxSim_InjectFault");
    bind(c.ClearFaults, "TbxSim_ClearFaults");
    bind(c.SetBusy, "TbxSim_SetBusy");
    bind(c.GetCallLog, "TbxSim_GetCallLog");
    bind(c.ClearCallLog, "TbxSim_ClearCallLog");
    bind(c.FireEvent, "TbxSim_FireEvent");
    bind(c.SetProperty, "TbxSim_SetProperty");
    bind(c.GetProperty, "TbxSim_GetProperty");
    bind(c.WaitIdle, "TbxSim_WaitIdle");
    bind(c.GetObjectCount, "TbxSim_GetObjectCount");
    bind(c.GetLastError, "TbxSim_GetLastError");
    bind(c.AttachCamera, "TbxSim_AttachCamera");
    bind(c.DetachCamera, "TbxSim_DetachCamera");
    bind(c.Unplug, "TbxSim_Unplug");
    bind(c.ReleaseShutter, "TbxSim_ReleaseShutter");
    return c;
}

} // namespace

std::string redistFolder()
{
    return TBX_REDIST_DIR;
}

const SimControl &sim()
{
    static const SimControl control = loadControl();
    return control;
}

std::vector<std::string> simLog()
{
    // Whatever the SDK has queued by now is handled on its own thread first, so that the calls
    // its handlers make are in the log deterministically rather than at a moment of their choosing.
    sim().WaitIdle(kSettleLimitMs);
    std::string text;
    sim::readCallLog(sim().GetCallLog, text);
    return sim::callLogLines(text);
}

std::vector<std::string> simCalls(const std::string &name)
{
    std::vector<std::string> out;
    for (const std::string &line : simLog())
        if (line.rfind(name + "(", 0) == 0)
            out.push_back(line);
    return out;
}

std::vector<std::string> simCallNames()
{
    std::vector<std::string> out;
    for (const std::string &line : simLog())
        out.push_back(sim::callName(line));
    return out;
}

void clearSimLog()
{
    // Events the SDK still has queued (those of a connect, say) are handled on its own thread and
    // may call into it; let them finish so that they don't land in the log of the next step.
    sim().WaitIdle(kSettleLimitMs);
    sim().ClearCallLog();
}

std::string simError()
{
    char text[1024] = {};
    std::uint32_t needed = 0;
    sim().GetLastError(text, sizeof text, &needed);
    return text;
}

void EosTest::SetUp()
{
    platform::setClock(&clock_);
    platform::setOsVersionOverride(platform::OsVersion{6, 1});
    ASSERT_EQ(sim().Reset(), 0u) << simError();
    DriverArray drivers = MakeDrivers({CamModEOS});
    driver_ = static_cast<eos::TEDSDK *>(drivers[SlotEOS].get());
    engine_ = std::make_unique<TTetherbox>(std::move(drivers));
    engine_->LibraryFolder = redistFolder();
    clearSimLog();
}

void EosTest::TearDown()
{
    destroyEngine();
    sim().ClearFaults();
    platform::setClock(nullptr);
    platform::clearOsVersionOverride();
}

void EosTest::destroyEngine()
{
    if (engine_ && engine_->EnumerationOpen()) {
        try {
            engine_->CloseCameraEnumeration();
        } catch (...) {
        }
    }
    engine_.reset();
    driver_ = nullptr;
}

void EosTest::loadScenario(const std::string &json)
{
    ASSERT_EQ(sim().LoadScenario(json.c_str()), 0u) << simError();
}

ConnectInfoType EosTest::connect(int index)
{
    engine().OpenCameraEnumeration();
    ConnectInfoType info;
    engine().Connect(CamModEOS, index, info);
    clearSimLog();
    return info;
}

void EosTest::startRemote(ReleaseModeType mode)
{
    connect();
    RemoteStartInfoType info;
    engine().RemoteStart(mode, ReleaseDataKindTakeOnlyPicture, info, "", false);
    clearSimLog();
}

void EosTest::tick(int ticks)
{
    sim().WaitIdle(kSettleLimitMs);
    platform::runFor(25 * static_cast<platform::Millis>(ticks));
}

std::uint32_t EosTest::cameraValue(std::uint32_t property)
{
    std::uint32_t value = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(sim().GetProperty("eos1", property, &value, sizeof value, &size), 0u) << simError();
    return value;
}

void EosTest::setCameraValue(std::uint32_t property, std::uint32_t value)
{
    ASSERT_EQ(sim().SetProperty("eos1", property, &value, sizeof value), 0u) << simError();
}

} // namespace tbx::test
