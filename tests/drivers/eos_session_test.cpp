// The EOS driver's session through the engine into the stand-in: enumeration, connect and its
// messages, handlers that never outlive the connection, and housekeeping; what the generation-2
// driver shares with it runs over both families.
#include "EosFixture.h"
#include "EosTestSupport.h"

#include "drivers/Drivers.h"
#include "drivers/cdsdk/TCDSDK.h"
#include "drivers/common/Text.h"
#include "drivers/pssdk/TPSSDK.h"
#include "platform/Errors.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

constexpr const char *kTwoCameras = R"({"cameras": [
    {"id": "eos1", "description": "Canon EOS 90D"},
    {"id": "eos2", "description": "Canon EOS R5", "portName": "USB:SIM-EOS-0002"}]})";

using EosSessionTest = EosTest;

/// Over every EOS-style family: what the generation-2 driver does as the EOS driver does.
class EdsSessionTest : public EosTest, public ::testing::WithParamInterface<Family> {
protected:
    Family family() const override { return GetParam(); }
    /// Two cameras of the family, the second with its own name.
    std::string twoCameras() const
    {
        if (family() == Family::EOS)
            return kTwoCameras;
        return R"({"cameras": [
            {"id": "ps1", "description": "Canon PowerShot G7 X Mark II"},
            {"id": "ps2", "description": "Canon PowerShot G5 X Mark II", "portName": "USB:SIM-PS2-0002"}]})";
    }
    std::string secondName() const
    {
        return family() == Family::EOS ? "Canon EOS R5" : "Canon PowerShot G5 X Mark II";
    }
};

INSTANTIATE_TEST_SUITE_P(Families, EdsSessionTest, ::testing::Values(Family::EOS, Family::Gen2), familyName);

TEST_F(EosSessionTest, ConnectInstallsHandlersOpensTheSessionAndReadsTheConnectionData)
{
    engine().OpenCameraEnumeration();
    clearSimLog();
    ConnectInfoType info;
    engine().Connect(CamModEOS, 0, info);

    EXPECT_EQ(info.CameraModel, CamModEOS);
    EXPECT_EQ(info.CameraModelName, "Canon EOS 90D");
    EXPECT_EQ(info.OwnerName, "Tetherbox demo");
    EXPECT_EQ(info.FirmwareVersion, "1.1.1");
    EXPECT_EQ(info.BatterySource, 2); // level 80: lithium, normal
    EXPECT_EQ(info.BatteryStatus, 1);
    EXPECT_THAT(simCallNames(),
                ElementsAre("EdsRetain", "EdsOpenSession", "EdsSetObjectEventHandler", "EdsSetPropertyEventHandler",
                            "EdsSetCameraStateEventHandler", "EdsGetDeviceInfo",
                            "EdsGetPropertyData", "EdsGetPropertyData", "EdsGetPropertyData"));
    const auto reads = simCalls("EdsGetPropertyData");
    EXPECT_THAT(reads[0], HasSubstr("0x4, 0, 256,"));
    EXPECT_THAT(reads[1], HasSubstr("0x8, 0, 4,"));
    EXPECT_THAT(reads[2], HasSubstr("0x7, 0, 32,"));
}

TEST_P(EdsSessionTest, ConnectRefusesIndicesOutsideTheEnumeration)
{
    // Without an enumeration the driver has no camera to offer.
    engine().StartTheSDKs(cameraModel());
    EXPECT_EQ(failureOf<Exception>([&] {
                  ConnectInfoType info;
                  engine().Connect(cameraModel(), 0, info);
              }),
              "There seems to be no connected EOS cameras connected. Have you called the EnumerateCameras "
              "function before calling Connect?");

    loadScenario(twoCameras());
    const EnumerationListsType lists = engine().OpenCameraEnumeration();
    EXPECT_THAT(family() == Family::EOS ? *lists.EOS : *lists.PowerShotGen2,
                ElementsAre(family() == Family::EOS ? "Canon EOS 90D" : "Canon PowerShot G7 X Mark II", secondName()));
    clearSimLog();
    EXPECT_EQ(failureOf<Exception>([&] {
                  ConnectInfoType info;
                  engine().Connect(cameraModel(), 2, info);
              }),
              "Not valid value in parameter ConnectToCamera when calling Connect. There are only 2 EOS cameras "
              "connected. Currently is parameter ConnectToCamera = 2");
    EXPECT_EQ(failureOf<Exception>([&] {
                  ConnectInfoType info;
                  engine().Connect(cameraModel(), -1, info);
              }),
              "Not valid value in parameter ConnectToCamera when calling Connect. Value must be at least zero. "
              "Currently ConnectToCamera = -1");
    EXPECT_TRUE(simLog().empty()) << "a refused index must not touch the camera";

    ConnectInfoType info;
    engine().Connect(cameraModel(), 1, info);
    EXPECT_EQ(info.CameraModelName, secondName());
}

TEST_F(EosSessionTest, BatteryLevelsOutsideTheTableAreUnknownAndAllBitsMeanMains)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "battery": 100}]})");
    ConnectInfoType info = connect();
    EXPECT_EQ(info.BatterySource, 0);
    EXPECT_EQ(info.BatteryStatus, 0);
    engine().CloseCameraEnumeration();

    setCameraValue(sdk::kEdsPropID_BatteryLevel, 0xFFFFFFFFu);
    info = connect();
    EXPECT_EQ(info.BatterySource, 1);
    EXPECT_EQ(info.BatteryStatus, 1);
}

TEST_P(EdsSessionTest, AFailedConnectRemovesItsHandlersAndClosesItsSession)
{
    engine().OpenCameraEnumeration();
    clearSimLog();
    // The owner name read fails after the handlers were installed and the session opened.
    ASSERT_EQ(sim().InjectFault("EdsGetPropertyData", 0x80, 1), 0u);
    const std::string message = failureOf<Exception>([&] {
        ConnectInfoType info;
        engine().Connect(cameraModel(), 0, info);
    });
    EXPECT_THAT(message, HasSubstr("EdsGetPropertyData, kEdsPropID_OwnerName errorcode 0x00000080"));
    EXPECT_EQ(engine().Connection().CameraModel, CamModNone);
    const auto names = simCallNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(names.end() - 5, names.end()),
                ElementsAre("EdsSetObjectEventHandler", "EdsSetPropertyEventHandler",
                            "EdsSetCameraStateEventHandler", "EdsCloseSession", "EdsRelease"));
    for (const char *setter : {"EdsSetObjectEventHandler", "EdsSetPropertyEventHandler", "EdsSetCameraStateEventHandler"})
        EXPECT_THAT(simCalls(setter).back(), HasSubstr("null")) << setter;

    // Nothing was left open: the next attempt connects normally.
    ConnectInfoType info;
    engine().Connect(cameraModel(), 0, info);
    EXPECT_EQ(info.CameraModel, cameraModel());
}

TEST_P(EdsSessionTest, NoCameraEventReachesTheEngineAfterDisconnectOrDestruction)
{
    std::vector<EventCallbackType> events;
    engine().OnEvent = [&](EventCallbackType e) { events.push_back(e); };
    connect();

    // While connected, a capture error of the camera arrives as an engine event.
    ASSERT_EQ(sim().FireEvent(cameraId(), sdk::kEdsStateEvent_CaptureError, 0), 0u) << simError();
    tick(2);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].EventNum, EventRemoteCaptureError);

    engine().Disconnect();
    EXPECT_THAT(simCallNames(), ::testing::Contains("EdsCloseSession"));
    clearSimLog();
    sim().FireEvent(cameraId(), sdk::kEdsStateEvent_CaptureError, 0);
    tick(2);
    EXPECT_EQ(events.size(), 1u);

    // Connected again, then the engine goes without a Disconnect while a second engine keeps
    // the SDK running: the driver takes its handlers with it.
    TTetherbox other(MakeDrivers({cameraModel()}));
    other.LibraryFolder = redistFolder();
    other.StartTheSDKs(cameraModel());
    ConnectInfoType info;
    engine().Connect(cameraModel(), 0, info);
    clearSimLog();
    engine_.reset();
    EXPECT_TRUE(simCalls("EdsTerminateSDK").empty()) << "the other engine still uses the SDK";
    for (const char *setter : {"EdsSetObjectEventHandler", "EdsSetPropertyEventHandler", "EdsSetCameraStateEventHandler"})
        EXPECT_THAT(simCalls(setter), ElementsAre(HasSubstr("null"))) << setter;
    sim().FireEvent(cameraId(), sdk::kEdsStateEvent_CaptureError, 0);
    sim().FireEvent(cameraId(), sdk::kEdsStateEvent_Shutdown, 0);
    EXPECT_EQ(sim().WaitIdle(kSettleLimitMs), 0u);
    EXPECT_EQ(events.size(), 1u);
}

TEST_P(EdsSessionTest, TheConnectedCameraIsHeldUntilDisconnectAndEnumerationsReleaseWhatTheyDrop)
{
    loadScenario(twoCameras());
    engine().OpenCameraEnumeration();
    const std::uint32_t enumerated = sim().GetObjectCount();
    // A second enumeration replaces the camera references instead of adding to them.
    engine().OpenCameraEnumeration();
    EXPECT_EQ(sim().GetObjectCount(), enumerated);

    ConnectInfoType info;
    engine().Connect(cameraModel(), 1, info);
    clearSimLog();
    // A new enumeration while connected leaves the connected camera usable.
    engine().OpenCameraEnumeration();
    EXPECT_EQ(engine().GetBodyID(), family() == Family::EOS ? "083021000123" : "PS2-000123");
    clearSimLog();
    engine().Disconnect();
    // The driver's own reference goes, then the two the engine kept from the first enumeration.
    EXPECT_THAT(simCallNames(), ElementsAre("EdsSetObjectEventHandler", "EdsSetPropertyEventHandler",
                                            "EdsSetCameraStateEventHandler", "EdsCloseSession", "EdsRelease",
                                            "EdsRelease", "EdsRelease"));
    EXPECT_EQ(sim().GetObjectCount(), enumerated);
}

TEST_F(EosSessionTest, OwnerNameFitsTheCamerasBufferWithItsTerminator)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "properties": {"OwnerName": {"maxSize": 256}}}]})");
    connect();
    engine().SetOwnerName(std::string(254, 'o'));
    const auto writes = simCalls("EdsSetPropertyData");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_THAT(writes[0], HasSubstr("0x4, 0, 255,"));

    clearSimLog();
    EXPECT_EQ(failureOf<Exception>([&] { engine().SetOwnerName(std::string(255, 'o')); }), "The owner name to set is too long");
    EXPECT_TRUE(simCalls("EdsSetPropertyData").empty());
}

TEST_P(EdsSessionTest, FormatCardFormatsTheFirstVolumeAndReleasesItEvenWhenFormattingFails)
{
    connect();
    const std::uint32_t objectsAfterConnect = sim().GetObjectCount();
    engine().FormatCameraCard();
    // The owner thread formats, then releases the volume. The camera's "volume items changed"
    // event hands the object handler a reference that it releases on the SDK's thread, which may
    // be logged before the format's own line: only the owner thread's order is fixed.
    const auto names = simCallNames();
    ASSERT_EQ(names.size(), 5u) << ::testing::PrintToString(names);
    EXPECT_THAT(std::vector<std::string>(names.begin(), names.begin() + 2),
                ElementsAre("EdsGetChildCount", "EdsGetChildAtIndex"));
    EXPECT_THAT(std::vector<std::string>(names.begin() + 2, names.end()),
                UnorderedElementsAre("EdsFormatVolume", "EdsRelease", "EdsRelease"));
    EXPECT_EQ(names.back(), "EdsRelease") << "the volume goes back after it was formatted";
    EXPECT_EQ(sim().GetObjectCount(), objectsAfterConnect);

    clearSimLog();
    ASSERT_EQ(sim().InjectFault("EdsFormatVolume", 0x8C, 1), 0u);
    EXPECT_THAT(failureOf<Exception>([&] { engine().FormatCameraCard(); }), HasSubstr("EdsFormatVolume errorcode 0x0000008C"));
    EXPECT_EQ(simCallNames().back(), "EdsRelease");
}

TEST_P(EdsSessionTest, FormatCardWithoutACardIsRefused)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "volumes": []}]})");
    connect();
    EXPECT_EQ(failureOf<Exception>([&] { engine().FormatCameraCard(); }), "FormatCameraCard : No volumes found");
    EXPECT_TRUE(simCalls("EdsFormatVolume").empty());
}

TEST_F(EosSessionTest, ACameraAboutToSleepIsKeptAwake)
{
    engine().OnEvent = [](EventCallbackType) {};
    connect();
    ASSERT_EQ(sim().FireEvent("eos1", sdk::kEdsStateEvent_WillSoonShutDown, 5), 0u) << simError();
    tick(2);
    EXPECT_THAT(simCalls("EdsSendCommand"), ElementsAre(HasSubstr(", 0x1, 0x0) -> 0x00000000")));
}

TEST_F(EosSessionTest, TextsOfFixedBuffersStopAtTheBufferEnd)
{
    const char full[4] = {'a', 'b', 'c', 'd'}; // no terminator
    EXPECT_EQ(drivers::boundedText(full), "abcd");
    const char shorter[4] = {'a', 0, 'c', 'd'};
    EXPECT_EQ(drivers::boundedText(shorter), "a");
}

TEST(DriverFactory, FamiliesLeftOutFindNoCamera)
{
    EXPECT_NE(dynamic_cast<cdsdk::TCDSDK *>(MakeDrivers().at(SlotLegacy).get()), nullptr);
    EXPECT_NE(dynamic_cast<pssdk::TPSSDK *>(MakeDrivers().at(SlotGen2).get()), nullptr);
    const DriverArray eosOnly = MakeDrivers({CamModEOS});
    EXPECT_NE(dynamic_cast<eos::TEDSDK *>(eosOnly[SlotEOS].get()), nullptr);
    StringList names;
    eosOnly[SlotGen2]->StartSDK("");
    eosOnly[SlotGen2]->EnumerateCameras(names);
    EXPECT_TRUE(names.empty());
    ConnectInfoType info;
    EXPECT_THROW(eosOnly[SlotGen2]->Connect(ConnectCallbacks{}, 0, info, 0), ECamException);
    EXPECT_NE(dynamic_cast<AbsentFamilyDriver *>(MakeDrivers({}).at(SlotEOS).get()), nullptr);
    EXPECT_NE(dynamic_cast<cdsdk::TCDSDK *>(MakeDrivers({CamModPowerShot}).at(SlotLegacy).get()), nullptr);
    EXPECT_THROW(MakeDrivers({CamModType(7)}), EAssertionFailed);
}

} // namespace
} // namespace tbx::test
