// Live view, focus, zoom and movie recording of the EOS driver, and the engine's EOS viewfinder
// tick reading frames through the driver's frame source, into the EOS stand-in.
#include "EosFixture.h"
#include "EosTestSupport.h"

#include <cstring>
#include <numeric>

namespace tbx::test {
namespace {

/// The parameters of every EdsSendCommand of \p command ("0x103") in the call log.
std::vector<std::string> commandParams(const std::string &command)
{
    std::vector<std::string> out;
    for (const std::string &line : simCalls("EdsSendCommand"))
        if (argsOf(line).at(1) == command)
            out.push_back(argsOf(line).at(2));
    return out;
}

struct Frame {
    std::vector<std::uint8_t> jpeg;
    ViewfinderPositionType metadata;
};

class EosLiveViewTest : public EosTest {
protected:
    void SetUp() override
    {
        EosTest::SetUp();
        engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &m) {
            frames_.push_back(Frame{{jpeg.begin(), jpeg.end()}, m});
        };
        engine().OnTimerError = [this](const std::string &message) { timerErrors_.push_back(message); };
    }

    /// Remote mode and live view on the computer.
    void startLiveView()
    {
        startRemote();
        engine().RemoteStartViewfinder(false);
        clearSimLog();
    }

    /// Lets \p count periods of the EOS viewfinder timer (50 ms) pass.
    void eosTicks(int count) { tick(2 * count); }

    std::vector<Frame> frames_;
    std::vector<std::string> timerErrors_;
};

// ---------------------------------------------------------------------------------------------
// Starting and stopping, movies
// ---------------------------------------------------------------------------------------------

TEST_F(EosLiveViewTest, StartAndStopSwitchModeAndOutputInOrder)
{
    startRemote();
    engine().RemoteStartViewfinder(false);
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x501 {1}", "0x500 {2}"}));
    ASSERT_EQ(simCalls("EdsSendStatusCommand").size(), 1u);
    EXPECT_EQ(argsOf(simCalls("EdsSendStatusCommand")[0]).at(1), "0x1");
    clearSimLog();
    engine().RemoteStopViewfinder();
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x500 {0}", "0x501 {0}"}));

    // A camera that refuses stays quiet about it when live view goes off.
    engine().RemoteStartViewfinder(false);
    ASSERT_EQ(sim().InjectFault("EdsSetPropertyData", sdk::EDS_ERR_DEVICE_BUSY, -1), 0u);
    EXPECT_NO_THROW(engine().RemoteStopViewfinder());
}

TEST_F(EosLiveViewTest, MovieRecordingWaitsASecondBetweenFiveRetriesBeforeRaising)
{
    startLiveView();
    ASSERT_EQ(sim().SetBusy("eos1", -1), 0u);
    EXPECT_EQ(failureOf([&] { engine().RemoteStartMovieRecording(); }),
              sdkFailure("EdsSetPropertyData, kEdsPropID_Record - start", sdk::EDS_ERR_DEVICE_BUSY));
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>(7, "0x510 {4}"));
    EXPECT_EQ(clock_.sleepCount(), 5);
    EXPECT_EQ(clock_.sleptTotal(), 5000);
    EXPECT_FALSE(engine().MovieRecording());

    ASSERT_EQ(sim().SetBusy("eos1", 2), 0u);
    engine().RemoteStartMovieRecording();
    EXPECT_EQ(clock_.sleptTotal(), 7000);
    ASSERT_EQ(sim().SetBusy("eos1", -1), 0u);
    EXPECT_EQ(failureOf([&] { engine().RemoteEndMovieRecording(); }),
              sdkFailure("EdsSetPropertyData, kEdsPropID_Record - end", sdk::EDS_ERR_DEVICE_BUSY));
    ASSERT_EQ(sim().SetBusy("eos1", 0), 0u);
    clearSimLog();
    engine().RemoteEndMovieRecording();
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x510 {0}"});
}

// ---------------------------------------------------------------------------------------------
// The viewfinder tick
// ---------------------------------------------------------------------------------------------

TEST_F(EosLiveViewTest, FramesArriveWithTheirMetadataAndLeaveNothingBehind)
{
    startLiveView();
    const std::uint32_t objects = sim().GetObjectCount();
    eosTicks(4);
    // The camera answers "not ready" to the first download after live view started.
    ASSERT_GE(frames_.size(), 2u);
    EXPECT_TRUE(timerErrors_.empty());
    EXPECT_EQ(sim().GetObjectCount(), objects) << "stream or live-view image left behind";

    const Frame &frame = frames_.back();
    EXPECT_EQ(frame.jpeg.at(0), 0xFF);
    EXPECT_EQ(frame.jpeg.at(1), 0xD8);
    const ViewfinderPositionType &m = frame.metadata;
    EXPECT_EQ(m.Valid, 1);
    EXPECT_EQ(m.Zoom, 1);
    EXPECT_EQ(m.CoordSystem.Width, 6000);
    EXPECT_EQ(m.CoordSystem.Height, 4000);
    EXPECT_EQ(m.ZoomRect.Width, 6000);
    for (const auto &block : m.Histogram)
        EXPECT_GT(std::accumulate(std::begin(block), std::end(block), 0ull), 0ull);

    // Zoom and its position come back with the next frame.
    engine().RemoteSetViewfinderZoom(1);
    engine().RemoteSetViewfinderZoomPosition(1200, 800);
    frames_.clear();
    eosTicks(1);
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0].metadata.Zoom, 5);
    EXPECT_EQ(frames_[0].metadata.zoomPosition().X, 1200);
    EXPECT_EQ(frames_[0].metadata.ZoomRect.Width, 1200);
}

TEST_F(EosLiveViewTest, BusyDownloadsDeliverNothingAndRaiseNothing)
{
    startLiveView();
    eosTicks(2);
    const std::uint32_t objects = sim().GetObjectCount();
    for (std::uint32_t code : {0x61u, 0x81u, 0xA102u}) {
        SCOPED_TRACE(code);
        frames_.clear();
        ASSERT_EQ(sim().InjectFault("EdsDownloadEvfImage", code, -1), 0u);
        eosTicks(3);
        EXPECT_TRUE(frames_.empty());
        EXPECT_TRUE(timerErrors_.empty());
        EXPECT_TRUE(engine().TimerEOSViewfinder->enabled());
        EXPECT_EQ(sim().GetObjectCount(), objects);
        ASSERT_EQ(sim().ClearFaults(), 0u);
        eosTicks(1);
        EXPECT_EQ(frames_.size(), 1u);
    }
}

TEST_F(EosLiveViewTest, CameraGoneStopsTheTimerAndOtherFailuresAreReported)
{
    startLiveView();
    eosTicks(2);
    const std::uint32_t objects = sim().GetObjectCount();

    frames_.clear();
    ASSERT_EQ(sim().InjectFault("EdsDownloadEvfImage", sdk::EDS_ERR_INTERNAL_ERROR, 1), 0u);
    eosTicks(1);
    ASSERT_EQ(timerErrors_, std::vector<std::string>{sdkFailure("EdsDownloadEvfImage", sdk::EDS_ERR_INTERNAL_ERROR)});
    EXPECT_TRUE(engine().TimerEOSViewfinder->enabled());
    eosTicks(1);
    EXPECT_EQ(frames_.size(), 1u) << "the next tick tries again";

    // A failure before the download releases what was created up to there.
    timerErrors_.clear();
    ASSERT_EQ(sim().InjectFault("EdsCreateEvfImageRef", sdk::EDS_ERR_MEM_ALLOC_FAILED, 1), 0u);
    eosTicks(1);
    EXPECT_EQ(timerErrors_,
              std::vector<std::string>{sdkFailure("EdsCreateEvfImageRef", sdk::EDS_ERR_MEM_ALLOC_FAILED)});
    EXPECT_EQ(sim().GetObjectCount(), objects);

    frames_.clear();
    timerErrors_.clear();
    ASSERT_EQ(sim().InjectFault("EdsDownloadEvfImage", sdk::EDS_ERR_COMM_DISCONNECTED, 1), 0u);
    eosTicks(1);
    EXPECT_FALSE(engine().TimerEOSViewfinder->enabled());
    eosTicks(3);
    EXPECT_TRUE(frames_.empty());
    EXPECT_TRUE(timerErrors_.empty());
    EXPECT_EQ(sim().GetObjectCount(), objects);
}

TEST_F(EosLiveViewTest, IntervalZeroDeliversExactlyOneFramePerRequest)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "liveView": {"notReadyFrames": 0}}]})");
    engine().EOSViewfinderRefreshInterval = 0;
    startLiveView();
    eosTicks(5);
    EXPECT_TRUE(frames_.empty());
    EXPECT_TRUE(simCalls("EdsDownloadEvfImage").empty());

    EXPECT_FALSE(engine().RemoteGetViewfinderImage());
    EXPECT_FALSE(engine().RemoteGetViewfinderImage());
    eosTicks(5);
    EXPECT_EQ(frames_.size(), 1u);
    EXPECT_EQ(simCalls("EdsDownloadEvfImage").size(), 1u);
    engine().RemoteGetViewfinderImage();
    eosTicks(5);
    EXPECT_EQ(frames_.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------------------------

TEST_F(EosLiveViewTest, AFModeIsCheckedAgainstWhatTheCameraAllows)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "properties": {"Evf_AFMode": {"value": 1, "allowed": [0, 1]}}}]})");
    startLiveView();
    EXPECT_EQ(failureOf([&] { engine().RemoteSetViewfinderAutofocusMode(4); }),
              "Viewfinder AF mode not supported. Trying to set AFMode number 4");
    EXPECT_TRUE(simCalls("EdsSetPropertyData").empty());
    engine().RemoteSetViewfinderAutofocusMode(1);
    engine().RemoteSetViewfinderAutofocusMode(0x82); // the high bit is ignored: live mode
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x50E {0}", "0x50E {1}"}));
    EXPECT_EQ(engine().RemoteGetViewfinderAutofocusMode(), 2);

    ASSERT_EQ(sim().InjectFault("EdsGetPropertyData", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
    EXPECT_EQ(engine().RemoteGetViewfinderAutofocusMode(), 0);
}

TEST_F(EosLiveViewTest, AFModeReadsBackWhatWasSet)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "properties": {"Evf_AFMode": {"value": 1, "allowed": [0, 1, 2, 3, 4]}}}]})");
    startLiveView();
    for (std::uint8_t mode = 1; mode <= 5; ++mode) {
        engine().RemoteSetViewfinderAutofocusMode(mode);
        EXPECT_EQ(engine().RemoteGetViewfinderAutofocusMode(), mode);
    }
    setCameraValue(0x50E, 9);
    EXPECT_EQ(engine().RemoteGetViewfinderAutofocusMode(), 2);
}

/// An AF information block as the camera reports it: image rectangle, count, 32-byte frames.
std::vector<std::uint8_t> focusBlock(std::uint32_t claimed, std::size_t filled)
{
    std::vector<std::uint8_t> block(19224);
    auto put = [&](std::size_t offset, std::int32_t value) { std::memcpy(block.data() + offset, &value, 4); };
    put(8, 6000);
    put(12, 4000);
    put(16, static_cast<std::int32_t>(claimed));
    for (std::size_t i = 0; i < filled; ++i) {
        const std::size_t at = 20 + 32 * i;
        put(at, 1);
        put(at + 4, i == 1 ? 7 : 0);     // selected
        put(at + 8, i == 2 ? 3 : 2);     // just focus: bit 0 only
        put(at + 12, static_cast<std::int32_t>(100 + i));
        put(at + 16, 200);
        put(at + 20, 50);
        put(at + 24, 60);
    }
    return block;
}

TEST_F(EosLiveViewTest, AFInformationTrustsTheFrameCountOnlyAsFarAsTheRecordHoldsFrames)
{
    startLiveView();
    AFFocusInfoType info;

    // The camera's own block: a 9 x 5 grid, the centre selected.
    engine().RemoteGetViewfinderAutofocusInfo(info);
    EXPECT_EQ(info.NrOfFrames, 45);
    EXPECT_EQ(info.Frames[22].Selected, 1);
    EXPECT_EQ(info.Frames[21].Selected, 0);

    // Rows: the camera's count, what the host gets; a negative count is none.
    const struct {
        std::uint32_t claimed;
        int expected;
    } rows[] = {{0, 0}, {3, 3}, {5000, 600}, {0xFFFFFFFFu, 0}, {0x80000000u, 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.claimed);
        const auto block = focusBlock(row.claimed, 600);
        ASSERT_EQ(sim().SetProperty("eos1", 0x104, block.data(), static_cast<std::uint32_t>(block.size())), 0u)
            << simError();
        engine().RemoteGetViewfinderAutofocusInfo(info);
        EXPECT_EQ(info.PictureSizeWidth, 6000);
        EXPECT_EQ(info.PictureSizeHeight, 4000);
        EXPECT_EQ(info.NrOfFrames, row.expected);
        int valid = 0;
        for (const AFFocusFrameType &frame : info.Frames)
            valid += frame.Valid;
        EXPECT_EQ(valid, row.expected);
    }
    // The two limits apart: 600 frames at most, and no more than the block holds.
    EXPECT_EQ(eos::TEDSDK::FocusFrameCount(5000, 20 + 32 * 700), 600u);
    EXPECT_EQ(eos::TEDSDK::FocusFrameCount(5000, 20 + 32 * 100 + 31), 100u);
    EXPECT_EQ(eos::TEDSDK::FocusFrameCount(-7, 20 + 32 * 700), 0u);

    const auto block = focusBlock(3, 3);
    ASSERT_EQ(sim().SetProperty("eos1", 0x104, block.data(), static_cast<std::uint32_t>(block.size())), 0u);
    engine().RemoteGetViewfinderAutofocusInfo(info);
    ASSERT_EQ(info.NrOfFrames, 3);
    EXPECT_EQ(info.Frames[0].Selected, 0);
    EXPECT_EQ(info.Frames[1].Selected, 1);
    EXPECT_EQ(info.Frames[0].JustFocus, 0);
    EXPECT_EQ(info.Frames[2].JustFocus, 1);
    EXPECT_EQ(info.Frames[2].RectPointX, 102);
    EXPECT_EQ(info.Frames[2].RectPointY, 200);
    EXPECT_EQ(info.Frames[2].RectWidth, 50);
    EXPECT_EQ(info.Frames[2].RectHeight, 60);

    // A block the camera cannot give reads as no frames, without a failure.
    ASSERT_EQ(sim().InjectFault("EdsGetPropertyData", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
    engine().RemoteGetViewfinderAutofocusInfo(info);
    EXPECT_EQ(info.NrOfFrames, 0);
    EXPECT_EQ(info.PictureSizeWidth, 0);
    EXPECT_EQ(info.Frames[0].Valid, 0);
}

TEST_F(EosLiveViewTest, OutputAddsTheCameraScreenOnlyWhenMissing)
{
    startLiveView();
    engine().RemoteSetViewfinderOutput(0);
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x500 {3}"});
    clearSimLog();
    engine().RemoteSetViewfinderOutput(0);
    engine().RemoteSetViewfinderOutput(1);
    EXPECT_TRUE(simPropertyWrites().empty());
    engine().RemoteSetViewfinderOutput(2);
    EXPECT_EQ(simPropertyWrites(), std::vector<std::string>{"0x500 {2}"});
}

TEST_F(EosLiveViewTest, WhiteBalancePointMustFitSixteenBitsPerCoordinate)
{
    startLiveView();
    for (auto [x, y] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{65536, 0}, std::pair{0, 65536}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_NE(failureOf([&] { engine().RemoteSetViewfinderWhitebalance(x, y); }).find("0..65535"),
                  std::string::npos);
    }
    EXPECT_TRUE(simLog().empty());
    engine().RemoteSetViewfinderWhitebalance(3000, 2000);
    EXPECT_EQ(commandParams("0x104"), std::vector<std::string>{"0xBB807D0"});
}

TEST_F(EosLiveViewTest, LensZoomAndAutofocusCommandsUseTheCameraValues)
{
    startLiveView();
    for (int step = 0; step <= 7; ++step)
        engine().RemoteSetViewfinderDriveLens(step);
    engine().RemoteSetViewfinderDriveLens(0x84);
    EXPECT_EQ(commandParams("0x103"), (std::vector<std::string>{"0x1", "0x1", "0x2", "0x3", "0x8001", "0x8002",
                                                                 "0x8003", "0x1", "0x8001"}));
    for (int zoom : {0, 1, 2, 3, 0x82})
        engine().RemoteSetViewfinderZoom(zoom);
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x507 {1}", "0x507 {5}", "0x507 {10}", "0x507 {1}",
                                                          "0x507 {10}"}));
    engine().RemoteActivateViewfinderAuto(true);
    engine().RemoteActivateViewfinderAuto(false);
    EXPECT_EQ(commandParams("0x102"), (std::vector<std::string>{"0x1", "0x0"}));

    engine().RemoteSetViewfinderDepthOfFieldPreview(true);
    EXPECT_TRUE(engine().RemoteGetViewfinderDepthOfFieldPreview());
    engine().RemoteSetViewfinderDepthOfFieldPreview(false);
    EXPECT_FALSE(engine().RemoteGetViewfinderDepthOfFieldPreview());
    EXPECT_EQ(failureOf([&] { engine().RemoteAFLock(true); }), "RemoteAFLock is not supported for your EOS camera.");
}

TEST_F(EosLiveViewTest, PowerZoomSetsItsSpeedBeforeEachDrive)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "powerZoom": true}]})");
    startRemote();
    std::vector<EventCallbackType> events;
    engine().OnEvent = [&](EventCallbackType event) { events.push_back(event); };
    engine().RemotePowerZoomTele(true, 2);
    // The lens reports its new state, which the engine keeps with the viewfinder metadata.
    tick(2);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], (EventCallbackType{EventSeverityInfo, EventPowerZoomInfoChanged}));
    const PowerZoomInfoType zoom = engine().ViewfinderMetadata().PowerZoom;
    EXPECT_EQ(zoom.Controllable, 1);
    EXPECT_EQ(zoom.Attached, 1);
    EXPECT_EQ(zoom.CurrentSpeed, 2u);

    engine().RemotePowerZoomTele(false, 1);
    engine().RemotePowerZoomWide(true, 2);
    engine().RemotePowerZoomWide(false, 1);
    engine().RemotePowerZoomStop();
    EXPECT_EQ(simPropertyWrites(), (std::vector<std::string>{"0x444 {2}", "0x444 {1}", "0x444 {2}", "0x444 {1}"}));
    EXPECT_EQ(commandParams("0x10D"), (std::vector<std::string>{"0x2", "0x12", "0x1", "0x11", "0x0"}));
}

} // namespace
} // namespace tbx::test
