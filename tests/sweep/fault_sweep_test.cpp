// The fault sweep. Each integration scenario of a camera family runs once cleanly with the
// stand-in's call log on; then once for every SDK call site of that log (an SDK function within
// one step of the scenario) with its first call in that step failing, for each of the family's
// codes for busy, camera gone, internal error and invalid handle; and once with the camera
// unplugged before each step. After every run the stand-in must have every object back, a step
// that failed must have told the host which call failed (or given the system's own message), no
// picture file may be shorter than the clean run's, and a fresh control must work.
//
// A family joins with a row of kFamilies. By default each scenario runs every TBX_SWEEP_STRIDE-th
// faulted run (25 unless set), starting at an offset of its own; TBX_SWEEP_STRIDE=1 runs them all.
#include "EosFixture.h"
#include "Scratch.h"

#include "control/TetherboxActiveX.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace tbx::test {
namespace {

namespace fs = std::filesystem;

/// What a step works with: the control and the run's own folder.
struct Host {
    TTetherboxActiveX &control;
    fs::path dir;
    int cameraType;
    std::string file(const char *name) const { return (dir / name).string(); }
};
using Step = std::function<void(Host &)>;

struct Scenario {
    const char *name;
    std::vector<Step> steps;
};

struct Family {
    const char *name;
    int cameraType;
    const char *cameraId; ///< the stand-in's camera the scenarios use
    const sim::ControlClient &(*standIn)(); ///< the family's stand-in
    const char *scenario;                   ///< loaded after each reset; null: the built-in one
    platform::OsVersion os;                 ///< the Windows version the runs report
    std::uint32_t codes[4]; ///< busy, camera gone, internal error, invalid handle
    std::set<std::string> notFailed; ///< calls that answer counts, not results
    std::vector<Scenario> scenarios;
};

/// A faulted run: the SDK call that fails (empty: the camera is unplugged) before step `step`.
struct Fault {
    int step = 0;
    std::string call;
    std::uint32_t code = 0;
};

struct Outcome {
    int failedStep = -1;
    std::string failure;
    std::vector<std::vector<std::string>> calls; ///< the SDK calls of each step that ran
    std::map<std::string, std::uintmax_t> pictures;
    std::uint32_t objectsLeft = 0;
};

// ---- The EOS family ----------------------------------------------------------------------------

Step openStep = [](Host &h) { h.control.OpenCameraEnumeration(); };
Step connectStep = [](Host &h) { h.control.Connect(h.cameraType, 0); };
Step closeStep = [](Host &h) { h.control.CloseCameraEnumeration(); };
Step remoteStart(int mode, bool probe)
{
    return [=](Host &h) { h.control.RemoteStart(mode, ReleaseDataKindTakeOnlyPicture, probe, h.dir.string()); };
}
Step shoot = [](Host &h) { h.control.RemoteTakePicture(); };
Step liveView(int method)
{
    // Stream mode pulls and drops the frames: without a host handler no address is handed over,
    // which a 64-bit process could not do for every frame.
    return [=](Host &h) {
        if (method == ViewfinderCallbackFilename)
            h.control.OnViewfinderEvent = [](const std::string &, std::int32_t, std::int32_t, bool, std::int32_t,
                                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {};
        h.control.RemoteStartViewfinder(method, false, method == ViewfinderCallbackFilename ? h.file("frames") : "");
    };
}
Step stopLiveView = [](Host &h) { h.control.RemoteStopViewfinder(); };

std::vector<Scenario> eosScenarios()
{
    return {
        {"Connect", {openStep, connectStep, [](Host &h) { h.control.Disconnect(); }, closeStep}},
        {"RemoteStartProbeThenCache",
         {openStep, connectStep, remoteStart(ReleaseModeOnlyToPC, true), [](Host &h) { h.control.RemoteEnd(); },
          remoteStart(ReleaseModeOnlyToPC, true), closeStep}},
        {"Parameters",
         {openStep, connectStep, remoteStart(ReleaseModeOnlyToPC, false),
          [](Host &h) {
              h.control.RemoteGetCameraCacheParameters();
              h.control.RemoteSetRemoteParams(RemoteParamISO, h.control.RemoteGetRemoteParams(RemoteParamISO));
          },
          [](Host &h) { h.control.RemoteSaveCameraRemoteParams(h.file("params.bin")); },
          [](Host &h) { h.control.RemoteLoadCameraRemoteParams(h.file("params.bin")); }, closeStep}},
        {"ShootOnlyToPC",
         {openStep, connectStep, remoteStart(ReleaseModeOnlyToPC, false), shoot,
          [](Host &h) { h.control.RemoteGetPicture(h.file("thumb.jpg"), 0); },
          [](Host &h) { h.control.RemoteGetPicture(h.file("shot.jpg"), 1); }, closeStep}},
        {"ShootToBoth",
         {openStep, connectStep, remoteStart(ReleaseModeBothPCAndCamera, false), shoot,
          [](Host &h) { h.control.RemoteGetPicture(h.file("shot.jpg"), 1); }, closeStep}},
        {"ShootOnlyToCamera",
         {openStep, connectStep, remoteStart(ReleaseModeOnlyToCamera, false), shoot,
          [](Host &h) { h.control.RemoteGetCFPicture(h.file("card.jpg"), true); }, closeStep}},
        {"LiveViewFileAndMovie",
         {openStep, connectStep, remoteStart(ReleaseModeOnlyToCamera, false), liveView(ViewfinderCallbackFilename),
          [](Host &h) { h.control.RemoteGetViewfinderAutofocusInfo(0); },
          [](Host &h) { h.control.RemoteStartMovieRecording(); },
          [](Host &h) { h.control.RemoteEndMovieRecording(); }, stopLiveView,
          [](Host &h) { h.control.RemoteGetMovie(h.file("movie.mp4"), true); }, closeStep}},
        {"LiveViewStream", {openStep, connectStep, remoteStart(ReleaseModeOnlyToPC, false), liveView(ViewfinderCallbackStream),
                            stopLiveView, closeStep}},
        {"Collection",
         {openStep, connectStep, [](Host &h) { h.control.OpenCameraCollection(h.dir.string(), true); },
          [](Host &h) { h.control.OpenCameraCollection_GetThumbnail(0, h.file("thumbnail.jpg")); },
          [](Host &h) { h.control.GetPicture(1, false, h.file("collected.jpg")); },
          [](Host &h) { h.control.DeletePicture(0); }, [](Host &h) { h.control.CloseCameraCollection(); }, closeStep}},
        {"Housekeeping",
         {openStep, connectStep, [](Host &h) { h.control.SetOwnerName("Sweep"); },
          [](Host &h) { h.control.GetBodyID(); }, [](Host &h) { h.control.RemoteSupported(); },
          [](Host &h) { h.control.FormatCameraCard(); }, closeStep}},
    };
}

const sim::ControlClient &ptpSim()
{
    static const sim::ControlClient control(redistFolder() + "/PRSDK.dll");
    return control;
}

std::vector<Scenario> ptpScenarios()
{
    const Step connect = [](Host &h) { h.control.Connect(CamModPowerShot, 0); };
    return {
        {"Connect", {openStep, connect, [](Host &h) { h.control.Disconnect(); }, closeStep}},
        {"RemoteStartProbe", {openStep, connect, remoteStart(ReleaseModeOnlyToPC, true), closeStep}},
        {"Shoot",
         {openStep, connect, remoteStart(ReleaseModeOnlyToPC, false), shoot,
          [](Host &h) { h.control.RemoteGetPicture(h.file("shot.jpg"), 1); }, closeStep}},
        {"ParametersAndZoom",
         {openStep, connect, remoteStart(ReleaseModeOnlyToPC, false),
          [](Host &h) {
              h.control.RemoteSetRemoteParams(RemoteParamISO, h.control.RemoteGetRemoteParams(RemoteParamISO));
          },
          [](Host &h) { h.control.RemoteSetZoomPos(h.control.RemoteGetZoomPos_CurrentZoomPos() + 1); }, closeStep}},
        {"LiveView", {openStep, connect, remoteStart(ReleaseModeOnlyToPC, false), liveView(ViewfinderCallbackFilename),
                      [](Host &h) { h.control.RemoteActivateViewfinderAuto(false); }, stopLiveView, closeStep}},
        {"Housekeeping",
         {openStep, connect, [](Host &h) { h.control.SetOwnerName("Sweep"); },
          [](Host &h) { h.control.RemoteSupported(); }, closeStep}},
    };
}

const sim::ControlClient &legacySim()
{
    static const sim::ControlClient control(redistFolder() + "/CDSDK.dll");
    return control;
}

std::vector<Scenario> legacyScenarios()
{
    const Step connect = [](Host &h) { h.control.Connect(CamModPowerShot, 0); };
    return {
        {"Connect", {openStep, connect, [](Host &h) { h.control.Disconnect(); }, closeStep}},
        {"RemoteStartProbeThenCache",
         {openStep, connect, remoteStart(ReleaseModeOnlyToPC, true), [](Host &h) { h.control.RemoteEnd(); },
          remoteStart(ReleaseModeOnlyToPC, true), closeStep}},
        {"ShootOnlyToPC",
         {openStep, connect, remoteStart(ReleaseModeOnlyToPC, false), shoot,
          [](Host &h) { h.control.RemoteGetPicture(h.file("shot.jpg"), 1); }, closeStep}},
        {"Viewfinder",
         {openStep, connect, remoteStart(ReleaseModeOnlyToPC, false), liveView(ViewfinderCallbackFilename),
          [](Host &h) { h.control.RemoteSetViewfinderOutput(0); }, stopLiveView, closeStep}},
        {"Collection",
         {openStep, connect, [](Host &h) { h.control.OpenCameraCollection(h.dir.string(), true); },
          [](Host &h) { h.control.GetPicture(1, false, h.file("collected.jpg")); },
          [](Host &h) { h.control.DeletePicture(0); }, [](Host &h) { h.control.CloseCameraCollection(); }, closeStep}},
        {"Housekeeping",
         {openStep, connect, [](Host &h) { h.control.SetOwnerName("Sweep"); },
          [](Host &h) { h.control.RemoteSupported(); }, [](Host &h) { h.control.FormatCameraCard(); }, closeStep}},
    };
}

// ---- The PowerShot generation-2 family ---------------------------------------------------------

/// The EOS scenarios that a compact camera has (no bulb, movies or release modes of its own), and
/// its zoom and clock.
std::vector<Scenario> gen2Scenarios()
{
    std::vector<Scenario> rows;
    for (Scenario &scenario : eosScenarios()) {
        const std::string name = scenario.name;
        if (name != "ShootToBoth" && name != "ShootOnlyToCamera" && name != "LiveViewFileAndMovie")
            rows.push_back(std::move(scenario));
    }
    rows.push_back({"ZoomAndClock",
                    {openStep, connectStep, remoteStart(ReleaseModeOnlyToPC, false),
                     [](Host &h) {
                         h.control.RemoteSetZoomPos(7);
                         h.control.RemoteGetZoomPos_CurrentZoomPos();
                     },
                     [](Host &h) { h.control.SetTimeInCamera(2026, 12, 24, 18, 30, 5, 0); }, closeStep}});
    return rows;
}

constexpr const char *kGen2Scenario = R"({"cameras": [{"id": "ps1", "family": "PowerShot generation 2",
    "volumes": [{"label": "SD1", "items": [{"folder": "DCIM", "items": [{"folder": "100___01", "items": [
        {"file": "IMG_0001.JPG"}, {"file": "IMG_0002.JPG"}]}]}]}]}]})";

const sim::ControlClient &gen2Sim()
{
    return simOf(test::Family::Gen2);
}

const sim::ControlClient &eosSim()
{
    return simOf(test::Family::EOS);
}


const std::vector<Family> &families()
{
    static const std::vector<Family> rows = {
        {"EOS", CamModEOS, "eos1", &eosSim, nullptr, {6, 1},
         {sdk::EDS_ERR_DEVICE_BUSY, sdk::EDS_ERR_COMM_DISCONNECTED, sdk::EDS_ERR_INTERNAL_ERROR,
          sdk::EDS_ERR_INVALID_HANDLE},
         {"EdsRetain", "EdsRelease"},
         eosScenarios()},
        // PTP PowerShot cameras are offered on Windows XP only.
        {"PowerShot", CamModPowerShot, "g9", &ptpSim,
         R"({"cameras": [{"id": "g9", "family": "PowerShot", "description": "PowerShot G9",
             "picture": {"width": 320, "height": 240}, "liveView": {"width": 160, "height": 120},
             "properties": {"ZoomPos": {"value": 0, "range": [0, 60]}}}]})",
         {5, 1},
         {0x00102019, 0x0040048F, 0x00200002, 0x00200022},
         {},
         ptpScenarios()},
        {"Legacy", CamModPowerShot, "g5", &legacySim,
         R"({"cameras": [{"id": "g5", "family": "PowerShot legacy", "description": "Canon PowerShot G5",
             "volumes": [{"label": "CF1", "items": [{"folder": "DCIM", "items": [{"folder": "100CANON", "items": [
             {"file": "IMG_0001.JPG"}, {"file": "IMG_0002.JPG"}]}]}]}]}]})",
         {6, 1},
         {0x0C000081, 0x0C0000C1, 0x0C000002, 0x0C000061},
         {},
         legacyScenarios()},
        {"Gen2", CamModPowerShotGen2, "ps1", &gen2Sim, kGen2Scenario, {6, 1},
         {sdk::EDS_ERR_DEVICE_BUSY, sdk::EDS_ERR_COMM_DISCONNECTED, sdk::EDS_ERR_INTERNAL_ERROR,
          sdk::EDS_ERR_INVALID_HANDLE},
         {"EdsRetain", "EdsRelease"},
         gen2Scenarios()},
    };
    return rows;
}

// ---- One run -----------------------------------------------------------------------------------

/// Lets the stand-in's event thread deliver what it holds, then \p ms of virtual time pass.
void settle(const sim::ControlClient &standIn, platform::Millis ms)
{
    standIn.WaitIdle(kSettleLimitMs);
    platform::runFor(ms);
    standIn.WaitIdle(kSettleLimitMs);
}

Outcome runScenario(const Family &family, const Scenario &scenario, const std::optional<Fault> &fault)
{
    const sim::ControlClient &standIn = family.standIn();
    platform::setOsVersionOverride(family.os);
    EXPECT_EQ(standIn.Reset(), 0u);
    if (family.scenario != nullptr) {
        EXPECT_EQ(standIn.LoadScenario(family.scenario), 0u) << standIn.lastError();
    }
    const std::uint32_t objects = standIn.GetObjectCount();
    const ScratchFolder scratch("tbx-sweep");
    const fs::path &dir = scratch.path();
    Outcome out;
    {
        TTetherboxActiveX control;
        control.LibraryFolder = redistFolder();
        std::string timerError;
        control.OnTimerError = [&](const std::string &message) {
            if (timerError.empty())
                timerError = message;
        };
        Host host{control, dir, family.cameraType};
        for (int i = 0; i < static_cast<int>(scenario.steps.size()) && out.failedStep < 0; ++i) {
            if (fault && fault->step == i) {
                if (fault->call.empty())
                    standIn.DetachCamera(family.cameraId);
                else
                    standIn.InjectFault(fault->call.c_str(), fault->code, 1);
            }
            standIn.WaitIdle(kSettleLimitMs);
            standIn.ClearCallLog();
            try {
                scenario.steps[static_cast<std::size_t>(i)](host);
                settle(standIn, 200);
            } catch (const std::exception &e) {
                out.failure = e.what();
            }
            standIn.ClearFaults();
            standIn.WaitIdle(kSettleLimitMs);
            std::vector<std::string> names;
            for (const std::string &line : standIn.callLogLines())
                names.push_back(sim::callName(line));
            out.calls.push_back(std::move(names));
            if (out.failure.empty())
                out.failure = timerError;
            if (!out.failure.empty())
                out.failedStep = i;
        }
    } // the control closes whatever is still open
    settle(standIn, 0);
    out.objectsLeft = standIn.GetObjectCount() - objects;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".jpg" || ext == ".mp4"))
            out.pictures[entry.path().filename().string()] = entry.file_size();
    }
    return out;
}

std::string hex8(std::uint32_t code)
{
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

// ---- The sweep ---------------------------------------------------------------------------------

struct SweepCase {
    const Family *family;
    const Scenario *scenario;
    int index;
};

void PrintTo(const SweepCase &c, std::ostream *out)
{
    *out << c.family->name << "/" << c.scenario->name;
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {
protected:
    void SetUp() override
    {
        platform::setClock(&clock_);
        platform::setOsVersionOverride(platform::OsVersion{6, 1});
    }
    void TearDown() override
    {
        for (const Family &family : families())
            family.standIn().ClearFaults();
        platform::setClock(nullptr);
        platform::clearOsVersionOverride();
    }
    platform::VirtualClock clock_;
};

TEST_P(FaultSweep, EveryCallSiteFailingAndEveryUnplugLeavesNothingBehind)
{
    const Family &family = *GetParam().family;
    const Scenario &scenario = *GetParam().scenario;
    const Outcome clean = runScenario(family, scenario, std::nullopt);
    ASSERT_EQ(clean.failedStep, -1) << "the clean run failed: " << clean.failure;
    ASSERT_EQ(clean.objectsLeft, 0u);

    std::vector<Fault> faults;
    for (int step = 0; step < static_cast<int>(clean.calls.size()); ++step) {
        std::set<std::string> sites(clean.calls[static_cast<std::size_t>(step)].begin(),
                                    clean.calls[static_cast<std::size_t>(step)].end());
        for (const std::string &call : sites)
            if (!family.notFailed.contains(call))
                for (std::uint32_t code : family.codes)
                    faults.push_back({step, call, code});
        faults.push_back({step, "", 0});
    }
    const char *strideText = std::getenv("TBX_SWEEP_STRIDE");
    const std::size_t stride = std::max(1, strideText != nullptr ? std::atoi(strideText) : 25);
    std::size_t runs = 0;
    for (std::size_t i = static_cast<std::size_t>(GetParam().index) % stride; i < faults.size(); i += stride) {
        const Fault &fault = faults[i];
        const std::string what = fault.call.empty() ? "unplugged before step " + std::to_string(fault.step)
                                                    : fault.call + " failing with " + hex8(fault.code) +
                                                          " in step " + std::to_string(fault.step);
        SCOPED_TRACE(what);
        const Outcome run = runScenario(family, scenario, fault);
        ++runs;
        EXPECT_EQ(run.objectsLeft, 0u) << "SDK objects not given back";
        if (run.failedStep >= 0 && run.failure.find("errorcode") != std::string::npos && !fault.call.empty() &&
            run.failedStep == fault.step) {
            EXPECT_TRUE(run.failure.find(fault.call) != std::string::npos &&
                        run.failure.find(hex8(fault.code)) != std::string::npos)
                << "the host was told of another call: " << run.failure;
        }
        for (const auto &[name, size] : run.pictures) {
            const auto whole = clean.pictures.find(name);
            EXPECT_TRUE(whole != clean.pictures.end() && whole->second == size)
                << name << " pretends to be a whole picture (" << size << " bytes)";
        }
        const Outcome next = runScenario(family, family.scenarios.front(), std::nullopt);
        EXPECT_EQ(next.failedStep, -1) << "a fresh control after the run failed: " << next.failure;
    }
    RecordProperty("runs", static_cast<int>(runs));
    RecordProperty("faults", static_cast<int>(faults.size()));
    std::printf("%s/%s: %zu of %zu faulted runs\n", family.name, scenario.name, runs, faults.size());
}

std::vector<SweepCase> sweepCases()
{
    std::vector<SweepCase> cases;
    for (const Family &family : families())
        for (const Scenario &scenario : family.scenarios)
            cases.push_back({&family, &scenario, static_cast<int>(cases.size())});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Families, FaultSweep, ::testing::ValuesIn(sweepCases()),
                         [](const ::testing::TestParamInfo<SweepCase> &param) {
                             return std::string(param.param.family->name) + "_" + param.param.scenario->name;
                         });

} // namespace
} // namespace tbx::test
