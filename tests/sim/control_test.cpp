// The control API: faults, busy and unplugged cameras, the call log, scenarios.
#include <cstring>

#include "SdkFixture.h"

using namespace tbx::sim::eds;

using ControlTest = SimTest;

TEST_F(ControlTest, FaultsFireOnceNTimesOrAlwaysThenStop) {
    EdsCameraRef camera = openCamera();
    EdsUInt32 value = 0;
    auto read = [&] { return s.EdsGetPropertyData(camera, kPropBatteryLevel, 0, 4, &value); };
    ASSERT_EQ(control().InjectFault("EdsGetPropertyData", 0x85, 1), 0u);
    EXPECT_EQ(read(), 0x85u);
    EXPECT_EQ(read(), kOk);
    ASSERT_EQ(control().InjectFault("EdsGetPropertyData", 0xA102, 3), 0u);
    EXPECT_EQ(read(), kObjectNotReady);
    EXPECT_EQ(read(), kObjectNotReady);
    EXPECT_EQ(read(), kObjectNotReady);
    EXPECT_EQ(read(), kOk);
    ASSERT_EQ(control().InjectFault("EdsGetPropertyData", 0x81, -1), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(read(), kDeviceBusy);
    ASSERT_EQ(control().InjectFault("EdsGetPropertyData", 0, 0), 0u);  // count 0 removes it
    EXPECT_EQ(read(), kOk);
    // Faults apply to any entry point, the reference-count functions included.
    ASSERT_EQ(control().InjectFault("EdsRetain", 0xFFFFFFFF, 1), 0u);
    EXPECT_EQ(s.EdsRetain(camera), 0xFFFFFFFFu);
    EXPECT_EQ(control().InjectFault("", 1, 1), 1u);
    EXPECT_EQ(control().InjectFault("EdsRead", 1, -2), 1u);
}

TEST_F(ControlTest, BusyCameraAnswersBusyForTheGivenNumberOfCalls) {
    EdsCameraRef camera = openCamera();
    ASSERT_EQ(control().SetBusy("eos1", 2), 0u);
    EXPECT_EQ(s.EdsSendCommand(camera, kCmdPressShutterButton, 1), kDeviceBusy);
    EXPECT_EQ(setU32(camera, kPropIsoSpeed, 0x50), kDeviceBusy);
    EXPECT_EQ(s.EdsSendCommand(camera, kCmdPressShutterButton, 1), kOk);
    ASSERT_EQ(control().SetBusy("eos1", -1), 0u);
    EXPECT_EQ(s.EdsOpenSession(camera), kDeviceBusy);
    ASSERT_EQ(control().SetBusy(nullptr, 0), 0u);  // no id: the first attached camera
    EXPECT_EQ(s.EdsSendCommand(camera, kCmdPressShutterButton, 0), kOk);
}

TEST_F(ControlTest, UnplugDuringATransferCutsItAfterTheGivenBytes) {
    EdsCameraRef camera = openCamera();
    struct States {
        Waiter waiter;
        std::vector<EdsUInt32> events;
        static EdsError TBX_EDS_CALL on(EdsStateEvent event, EdsUInt32, EdsVoid *context) {
            auto *self = static_cast<States *>(context);
            self->waiter.notify([&] { self->events.push_back(event); });
            return 0;
        }
    } states;
    ASSERT_EQ(s.EdsSetCameraStateEventHandler(camera, kStateEventAll, &States::on, &states), kOk);
    EdsDirectoryItemRef raw = itemAt(camera, "DCIM/100CANON/IMG_0003.CR3");
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    ASSERT_EQ(control().Unplug("eos1", 100000), 0u);
    EXPECT_EQ(s.EdsDownload(raw, 1500000, stream), kCommDisconnected);
    EXPECT_EQ(streamBytes(stream).size(), 100000u);
    ASSERT_TRUE(states.waiter.waitFor([&] { return !states.events.empty(); }));
    EXPECT_EQ(states.events[0], kStateEventShutdown);
    EXPECT_EQ(s.EdsDownload(raw, 1500000, stream), kCommDisconnected);
    EXPECT_EQ(s.EdsDownloadComplete(raw), kCommDisconnected);
    EXPECT_EQ(control().Unplug("eos1", 1), 4u);  // not attached any more
}

TEST_F(ControlTest, UnplugDuringLiveViewEndsTheFrames) {
    EdsCameraRef camera = openCamera();
    ASSERT_EQ(setU32(camera, kPropEvfOutputDevice, kEvfOutputPc), kOk);
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    EdsEvfImageRef evf = nullptr;
    ASSERT_EQ(s.EdsCreateEvfImageRef(stream, &evf), kOk);
    held_.push_back(evf);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kObjectNotReady);  // live view starting
    ASSERT_EQ(s.EdsDownloadEvfImage(camera, evf), kOk);
    const auto frameSize = streamBytes(stream).size();
    // Room for one more frame, not for two.
    ASSERT_EQ(control().Unplug("eos1", frameSize + frameSize / 2), 0u);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kOk);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kCommDisconnected);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kCommDisconnected);
}

TEST_F(ControlTest, CallLogShowsEveryCallWithItsArgumentsAndResult) {
    EdsCameraRef camera = openCamera();
    control().ClearCallLog();
    ASSERT_EQ(setU32(camera, kPropIsoSpeed, 64), kOk);
    EdsUInt32 value = 0;
    EXPECT_EQ(s.EdsGetPropertyData(camera, 0x7777, 0, 4, &value), kPropertiesUnavailable);
    const auto writes = callLogLines("EdsSetPropertyData(");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_NE(writes[0].find(", 0x402, 0, 4, {64}) -> 0x00000000"), std::string::npos) << writes[0];
    EXPECT_EQ(writes[0].find("EdsSetPropertyData(camera#"), 0u) << writes[0];
    const auto reads = callLogLines("EdsGetPropertyData(");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_NE(reads[0].find("0x7777, 0, 4, out) -> 0x00000050"), std::string::npos) << reads[0];

    const char owner[] = "Studio 3";
    ASSERT_EQ(s.EdsSetPropertyData(camera, kPropOwnerName, 0, sizeof owner, owner), kOk);
    EXPECT_NE(callLog().find("0x4, 0, 9, \"Studio 3\")"), std::string::npos);

    // The size query, a buffer that is too small, then clearing.
    EdsUInt32 needed = 0;
    ASSERT_EQ(control().GetCallLog(nullptr, 0, &needed), 5u);
    EXPECT_EQ(needed, callLog().size() + 1);
    char small[4];
    EXPECT_EQ(control().GetCallLog(small, sizeof small, &needed), 5u);
    EXPECT_EQ(small[0], 0);
    control().ClearCallLog();
    EXPECT_EQ(callLog(), "");
}

TEST_F(ControlTest, BadScenariosAreRejectedWithTheirPlaceAndReason) {
    EXPECT_EQ(control().LoadScenario("{\"cameras\": [ {\"id\": \"a\", } ]"), 3u);
    EXPECT_NE(lastSimError().find("not valid JSON"), std::string::npos) << lastSimError();
    // A number beyond every type is refused like any other bad JSON, never thrown at the host.
    EXPECT_EQ(control().LoadScenario(R"({"cameras": [], "callLogLimit": 1e999})"), 3u);
    EXPECT_NE(lastSimError().find("not valid JSON"), std::string::npos) << lastSimError();
    EXPECT_EQ(control().AttachCamera(R"({"id": "big", "battery": 88888888e88888888888})"), 3u);
    EXPECT_NE(lastSimError().find("not valid JSON"), std::string::npos) << lastSimError();
    EXPECT_EQ(control().LoadScenario(R"({"cameras": [{"id": "a", "volumes": [{"items": [{"file": "X.JPG", "sise": 1}]}]}]})"), 3u);
    EXPECT_EQ(lastSimError(), "cameras[0].volumes[0].items[0]: unknown key \"sise\"");
    EXPECT_EQ(control().LoadScenario(R"({"cameras": [{"id": "a"}, {"id": "a"}]})"), 3u);
    EXPECT_NE(lastSimError().find("duplicate camera id"), std::string::npos);
    EXPECT_EQ(control().LoadScenario(R"({"cameras": [{"id": "a", "properties": {"ISOSpeed": "high"}}]})"), 3u);
    EXPECT_EQ(lastSimError(), "cameras[0].properties.ISOSpeed: expected an integer");
    EXPECT_EQ(control().LoadScenario("/no/such/scenario.json"), 3u);
    EXPECT_NE(lastSimError().find("cannot be read"), std::string::npos);
    // A rejected scenario leaves the one before in place.
    EdsCameraRef camera = openCamera();
    EdsDeviceInfo info{};
    ASSERT_EQ(s.EdsGetDeviceInfo(camera, &info), kOk);
    EXPECT_STREQ(info.szDeviceDescription, "Canon EOS 90D");
}

TEST_F(ControlTest, ScenarioDescribesCamerasCardsAndReleaseBehaviour) {
    ASSERT_EQ(control().LoadScenario(R"({
        "cameras": [
          { "id": "old", "description": "Canon EOS 5D Mark II", "subType": 0, "battery": "AC",
            "properties": { "0x402": { "value": 72, "allowed": [72, 80] }, "AFMode": 0 },
            "release": { "afFailure": true } },
          { "id": "locked", "volumes": [ { "label": "CF", "storageType": "CF", "writeProtected": true,
                                           "items": [ { "folder": "DCIM" } ] } ] }
        ] })"),
              0u)
        << lastSimError();
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsCameraRef old = nullptr, locked = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(list, 0, &old), kOk);
    ASSERT_EQ(s.EdsGetChildAtIndex(list, 1, &locked), kOk);
    held_.push_back(old);
    held_.push_back(locked);
    s.EdsRelease(list);
    ASSERT_EQ(s.EdsOpenSession(old), kOk);
    ASSERT_EQ(s.EdsOpenSession(locked), kOk);
    EdsDeviceInfo info{};
    ASSERT_EQ(s.EdsGetDeviceInfo(old, &info), kOk);
    EXPECT_EQ(info.deviceSubType, 0u);
    // An older body packs its image quality the old way and offers no list of values.
    EXPECT_EQ(u32Property(old, kPropImageQuality), 0x00130000u);
    EdsPropertyDesc desc{};
    EXPECT_EQ(s.EdsGetPropertyDesc(old, kPropImageQuality, &desc), kInvalidParameter);
    EXPECT_EQ(setU32(old, kPropImageQuality, 0x0013FF0F), kInvalidDevicePropValue);
    EXPECT_EQ(u32Property(old, kPropBatteryLevel), 0xFFFFFFFFu);
    EXPECT_EQ(setU32(old, kPropIsoSpeed, 0x4B), kInvalidDevicePropValue);
    EXPECT_EQ(setU32(old, kPropIsoSpeed, 80), kOk);
    EXPECT_EQ(s.EdsSendCommand(old, kCmdTakePicture, 0), kTakePictureAfNg);
    ASSERT_EQ(setU32(old, kPropSaveTo, kSaveToHost), kOk);
    EXPECT_EQ(s.EdsSendCommand(old, kCmdPressShutterButton, 0x10003), kOk);  // no AF, no failure
    EXPECT_EQ(s.EdsSendCommand(locked, kCmdTakePicture, 0), kTakePictureCardProtectNg);
    EdsVolumeRef volume = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(locked, 0, &volume), kOk);
    EdsVolumeInfo vinfo{};
    ASSERT_EQ(s.EdsGetVolumeInfo(volume, &vinfo), kOk);
    EXPECT_EQ(vinfo.storageType, 1u);
    EXPECT_EQ(vinfo.access, 0);
    EXPECT_EQ(s.EdsFormatVolume(volume), kNotSupported);
    s.EdsRelease(volume);
}

TEST_F(ControlTest, OneScenarioServesEveryLibraryEachTakingItsOwnFamily) {
    // The PowerShot cameras belong to the other libraries; an unknown family is still a mistake.
    ASSERT_EQ(control().LoadScenario(R"({"cameras": [
        {"id": "ps1", "family": "PowerShot", "description": "Canon PowerShot G7 X"},
        {"id": "eos2", "family": "EOS", "description": "Canon EOS R6"},
        {"id": "old1", "family": "PowerShot legacy"}]})"), 0u) << lastSimError();
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(list, &count), kOk);
    EXPECT_EQ(count, 1u);
    s.EdsRelease(list);
    EdsDeviceInfo info{};
    ASSERT_EQ(s.EdsGetDeviceInfo(firstCamera(), &info), kOk);
    EXPECT_STREQ(info.szDeviceDescription, "Canon EOS R6");
    EXPECT_EQ(control().GetProperty("ps1", kPropIsoSpeed, nullptr, 0, &count), 2u);  // not here
    EXPECT_EQ(control().LoadScenario(R"({"cameras": [{"id": "x", "family": "Nikon"}]})"), 3u);
    EXPECT_EQ(lastSimError(), "cameras[0].family: unknown camera family \"Nikon\"");
}

TEST_F(ControlTest, CamerasCanBeAttachedFromJson) {
    EXPECT_EQ(control().AttachCamera(R"({"id": "eos1"})"), 1u);  // the id is taken
    EXPECT_EQ(control().AttachCamera(R"({"id": "second", "description": "Canon EOS R6"})"), 0u) << lastSimError();
    EXPECT_EQ(control().AttachCamera(R"({"id": "bad", "colour": 1})"), 3u);
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(list, &count), kOk);
    EXPECT_EQ(count, 2u);
    s.EdsRelease(list);
    EdsUInt32 iso = 0, size = 0;
    ASSERT_EQ(control().GetProperty("second", kPropIsoSpeed, &iso, 4, &size), 0u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(iso, 0x48u);
    EXPECT_EQ(control().GetProperty("second", 0x7777, &iso, 4, &size), 1u);
}

namespace {
void setScenarioVariable(const char *value) {
#if defined(_WIN32)
    _putenv_s("TBX_SIM_SCENARIO", value == nullptr ? "" : value);
#else
    if (value == nullptr)
        unsetenv("TBX_SIM_SCENARIO");
    else
        setenv("TBX_SIM_SCENARIO", value, 1);
#endif
}
}  // namespace

TEST_F(ControlTest, ResetTakesTheScenarioNamedByTheEnvironment) {
    setScenarioVariable(R"({"cameras": [{"id": "env", "description": "Canon EOS R5"}]})");
    EXPECT_EQ(control().Reset(), 0u) << lastSimError();
    EdsCameraRef camera = firstCamera();
    EdsDeviceInfo info{};
    ASSERT_EQ(s.EdsGetDeviceInfo(camera, &info), kOk);
    EXPECT_STREQ(info.szDeviceDescription, "Canon EOS R5");
    release(camera);
    setScenarioVariable("/no/such/file.json");
    EXPECT_EQ(control().Reset(), 3u);
    EXPECT_NE(lastSimError().find("TBX_SIM_SCENARIO=/no/such/file.json"), std::string::npos) << lastSimError();
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsUInt32 count = 1;
    ASSERT_EQ(s.EdsGetChildCount(list, &count), kOk);
    EXPECT_EQ(count, 0u);  // no camera rather than a camera the developer did not ask for
    s.EdsRelease(list);
    setScenarioVariable(nullptr);
    EXPECT_EQ(control().Reset(), 0u);
}

TEST(SimControlClient, TellsStandInsFromOtherLibrariesAndNamesWhatIsMissing) {
    EXPECT_TRUE(tbx::sim::ControlClient::isStandIn(TBX_SIM_EDSDK_PATH));
    EXPECT_FALSE(tbx::sim::ControlClient::isStandIn(TBX_SIM_EDSIMAGE_PATH));
    EXPECT_FALSE(tbx::sim::ControlClient::isStandIn(std::string(TBX_SIM_EDSDK_PATH) + ".missing"));
    try {
        tbx::sim::ControlClient client(TBX_SIM_EDSIMAGE_PATH);
        ADD_FAILURE() << "bound a library without the control API";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find("does not export TbxSim_LoadScenario"), std::string::npos) << e.what();
    }
}
