// The PTP driver over an in-process PRSDK: what it writes, reads and refuses.
#include "PrFake.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tbx {
namespace {

using prtest::FakeCamera;
using testing::ElementsAre;
using testing::HasSubstr;

std::vector<int> g_progress;

struct LegacyRecord : CameraRecord {};

class PrDriverTest : public testing::Test {
protected:
    void SetUp() override
    {
        prtest::g_camera = &camera;
        g_progress.clear();
        camera.addG9();
        driver.Attach(0, records,
                      EngineHooks{[](int, int percent) noexcept { g_progress.push_back(percent); }, &legacy});
        driver.StartSDK("lib");
    }

    ConnectInfoType connect(int index = 0)
    {
        driver.EnumerateCameras(names);
        ConnectInfoType info;
        driver.Connect(ConnectCallbacks{}, index, info, 0);
        camera.log.clear();
        return info;
    }
    RemoteStartInfoType remoteStart(bool probe, ReleaseModeType mode = ReleaseModeOnlyToPC)
    {
        RemoteStartInfoType info;
        driver.RemoteStart(mode, ReleaseDataKindTakeOnlyPicture, info, 0, nullptr, "", probe);
        return info;
    }
    void addLegacy(const std::string &name)
    {
        names.push_back(name);
        legacy.push_back(std::make_unique<LegacyRecord>());
    }

    FakeCamera camera;
    CameraRecordList records, legacy;
    StringList names;
    prsdk::TPRSDK driver{prtest::fakeSdk()};
};

TEST_F(PrDriverTest, ACameraBothSdksReportStaysAPtpCameraOnly)
{
    addLegacy("PowerShot A70");
    addLegacy("PowerShot G9");
    driver.EnumerateCameras(names);
    EXPECT_THAT(names, ElementsAre("PowerShot A70", "PowerShot G9"));
    EXPECT_EQ(legacy.size(), 1u);
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(PrDriverTest, ConnectIndexCountsTheLegacyCamerasFirst)
{
    addLegacy("PowerShot A70");
    addLegacy("PowerShot S45");
    driver.EnumerateCameras(names);
    ConnectInfoType info;
    try {
        driver.Connect(ConnectCallbacks{}, 3, info, 0);
        FAIL() << "index 3 of 2 legacy and 1 PTP camera connected";
    } catch (const ECamException &e) {
        EXPECT_STREQ(e.what(), "Not valid value in parameter ConnectToCamera when calling Connect (PR). There are only "
                               "1 new PowerShot cameras connected. Currently is parameter ConnectToCamera = 3 and2 "
                               "old Powershot cameras connected");
    }
    EXPECT_TRUE(camera.log.empty());
    EXPECT_THROW(driver.Connect(ConnectCallbacks{}, 1, info, 0), ECamException);
    driver.Connect(ConnectCallbacks{}, 2, info, 0);
    EXPECT_EQ(info.CameraModelName, "PowerShot G9");
    EXPECT_EQ(info.OwnerName, "Alice");
    EXPECT_EQ(info.BatterySource, 2);
    EXPECT_EQ(info.BatteryStatus, 1);
}

TEST_F(PrDriverTest, BatteryValuesOutsideTheirScaleReadAsUnknown)
{
    camera.setValue(0xD002, 6, 2);
    camera.setValue(0xD003, 4, 4);
    const ConnectInfoType info = connect();
    EXPECT_EQ(info.BatterySource, 0);
    EXPECT_EQ(info.BatteryStatus, 0);
}

TEST_F(PrDriverTest, AFailedConnectLetsGoOfTheCameraObject)
{
    camera.failures["PR_GetDeviceInfo"] = 0x2019;
    driver.EnumerateCameras(names);
    ConnectInfoType info;
    EXPECT_THROW(driver.Connect(ConnectCallbacks{}, 0, info, 0), ECamException);
    EXPECT_THAT(camera.log, ElementsAre("PR_CreateCameraObject", "PR_ConnectCamera", "PR_SetEventCallBack",
                                        "PR_ClearEventCallBack", "PR_DisconnectCamera", "PR_DestroyCameraObject"));
}

TEST_F(PrDriverTest, OwnerNamesUpTo31CharactersAreWritten)
{
    connect();
    driver.SetOwnerName(std::string(31, 'x'));
    EXPECT_EQ(camera.values[0xD033].size(), 260u);
    EXPECT_EQ(camera.values[0xD033][0], 32);
    camera.log.clear();
    EXPECT_THROW(
        {
            try {
                driver.SetOwnerName(std::string(32, 'x'));
            } catch (const ECamException &e) {
                EXPECT_STREQ(e.what(), "The owner name to set is too long");
                throw;
            }
        },
        ECamException);
    EXPECT_TRUE(camera.log.empty());
}

TEST_F(PrDriverTest, TimeIsTheLocalClockInSecondsAndStaysWithin32Bits)
{
    connect();
    std::tm local{};
    local.tm_year = 2020 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 2;
    local.tm_hour = 3;
    local.tm_isdst = -1;
    driver.SetTime(std::mktime(&local));
    EXPECT_THAT(camera.log, ElementsAre("set 0xD034=1577934000"));
    if constexpr (sizeof(std::time_t) > 4) {
        local.tm_year = 2100 - 1900;
        EXPECT_THROW(driver.SetTime(std::mktime(&local)), ECamException);
        EXPECT_EQ(camera.log.size(), 1u);
    }
}

TEST_F(PrDriverTest, ReleaseToBothIsRefusedBeforeReleaseControlStarts)
{
    connect();
    EXPECT_THROW(remoteStart(false, ReleaseModeBothPCAndCamera), ECamException);
    EXPECT_TRUE(camera.log.empty());
    const RemoteStartInfoType info = remoteStart(false);
    EXPECT_THAT(camera.log, ElementsAre("PR_InitiateReleaseControl", "set 0xD029=2", "set 0xD00C=1"));
    EXPECT_EQ(info.DoSupportZoom, 1);
    EXPECT_EQ(info.DoSupportShootingPara, 1);
    const RemoteParamSupportType none;
    EXPECT_EQ(std::memcmp(&info.ParamSupport, &none, sizeof none), 0);
}

TEST_F(PrDriverTest, ProbeReportsItsProgressAndMarksWhatTheCameraLists)
{
    camera.info = prtest::deviceInfo({0x9008}, {0xD006, 0xD00E, 0xD02A});
    camera.descs[0xD006] = prtest::propertyDesc(0xD006, 1, 1, {1, 4});
    camera.descs[0xD00E] = prtest::propertyDesc(0xD00E, 1, 0, {0, 2});
    connect();
    const RemoteStartInfoType info = remoteStart(true);
    EXPECT_THAT(g_progress,
                ElementsAre(5, 10, 14, 19, 24, 29, 33, 38, 43, 48, 52, 57, 62, 67, 71, 76, 81, 86, 90, 95, 100));
    const RemoteParamSupportType &support = info.ParamSupport;
    EXPECT_THAT(support.CompQuality, ElementsAre(0, 1, 0, 0, 0, 1));
    EXPECT_THAT(support.DriveMode, ElementsAre(0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0));
    // Not listed: not offered, and no description read; 0xD007 is not listed either.
    EXPECT_EQ(support.ExposureCompensation[0], 1);
    EXPECT_EQ(std::count(std::begin(support.ExposureCompensation), std::end(support.ExposureCompensation), 1), 1);
    EXPECT_THAT(camera.log, testing::Not(testing::Contains(HasSubstr("desc 0xD01F"))));
    EXPECT_THAT(camera.log, testing::Not(testing::Contains(HasSubstr("desc 0xD007"))));
    EXPECT_EQ(support.AFMode[0], 1);
    EXPECT_EQ(camera.log.back(), "set 0xD00C=1");
}

TEST_F(PrDriverTest, AvAndTvAreWrittenOnlyWithTheirImageMode)
{
    connect();
    RemoteParamsType params;
    params.Av = 5;
    driver.SetRemoteParams(params);
    EXPECT_TRUE(camera.log.empty());
    params.ImageMode = 18;
    driver.SetRemoteParams(params);
    EXPECT_THAT(camera.log, ElementsAre("set 0xD00C=3", "set 0xD01D=19"));
    camera.log.clear();
    params = {};
    params.DriveMode = 7;
    params.CompQuality = 5;
    driver.SetRemoteParams(params);
    EXPECT_THAT(camera.log, ElementsAre("set 0xD007=2", "set 0xD006=4", "set 0xD00E=2", "set 0xD009=20"));
}

TEST_F(PrDriverTest, ReadingInAvModeGivesAnAvButNoTv)
{
    connect();
    camera.setValue(0xD00C, 3, 1);
    camera.setValue(0xD01D, 19, 2);
    camera.setValue(0xD01E, 40, 2);
    camera.setValue(0xD00E, 2, 1);
    camera.setValue(0xD009, 100, 2);
    camera.setValue(0xD007, 2, 1);
    RemoteParamsType params;
    driver.GetRemoteParams(params);
    EXPECT_EQ(params.ImageMode, 18);
    EXPECT_EQ(params.Av, 5);
    EXPECT_EQ(params.Tv, 0);
    EXPECT_EQ(params.DriveMode, 6);
    EXPECT_EQ(params.CompQuality, 5);
}

struct ZoomCase {
    std::uint32_t optical;
    std::int32_t maxOptical;
};

class PrZoomTest : public PrDriverTest, public testing::WithParamInterface<ZoomCase> {};

TEST_P(PrZoomTest, OpticalLimitGivesTheLastOpticalPosition)
{
    camera.info = prtest::deviceInfo({}, {0xD02A});
    camera.descs[0xD02A] = prtest::propertyDesc(0xD02A, 2, 3, {0, 9, 1}, 1);
    camera.setValue(0xD03D, GetParam().optical, 2);
    connect();
    ZoomPosType pos;
    driver.GetZoomPos(pos); // before RemoteStart: nothing
    EXPECT_EQ(pos.MaxZoomPos, 0);
    remoteStart(false);
    driver.GetZoomPos(pos);
    EXPECT_EQ(pos.CurrentZoomPos, 3);
    EXPECT_EQ(pos.MaxZoomPos, 9);
    EXPECT_EQ(pos.MaxOpticalZoomPos, GetParam().maxOptical);
}
INSTANTIATE_TEST_SUITE_P(Limits, PrZoomTest, testing::Values(ZoomCase{255, 9}, ZoomCase{5, 4}, ZoomCase{0, 9}));

TEST_F(PrDriverTest, ZoomRefusesARangeItCannotUseAndPositionsOutside16Bits)
{
    camera.info = prtest::deviceInfo({}, {0xD02A});
    camera.descs[0xD02A] = prtest::propertyDesc(0xD02A, 2, 3, {0, 9}, 2);
    connect();
    remoteStart(false);
    ZoomPosType pos;
    EXPECT_THROW(driver.GetZoomPos(pos), ECamException);
    camera.log.clear();
    EXPECT_THROW(driver.SetZoomPos(65536), ECamException);
    EXPECT_THROW(driver.SetZoomPos(-1), ECamException);
    driver.SetZoomPos(65535);
    EXPECT_THAT(camera.log, ElementsAre("set 0xD02A=65535"));
}

TEST_F(PrDriverTest, RemoteOperationsCallTheirEntryPoints)
{
    connect();
    driver.SetViewfinderOutput(3);
    driver.SetViewfinderOutput(2);
    driver.AFLock(false);
    PtpEventRecord record;
    record.Bytes[6] = 0x08;
    record.Bytes[7] = 0xC0;
    record.Bytes[12] = 0x42;
    driver.RemoteGetPTPPicture(record, nullptr, 0);
    camera.failures["PR_RC_DoAeAfAwb 2"] = 0x2019;
    EXPECT_THROW(driver.ActivateViewfinderAuto(true), ECamException);
    EXPECT_THAT(camera.log, ElementsAre("set 0xD036=3", "PR_RC_FocusUnlock", "PR_RC_GetReleasedData 0x42 0xC008 100000",
                                        "PR_RC_DoAeAfAwb 1", "PR_RC_DoAeAfAwb 2"));
    EXPECT_EQ(driver.GetNumberOfAvailableShots(), 42);
}

} // namespace
} // namespace tbx
