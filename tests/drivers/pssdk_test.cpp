// The PowerShot generation-2 driver through the engine into its stand-in: where it differs from the
// EOS driver (what it shares runs in the EOS suites over both families).
#include "EosFixture.h"
#include "EosTestSupport.h"

#include "drivers/Drivers.h"
#include "drivers/pssdk/TPSSDK.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

/// The shutter-button parameters of the call log's EdsSendCommand calls.
std::vector<std::string> shutterParams()
{
    std::vector<std::string> out;
    for (const std::string &line : simCalls("EdsSendCommand"))
        out.push_back(argsOf(line).at(2));
    return out;
}

class PsTest : public EosTest {
protected:
    Family family() const override { return Family::Gen2; }
};

TEST_F(PsTest, OnlyThePowerShotIsListedAndTheEOSFamilyIsNotSearched)
{
    const char *both = R"({"cameras": [{"id": "eos1", "family": "EOS"},
                                       {"id": "ps1", "family": "PowerShot generation 2"}]})";
    // A driver table with both families, and the one scenario in both libraries.
    destroyEngine();
    engine_ = std::make_unique<TTetherbox>(MakeDrivers({CamModEOS, CamModPowerShotGen2}));
    engine_->LibraryFolder = redistFolder();
    for (Family f : {Family::EOS, Family::Gen2}) {
        ASSERT_EQ(simOf(f).LoadScenario(both), 0u);
        simOf(f).WaitIdle(kSettleLimitMs);
        simOf(f).ClearCallLog();
    }
    const std::uint32_t objects = sim().GetObjectCount();

    const EnumerationListsType lists = engine().OpenCameraEnumeration();
    EXPECT_THAT(*lists.PowerShotGen2, ElementsAre("Canon PowerShot G7 X Mark II"));
    EXPECT_THAT(*lists.EOS, IsEmpty()) << "the first family that finds a camera ends the search";
    // The generation-2 library sees both cameras and the EOS one is given back at once.
    const std::vector<std::string> calls = simCallNames();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "EdsGetDeviceInfo"), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "EdsRelease"), 2) << "the list and the EOS camera";
    EXPECT_EQ(sim().GetObjectCount(), objects + 1) << "only the PowerShot's reference is kept";
    for (const std::string &line : simOf(Family::EOS).callLogLines())
        EXPECT_NE(sim::callName(line), "EdsGetCameraList");

    ConnectInfoType info;
    engine().Connect(CamModPowerShotGen2, 0, info);
    EXPECT_EQ(info.CameraModel, CamModPowerShotGen2);
    EXPECT_EQ(info.CameraModelName, "Canon PowerShot G7 X Mark II");
}

TEST_F(PsTest, ConnectReadsA32ByteOwnerAndJudgesTheWholeBatteryValue)
{
    const struct {
        std::uint32_t level;
        int source;
        int status;
    } rows[] = {{101, 0, 0}, {100, 2, 1}, {50, 2, 1},          {49, 2, 2},   {10, 2, 2},
                {9, 2, 3},   {0, 2, 3},   {0xFFFFFFFFu, 1, 1}, {0x132, 0, 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.level);
        setCameraValue(sdk::kEdsPropID_BatteryLevel, row.level);
        const ConnectInfoType info = connect();
        EXPECT_EQ(info.BatterySource, row.source);
        EXPECT_EQ(info.BatteryStatus, row.status);
        engine().Disconnect();
    }
    connect();
    engine().Disconnect();
    engine().OpenCameraEnumeration();
    clearSimLog();
    ConnectInfoType info;
    engine().Connect(CamModPowerShotGen2, 0, info);
    EXPECT_THAT(simCalls("EdsGetPropertyData").at(0), ::testing::HasSubstr("0x4, 0, 32,"));
}

TEST_F(PsTest, OwnerNameHoldsAtMost31Characters)
{
    connect();
    engine().SetOwnerName(std::string(31, 'o'));
    EXPECT_EQ(argsOf(simCalls("EdsSetPropertyData").at(0)).at(3), "32");
    clearSimLog();
    EXPECT_EQ(failureOf([&] { engine().SetOwnerName(std::string(32, 'o')); }), "The owner name to set is too long");
    EXPECT_THAT(simLog(), IsEmpty());
}

TEST_F(PsTest, RemoteStartTurnsLiveViewOnAndRemoteEndTurnsItsOutputOff)
{
    connect();
    RemoteStartInfoType info;
    engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false);
    EXPECT_EQ(info.DoSupportZoom, 1);
    EXPECT_EQ(info.DoSupportShootingPara, 1);
    EXPECT_EQ(info.DoSupportViewfinder, 1);
    EXPECT_EQ(info.DoSupportPowerZoom, 0);
    EXPECT_EQ(info.DoSupportAfLockUnlock, 0);
    // No save-to property: the camera decides where pictures go.
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x501 {1}", "0x500 {2}", "0x407 {0}"}));
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_Evf_OutputDevice), 2u);

    // The viewfinder itself only tells the engine to pull frames.
    clearSimLog();
    engine().RemoteStartViewfinder(false);
    engine().RemoteStopViewfinder();
    EXPECT_THAT(simLog(), IsEmpty());

    engine().RemoteEnd();
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x500 {0}"});
}

TEST_F(PsTest, LiveViewOutputIsAskedAgainEverySecondWhileTheCameraIsBusy)
{
    setCameraValue(sdk::kEdsPropID_Evf_Mode, 1);
    connect();
    // The first try and five more a second apart, then the last one, whose failure is raised.
    ASSERT_EQ(sim().InjectFault("EdsSetPropertyData", sdk::EDS_ERR_DEVICE_BUSY, 7), 0u);
    RemoteStartInfoType info;
    EXPECT_EQ(
        failureOf([&] { engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false); }),
        sdkFailure("EdsSetPropertyData, kEdsPropID_Evf_OutputDevice", sdk::EDS_ERR_DEVICE_BUSY));
    EXPECT_EQ(clock_.sleptTotal(), 5000);
    EXPECT_EQ(simCalls("EdsSetPropertyData").size(), 7u);
}

TEST_F(PsTest, TakePictureAlwaysReleasesTheButtonAndRaisesTheFirstFailure)
{
    startRemote();
    engine().RemoteTakePicture();
    EXPECT_EQ(shutterParams(), (std::vector<std::string>{"0x3", "0x0"}));

    // A press that fails for good still releases the button; the press's failure is raised.
    clearSimLog();
    ASSERT_EQ(sim().InjectFault("EdsSendCommand", sdk::EDS_ERR_TAKE_PICTURE_AF_NG, 26), 0u);
    EXPECT_EQ(failureOf([&] { engine().RemoteTakePicture(); }),
              sdkFailure("EdsSendCommand", sdk::EDS_ERR_TAKE_PICTURE_AF_NG));
    const auto params = shutterParams();
    ASSERT_EQ(params.size(), 27u) << "26 presses, then the release";
    EXPECT_EQ(params.back(), "0x0");
}

TEST_F(PsTest, OnlyTheCompletelyPressedButtonPresses)
{
    startRemote();
    for (int button : {0, 1, 2, 3, 4, 0x82})
        engine().RemotePressShutter(button);
    EXPECT_EQ(shutterParams(), (std::vector<std::string>{"0x0", "0x0", "0x3", "0x0", "0x0", "0x3"}));
}

TEST_F(PsTest, BulbDoesNothingAndAFLockIsRefused)
{
    startRemote();
    engine().RemoteBULBMode(true);
    engine().RemoteBULBMode(false);
    EXPECT_THAT(simLog(), IsEmpty());
    EXPECT_EQ(failureOf<Exception>([&] { engine().RemoteAFLock(true); }),
              "RemoteAFLock is not supported for your EOS camera.");
}

TEST_F(PsTest, ZoomIsReadAndWrittenThroughItsProperty)
{
    startRemote();
    engine().RemoteSetZoomPos(7);
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x600 {7}"});
    const ZoomPosType pos = engine().RemoteGetZoomPos();
    EXPECT_EQ(pos.CurrentZoomPos, 7);
    EXPECT_EQ(pos.MaxOpticalZoomPos, 20);
    EXPECT_EQ(pos.MaxZoomPos, 20);
}

TEST_F(PsTest, ZoomPositionOfACameraWithoutZoomIsRefused)
{
    loadScenario(R"({"cameras": [{"id": "ps1", "family": "PowerShot generation 2",
                                  "properties": {"Zoom": null}}]})");
    startRemote();
    EXPECT_EQ(failureOf<Exception>([&] { engine().RemoteGetZoomPos(); }),
              "RemoteGetZoomPos is not supported for your PowerShot camera");
}

TEST_F(PsTest, ClockIsWrittenAsSevenValuesAsTheHostGaveIt)
{
    connect();
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 24;
    local.tm_hour = 18;
    local.tm_min = 30;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    engine().SetTimeInCamera(std::mktime(&local));
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x16 {2026 12 24 18 30 5 0}"});
}

TEST_F(PsTest, AvailableShotsAreZeroWhenTheCameraDoesNotSay)
{
    startRemote();
    EXPECT_GT(engine().RemoteGetNumberOfAvailableShots(), 0);
    ASSERT_EQ(sim().InjectFault("EdsGetPropertyData", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
    EXPECT_EQ(engine().RemoteGetNumberOfAvailableShots(), 0);
}

TEST_F(PsTest, ParametersConvertThroughTheFamilysOwnTables)
{
    startRemote();
    // ISO 4000 has no neutral code; ISO 12800 has.
    setCameraValue(sdk::kEdsPropID_ISOSpeed, 0x73);
    EXPECT_EQ(engine().RemoteGetCameraCacheParameters().ISO, 0);
    setCameraValue(sdk::kEdsPropID_ISOSpeed, 0x80);
    EXPECT_EQ(engine().RemoteGetCameraCacheParameters().ISO, 22);
    clearSimLog();

    // An EOS-only value (ISO 50, the shade white balance) is not written; a compact's value is.
    RemoteParamsType params;
    params.ISO = 2;
    params.WhiteBalanceSetting = 6;
    engine().RemoteSetRemoteParams(params);
    EXPECT_THAT(simLog(), IsEmpty());
    params.ISO = 14;
    params.WhiteBalanceSetting = 2;
    engine().RemoteSetRemoteParams(params);
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x106 {1}", "0x502 {1}", "0x402 {96}"}));
}

TEST_F(PsTest, ProbeReportsFourteenStepsAndLeavesOutWhatTheFamilyLacks)
{
    std::vector<int> progress;
    engine().OnRemoteProbeParamEvent = [&](int percent) { progress.push_back(percent); };
    connect();
    RemoteStartInfoType info;
    engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", true);
    tick(25);
    std::vector<int> expected;
    for (int step = 1; step <= 14; ++step)
        expected.push_back(static_cast<int>(std::lround(step * 100.0 / 14)));
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(eos::ProbeStepCount(pssdk::Gen2Family()), 14);
    EXPECT_EQ(eos::ProbeStepCount(eos::EosFamily()), 18);
    EXPECT_EQ(info.ParamSupport.PictureStyle, 0);
    EXPECT_EQ(info.ParamSupport.WhiteBalanceShift, 0);
    for (const std::string &line : simCalls("EdsGetPropertyData")) {
        const std::string property = argsOf(line).at(1);
        EXPECT_NE(property, "0x114") << "picture styles are not read";
        EXPECT_NE(property, "0x108") << "the white-balance shift is not read";
    }
}

TEST_F(PsTest, AFInformationReadsTheSmallerBlock)
{
    startRemote();
    engine().RemoteStartViewfinder(false);
    clearSimLog();
    AFFocusInfoType info;
    engine().RemoteGetViewfinderAutofocusInfo(info);
    EXPECT_EQ(info.NrOfFrames, 45);
    const auto reads = simCalls("EdsGetPropertyData");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(argsOf(reads[0]).at(3), "4120");
    // 4120 bytes hold 128 AF points; a count beyond them or below zero is cut to what is there.
    for (const auto &[claimed, expected] : {std::pair{171u, 128}, std::pair{0xFFFFFFFFu, 0}, std::pair{5u, 5}}) {
        SCOPED_TRACE(claimed);
        std::vector<std::uint8_t> block(4120, 0);
        const std::uint32_t words[] = {0, 0, 6000, 4000, claimed};
        std::memcpy(block.data(), words, sizeof words);
        ASSERT_EQ(sim().SetProperty(cameraId(), 0x104, block.data(), static_cast<std::uint32_t>(block.size())), 0u)
            << simError();
        engine().RemoteGetViewfinderAutofocusInfo(info);
        EXPECT_EQ(info.NrOfFrames, expected);
        EXPECT_EQ(info.PictureSizeWidth, 6000);
    }
}

TEST_F(PsTest, FramesArriveWithoutMetadataAndTheEarlierMetadataStays)
{
    std::vector<ViewfinderPositionType> delivered;
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &m) {
        EXPECT_GT(jpeg.size(), 2u);
        delivered.push_back(m);
    };
    startRemote();
    const ViewfinderPositionType before = engine().ViewfinderMetadata();
    engine().RemoteStartViewfinder(false);
    tick(8);
    ASSERT_FALSE(delivered.empty());
    for (const ViewfinderPositionType &m : delivered) {
        EXPECT_EQ(m.Valid, 0);
        EXPECT_EQ(m.CoordSystem.Width, before.CoordSystem.Width) << "the camera's frame fields are not taken";
        EXPECT_EQ(m.ZoomRect.Width, before.ZoomRect.Width);
    }
}

} // namespace
} // namespace tbx::test
