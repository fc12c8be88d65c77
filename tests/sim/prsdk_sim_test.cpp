// The PTP stand-in PRSDK.DLL, loaded through the system's own binding from the redist folder
// (so its companion file and file versions are checked as for the vendor's library) and steered
// through its control API.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/PRAPI.h"
#include "sdk/PtpDatasets.h"
#include "sim/TbxSimClient.h"

using namespace tbx::sdk;

namespace {

constexpr std::uint32_t kSettleMs = 30000;
constexpr prResponse kBusy = 0x00102019;
constexpr prResponse kDeviceGone = 0x0040048F;

const tbx::sim::ControlClient &control()
{
    static const tbx::sim::ControlClient client(TBX_SIM_REDIST "/PRSDK.dll");
    return client;
}

/// What the library's callbacks delivered, and on which thread.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> events; ///< code, first parameter
    std::vector<std::thread::id> eventThreads;
    std::vector<PrProgress> blocks;
    std::vector<std::uint8_t> data;
    std::atomic<int> frames{0};
    std::atomic<bool> stopped{false}, lateFrame{false}, stopInCallback{false};
    std::thread::id frameThread;

    template <class Done>
    bool waitFor(Done done)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(kSettleMs), done);
    }
};

Recorder *gRecorder = nullptr;
constexpr prContext kContext = 0x5A17;

prResponse TBX_STDCALL onEvent(prHandle, prContext context, prVoid *data)
{
    if (context != kContext)
        return 1;
    const auto record = PtpEventRecord::fromContainer(data);
    {
        std::lock_guard lock(gRecorder->mutex);
        gRecorder->events.emplace_back(record->eventCode(), record->objectHandle());
        gRecorder->eventThreads.push_back(std::this_thread::get_id());
    }
    gRecorder->changed.notify_all();
    return prOK;
}

prResponse TBX_STDCALL onBlock(prHandle, prObjectHandle, prContext, prProgress *progress)
{
    gRecorder->blocks.push_back(*progress);
    if (progress->Length > 0)
        gRecorder->data.insert(gRecorder->data.end(), progress->Data, progress->Data + progress->Length);
    return prOK;
}

prResponse TBX_STDCALL onFrame(prHandle camera, prContext, prUInt32 size, prVoid *data)
{
    Recorder &r = *gRecorder;
    if (r.stopped)
        r.lateFrame = true;
    r.frameThread = std::this_thread::get_id();
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    EXPECT_TRUE(size > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8);
    if (++r.frames == 3 && r.stopInCallback) {
        // Stopping from the library's own thread returns without waiting for itself.
        EXPECT_EQ(Pr().PR_RC_TermViewFinder(camera), prOK);
        r.stopped = true;
    }
    r.changed.notify_all();
    return prOK;
}

class PrSimTest : public testing::Test {
protected:
    void SetUp() override
    {
        LoadPRSDK(TBX_SIM_REDIST);
        gRecorder = &recorder;
        ASSERT_EQ(control().Reset(), 0u) << control().lastError();
    }

    void TearDown() override
    {
        if (started) {
            EXPECT_EQ(Pr().PR_FinishSDK(), prOK);
        }
        EXPECT_EQ(control().GetObjectCount(), 0u);
        EXPECT_FALSE(recorder.lateFrame) << "a frame came after PR_RC_TermViewFinder returned";
        control().ClearFaults();
    }

    void scenario(const std::string &camera)
    {
        ASSERT_EQ(control().LoadScenario(("{\"cameras\": [" + camera + "]}").c_str()), 0u) << control().lastError();
    }

    /// Starts the SDK, creates and connects the first camera and installs the event callback.
    prHandle connect(bool releaseControl = true)
    {
        EXPECT_EQ(Pr().PR_StartSDK(), prOK);
        started = true;
        std::vector<std::uint8_t> list(kPtpDeviceListBufferSize);
        prUInt32 size = static_cast<prUInt32>(list.size());
        EXPECT_EQ(Pr().PR_GetDeviceList(&size, reinterpret_cast<prDeviceList *>(list.data())), prOK);
        auto devices = ReadPtpDeviceList(PtpReply(list, size));
        EXPECT_FALSE(devices.empty());
        prHandle camera = 0;
        EXPECT_EQ(Pr().PR_CreateCameraObject(&devices.at(0), &camera), prOK);
        EXPECT_EQ(Pr().PR_ConnectCamera(camera), prOK);
        EXPECT_EQ(Pr().PR_SetEventCallBack(camera, kContext, &onEvent), prOK);
        if (releaseControl) {
            EXPECT_EQ(Pr().PR_InitiateReleaseControl(camera), prOK);
        }
        return camera;
    }

    std::vector<std::uint8_t> read(decltype(PrEntryPoints::PR_GetDevicePropValue) call, prHandle camera,
                                   std::uint16_t code, prResponse expected = prOK)
    {
        std::vector<std::uint8_t> buffer(1 << 20);
        prUInt32 size = static_cast<prUInt32>(buffer.size());
        EXPECT_EQ(call(camera, code, &size, buffer.data()), expected) << std::hex << code;
        return std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + (expected == prOK ? size : 0));
    }

    PtpDeviceInfo deviceInfo(prHandle camera)
    {
        std::vector<std::uint8_t> buffer(1 << 20);
        prUInt32 size = static_cast<prUInt32>(buffer.size());
        EXPECT_EQ(Pr().PR_GetDeviceInfo(camera, &size, buffer.data()), prOK);
        return ReadPtpDeviceInfo(PtpReply(buffer, size));
    }

    prResponse write(prHandle camera, std::uint16_t code, std::uint32_t value, std::uint32_t size)
    {
        return Pr().PR_SetDevicePropValue(camera, code, size, &value);
    }

    Recorder recorder;
    bool started = false;
};

TEST_F(PrSimTest, ListsAttachedCamerasWithTheSizeProtocolAndRefusesCallsBeforeTheStart)
{
    scenario(R"({"id": "g9", "family": "PowerShot", "description": "Canon PowerShot G9"},
                {"id": "sx", "family": "PowerShot", "description": "PowerShot SX100 IS with a long name!!"},
                {"id": "gone", "family": "PowerShot", "attached": false})");
    prUInt32 size = 0;
    EXPECT_EQ(Pr().PR_GetDeviceList(&size, nullptr), 0x00200061u);
    ASSERT_EQ(Pr().PR_StartSDK(), prOK);
    started = true;

    // Asked with no room, the library says how much it needs.
    EXPECT_EQ(Pr().PR_GetDeviceList(&size, nullptr), 0x00200063u);
    EXPECT_EQ(size, 4 + 2 * sizeof(PrDeviceInfoTable));
    std::vector<std::uint8_t> list(size);
    ASSERT_EQ(Pr().PR_GetDeviceList(&size, reinterpret_cast<prDeviceList *>(list.data())), prOK);
    const auto devices = ReadPtpDeviceList(list);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(PtpModelName(devices[0]), "Canon PowerShot G9");
    EXPECT_EQ(PtpModelName(devices[1]), "PowerShot SX100 IS with a long n"); // 32 units, no terminator

    prHandle camera = 0;
    ASSERT_EQ(Pr().PR_CreateCameraObject(const_cast<PrDeviceInfoTable *>(&devices[1]), &camera), prOK);
    EXPECT_EQ(Pr().PR_SetEventCallBack(camera, kContext, &onEvent), 0x00200061u); // not connected
    ASSERT_EQ(Pr().PR_ConnectCamera(camera), prOK);
    EXPECT_EQ(Pr().PR_SetEventCallBack(camera, kContext, nullptr), 0x00200021u);
    EXPECT_EQ(Pr().PR_SetEventCallBack(camera, kContext, &onEvent), prOK);
    EXPECT_EQ(Pr().PR_SetEventCallBack(camera, kContext, &onEvent), 0x00200064u);
    EXPECT_EQ(Pr().PR_RC_Release(camera), 0x00200061u); // release control not initiated
    EXPECT_EQ(Pr().PR_DestroyCameraObject(camera + 1), 0x00200022u);
    EXPECT_EQ(Pr().PR_DisconnectCamera(camera), prOK);
    EXPECT_EQ(Pr().PR_DestroyCameraObject(camera), prOK);
}

TEST_F(PrSimTest, DatasetsFollowTheCamerasPropertiesInBothForms)
{
    // A camera without exposure compensation and without the AF-lock operation.
    scenario(R"({"id": "a", "family": "PowerShot", "ownerName": "Tetherbox",
                 "properties": {"ExposureComp": null, "Operation_FocusLock": null, "BatteryKind": 4}})");
    const prHandle camera = connect();
    const PtpDeviceInfo info = deviceInfo(camera);
    EXPECT_TRUE(info.supportsOperation(0x9008));
    EXPECT_TRUE(info.supportsOperation(0x900B));
    EXPECT_FALSE(info.supportsOperation(0x9014));
    EXPECT_TRUE(info.listsProperty(0xD02A));
    EXPECT_FALSE(info.listsProperty(0xD01F));
    read(Pr().PR_GetDevicePropDesc, camera, 0xD01F, 0x0010200A);

    const PtpPropDesc size = ReadPtpPropDesc(read(Pr().PR_GetDevicePropDesc, camera, 0xD008));
    EXPECT_EQ(size.form(), PtpForm::Enumeration);
    EXPECT_EQ(size.Values, (std::vector<std::uint64_t>{0, 1, 2, 3}));
    const PtpPropDesc contrast = ReadPtpPropDesc(read(Pr().PR_GetDevicePropDesc, camera, 0xD017));
    EXPECT_EQ(contrast.Values, (std::vector<std::uint64_t>{0xFF, 0, 1})); // INT8 -1 as its byte
    const PtpPropDesc zoom = ReadPtpPropDesc(read(Pr().PR_GetDevicePropDesc, camera, 0xD02A));
    EXPECT_EQ(zoom.form(), PtpForm::Range);
    EXPECT_EQ(zoom.Maximum, 120u);

    // Values in their own sizes; the owner name as a count, the characters and a zero.
    EXPECT_EQ(read(Pr().PR_GetDevicePropValue, camera, 0xD002), (std::vector<std::uint8_t>{4, 0}));
    const auto owner = read(Pr().PR_GetDevicePropValue, camera, 0xD033);
    ASSERT_EQ(owner.size(), 4u + 10u);
    EXPECT_EQ(owner[0], 10);
    EXPECT_STREQ(reinterpret_cast<const char *>(owner.data() + 4), "Tetherbox");
    prUInt32 small = 1;
    std::uint8_t byte = 0;
    EXPECT_EQ(Pr().PR_GetDevicePropValue(camera, 0xD033, &small, &byte), 0x00200063u);
    EXPECT_EQ(small, 14u);
}

TEST_F(PrSimTest, WritesAreCheckedAgainstTypeFormAndAccessAndLogged)
{
    scenario(R"({"id": "a", "family": "PowerShot"})");
    const prHandle camera = connect();
    control().ClearCallLog();
    EXPECT_EQ(write(camera, 0xD029, 3, 2), prOK);
    EXPECT_EQ(write(camera, 0xD029, 5, 2), 0x0010201Cu);   // not in the list
    EXPECT_EQ(write(camera, 0xD008, 1, 2), 0x0010201Cu);   // a 1-byte property
    EXPECT_EQ(write(camera, 0xD02A, 121, 2), 0x0010201Cu); // beyond the range
    EXPECT_EQ(write(camera, 0xD02A, 64, 2), prOK);
    EXPECT_EQ(write(camera, 0xD017, 0xFF, 1), prOK);     // -1
    EXPECT_EQ(write(camera, 0xD03D, 5, 2), 0x0010200Fu); // read-only
    EXPECT_EQ(write(camera, 0xD0FF, 1, 1), 0x0010200Au);
    EXPECT_EQ(read(Pr().PR_GetDevicePropValue, camera, 0xD02A), (std::vector<std::uint8_t>{64, 0}));

    std::uint8_t owner[260] = {};
    owner[0] = 6;
    std::memcpy(owner + 4, "Owner", 6);
    EXPECT_EQ(Pr().PR_SetDevicePropValue(camera, 0xD033, sizeof owner, owner), prOK);
    const auto lines = control().callLogLines();
    ASSERT_GE(lines.size(), 9u);
    EXPECT_NE(lines[0].find("PR_SetDevicePropValue("), std::string::npos);
    EXPECT_NE(lines[0].find("0xD029, 2, 3)"), std::string::npos) << lines[0];
    EXPECT_NE(lines.back().find("\"Owner\""), std::string::npos) << lines.back();
}

TEST_F(PrSimTest, ReleaseAnnouncesFromItsThreadAndTransfersInBlocks)
{
    scenario(R"({"id": "a", "family": "PowerShot"})");
    const prHandle camera = connect();
    ASSERT_EQ(write(camera, 0xD029, 3, 2), prOK); // thumbnail and picture to the host
    ASSERT_EQ(Pr().PR_RC_Release(camera), prOK);
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events[0].first, 0xC009);
    EXPECT_EQ(recorder.events[1].first, 0xC008);
    EXPECT_NE(recorder.eventThreads[0], std::this_thread::get_id());

    const prObjectHandle picture = recorder.events[1].second;
    EXPECT_EQ(Pr().PR_RC_GetReleasedData(camera, picture, 0xC009, 100000, 7, &onBlock), 0x00102009u); // wrong kind
    ASSERT_EQ(Pr().PR_RC_GetReleasedData(camera, picture, 0xC008, 100000, 7, &onBlock), prOK);
    const auto &blocks = recorder.blocks;
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks.front().Message, 1);
    EXPECT_EQ(blocks.front().Length, 0u);
    EXPECT_EQ(blocks.back().Message, 4);
    EXPECT_EQ(blocks.back().Length, 0u);
    EXPECT_EQ(blocks.back().PercentComplete, 100u);
    for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].Message, 2);
        EXPECT_LE(blocks[i].Length, 100000u);
        EXPECT_GE(blocks[i].PercentComplete, blocks[i - 1].PercentComplete);
    }
    ASSERT_GT(recorder.data.size(), 4u);
    EXPECT_EQ(recorder.data[0], 0xFF);
    EXPECT_EQ(recorder.data[recorder.data.size() - 1], 0xD9);
    // Fetched once only.
    EXPECT_EQ(Pr().PR_RC_GetReleasedData(camera, picture, 0xC008, 100000, 7, &onBlock), 0x00102009u);
}

TEST_F(PrSimTest, FaultsBusyAndAPulledCableReachTheCaller)
{
    scenario(R"({"id": "a", "family": "PowerShot", "picture": {"width": 1600, "height": 1200}})");
    const prHandle camera = connect();
    ASSERT_EQ(control().SetBusy("a", 1), 0u);
    EXPECT_EQ(Pr().PR_RC_Release(camera), kBusy);
    ASSERT_EQ(control().InjectFault("PR_RC_Release", 0x0010A007, 1), 0u);
    EXPECT_EQ(Pr().PR_RC_Release(camera), 0x0010A007u);
    ASSERT_EQ(Pr().PR_RC_Release(camera), prOK);
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.events.size() == 1; }));

    // The cable goes 150000 bytes into the transfer: what passed arrives, the end never does.
    ASSERT_EQ(control().Unplug("a", 150000), 0u);
    EXPECT_EQ(Pr().PR_RC_GetReleasedData(camera, recorder.events[0].second, 0xC008, 100000, 7, &onBlock), kDeviceGone);
    EXPECT_EQ(recorder.data.size(), 150000u);
    EXPECT_NE(recorder.blocks.back().Message, 4);
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.events.size() == 2; }));
    EXPECT_EQ(recorder.events[1].first, 0xD001); // the library reports a shutdown
    EXPECT_EQ(Pr().PR_RC_Release(camera), kDeviceGone);
}

TEST_F(PrSimTest, FramesComeFromTheirOwnThreadAndNeverAfterTheStop)
{
    scenario(R"({"id": "a", "family": "PowerShot", "liveView": {"width": 160, "height": 120}})");
    const prHandle camera = connect();
    EXPECT_EQ(Pr().PR_RC_TermViewFinder(camera), 0x00200061u); // not started
    ASSERT_EQ(Pr().PR_RC_StartViewFinder(camera, kContext, &onFrame), prOK);
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.frames >= 2; }));
    EXPECT_NE(recorder.frameThread, std::this_thread::get_id());
    EXPECT_EQ(Pr().PR_RC_TermViewFinder(camera), prOK);
    recorder.stopped = true; // checked once more when the SDK has ended (TearDown)

    // Stopped again, from within a frame callback this time.
    recorder.stopped = false;
    recorder.frames = 0;
    recorder.stopInCallback = true;
    ASSERT_EQ(Pr().PR_RC_StartViewFinder(camera, kContext, &onFrame), prOK);
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.stopped.load(); }));
    EXPECT_EQ(Pr().PR_RC_TermViewFinder(camera), 0x00200061u);
}

TEST_F(PrSimTest, FramesAskedForComeAloneAndTheWaitForThemEndsWithTheCamera)
{
    constexpr std::uint32_t kOneFrame = 0x20000000;
    scenario(R"({"id": "a", "family": "PowerShot", "liveView": {"width": 160, "height": 120}})");
    const prHandle camera = connect();
    EXPECT_NE(control().FireEvent("a", kOneFrame, 0), 0u) << "no viewfinder runs";
    ASSERT_EQ(Pr().PR_RC_StartViewFinder(camera, kContext, &onFrame), prOK);
    ASSERT_EQ(control().FireEvent("a", kOneFrame, 0), 0u) << control().lastError();
    ASSERT_EQ(control().WaitIdle(kSettleMs), 0u);
    // From the first frame asked for on, the viewfinder sends only the frames asked for.
    recorder.frames = 0;
    for (int frame = 0; frame < 3; ++frame)
        ASSERT_EQ(control().FireEvent("a", kOneFrame, 0), 0u);
    ASSERT_EQ(control().WaitIdle(kSettleMs), 0u);
    EXPECT_EQ(recorder.frames, 3);

    // A frame asked of a camera that went away is dropped, and the wait for it still ends.
    ASSERT_EQ(control().Unplug("a", 0), 0u);
    ASSERT_EQ(control().FireEvent("a", kOneFrame, 0), 0u);
    EXPECT_EQ(control().WaitIdle(kSettleMs), 0u);
    EXPECT_EQ(recorder.frames, 3);
}

} // namespace
