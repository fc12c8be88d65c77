// The event path: engine callbacks, the event queue and the poll timer.
#include "EngineFixture.h"
#include "Scratch.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string describe(EventCallbackType e)
{
    return "event " + std::to_string(e.Severity) + "/" + std::to_string(e.EventNum);
}

std::string describe(RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data)
{
    return "remote " + std::to_string(event) + " valid " + std::to_string(data.EventValid) + " type " +
           std::to_string(data.TypeOfPicture) + " n " + std::to_string(data.NumOfEvents);
}

/// A PTP event container: length, type 4, code, transaction id, then two parameters.
std::array<std::uint8_t, 20> ptpEvent(std::uint16_t code, std::uint32_t object = 0, std::uint32_t parameter = 0)
{
    std::array<std::uint8_t, 20> raw{};
    const std::uint32_t length = 20;
    const std::uint16_t type = 4;
    std::memcpy(raw.data(), &length, 4);
    std::memcpy(raw.data() + 4, &type, 2);
    std::memcpy(raw.data() + 6, &code, 2);
    std::memcpy(raw.data() + 12, &object, 4);
    std::memcpy(raw.data() + 16, &parameter, 4);
    return raw;
}

class EventsTest : public EngineTest {
protected:
    std::vector<std::string> got;

    /// Assigns every event property; each delivery appends a line to got.
    void listen()
    {
        engine().OnEvent = [this](EventCallbackType e) { got.push_back(describe(e)); };
        engine().OnRemoteEvent = [this](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data) {
            got.push_back(describe(event, data));
        };
        engine().OnRemoteTakePictureEvent = [this](int p) { got.push_back("take " + std::to_string(p)); };
        engine().OnRemoteGetPictureEvent = [this](int p) { got.push_back("remote picture " + std::to_string(p)); };
        engine().OnRemoteGetMovieEvent = [this](int p) { got.push_back("movie " + std::to_string(p)); };
        engine().OnGetPictureEvent = [this](int p) { got.push_back("picture " + std::to_string(p)); };
        engine().OnRemoteProbeParamEvent = [this](int p) { got.push_back("probe " + std::to_string(p)); };
        engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
            got.push_back("frame " + std::string(jpeg.begin(), jpeg.end()));
        };
    }

    /// Delivers everything queued and returns what arrived.
    std::vector<std::string> drain()
    {
        tick(static_cast<int>(engine().QueuedEventCount()) + 1);
        return std::exchange(got, {});
    }

    std::uint32_t context() const { return static_cast<std::uint32_t>(box_->engine->RegistryIndex()); }
    void *eosContext() const { return registryContext(box_->engine->RegistryIndex()); }

    void cameraEvent(std::uint32_t word, std::uint32_t parameter = 0)
    {
        TTetherbox::CameraEventCallback(word, &parameter, sizeof parameter, context());
    }
    void releaseEvent(std::uint32_t code, std::uint32_t parameter = 0)
    {
        TTetherbox::RemoteEventCallback(code, &parameter, sizeof parameter, context());
    }
};

TEST_F(EventsTest, TenQueuedEventsReachTheHostOneTickEachInOrder)
{
    connect(CamModPowerShot);
    listen();
    for (std::uint32_t percent = 0; percent < 100; percent += 10)
        TTetherbox::TakePictureProgress(percent, 0, context());
    EXPECT_EQ(engine().QueuedEventCount(), 10u);
    for (int n = 1; n <= 10; ++n) {
        tick();
        ASSERT_EQ(got.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(got.back(), "take " + std::to_string((n - 1) * 10));
    }
    tick(3);
    EXPECT_EQ(got.size(), 10u);
}

TEST_F(EventsTest, LegacyEventWordsBecomeSeverityAndEvent)
{
    connect(CamModPowerShot);
    listen();
    struct Case {
        std::uint32_t word;
        std::uint32_t parameter;
        const char *expected;
    };
    const Case cases[] = {
        {0x20001, 4, "event 2/2"},  {0x00001, 6, "event 1/1"},  {0x40001, 0x13, "event 3/3"},
        {0x00001, 2, "event 1/4"},  {0x00001, 9, "event 1/0"},  {0x00002, 0, "event 1/5"},
        {0x40003, 0, "event 3/6"},  {0x00004, 0, "event 1/7"},  {0x40006, 0, "event 3/9"},
        {0x00007, 0, "event 1/10"}, {0x0000B, 0, "event 1/11"}, {0x4000D, 0, "event 3/8"},
        {0x10002, 0, "event 0/5"},  {0x00063, 0, "event 1/0"},
    };
    for (const Case &c : cases) {
        cameraEvent(c.word, c.parameter);
        EXPECT_THAT(drain(), ElementsAre(c.expected)) << std::hex << c.word;
    }
    // A battery event without its parameter is no battery level at all.
    TTetherbox::CameraEventCallback(0x00001, nullptr, 0, context());
    EXPECT_THAT(drain(), ElementsAre("event 1/0"));

    engine().OnEvent = nullptr;
    cameraEvent(0x20001, 4);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

TEST_F(EventsTest, ReleaseCompleteCountsShotsNotFiles)
{
    startRemote(CamModPowerShot, 0, ReleaseModeOnlyToPC, ReleaseDataKingTakeBothThumbAndPic);
    listen();
    releaseEvent(29, 4);
    releaseEvent(29, 5);
    EXPECT_THAT(drain(), ElementsAre("remote 2 valid 1 type 0 n 2", "remote 2 valid 1 type 0 n 2"));

    RemoteStartInfoType info;
    engine().RemoteStart(ReleaseModeBothPCAndCamera, ReleaseDataKindTakeOnlyPicture, info, "", false);
    releaseEvent(29, 4);
    engine().RemoteStart(ReleaseModeOnlyToCamera, ReleaseDataKingTakeBothThumbAndPic, info, "", false);
    releaseEvent(29, 4);
    EXPECT_THAT(drain(), ElementsAre("remote 2 valid 1 type 0 n 4", "remote 2 valid 1 type 0 n 0"));

    for (std::uint32_t code : {10u, 27u, 28u, 30u, 32u, 33u, 31u})
        releaseEvent(code, 9);
    EXPECT_THAT(drain(), ElementsAre("remote 3 valid 0 type 0 n 0", "remote 4 valid 0 type 0 n 0",
                                     "remote 1 valid 0 type 0 n 0", "remote 5 valid 0 type 0 n 0",
                                     "remote 7 valid 0 type 0 n 0", "remote 6 valid 0 type 0 n 0",
                                     "remote 0 valid 0 type 0 n 0"));
}

TEST_F(EventsTest, PTPEventsBecomeCameraAndRemoteEventsAndAnnounceTransfers)
{
    connect(CamModPowerShot, 2);
    listen();
    auto send = [&](std::uint16_t code, std::uint32_t object = 0, std::uint32_t parameter = 0) {
        auto raw = ptpEvent(code, object, parameter);
        TTetherbox::PTPEventCallback(1, context(), raw.data());
    };
    send(0xC001);
    send(0xD001);
    send(0xC00A, 0, 1);
    send(0xC00A, 0, 2);
    send(0xC00A, 0, 3);
    send(0xC00A, 0, 4);
    send(0xC00A, 0, 7);
    EXPECT_THAT(drain(), ElementsAre("event 3/6", "event 3/8", "event 1/1", "event 2/2", "event 2/3", "event 3/4",
                                     "event 0/0"));

    for (int code : {0x4006, 0xC00C, 0xC00E, 0xC005, 0xC006, 0xC007, 0xC00B, 0xC0FF})
        send(static_cast<std::uint16_t>(code));
    EXPECT_THAT(drain(), ElementsAre("remote 4 valid 0 type 0 n 0", "remote 4 valid 0 type 0 n 0",
                                     "remote 4 valid 0 type 0 n 0", "remote 3 valid 0 type 0 n 0",
                                     "remote 7 valid 0 type 0 n 0", "remote 6 valid 0 type 0 n 0",
                                     "remote 5 valid 0 type 0 n 0"));

    send(0xC009, 0x11);
    send(0xC008, 0x12);
    EXPECT_THAT(drain(), ElementsAre("remote 2 valid 1 type 0 n 1"));
    EXPECT_EQ(engine().PendingPTPTransferCount(), 2u);

    // A container too short for its header is dropped; so is one with no data at all.
    auto shortOne = ptpEvent(0xC008);
    shortOne[0] = 8;
    TTetherbox::PTPEventCallback(1, context(), shortOne.data());
    TTetherbox::PTPEventCallback(1, context(), nullptr);
    EXPECT_EQ(engine().PendingPTPTransferCount(), 2u);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

class PTPTransferTest : public EventsTest {
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        startRemote(CamModPowerShot, 2);
        listen();
    }
    void announce(std::uint32_t object)
    {
        auto raw = ptpEvent(0xC008, object);
        TTetherbox::PTPEventCallback(1, context(), raw.data());
        drain();
    }
    /// One call of the transfer callback, as the PTP SDK makes it: the progress record laid out
    /// byte by byte as the SDK's packed header has it (percentage at 8, length at 16, the block
    /// address at 28), in a buffer of exactly that size.
    void block(std::uint32_t percent, const std::string &data)
    {
        const std::uint32_t message = data.empty() ? 4 : 2;
        const auto length = static_cast<std::uint32_t>(data.size());
        const void *address = data.data();
        std::vector<std::uint8_t> progress(28 + sizeof address);
        std::memcpy(progress.data(), &message, 4);
        std::memcpy(progress.data() + 8, &percent, 4);
        std::memcpy(progress.data() + 16, &length, 4);
        std::memcpy(progress.data() + 28, &address, sizeof address);
        pr().transferCallback(1, 0x12, context(), progress.data());
    }
    std::string contents() const
    {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ScratchFolder scratch_{"tbx-ptp"};
    const std::filesystem::path file_ = scratch_.path() / "picture.jpg";
};

TEST_F(PTPTransferTest, BlocksGoIntoTheFileWhichIsClosedAtTheEnd)
{
    announce(0x12);
    { std::ofstream old(file_, std::ios::binary); old << "an older and much longer picture"; }
    pr().onCall("RemoteGetPTPPicture", [&] {
        block(0, "");  // the data header comes without data
        block(50, "JFIF");
        block(100, "-DATA");
        block(100, ""); // termination
    });
    engine().RemoteGetPicture(file_.string(), 1);
    EXPECT_EQ(pr().lastArgs("RemoteGetPTPPicture"), "18, set, 0");
    EXPECT_EQ(contents(), "JFIF-DATA");
    EXPECT_EQ(engine().PendingPTPTransferCount(), 0u);
    EXPECT_THAT(drain(), ElementsAre("take 0", "take 50", "take 100", "take 100"));

    // A block after the download ended has no file to go to.
    block(100, "late");
    EXPECT_EQ(contents(), "JFIF-DATA");
}

TEST_F(PTPTransferTest, AnUnfinishedDownloadLeavesNoFileAndKeepsTheTransferForAnotherTry)
{
    announce(0x12);
    pr().onCall("RemoteGetPTPPicture", [&] {
        block(40, "PART");
        throw ECamException("PR_RC_GetReleasedData failed");
    });
    EXPECT_THROW(engine().RemoteGetPicture(file_.string(), 1), ECamException);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_EQ(engine().PendingPTPTransferCount(), 1u);

    // Without the final empty block the picture may be cut short: no file pretends otherwise.
    pr().onCall("RemoteGetPTPPicture", [&] { block(60, "HALF"); });
    EXPECT_THROW(engine().RemoteGetPicture(file_.string(), 1), ECamException);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_EQ(engine().PendingPTPTransferCount(), 1u);

    // The next try fetches the same object.
    pr().onCall("RemoteGetPTPPicture", [&] {
        block(100, "WHOLE");
        block(100, "");
    });
    engine().RemoteGetPicture(file_.string(), 1);
    EXPECT_EQ(pr().ptpRecord->objectHandle(), 0x12u);
    EXPECT_EQ(contents(), "WHOLE");
    EXPECT_EQ(engine().PendingPTPTransferCount(), 0u);
}

TEST_F(PTPTransferTest, NothingAnnouncedMeansNoFileAndNoDriverCall)
{
    EXPECT_THROW(engine().RemoteGetPicture(file_.string(), 1), ECamException);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_EQ(pr().count("RemoteGetPTPPicture"), 0);
}

TEST_F(PTPTransferTest, DisconnectForgetsAnnouncedTransfers)
{
    announce(0x12);
    engine().Disconnect();
    EXPECT_EQ(engine().PendingPTPTransferCount(), 0u);
}

TEST_F(EventsTest, AHandlerThatPumpsMessagesGetsNoEventTwice)
{
    connect(CamModEOS);
    listen();
    int depth = 0;
    engine().OnRemoteTakePictureEvent = [&](int p) {
        got.push_back("take " + std::to_string(p));
        if (depth++ == 0)
            tick(4); // a host that pumps messages inside its handler
        --depth;
    };
    for (std::uint32_t p : {1u, 2u, 3u})
        TTetherbox::TakePictureProgress(p, 0, context());
    tick();
    EXPECT_THAT(got, ElementsAre("take 1"));
    tick(5);
    EXPECT_THAT(got, ElementsAre("take 1", "take 2", "take 3"));
}

TEST_F(EventsTest, AHandlerThatRaisesIsReportedAndNotCalledAgainForThatEvent)
{
    connect(CamModEOS);
    listen();
    std::vector<std::string> failures;
    engine().OnTimerError = [&](const std::string &message) { failures.push_back(message); };
    engine().OnRemoteTakePictureEvent = [&](int p) {
        got.push_back("take " + std::to_string(p));
        if (p == 1)
            throw ECamException("host failed");
    };
    TTetherbox::TakePictureProgress(1, 0, context());
    TTetherbox::TakePictureProgress(2, 0, context());
    tick(4);
    EXPECT_THAT(got, ElementsAre("take 1", "take 2"));
    EXPECT_THAT(failures, ElementsAre("host failed"));
}

TEST_F(EventsTest, AFrameWhoseHandlerRaisesStillMakesRoomForTheNext)
{
    startRemote(CamModPowerShot);
    listen();
    bool fail = true;
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &metadata) {
        got.push_back("frame " + std::string(jpeg.begin(), jpeg.end()) + " valid " + std::to_string(metadata.Valid));
        if (std::exchange(fail, false))
            throw std::runtime_error("disk full");
    };
    std::string one = "F1", two = "F2", three = "F3";
    TTetherbox::LegacyViewfinderCallback(one.data(), 2, 0, context());
    TTetherbox::LegacyViewfinderCallback(two.data(), 2, 0, context()); // dropped: one is pending
    tick();
    TTetherbox::LegacyViewfinderCallback(three.data(), 2, 0, context());
    TTetherbox::LegacyViewfinderCallback(nullptr, 2, 0, context());
    TTetherbox::LegacyViewfinderCallback(three.data(), 0, 0, context());
    tick(3);
    EXPECT_THAT(got, ElementsAre("frame F1 valid 0", "frame F3 valid 0"));
}

TEST_F(EventsTest, AHandlerThatClosesTheEnumerationEndsEverythingSafely)
{
    connect(CamModEOS);
    listen();
    engine().OnRemoteTakePictureEvent = [&](int p) {
        got.push_back("take " + std::to_string(p));
        engine().CloseCameraEnumeration();
    };
    for (std::uint32_t p : {1u, 2u, 3u})
        TTetherbox::TakePictureProgress(p, 0, context());
    tick(5);
    EXPECT_THAT(got, ElementsAre("take 1"));
    EXPECT_FALSE(engine().EnumerationOpen());
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
    EXPECT_THAT(ed().ops(), ElementsAre("Disconnect", "EndSDK"));

    // Callbacks after the close find no queue.
    TTetherbox::TakePictureProgress(4, 0, context());
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

TEST_F(EventsTest, AHandlerThatDestroysTheEngineLeavesNothingBehindToTouch)
{
    connect(CamModEOS);
    listen();
    int calls = 0;
    engine().OnRemoteTakePictureEvent = [&](int) {
        ++calls;
        destroyEngine();
    };
    TTetherbox::TakePictureProgress(1, 0, 0);
    TTetherbox::TakePictureProgress(2, 0, 0);
    tick(4);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(EngineRegistry::exists());
    EXPECT_EQ(TTetherbox::TakePictureProgress(3, 0, 0), 0u);
}

TEST_F(EventsTest, AnUnassignedHandlerDropsItsQueuedEventsWithoutACall)
{
    connect(CamModEOS);
    listen();
    TTetherbox::TakePictureProgress(1, 0, context());
    TTetherbox::GetPictureProgress(2, 0, context());
    engine().OnRemoteTakePictureEvent = nullptr;
    tick(3);
    EXPECT_THAT(got, ElementsAre("picture 2"));
}

TEST_F(EventsTest, KeepAliveRunsOnTheOwnerThreadOnlyWhenSomeoneListens)
{
    connect(CamModPowerShot);
    std::thread sdk([&] { cameraEvent(0x20005); });
    sdk.join();
    tick();
    EXPECT_EQ(cd().count("KeepAlive"), 0); // nobody listens to OnEvent

    listen();
    cameraEvent(0x20005);
    EXPECT_EQ(cd().count("KeepAlive"), 0); // never inside the SDK's callback
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
    tick();
    EXPECT_EQ(cd().count("KeepAlive"), 1);
    EXPECT_THAT(got, IsEmpty());
}

TEST_F(EventsTest, WillSoonShutDownKeepsEOSAwakeButNotGeneration2)
{
    connect(CamModEOS);
    TTetherbox::EOSStateEventHandler(0x303, 0, eosContext());
    tick();
    EXPECT_EQ(ed().count("KeepAlive"), 0); // no OnEvent handler: nothing at all happens

    listen();
    TTetherbox::EOSStateEventHandler(0x303, 0, eosContext());
    tick();
    EXPECT_EQ(ed().count("KeepAlive"), 1);

    engine().CloseCameraEnumeration();
    connect(CamModPowerShotGen2);
    TTetherbox::PS2StateEventHandler(0x303, 0, eosContext());
    tick();
    EXPECT_THAT(log().namesOf("KeepAlive"), IsEmpty());
}

TEST_F(EventsTest, AFloodFromManyThreadsArrivesWholeAndInOrderPerProducer)
{
    startRemote(CamModPowerShot, 0, ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture);
    constexpr int kPerProducer = 300;
    std::vector<int> take, picture, probe, released;
    std::vector<EventCallbackType> camera;
    engine().OnRemoteTakePictureEvent = [&](int p) { take.push_back(p); };
    engine().OnGetPictureEvent = [&](int p) { picture.push_back(p); };
    engine().OnRemoteProbeParamEvent = [&](int p) { probe.push_back(p); };
    engine().OnRemoteEvent = [&](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data) {
        EXPECT_EQ(event, RemoteEventCallbackReleaseComplete);
        released.push_back(data.NumOfEvents);
    };
    engine().OnEvent = [&](EventCallbackType e) { camera.push_back(e); };

    const std::uint32_t ctx = context();
    RecordingDriver &driver = cd();
    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    auto producer = [&](auto produce) {
        producers.emplace_back([&go, produce] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kPerProducer; ++i)
                produce(i);
        });
    };
    producer([ctx](int i) { TTetherbox::TakePictureProgress(static_cast<std::uint32_t>(i), 0, ctx); });
    producer([ctx](int i) { TTetherbox::GetPictureProgress(static_cast<std::uint32_t>(i), 0, ctx); });
    producer([&driver](int i) { driver.probeProgress(i); });
    producer([ctx](int i) {
        const auto n = static_cast<std::uint32_t>(i);
        TTetherbox::RemoteEventCallback(29, &n, sizeof n, ctx);
        const std::uint32_t parameter = 6;
        TTetherbox::CameraEventCallback(0x00001, &parameter, sizeof parameter, ctx);
    });

    go = true;
    const std::size_t total = 5 * kPerProducer;
    for (int ticks = 0; ticks < 20 * kPerProducer; ++ticks) {
        tick();
        if (take.size() + picture.size() + probe.size() + released.size() + camera.size() == total)
            break;
    }
    for (std::thread &t : producers)
        t.join();
    tick(3);

    std::vector<int> expected(kPerProducer);
    for (int i = 0; i < kPerProducer; ++i)
        expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(take, expected);
    EXPECT_EQ(picture, expected);
    EXPECT_EQ(probe, expected);
    EXPECT_EQ(released, expected);
    ASSERT_EQ(camera.size(), static_cast<std::size_t>(kPerProducer));
    for (const EventCallbackType &e : camera)
        EXPECT_EQ(e, (EventCallbackType{EventSeverityInfo, EventBatteryLevelNormal}));
}

TEST_F(EventsTest, EOSPowerZoomStateIsDecodedIntoTheViewfinderMetadata)
{
    connect(CamModEOS);
    listen();
    // Controllable, condition, extreme bits 01, attached, speed switch, high temperature; speed 7.
    const std::uint32_t state = 0x1u | 0x4u | 0x8u | 0x20u | 0x100u | 0x400u | (7u << 16);
    TTetherbox::EOSStateEventHandler(0x311, state, eosContext());
    EXPECT_THAT(drain(), ElementsAre("event 1/15"));
    const PowerZoomInfoType zoom = engine().ViewfinderMetadata().PowerZoom;
    EXPECT_EQ(zoom.Controllable, 1);
    EXPECT_EQ(zoom.PZSwitch, 0);
    EXPECT_EQ(zoom.Condition, 1);
    EXPECT_EQ(zoom.ExtremePosition, 1);
    EXPECT_EQ(zoom.Attached, 1);
    EXPECT_EQ(zoom.BatteryLife, 0);
    EXPECT_EQ(zoom.LensZoomLock, 0);
    EXPECT_EQ(zoom.SpeedSwitch, 1);
    EXPECT_EQ(zoom.IncreasingTemperature, 0);
    EXPECT_EQ(zoom.HighTemperature, 1);
    EXPECT_EQ(zoom.CurrentSpeed, 7u);

    const std::pair<std::uint32_t, int> extremes[] = {{0x18, 0}, {0x00, 2}, {0x10, 2}};
    for (auto [bits, expected] : extremes) {
        TTetherbox::EOSStateEventHandler(0x311, bits, eosContext());
        EXPECT_EQ(engine().ViewfinderMetadata().PowerZoom.ExtremePosition, expected) << bits;
    }
    drain();

    for (std::uint32_t event : {0x301u, 0x305u, 0x306u, 0x302u})
        TTetherbox::EOSStateEventHandler(event, 0, eosContext());
    EXPECT_THAT(drain(), ElementsAre("event 3/13", "event 3/12", "event 3/9"));
}

TEST_F(EventsTest, Generation2StateEventsHaveNoPowerZoom)
{
    connect(CamModPowerShotGen2);
    listen();
    TTetherbox::PS2StateEventHandler(0x311, 0xFFFF, eosContext());
    TTetherbox::PS2StateEventHandler(0x305, 0, eosContext());
    EXPECT_THAT(drain(), ElementsAre("event 3/12"));
    EXPECT_EQ(engine().ViewfinderMetadata().PowerZoom.Controllable, 0);
}

TEST_F(EventsTest, PropertyChangesAreReportedOnlyWhileTheViewfinderTimerRuns)
{
    startRemote(CamModEOS);
    listen();
    TTetherbox::EOSPropertyEventHandler(0x101, 0x400, 0, eosContext());
    EXPECT_EQ(engine().QueuedEventCount(), 0u);

    engine().RemoteStartViewfinder(false);
    ASSERT_TRUE(engine().TimerEOSViewfinder->enabled());
    TTetherbox::EOSPropertyEventHandler(0x101, 0x400, 0, eosContext());
    TTetherbox::EOSPropertyEventHandler(0x102, 0x400, 0, eosContext());
    TTetherbox::EOSPropertyEventHandler(0x103, 0x400, 0, eosContext());
    TTetherbox::PS2PropertyEventHandler(0x101, 0x400, 0, eosContext()); // its timer does not run
    EXPECT_EQ(engine().QueuedEventCount(), 2u);
    engine().RemoteStopViewfinder();
    EXPECT_THAT(drain(), ElementsAre("event 1/11", "event 1/14"));
}

TEST_F(EventsTest, ObjectEventsRegisterItemsByKindAndReleaseWhatNobodyKeeps)
{
    startRemote(CamModEOS);
    int objects[6] = {};
    TTetherbox::EOSObjectEventHandler(0x208, &objects[0], eosContext()); // no listener yet
    EXPECT_THAT(ed().releasedObjects, ElementsAre(&objects[0]));

    listen();
    TTetherbox::EOSObjectEventHandler(0x208, &objects[1], eosContext());
    ed().objectFileName = "MVI_0001.MOV";
    TTetherbox::EOSObjectEventHandler(0x204, &objects[2], eosContext());
    ed().objectFileName = "IMG_0002.JPG";
    TTetherbox::EOSObjectEventHandler(0x204, &objects[3], eosContext());
    ed().objectFileName = "NOEXTENSION";
    TTetherbox::EOSObjectEventHandler(0x204, &objects[4], eosContext());
    TTetherbox::EOSObjectEventHandler(0x209, &objects[5], eosContext());
    TTetherbox::EOSObjectEventHandler(0x208, nullptr, eosContext());
    EXPECT_THAT(ed().transferItems, ElementsAre(&objects[1]));
    EXPECT_THAT(ed().movieItems, ElementsAre(&objects[2]));
    EXPECT_THAT(ed().cardItems, ElementsAre(&objects[3], &objects[4]));
    EXPECT_THAT(ed().releasedObjects, ElementsAre(&objects[0], &objects[5]));
    EXPECT_THAT(drain(), ElementsAre("remote 8 valid 2 type 2 n 0", "remote 9 valid 0 type 0 n 0",
                                     "remote 10 valid 0 type 0 n 0", "remote 10 valid 0 type 0 n 0"));

    // A name that cannot be read leaves the object with nobody: it is released.
    ed().failWith("ObjectFileName", "EdsGetDirectoryItemInfo failed");
    TTetherbox::EOSObjectEventHandler(0x204, &objects[2], eosContext());
    EXPECT_EQ(ed().releasedObjects.back(), &objects[2]);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

TEST_F(EventsTest, Generation2ObjectEventsGoToItsOwnDriver)
{
    startRemote(CamModPowerShotGen2);
    listen();
    int object = 0;
    TTetherbox::PS2ObjectEventHandler(0x208, &object, eosContext());
    EXPECT_THAT(ps().transferItems, ElementsAre(&object));
    EXPECT_THAT(ed().transferItems, IsEmpty());
    EXPECT_THAT(drain(), ElementsAre("remote 8 valid 2 type 2 n 0"));
}

TEST_F(EventsTest, DownloadProgressFollowsTheTransferContext)
{
    connect(CamModEOS);
    listen();
    ed().transferContext = 1;
    TTetherbox::EOSProgressCallback(10, eosContext(), nullptr);
    ed().transferContext = 2;
    TTetherbox::EOSProgressCallback(20, eosContext(), nullptr);
    ed().transferContext = 0;
    TTetherbox::EOSProgressCallback(30, eosContext(), nullptr);
    TTetherbox::PS2ProgressCallback(40, eosContext(), nullptr);
    TTetherbox::RemoteGetPictureProgress(50, 0, context());
    EXPECT_THAT(drain(), ElementsAre("take 10", "picture 20", "movie 20", "picture 40", "take 40", "remote picture 50"));

    // A context that carries no engine is ignored.
    EXPECT_EQ(TTetherbox::EOSProgressCallback(10, nullptr, nullptr), 0u);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

TEST_F(EventsTest, CallbacksNeverWaitForEachOtherAcrossTheSDKsOwnLocks)
{
    // The SDK's event thread calls the object handler, which asks the SDK for the file name and
    // so waits for the SDK's own lock; meanwhile the owner thread is inside an SDK call holding
    // that lock, and the SDK reports download progress from there. Neither callback may wait for
    // the other, or the download and the event thread would block each other for ever.
    startRemote(CamModEOS);
    listen();
    std::mutex sdkLock;
    std::promise<void> inHandler;
    ed().objectFileName = "IMG_0001.JPG";
    ed().onCall("ObjectFileName", [&] {
        inHandler.set_value();
        std::lock_guard wait(sdkLock);
    });
    std::unique_lock insideSdkCall(sdkLock);
    int object = 0;
    std::thread eventThread([&] { TTetherbox::EOSObjectEventHandler(0x204, &object, eosContext()); });
    ASSERT_EQ(inHandler.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    auto progress = std::async(std::launch::async, [&] { TTetherbox::EOSProgressCallback(50, eosContext(), nullptr); });
    const bool progressReturned = progress.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    insideSdkCall.unlock();
    eventThread.join();
    progress.get();
    EXPECT_TRUE(progressReturned) << "the progress callback waited for the object handler";
    EXPECT_THAT(ed().cardItems, ElementsAre(&object));
}

TEST_F(EventsTest, DestroyingTheEngineWaitsForACallbackStillRunningOnIt)
{
    startRemote(CamModEOS);
    listen();
    std::promise<void> inHandler;
    std::promise<void> mayFinish;
    std::atomic<bool> handlerDone{false};
    ed().objectFileName = "IMG_0001.JPG";
    ed().onCall("ObjectFileName", [&] {
        inHandler.set_value();
        mayFinish.get_future().wait();
        handlerDone = true;
    });
    int object = 0;
    std::thread eventThread([&] { TTetherbox::EOSObjectEventHandler(0x204, &object, eosContext()); });
    inHandler.get_future().wait();
    // Lets the handler finish a moment after the owner thread began destroying the engine.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        mayFinish.set_value();
    });
    destroyEngine();
    EXPECT_TRUE(handlerDone) << "the engine went while a callback still ran on it";
    releaser.join();
    eventThread.join();
}

TEST_F(EventsTest, PTPFramesCanBeDeliveredOnTheSDKThreadWhenTheHostAsks)
{
    startRemote(CamModPowerShot, 2);
    listen();
    std::string frame = "JPEG";
    TTetherbox::PTPViewfinderCallback(1, context(), 4, frame.data()); // viewfinder off: ignored
    EXPECT_EQ(engine().QueuedEventCount(), 0u);

    engine().RemoteStartViewfinder(true);
    EXPECT_NE(pr().viewfinderCallbacks.ptp, nullptr);
    std::thread::id deliveredOn;
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
        deliveredOn = std::this_thread::get_id();
        got.push_back("frame " + std::string(jpeg.begin(), jpeg.end()));
    };
    std::thread sdk([&] { pr().viewfinderCallbacks.ptp(1, context(), 4, frame.data()); });
    const std::thread::id sdkId = sdk.get_id();
    sdk.join();
    EXPECT_THAT(got, ElementsAre("frame JPEG"));
    EXPECT_EQ(deliveredOn, sdkId);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);

    // What the host's handler raises stays in the callback.
    engine().OnViewfinderEvent = [](std::span<const std::uint8_t>, const ViewfinderPositionType &) {
        throw std::runtime_error("host failed");
    };
    EXPECT_EQ(TTetherbox::PTPViewfinderCallback(1, context(), 4, frame.data()), 0u);
}

} // namespace
} // namespace tbx::test

namespace tbx::test {
namespace {

/// How the owner thread ends the viewfinder while a frame is with the host on the SDK's thread.
enum class FrameEnd { Stop, Disconnect, Destroy };

class PTPDirectFrameRaceTest : public EventsTest, public testing::WithParamInterface<FrameEnd> {};

TEST_P(PTPDirectFrameRaceTest, TheEndWaitsForAFrameWithTheHostAndNoFrameFollows)
{
    startRemote(CamModPowerShot, 2);
    listen();
    engine().RemoteStartViewfinder(true);
    std::promise<void> inHandler;
    std::promise<void> mayFinish;
    std::atomic<bool> handlerDone{false};
    std::atomic<int> frames{0};
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t>, const ViewfinderPositionType &) {
        if (frames++ == 0) {
            inHandler.set_value();
            mayFinish.get_future().wait();
            handlerDone = true;
        }
    };
    std::string frame = "JPEG";
    const PtpViewfinderProc callback = pr().viewfinderCallbacks.ptp;
    const std::uint32_t ctx = context();
    std::thread sdk([&] { callback(1, ctx, 4, frame.data()); });
    inHandler.get_future().wait();
    // Lets the frame finish a moment after the owner thread began ending the viewfinder.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        mayFinish.set_value();
    });
    switch (GetParam()) {
    case FrameEnd::Stop: engine().RemoteStopViewfinder(); break;
    case FrameEnd::Disconnect: engine().Disconnect(); break;
    case FrameEnd::Destroy: destroyEngine(); break;
    }
    EXPECT_TRUE(handlerDone) << "the viewfinder ended while a frame was still with the host";
    releaser.join();
    sdk.join();
    callback(1, ctx, 4, frame.data());
    EXPECT_EQ(frames.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ends, PTPDirectFrameRaceTest,
                         testing::Values(FrameEnd::Stop, FrameEnd::Disconnect, FrameEnd::Destroy));

} // namespace
} // namespace tbx::test
