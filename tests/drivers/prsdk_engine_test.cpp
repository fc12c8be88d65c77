// The engine over the real PTP driver (on an in-process PRSDK) and a recording legacy driver:
// how the two PowerShot lists meet, and what reaches the host.
#include "EngineFixture.h"
#include "PrFake.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tbx::test {
namespace {

using testing::ElementsAre;

class PrEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock_);
        platform::setOsVersionOverride(platform::OsVersion{5, 1});
        prtest::g_camera = &camera_;
        camera_.addG9();
        DriverArray drivers;
        auto legacy = std::make_unique<RecordingDriver>("CD");
        legacy_ = legacy.get();
        drivers[SlotLegacy] = std::move(legacy);
        drivers[SlotPTP] = std::make_unique<prsdk::TPRSDK>(prtest::fakeSdk());
        drivers[SlotGen2] = std::make_unique<RecordingDriver>("PS");
        drivers[SlotEOS] = std::make_unique<RecordingDriver>("ED");
        engine_ = std::make_unique<TTetherbox>(std::move(drivers));
    }
    void TearDown() override
    {
        engine_.reset();
        platform::clearOsVersionOverride();
        platform::setClock(nullptr);
    }
    StringList powerShots() { return *engine_->OpenCameraEnumeration().PowerShot; }

    platform::VirtualClock clock_;
    prtest::FakeCamera camera_;
    RecordingDriver *legacy_ = nullptr;
    std::unique_ptr<TTetherbox> engine_;
};

TEST_F(PrEngineTest, PtpCamerasFollowTheLegacyOnesAndTheirIndexCountsThem)
{
    legacy_->cameras = {"PowerShot A70", "PowerShot S45"};
    EXPECT_THAT(powerShots(), ElementsAre("PowerShot A70", "PowerShot S45", "PowerShot G9"));
    ConnectInfoType info;
    try {
        engine_->Connect(CamModPowerShot, 3, info);
        FAIL() << "index 3 connected";
    } catch (const ECamException &e) {
        EXPECT_THAT(e.what(), testing::HasSubstr("There are only 1 new PowerShot cameras connected. Currently is "
                                                 "parameter ConnectToCamera = 3 and2 old Powershot"));
    }
    engine_->Connect(CamModPowerShot, 2, info);
    EXPECT_EQ(info.CameraModelName, "PowerShot G9");
    EXPECT_EQ(legacy_->count("Connect"), 0);
}

TEST_F(PrEngineTest, ACameraBothSdksReportIsListedOnceAsAPtpCamera)
{
    legacy_->cameras = {"PowerShot G9", "PowerShot A70"};
    EXPECT_THAT(powerShots(), ElementsAre("PowerShot A70", "PowerShot G9"));
    ConnectInfoType info;
    engine_->Connect(CamModPowerShot, 1, info);
    EXPECT_EQ(info.CameraModelName, "PowerShot G9");
    EXPECT_EQ(legacy_->count("Connect"), 0);
}

TEST_F(PrEngineTest, ProbeProgressReachesTheHostInItsOrder)
{
    powerShots();
    ConnectInfoType info;
    engine_->Connect(CamModPowerShot, 0, info);
    std::vector<int> progress;
    engine_->OnRemoteProbeParamEvent = [&](int percent) { progress.push_back(percent); };
    RemoteStartInfoType start;
    engine_->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, start, "", true);
    platform::runFor(25 * 30);
    EXPECT_THAT(progress,
                ElementsAre(5, 10, 14, 19, 24, 29, 33, 38, 43, 48, 52, 57, 62, 67, 71, 76, 81, 86, 90, 95, 100));
}

TEST_F(PrEngineTest, AModernWindowsNeverLoadsThePtpSdk)
{
    platform::setOsVersionOverride(platform::OsVersion{10, 0});
    legacy_->cameras = {"PowerShot A70"};
    EXPECT_THAT(powerShots(), ElementsAre("PowerShot A70"));
    EXPECT_FALSE(camera_.loaded);
}

} // namespace
} // namespace tbx::test
