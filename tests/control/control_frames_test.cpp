// The control's event translation and live-view frame delivery over recording drivers and a
// scripted frames: frame files and their rotation, stream mode, the directory handling of
// start and stop with its deletion budget.
#include "ControlFixture.h"

#include "platform/Platform.h"

#include <atomic>
#include <fstream>
#include <thread>

namespace tbx::test {

namespace fs = std::filesystem;

namespace {

struct DeliveredFrame {
    std::string fileName;
    std::int32_t address = 0;
    std::int32_t size = 0;
    std::vector<std::int32_t> metadata; ///< Valid, then the eleven integers in event order
};

class FrameTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        script_->fill = [](ViewfinderPositionType &m) {
            m.setZoomPosition(PointType{11, 12});
            m.ZoomRect = RectType{21, 22, 23, 24};
            m.ImagePosition = PointType{31, 32};
            m.CoordSystem = SizeType{6000, 4000};
            m.Zoom = 5;
            m.Histogram[0][0] = 100;
            m.Histogram[3][255] = 7;
            m.PowerZoom.Min = 10;
            m.PowerZoom.Max = 90;
            m.PowerZoom.Current = 30;
        };
        control().OnTimerError = [this](const std::string &message) { timerErrors.push_back(message); };
    }

    void listen()
    {
        control().OnViewfinderEvent = [this](const std::string &name, std::int32_t address, std::int32_t size,
                                             bool valid, std::int32_t a, std::int32_t b, std::int32_t c,
                                             std::int32_t d, std::int32_t e, std::int32_t f, std::int32_t g,
                                             std::int32_t h, std::int32_t i, std::int32_t j, std::int32_t k) {
            DeliveredFrame frame{name, address, size, {valid ? 1 : 0, a, b, c, d, e, f, g, h, i, j, k}};
            if (address != 0)
                bytes.emplace_back(reinterpret_cast<const std::uint8_t *>(static_cast<std::uintptr_t>(
                                       static_cast<std::uint32_t>(address))),
                                   reinterpret_cast<const std::uint8_t *>(static_cast<std::uintptr_t>(
                                       static_cast<std::uint32_t>(address))) + size);
            frames.push_back(std::move(frame));
        };
    }

    std::string slotName(const fs::path &dir, int slot) const
    {
        return dir.string() + platform::kDirSeparator + std::to_string(control_->FrameFileBase() + static_cast<std::uint32_t>(slot)) +
               ".jpg";
    }

    std::vector<DeliveredFrame> frames;
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<std::string> timerErrors;
};

} // namespace

TEST_F(FrameTest, FileModeRotatesOverHundredAndOneNamesAndCarriesTheMetadata)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    for (int kind = 0; kind <= 14; ++kind)
        EXPECT_EQ(control().RemoteGetPowerZoom(kind), 0) << "power zoom before the first frame";
    EXPECT_EQ(control().RemoteGetViewfinderHistogram(0, 0), 0);

    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(101);
    ASSERT_EQ(frames.size(), 101u);
    for (int slot = 0; slot < 101; ++slot)
        ASSERT_EQ(frames[static_cast<std::size_t>(slot)].fileName, slotName(dir, slot));
    EXPECT_EQ(readBytes(slotName(dir, 0)), script_->frame);

    script_->frame = {0xFF, 0xD8, 0x99, 0xFF, 0xD9};
    pullFrames(1);
    ASSERT_EQ(frames.size(), 102u);
    EXPECT_EQ(frames.back().fileName, slotName(dir, 0)) << "the 102nd frame takes the name of the 1st";
    EXPECT_EQ(readBytes(slotName(dir, 0)), script_->frame) << "and replaces its content";
    EXPECT_EQ(frames.back().address, 0);
    EXPECT_EQ(frames.back().size, 0);
    EXPECT_EQ(frames.back().metadata, (std::vector<std::int32_t>{1, 11, 12, 21, 22, 23, 24, 31, 32, 6000, 4000, 5}));

    EXPECT_EQ(control().RemoteGetViewfinderHistogram(0, 0), 100);
    EXPECT_EQ(control().RemoteGetViewfinderHistogram(3, 255), 7);
    EXPECT_EQ(control().RemoteGetPowerZoom(0), 10);
    EXPECT_EQ(control().RemoteGetPowerZoom(1), 90);
    EXPECT_EQ(control().RemoteGetPowerZoom(2), 30);
    EXPECT_EQ(control().RemoteGetPowerZoom(15), 0);
}

TEST_F(FrameTest, WithoutAHandlerFramesLeaveNoFileAndNoHistogram)
{
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(3);
    EXPECT_GT(script_->pulls, 0) << "the engine pulled frames";
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(control().RemoteGetViewfinderHistogram(0, 0), 0);
    EXPECT_EQ(control().RemoteGetPowerZoom(1), 0);
}

TEST_F(FrameTest, StreamModeHandsOverTheFrameWithoutAFile)
{
    listen();
    startViewfinder(ViewfinderCallbackStream, scratch_.path().string());
    pullFrames(2);
    if (sizeof(void *) == 4) {
        ASSERT_EQ(frames.size(), 2u);
    } else if (frames.empty()) {
        // The engine's block lies above 4 GiB: the frame is refused, never handed over truncated.
        ASSERT_FALSE(timerErrors.empty());
        EXPECT_NE(timerErrors.front().find("32-bit address"), std::string::npos);
        if (!platform::lowMemoryAvailable())
            GTEST_SKIP() << "no memory below 4 GiB on this platform";
        platform::LowMemoryBlock block(1 << 20);
        control().SetLowBlockProvider([&](std::size_t size) { return size <= block.size() ? block.data() : nullptr; });
        pullFrames(2);
        ASSERT_EQ(frames.size(), 2u);
    }
    EXPECT_EQ(frames.back().fileName, "");
    EXPECT_NE(frames.back().address, 0);
    EXPECT_EQ(frames.back().size, static_cast<std::int32_t>(script_->frame.size()));
    EXPECT_EQ(bytes.back(), script_->frame);
    EXPECT_TRUE(fs::is_empty(scratch_.path()));
    EXPECT_EQ(control().RemoteGetViewfinderHistogram(0, 0), 100);
}

TEST_F(FrameTest, AFrameThatCannotBeWrittenIsDroppedAndTheRotationGoesOn)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(2);
    fs::remove_all(dir);
    pullFrames(1);
    EXPECT_EQ(frames.size(), 2u) << "the lost frame is not announced";
    EXPECT_TRUE(timerErrors.empty()) << "and raises nothing";
    fs::create_directories(dir);
    pullFrames(1);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames.back().fileName, slotName(dir, 3));
}

TEST_F(FrameTest, DirectoryThatCannotBeCreatedIsRefusedInBothModes)
{
    std::ofstream(scratch_.file("plain")) << "a file, not a folder";
    const std::string dir = scratch_.file("plain") + platform::kDirSeparator + "frames";
    startRemote();
    clearCalls();
    for (int mode : {ViewfinderCallbackFilename, ViewfinderCallbackStream})
        EXPECT_EQ(failureOf([&] { control().RemoteStartViewfinder(mode, false, dir); }),
                  "Could not create viewfinder picture directory:" + dir);
    EXPECT_EQ(ed().count("RemoteStartViewfinder"), 0);
    EXPECT_EQ(failureOf([&] { control().RemoteStartViewfinder(ViewfinderCallbackFilename, false, ""); }),
              "Could not create viewfinder picture directory:");
    EXPECT_NE(failureOf([&] { control().RemoteStartViewfinder(2, false, scratch_.path().string()); }), "");

    const fs::path nested = scratch_.path() / "a" / "b" / "c";
    control().RemoteStartViewfinder(ViewfinderCallbackFilename, false, nested.string());
    EXPECT_TRUE(fs::is_directory(nested));
}

TEST_F(FrameTest, StopDeletesEveryNameOfTheRotationAndNothingElse)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(3);
    std::ofstream(slotName(dir, 100)) << "old frame";
    std::ofstream((dir / "keep.jpg").string()) << "not ours";
    control().RemoteStopViewfinder();
    for (int slot = 0; slot < 101; ++slot)
        EXPECT_FALSE(fs::exists(slotName(dir, slot))) << slot;
    EXPECT_TRUE(fs::exists(dir / "keep.jpg"));
    EXPECT_EQ(clock_.sleptTotal(), 0) << "names that are not there are skipped at once";
}

TEST_F(FrameTest, NamesThatCannotBeDeletedShareOneBudgetOf2000ms)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(10);
    // A non-empty folder under a frame name cannot be deleted as a file.
    for (int slot : {20, 50, 99}) {
        fs::create_directories(slotName(dir, slot));
        std::ofstream(slotName(dir, slot) + platform::kDirSeparator + "inside") << "x";
    }
    const platform::Millis before = clock_.sleptTotal();
    control().RemoteStopViewfinder();
    EXPECT_EQ(clock_.sleptTotal() - before, 2000);
    EXPECT_FALSE(fs::exists(slotName(dir, 0)));
    EXPECT_FALSE(fs::exists(slotName(dir, 9)));
    EXPECT_FALSE(control().Engine()->ViewfinderMode());
}

TEST_F(FrameTest, StopCleansUpEvenWhenTheEngineStopFails)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(2);
    ed().failWith("RemoteStopViewfinder", "lens error", 1);
    EXPECT_EQ(failureOf([&] { control().RemoteStopViewfinder(); }), "lens error");
    EXPECT_FALSE(fs::exists(slotName(dir, 0)));
    EXPECT_FALSE(fs::exists(slotName(dir, 1)));
}

TEST_F(FrameTest, DestroyingTheControlDuringLiveViewRemovesItsFrameFiles)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    startViewfinder(ViewfinderCallbackFilename, dir.string());
    pullFrames(4);
    const std::string first = slotName(dir, 0);
    ASSERT_TRUE(fs::exists(first));
    control_.reset();
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(FrameTest, EveryWayTheViewfinderEndsRemovesTheFrameFiles)
{
    listen();
    const fs::path dir = scratch_.path() / "frames";
    for (auto end : {&TTetherboxActiveX::Disconnect, &TTetherboxActiveX::CloseCameraEnumeration}) {
        startViewfinder(ViewfinderCallbackFilename, dir.string());
        pullFrames(3);
        ASSERT_FALSE(fs::is_empty(dir));
        (control().*end)();
        EXPECT_TRUE(fs::is_empty(dir));
        control().CloseCameraEnumeration();
    }
}

TEST_F(FrameTest, TwoControlsDrawDifferentBases)
{
    TTetherboxActiveX first;
    TTetherboxActiveX second;
    EXPECT_NE(first.FrameFileBase(), second.FrameFileBase());
    EXPECT_LT(first.FrameFileBase(), 100000000u);
    EXPECT_LT(second.FrameFileBase(), 100000000u);
}

TEST_F(FrameTest, FramesOnTheSdkThreadRotateSafelyWhileTheHostReads)
{
    std::atomic<int> delivered{0};
    std::vector<std::string> names; // written on the SDK thread only, read after the join
    control().OnViewfinderEvent = [&](const std::string &name, std::int32_t, std::int32_t, bool, std::int32_t,
                                      std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                      std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
        names.push_back(name);
        ++delivered;
    };
    // A PTP PowerShot (offered on Windows XP) delivers its frames through the SDK's callback.
    platform::setOsVersionOverride(platform::OsVersion{5, 1});
    prepare_ = [](EngineUnderTest &box) {
        box.cd->cameras = {"PowerShot A"};
        box.pr->cameras = {"PowerShot PTP"};
    };
    control().OpenCameraEnumeration();
    control().Connect(CamModPowerShot, 1);
    control().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
    const fs::path dir = scratch_.path() / "frames";
    control().RemoteStartViewfinder(ViewfinderCallbackFilename, true, dir.string());

    const auto context = static_cast<std::uint32_t>(control().Engine()->RegistryIndex());
    std::vector<std::uint8_t> jpeg = script_->frame;
    std::thread sdk([&] {
        for (int i = 0; i < 150; ++i)
            TTetherbox::PTPViewfinderCallback(1, context, static_cast<std::uint32_t>(jpeg.size()), jpeg.data());
    });
    int reads = 0;
    while (delivered < 150 && reads < 1000000) {
        reads += control().RemoteGetViewfinderHistogram(reads % 4, reads % 256) + 1;
        control().RemoteGetPowerZoom(reads % 15);
    }
    sdk.join();
    ASSERT_EQ(delivered.load(), 150);
    EXPECT_EQ(names[0], slotName(dir, 0));
    EXPECT_EQ(names[101], slotName(dir, 0));
    EXPECT_EQ(names[149], slotName(dir, 48));
    EXPECT_EQ(readBytes(names[149]), jpeg);
    control().RemoteStopViewfinder();
    EXPECT_TRUE(fs::is_empty(dir));
}

// ---------------------------------------------------------------------------------------------
// Event translation
// ---------------------------------------------------------------------------------------------

TEST_F(FrameTest, EngineEventsBecomeControlEvents)
{
    connect();
    TTetherbox &engine = *control().Engine();
    // Nothing assigned: the engine's events are dropped without effect.
    engine.OnRemoteEvent.invoke(RemoteEventCallbackReleaseImageReady, AdditionNotifyRemoteEventType{});
    engine.OnRemoteGetPictureEvent.invoke(50);

    std::vector<std::vector<int>> remote;
    control().OnRemoteEvent = [&](RemoteEventCallbackType ev, NotifyRemoteEventValidType valid, std::int32_t n,
                                  TypeOfPictureType type) { remote.push_back({ev, valid, n, type}); };
    engine.OnRemoteEvent.invoke(RemoteEventCallbackReleaseImageReady,
                                AdditionNotifyRemoteEventType{NotifyRemoteEventValid1, TypeOfPicturePicture, 3});
    engine.OnRemoteEvent.invoke(RemoteEventCallbackReleaseImageReady,
                                AdditionNotifyRemoteEventType{NotifyRemoteEventValid2, TypeOfPicturePicture, 3});
    engine.OnRemoteEvent.invoke(RemoteEventCallbackReleaseComplete,
                                AdditionNotifyRemoteEventType{NoNotifyRemoteEventValid, TypeOfPictureThumbnail, 9});
    EXPECT_EQ(remote, (std::vector<std::vector<int>>{{8, 1, 3, 0}, {8, 2, 0, 2}, {2, 0, 0, 1}}));

    std::vector<std::string> seen;
    control().OnEvent = [&](EventSeverityType s, EventEnumType e) {
        seen.push_back("event " + std::to_string(s) + " " + std::to_string(e));
    };
    const auto percent = [&](const char *name) {
        return [&seen, name](std::int32_t p) { seen.push_back(std::string(name) + " " + std::to_string(p)); };
    };
    control().OnRemoteTakePictureEvent = percent("take");
    control().OnRemoteGetPictureEvent = percent("get");
    control().OnRemoteGetMovieEvent = percent("movie");
    control().OnGetPictureEvent = percent("card");
    control().OnRemoteProbeParamEvent = percent("probe");
    control().OnRawDevelopEvent = percent("raw");
    engine.OnEvent.invoke(EventCallbackType{EventSeverityWarning, EventBatteryLevelWeak});
    engine.OnRemoteTakePictureEvent.invoke(10);
    engine.OnRemoteGetPictureEvent.invoke(20);
    engine.OnRemoteGetMovieEvent.invoke(30);
    engine.OnGetPictureEvent.invoke(40);
    engine.OnRemoteProbeParamEvent.invoke(50);
    engine.OnRawDevelopEvent.invoke(60);
    EXPECT_EQ(seen, (std::vector<std::string>{"event 2 2", "take 10", "get 20", "movie 30", "card 40", "probe 50",
                                              "raw 60"}));
}

} // namespace tbx::test
