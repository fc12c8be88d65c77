// The legacy PowerShot family through the engine, over the CDSDK.DLL stand-in from the build's
// redist folder: the legacy driver in its slot, the virtual clock, and the stand-in's call log to
// see what the driver asked the library.
#include "Scratch.h"
#include "StandIns.h"
#include "drivers/Drivers.h"
#include "drivers/cdsdk/TCDSDK.h"
#include "engine/Tetherbox.h"
#include "platform/Errors.h"
#include "platform/Platform.h"


#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace tbx::test {
namespace {

namespace fs = std::filesystem;

const sim::ControlClient &cd()
{
    return standIn("CDSDK.dll");
}

/// One legacy camera with two pictures on its card; \p extra adds keys to the camera.
std::string scenario(const std::string &extra = "", const std::string &items = R"({"file": "IMG_0001.JPG"},
    {"file": "IMG_0002.JPG"}, {"file": "IMG_0003.JPG"})")
{
    return R"({"cameras": [{"id": "g5", "family": "PowerShot legacy", "description": "Canon PowerShot G5")" + extra +
           R"(, "volumes": [{"label": "CF1", "items": [{"folder": "DCIM", "items": [{"folder": "100CANON",
           "items": [)" +
           items + "]}]}]}]}]}";
}

class CdEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock_);
        platform::setOsVersionOverride(platform::OsVersion{6, 1});
        ASSERT_EQ(cd().Reset(), 0u) << cd().lastError();
        DriverArray drivers = MakeDrivers({});
        drivers[SlotLegacy] = std::make_unique<cdsdk::TCDSDK>(cdsdk::CdsdkLibrary());
        engine_ = std::make_unique<TTetherbox>(std::move(drivers));
        engine_->LibraryFolder = redistFolder();
        engine_->OnRemoteProbeParamEvent = [this](int percent) { progress_.push_back(percent); };
    }
    void TearDown() override
    {
        if (engine_->EnumerationOpen())
            engine_->CloseCameraEnumeration();
        engine_.reset();
        cd().ClearFaults();
        platform::setClock(nullptr);
        platform::clearOsVersionOverride();
    }

    ConnectInfoType connect(const std::string &json = scenario())
    {
        EXPECT_EQ(cd().LoadScenario(json.c_str()), 0u) << cd().lastError();
        engine_->OpenCameraEnumeration();
        ConnectInfoType info;
        engine_->Connect(CamModPowerShot, 0, info);
        clearLog();
        return info;
    }
    RemoteStartInfoType start(bool probe = true, ReleaseModeType mode = ReleaseModeOnlyToPC,
                              ReleaseDataKindType kind = ReleaseDataKindTakeOnlyPicture)
    {
        RemoteStartInfoType info;
        engine_->RemoteStart(mode, kind, info, (dir_ / "cache").string(), probe);
        // The queued progress reaches the host, one event per poll period.
        cd().WaitIdle(30000);
        while (engine_->QueuedEventCount() > 0)
            platform::runFor(25);
        return info;
    }
    void clearLog()
    {
        cd().WaitIdle(30000);
        cd().ClearCallLog();
    }
    /// The call-log lines of \p name since the last clearLog().
    std::vector<std::string> calls(const std::string &name)
    {
        cd().WaitIdle(30000);
        std::vector<std::string> found;
        for (const std::string &line : cd().callLogLines())
            if (sim::callName(line) == name)
                found.push_back(line);
        return found;
    }
    std::vector<std::string> callNames()
    {
        cd().WaitIdle(30000);
        std::vector<std::string> names;
        for (const std::string &line : cd().callLogLines())
            names.push_back(sim::callName(line));
        return names;
    }
    std::string file(const char *name) const { return (dir_ / name).string(); }

    platform::VirtualClock clock_;
    std::unique_ptr<TTetherbox> engine_;
    std::vector<int> progress_;
    ScratchFolder scratch_{"tbx-cdsdk-engine"};
    const fs::path &dir_ = scratch_.path();
};

TEST_F(CdEngineTest, ConnectReadsModelOwnerAndTheBatteryWord)
{
    const ConnectInfoType info = connect(
        scenario(R"(, "ownerName": "Studio 2", "properties": {"Battery": 805306372})"));
    EXPECT_EQ(int(info.CameraModel), int(CamModPowerShot));
    EXPECT_EQ(info.CameraModelName, "Canon PowerShot G5");
    EXPECT_EQ(info.OwnerName, "Studio 2");
    EXPECT_EQ(int(info.BatterySource), 3); // 0x30000004
    EXPECT_EQ(int(info.BatteryStatus), 2);
}

TEST_F(CdEngineTest, OwnerNamesOf31CharactersAreWrittenAnd32Refused)
{
    connect();
    engine_->SetOwnerName(std::string(31, 'n'));
    EXPECT_EQ(calls("CDSetDevicePropertyData").size(), 1u);
    try {
        engine_->SetOwnerName(std::string(32, 'n'));
        ADD_FAILURE();
    } catch (const ECamException &e) {
        EXPECT_STREQ(e.what(), "The owner name to set is too long");
    }
    EXPECT_EQ(calls("CDSetDevicePropertyData").size(), 1u);
}

TEST_F(CdEngineTest, RemoteSupportIsAssumedWhenTheFacultyQueryFails)
{
    connect();
    EXPECT_TRUE(engine_->RemoteSupported());
    cd().InjectFault("CDGetReleaseControlFaculty", 0x0C000081, 1);
    EXPECT_TRUE(engine_->RemoteSupported());
}

TEST_F(CdEngineTest, CollectionDownloadsAndDeletesTheLastPicture)
{
    connect();
    ImageListType list;
    engine_->OpenCameraCollection(dir_.string(), true, list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].Name, "IMG_0003.JPG");
    ASSERT_TRUE(list[2].Thumbnail.has_value());
    EXPECT_GT(list[2].Thumbnail->size(), 100u);

    engine_->GetPicture(2, file("last.jpg"));
    EXPECT_GT(fs::file_size(file("last.jpg")), 1000u);
    engine_->DeletePicture(list, 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].Name, "IMG_0002.JPG");
    EXPECT_THROW(engine_->GetPicture(2, file("gone.jpg")), ECamException);
    engine_->CloseCameraCollection(list);
}

TEST_F(CdEngineTest, AnEmptyCardListsNothingAndWritesNoThumbnailFile)
{
    connect(scenario("", ""));
    ImageListType list;
    engine_->OpenCameraCollection(dir_.string(), true, list);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(CdEngineTest, ProbeReportsItsStepsAndACachedTableSkipsIt)
{
    connect();
    const RemoteStartInfoType probed = start(true, ReleaseModeBothPCAndCamera, ReleaseDataKingTakeBothThumbAndPic);
    ASSERT_EQ(calls("CDSelectReleaseDataKind").size(), 1u);
    EXPECT_NE(calls("CDSelectReleaseDataKind")[0].find(", 0xF)"), std::string::npos)
        << calls("CDSelectReleaseDataKind")[0];
    EXPECT_EQ(progress_, (std::vector<int>{6, 18, 24, 29, 35, 41, 47, 53, 65, 71, 76, 82, 88, 94, 100, 100}));
    EXPECT_EQ(probed.ParamSupport.Av[0], 0);

    engine_->RemoteEnd();
    clearLog();
    progress_.clear();
    const RemoteStartInfoType cached = start();
    EXPECT_TRUE(progress_.empty());
    const auto names = callNames();
    EXPECT_TRUE(std::ranges::none_of(names, [](const std::string &n) { return n.starts_with("CDEnum"); }));
    EXPECT_EQ(0, std::memcmp(&cached.ParamSupport, &probed.ParamSupport, sizeof probed.ParamSupport));
}

TEST_F(CdEngineTest, ACameraWithoutListsThatRefusesManualModeGetsOnlyTheAvNoValueFlag)
{
    connect(scenario(R"(, "properties": {"Enumerations": 0, "ShootingMode": {"value": 1, "allowed": [0, 1, 2]}})"));
    const RemoteStartInfoType info = start();
    const auto &av = info.ParamSupport.Av;
    EXPECT_EQ(av[0], 1);
    EXPECT_TRUE(std::all_of(av + 1, std::end(av), [](std::uint8_t f) { return f == 0; }));
    EXPECT_LE(calls("CDSetAvValue").size(), 1u); // no tries; only the saved aperture written back

    EXPECT_EQ(info.ParamSupport.ImageMode[1], 1);
}

TEST_F(CdEngineTest, SetRemoteParamsWritesOnlyWhatIsGiven)
{
    connect();
    start(false);
    clearLog();
    RemoteParamsType params;
    params.CompQuality = 3;
    engine_->RemoteSetRemoteParams(params);
    EXPECT_TRUE(std::ranges::none_of(callNames(), [](const std::string &n) { return n.starts_with("CDSet"); }));

    params = RemoteParamsType{};
    params.Av = 4; // with ImageMode 0
    params.WhiteBalanceSetting = 13;
    params.WhiteBalanceKelvin = 5200;
    engine_->RemoteSetRemoteParams(params);
    EXPECT_EQ(callNames(), (std::vector<std::string>{"CDSetAvValue", "CDSetWBSetting", "CDSetRelCamSettingData"}));
    EXPECT_NE(calls("CDSetRelCamSettingData").at(0).find("0x1100, 2"), std::string::npos)
        << calls("CDSetRelCamSettingData").at(0);
}

TEST_F(CdEngineTest, ViewfinderOutputAFLockAndZoomPassTheLibrarysValues)
{
    connect();
    start(false);
    engine_->RemoteStartViewfinder(false);
    clearLog();
    engine_->RemoteSetViewfinderOutput(3);
    EXPECT_TRUE(calls("CDSelectViewFinderCameraOutput").empty());
    engine_->RemoteStopViewfinder();
    engine_->RemoteAFLock(true);
    engine_->RemoteAFLock(false);
    const auto locks = calls("CDAFLock");
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_NE(locks[0].find(", 1)"), std::string::npos) << locks[0];
    EXPECT_NE(locks[1].find(", 0)"), std::string::npos) << locks[1];
    const ZoomPosType zoom = engine_->RemoteGetZoomPos();
    EXPECT_EQ(zoom.MaxZoomPos, 16);
    EXPECT_EQ(zoom.MaxOpticalZoomPos, 8);
}

} // namespace
} // namespace tbx::test
