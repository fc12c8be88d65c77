// The engine with the real PTP driver over the PRSDK.DLL stand-in (Windows XP reported): what the
// driver writes, what the host receives, and frames on the SDK's thread racing the stop.
#include "Scratch.h"
#include "StandIns.h"
#include "drivers/Drivers.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace tbx::test {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::HasSubstr;

const sim::ControlClient &prSim()
{
    return test::standIn("PRSDK.dll");
}

class PrSimTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock_);
        platform::setOsVersionOverride(platform::OsVersion{5, 1});
        ASSERT_EQ(prSim().Reset(), 0u) << prSim().lastError();
        // Only the PTP driver is real; the other families find nothing.
        DriverArray all = MakeDrivers();
        DriverArray drivers;
        for (int slot = 0; slot < kDriverSlotCount; ++slot)
            drivers[static_cast<std::size_t>(slot)] = std::make_unique<AbsentFamilyDriver>("other");
        drivers[SlotPTP] = std::move(all[SlotPTP]);
        engine_ = std::make_unique<TTetherbox>(std::move(drivers));
        engine_->LibraryFolder = test::redistFolder();
    }
    void TearDown() override
    {
        if (engine_ && engine_->EnumerationOpen())
            engine_->CloseCameraEnumeration();
        engine_.reset();
        EXPECT_EQ(prSim().GetObjectCount(), 0u) << "a camera object was left behind";
        prSim().ClearFaults();
        platform::clearOsVersionOverride();
        platform::setClock(nullptr);
    }

    void scenario(const std::string &properties, const std::string &more = "")
    {
        const std::string json = R"({"cameras": [{"id": "a", "family": "PowerShot", "description": "PowerShot G9")" +
                                 more + R"(, "properties": {)" + properties + "}}]}";
        ASSERT_EQ(prSim().LoadScenario(json.c_str()), 0u) << prSim().lastError();
    }
    ConnectInfoType connect()
    {
        engine_->OpenCameraEnumeration();
        ConnectInfoType info;
        engine_->Connect(CamModPowerShot, 0, info);
        return info;
    }
    RemoteStartInfoType remoteStart(bool probe = false, ReleaseModeType mode = ReleaseModeOnlyToPC)
    {
        RemoteStartInfoType info;
        engine_->RemoteStart(mode, ReleaseDataKindTakeOnlyPicture, info, "", probe);
        return info;
    }
    /// The stand-in's call lines since the last call, which clears them.
    std::vector<std::string> calls()
    {
        prSim().WaitIdle(30000);
        std::vector<std::string> lines = prSim().callLogLines();
        prSim().ClearCallLog();
        return lines;
    }
    void tick(int ticks = 1)
    {
        prSim().WaitIdle(30000);
        platform::runFor(25 * static_cast<platform::Millis>(ticks));
    }
    static bool wrote(const std::vector<std::string> &lines, const std::string &args)
    {
        return std::ranges::any_of(lines, [&](const std::string &line) {
            return line.starts_with("PR_SetDevicePropValue(") && line.find(args) != std::string::npos;
        });
    }

    platform::VirtualClock clock_;
    std::unique_ptr<TTetherbox> engine_;
    test::ScratchFolder scratch_{"tbx-prsim"};
    const fs::path &dir_ = scratch_.path();
};

TEST_F(PrSimTest, WritesFollowTheModeRulesAndRefusalsComeFirst)
{
    scenario(R"("BatteryKind": 6)");
    EXPECT_EQ(connect().BatterySource, 0);
    calls();
    EXPECT_THROW(remoteStart(false, ReleaseModeBothPCAndCamera), ECamException);
    EXPECT_THAT(calls(), testing::IsEmpty()) << "release control started before the refusal";
    remoteStart();
    calls();

    RemoteParamsType params;
    params.Av = 5;
    engine_->RemoteSetRemoteParams(params);
    EXPECT_FALSE(wrote(calls(), "0xD01D")) << "Av written outside its modes";
    params.ImageMode = 18;
    engine_->RemoteSetRemoteParams(params);
    const auto both = calls();
    EXPECT_TRUE(wrote(both, "0xD00C, 1, 3)"));
    EXPECT_TRUE(wrote(both, "0xD01D, 2, 19)"));
    params = {};
    params.DriveMode = 7;
    engine_->RemoteSetRemoteParams(params);
    const auto drive = calls();
    ASSERT_EQ(drive.size(), 2u);
    EXPECT_THAT(drive[0], HasSubstr("0xD00E, 1, 2)"));
    EXPECT_THAT(drive[1], HasSubstr("0xD009, 2, 20)"));
    engine_->RemoteStartViewfinder(false);
    calls();
    engine_->RemoteSetViewfinderOutput(3);
    EXPECT_THAT(calls(), testing::IsEmpty());
    engine_->RemoteStopViewfinder();
}

TEST_F(PrSimTest, ProbingACameraWithoutExposureCompensation)
{
    scenario(R"("ExposureComp": null)");
    connect();
    std::vector<int> progress;
    engine_->OnRemoteProbeParamEvent = [&](int percent) { progress.push_back(percent); };
    calls();
    const RemoteStartInfoType info = remoteStart(true);
    tick(30);
    EXPECT_THAT(progress,
                ElementsAre(5, 10, 14, 19, 24, 29, 33, 38, 43, 48, 52, 57, 62, 67, 71, 76, 81, 86, 90, 95, 100));
    const auto &exposure = info.ParamSupport.ExposureCompensation;
    EXPECT_EQ(exposure[0], 1);
    EXPECT_EQ(std::count(std::begin(exposure), std::end(exposure), 1), 1);
    EXPECT_THAT(calls(), testing::Not(testing::Contains(HasSubstr("PR_GetDevicePropDesc(0x1, 0xD01F"))));
    EXPECT_EQ(info.ParamSupport.ImageMode[0], 0) << "a listed property is offered";
}

struct ZoomCase {
    int optical;
    int maxOptical;
};
class PrSimZoomTest : public PrSimTest, public testing::WithParamInterface<ZoomCase> {};

TEST_P(PrSimZoomTest, TheOpticalLimitGivesTheLastOpticalPosition)
{
    scenario(R"("ZoomPos": {"value": 12, "range": [0, 60]}, "EZoomStartPos": )" + std::to_string(GetParam().optical));
    connect();
    remoteStart();
    const ZoomPosType pos = engine_->RemoteGetZoomPos();
    EXPECT_EQ(pos.CurrentZoomPos, 12);
    EXPECT_EQ(pos.MaxZoomPos, 60);
    EXPECT_EQ(pos.MaxOpticalZoomPos, GetParam().maxOptical);
}
INSTANTIATE_TEST_SUITE_P(Limits, PrSimZoomTest, testing::Values(ZoomCase{255, 60}, ZoomCase{5, 4}));

TEST_F(PrSimTest, AReleasedPictureIsTransferredInBlocksAndWrittenWhole)
{
    scenario("", R"(, "picture": {"width": 1600, "height": 1200})");
    connect();
    remoteStart();
    std::vector<int> released, percents;
    engine_->OnRemoteEvent = [&](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &) {
        released.push_back(event);
    };
    engine_->OnRemoteTakePictureEvent = [&](int percent) { percents.push_back(percent); };
    engine_->RemoteTakePicture();
    tick(4);
    ASSERT_THAT(released, testing::Contains(int(RemoteEventCallbackReleaseComplete)));
    calls();
    fs::create_directories(dir_);
    const fs::path file = dir_ / "IMG.JPG";
    engine_->RemoteGetPicture(file.string(), 1);
    tick(40);
    EXPECT_THAT(calls().front(), HasSubstr(", 0xC008, 100000,"));
    EXPECT_EQ(fs::file_size(file), 1600u * 1200u / 2u);
    EXPECT_GE(percents.size(), 10u);
    EXPECT_EQ(percents.back(), 100);

    // A cable pulled during the next transfer leaves no file.
    engine_->RemoteTakePicture();
    tick(4);
    ASSERT_EQ(prSim().Unplug("a", 150000), 0u);
    const fs::path cut = dir_ / "CUT.JPG";
    EXPECT_THROW(engine_->RemoteGetPicture(cut.string(), 1), ECamException);
    EXPECT_FALSE(fs::exists(cut));
}

/// How a test ends frames arriving on the SDK's thread.
enum class FrameEnd { Stop, Destroy };
struct FrameCase {
    bool sdkThread;
    FrameEnd end;
};
class PrSimFrameTest : public PrSimTest, public testing::WithParamInterface<FrameCase> {};

TEST_P(PrSimFrameTest, NoFrameReachesTheHostAfterTheViewfinderEnds)
{
    scenario("", R"(, "liveView": {"width": 160, "height": 120})");
    connect();
    remoteStart();
    std::mutex mutex;
    std::condition_variable arrived;
    int frames = 0;
    std::atomic<bool> ended{false}, late{false};
    engine_->OnViewfinderEvent = [&](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
        if (ended)
            late = true;
        EXPECT_GT(jpeg.size(), 2u);
        std::lock_guard lock(mutex);
        ++frames;
        arrived.notify_all();
    };
    engine_->RemoteStartViewfinder(GetParam().sdkThread);
    if (GetParam().sdkThread) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(30), [&] { return frames >= 3; }));
    } else {
        // The stand-in sends a frame every 20 ms of real time; each waits in the queue for a tick.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (frames < 3 && std::chrono::steady_clock::now() < limit) {
            tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GE(frames, 3);
    }
    if (GetParam().end == FrameEnd::Stop)
        engine_->RemoteStopViewfinder();
    else
        engine_.reset();
    ended = true;
    if (engine_)
        tick(4);
    EXPECT_FALSE(late) << "a frame reached the host after the viewfinder ended";
}
INSTANTIATE_TEST_SUITE_P(Deliveries, PrSimFrameTest,
                         testing::Values(FrameCase{false, FrameEnd::Stop}, FrameCase{true, FrameEnd::Stop},
                                         FrameCase{false, FrameEnd::Destroy}, FrameCase{true, FrameEnd::Destroy}));

} // namespace
} // namespace tbx::test
