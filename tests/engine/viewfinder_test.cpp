// Viewfinder: start and stop with their timers, the gates of the live-view settings, single
// frames, the two ticks and movie recording.
#include "ConnectedEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace tbx::test {
namespace {

/// Frames whose answers the test scripts; shares its state with the test.
struct FrameScript {
    std::vector<std::uint32_t> results{0}; ///< one per call; the last one repeats
    int calls = 0;
    JpegBlob frame{0xFF, 0xD8, 0x01, 0x02, 0xFF, 0xD9};
    std::function<void(ViewfinderPositionType &)> fill;
    std::function<void()> during; ///< runs inside the download
};

/// Makes \p driver answer frame downloads from \p script.
void serveFrames(RecordingDriver &driver, std::shared_ptr<FrameScript> script)
{
    driver.frameSource = [script](JpegBlob &jpeg, ViewfinderPositionType &metadata) {
        FrameScript &s = *script;
        const auto i = static_cast<std::size_t>(s.calls++);
        const std::uint32_t result = s.results[std::min(i, s.results.size() - 1)];
        if (s.during)
            s.during();
        if (result == 0) {
            jpeg = s.frame;
            if (s.fill)
                s.fill(metadata);
        }
        return result;
    };
    driver.frameErrorText = [](std::uint32_t result) {
        return std::string((result & 0xFFFF) == 0x02 ? "Internal error" : "Unkown error");
    };
}

class ViewfinderTest : public ConnectedEngine {
protected:
    void SetUp() override
    {
        ConnectedEngine::SetUp();
        serveFrames(ed(), eosScript);
        serveFrames(ps(), ps2Script);
        engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &m) {
            frames.emplace_back(jpeg.begin(), jpeg.end());
            metadata.push_back(m);
        };
        engine().OnTimerError = [this](const std::string &message) { timerErrors.push_back(message); };
    }

    bool eosTimerOn() { return engine().TimerEOSViewfinder->enabled(); }
    bool ps2TimerOn() { return engine().TimerPS2Viewfinder->enabled(); }

    std::shared_ptr<FrameScript> eosScript = std::make_shared<FrameScript>();
    std::shared_ptr<FrameScript> ps2Script = std::make_shared<FrameScript>();
    std::vector<JpegBlob> frames;
    std::vector<ViewfinderPositionType> metadata;
    std::vector<std::string> timerErrors;
};

// ---------------------------------------------------------------------------------------------
// Start and stop
// ---------------------------------------------------------------------------------------------

TEST_F(ViewfinderTest, StartHandsEachPowerShotDriverItsOwnFrameCallback)
{
    connectRemote(Camera::Legacy);
    engine().RemoteStartViewfinder(false);
    EXPECT_EQ(cd().lastArgs("RemoteStartViewfinder"), "set, null, " + std::to_string(engine().RegistryIndex()));
    EXPECT_TRUE(engine().ViewfinderMode());
    EXPECT_FALSE(eosTimerOn());
    EXPECT_FALSE(ps2TimerOn());
}

TEST_F(ViewfinderTest, StartOnThePTPDriverPassesThePTPCallback)
{
    connectRemote(Camera::PTP);
    engine().RemoteStartViewfinder(true);
    EXPECT_EQ(pr().lastArgs("RemoteStartViewfinder"), "null, set, " + std::to_string(engine().RegistryIndex()));
    EXPECT_EQ(cd().count("RemoteStartViewfinder"), 0);
}

TEST_F(ViewfinderTest, StartRunsTheFamilysTimerAtItsRefreshInterval)
{
    engine().EOSViewfinderRefreshInterval = 120;
    connectViewfinder(Camera::EOS);
    EXPECT_TRUE(eosTimerOn());
    EXPECT_EQ(engine().TimerEOSViewfinder->interval(), 120);
    EXPECT_FALSE(ps2TimerOn());
}

TEST_F(ViewfinderTest, StartOnGeneration2RunsOnlyItsTimer)
{
    engine().PS2ViewfinderRefreshInterval = 40;
    connectViewfinder(Camera::Gen2);
    EXPECT_TRUE(ps2TimerOn());
    EXPECT_EQ(engine().TimerPS2Viewfinder->interval(), 40);
    EXPECT_FALSE(eosTimerOn());
}

TEST_F(ViewfinderTest, StartChecksRemoteModeThenCameraAndLeavesTheModeOffOnFailure)
{
    EXPECT_EQ(failureOf([&] { engine().RemoteStartViewfinder(false); }), "Camera not in remote mode");
    connect(Camera::EOS);
    EXPECT_EQ(failureOf([&] { engine().RemoteStartViewfinder(false); }), "Camera not in remote mode");

    RemoteStartInfoType info;
    engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false);
    ed().failWith("RemoteStartViewfinder", "live view refused", 1);
    EXPECT_EQ(failureOf([&] { engine().RemoteStartViewfinder(false); }), "live view refused");
    EXPECT_FALSE(engine().ViewfinderMode());
    EXPECT_FALSE(eosTimerOn());
}

TEST_F(ViewfinderTest, StopDisablesBothTimersEvenOutsideViewfinderModeAndIsSilentTwice)
{
    connectRemote(Camera::EOS);
    engine().TimerEOSViewfinder->setEnabled(true);
    engine().TimerPS2Viewfinder->setEnabled(true);
    engine().RemoteStopViewfinder();
    EXPECT_FALSE(eosTimerOn());
    EXPECT_FALSE(ps2TimerOn());
    EXPECT_EQ(ed().count("RemoteStopViewfinder"), 0);

    engine().RemoteStartViewfinder(false);
    engine().RemoteStopViewfinder();
    engine().RemoteStopViewfinder();
    EXPECT_EQ(ed().count("RemoteStopViewfinder"), 1);
    EXPECT_FALSE(engine().ViewfinderMode());
    EXPECT_FALSE(eosTimerOn());
    EXPECT_EQ(failureOf([&] { engine().RemoteSetViewfinderZoom(2); }), "Camera not in viewfinder mode");
}

TEST_F(ViewfinderTest, StopLeavesViewfinderModeOffWhenTheDriverFails)
{
    connectViewfinder(Camera::Gen2);
    ps().failWith("RemoteStopViewfinder", "stop failed");
    EXPECT_EQ(failureOf([&] { engine().RemoteStopViewfinder(); }), "stop failed");
    EXPECT_FALSE(engine().ViewfinderMode());
    EXPECT_FALSE(ps2TimerOn());
}

// ---------------------------------------------------------------------------------------------
// Gates of the live-view settings
// ---------------------------------------------------------------------------------------------

const std::vector<FamilyCase> &settings()
{
    static const std::vector<FamilyCase> table = {
        {"Output", [](TTetherbox &e) { e.RemoteSetViewfinderOutput(1); }, "SetViewfinderOutput",
         "SetViewfinderOutput", "!Not supported by the camera"},
        {"DriveLens", [](TTetherbox &e) { e.RemoteSetViewfinderDriveLens(3); },
         "!Not supported by PowerShot cameras", "SetViewfinderDriveLens", "SetViewfinderDriveLens"},
        {"Whitebalance", [](TTetherbox &e) { e.RemoteSetViewfinderWhitebalance(10, 20); },
         "!Not supported by PowerShot cameras", "SetViewfinderWhitebalance", "!Not supported by the camera"},
        {"SetAFMode", [](TTetherbox &e) { e.RemoteSetViewfinderAutofocusMode(2); },
         "!Not supported by PowerShot cameras", "SetViewfinderAFMode", "SetViewfinderAFMode"},
        {"GetAFMode", [](TTetherbox &e) { e.RemoteGetViewfinderAutofocusMode(); },
         "!Not supported by PowerShot cameras", "GetViewfinderAFMode", "GetViewfinderAFMode"},
        {"AFInfo", [](TTetherbox &e) { AFFocusInfoType info; e.RemoteGetViewfinderAutofocusInfo(info); },
         "!Not supported by PowerShot cameras", "GetViewfinderAFInfo", "GetViewfinderAFInfo"},
        {"Zoom", [](TTetherbox &e) { e.RemoteSetViewfinderZoom(5); }, "!Not supported by PowerShot cameras",
         "SetViewfinderZoom", "!Not supported by the camera"},
        {"ZoomPosition", [](TTetherbox &e) { e.RemoteSetViewfinderZoomPosition(1, 2); },
         "!Not supported by PowerShot cameras", "SetViewfinderZoomPosition", "!Not supported by the camera"},
        {"SetDOF", [](TTetherbox &e) { e.RemoteSetViewfinderDepthOfFieldPreview(true); },
         "!Not supported by PowerShot cameras", "SetDepthOfFieldPreview", "SetDepthOfFieldPreview"},
        {"GetDOF", [](TTetherbox &e) { e.RemoteGetViewfinderDepthOfFieldPreview(); },
         "!Not supported by PowerShot cameras", "GetDepthOfFieldPreview", "GetDepthOfFieldPreview"},
        {"Auto", [](TTetherbox &e) { e.RemoteActivateViewfinderAuto(true); }, "ActivateViewfinderAuto",
         "ActivateViewfinderAuto", "ActivateViewfinderAuto"},
    };
    return table;
}

class ViewfinderGates : public ViewfinderTest, public ::testing::WithParamInterface<Camera> {};

TEST_P(ViewfinderGates, EachSettingGoesToItsDriverOrRaisesTheFamilysMessage)
{
    const Camera camera = GetParam();
    connectRemote(camera);
    for (const FamilyCase &s : settings()) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(failureOf([&] { s.call(engine()); }), "Camera not in viewfinder mode");
    }
    EXPECT_TRUE(log().names().empty());

    engine().RemoteStartViewfinder(false);
    expectFamilyCases(settings(), camera);
}

INSTANTIATE_TEST_SUITE_P(Families, ViewfinderGates,
                         ::testing::Values(Camera::Legacy, Camera::PTP, Camera::EOS, Camera::Gen2), cameraName);

TEST_F(ViewfinderTest, AutofocusInfoIsZeroFilledBeforeTheDriverAndOnRefusal)
{
    connectViewfinder(Camera::EOS);
    AFFocusInfoType info;
    info.NrOfFrames = 77;
    info.Frames[599].RectWidth = 5;
    ed().afInfo->PictureSizeWidth = 6000;
    engine().RemoteGetViewfinderAutofocusInfo(info);
    EXPECT_TRUE(ed().afInfoZeroOnEntry);
    EXPECT_EQ(info.PictureSizeWidth, 6000);

    info.NrOfFrames = 77;
    info.Frames[599].RectWidth = 5;
    engine().RemoteStopViewfinder();
    EXPECT_EQ(failureOf([&] { engine().RemoteGetViewfinderAutofocusInfo(info); }), "Camera not in viewfinder mode");
    EXPECT_EQ(info.NrOfFrames, 0);
    EXPECT_EQ(info.Frames[599].RectWidth, 0);
}

TEST_F(ViewfinderTest, SettingsPassTheirArguments)
{
    connectViewfinder(Camera::EOS);
    engine().RemoteSetViewfinderWhitebalance(-3, 700);
    engine().RemoteSetViewfinderZoomPosition(1024, 768);
    engine().RemoteActivateViewfinderAuto(false);
    ed().viewfinderAFMode = 2;
    ed().depthOfFieldPreview = true;
    EXPECT_EQ(ed().lastArgs("SetViewfinderWhitebalance"), "-3, 700");
    EXPECT_EQ(ed().lastArgs("SetViewfinderZoomPosition"), "1024, 768");
    EXPECT_EQ(ed().lastArgs("ActivateViewfinderAuto"), "false");
    EXPECT_EQ(engine().RemoteGetViewfinderAutofocusMode(), 2);
    EXPECT_TRUE(engine().RemoteGetViewfinderDepthOfFieldPreview());
}

// ---------------------------------------------------------------------------------------------
// Single frames
// ---------------------------------------------------------------------------------------------

TEST_F(ViewfinderTest, GetViewfinderImageAnswersByFamily)
{
    EXPECT_EQ(failureOf([&] { engine().RemoteGetViewfinderImage(); }), "No camera is connected");
    connectViewfinder(Camera::Legacy);
    EXPECT_TRUE(engine().RemoteGetViewfinderImage());
    EXPECT_FALSE(eosTimerOn());
}

TEST_F(ViewfinderTest, WithIntervalZeroEachRequestDeliversExactlyOneFrame)
{
    engine().EOSViewfinderRefreshInterval = 0;
    connectViewfinder(Camera::EOS);
    EXPECT_FALSE(eosTimerOn());
    platform::runFor(500);
    EXPECT_TRUE(frames.empty());

    EXPECT_FALSE(engine().RemoteGetViewfinderImage());
    EXPECT_TRUE(engine().SingleFrameRequested());
    EXPECT_TRUE(eosTimerOn());
    EXPECT_EQ(engine().TimerEOSViewfinder->interval(), 50);
    EXPECT_FALSE(engine().RemoteGetViewfinderImage()); // a second request before the tick adds nothing
    platform::runFor(500);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_FALSE(eosTimerOn());
    EXPECT_FALSE(engine().SingleFrameRequested());

    engine().RemoteGetViewfinderImage();
    platform::runFor(500);
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_EQ(eosScript->calls, 2);
}

TEST_F(ViewfinderTest, ANegativeIntervalMeansSingleFramesToo)
{
    engine().EOSViewfinderRefreshInterval = -20;
    connectViewfinder(Camera::EOS);
    EXPECT_FALSE(eosTimerOn());
    engine().RemoteGetViewfinderImage();
    platform::runFor(500);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_FALSE(eosTimerOn());
}

TEST_F(ViewfinderTest, ARequestWhileRunningSpeedsTheTimerUpUntilTheNextStart)
{
    engine().EOSViewfinderRefreshInterval = 200;
    connectViewfinder(Camera::EOS);
    engine().RemoteGetViewfinderImage();
    EXPECT_EQ(engine().TimerEOSViewfinder->interval(), 50);
    platform::runFor(200);
    EXPECT_TRUE(eosTimerOn());
    EXPECT_EQ(frames.size(), 4u);
    engine().RemoteStopViewfinder();
    engine().RemoteStartViewfinder(false);
    EXPECT_EQ(engine().TimerEOSViewfinder->interval(), 200);
}

TEST_F(ViewfinderTest, AnEOSRequestOutsideViewfinderModeStartsNoTimer)
{
    connectRemote(Camera::EOS);
    EXPECT_FALSE(engine().RemoteGetViewfinderImage());
    EXPECT_FALSE(eosTimerOn());
    EXPECT_FALSE(engine().SingleFrameRequested());
}

// ---------------------------------------------------------------------------------------------
// Ticks
// ---------------------------------------------------------------------------------------------

TEST_F(ViewfinderTest, EOSTickDeliversTheFrameWithItsMetadataSynchronously)
{
    eosScript->fill = [](ViewfinderPositionType &m) {
        m.ZoomRect = {10, 20, 300, 200};
        m.Histogram[3][255] = 9;
        m.Zoom = 5;
        m.PowerZoom.Current = 44;
        m.PowerZoom.Controllable = 1; // state bits are not the frame's to set
    };
    connectViewfinder(Camera::EOS);
    platform::runFor(50);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], eosScript->frame);
    EXPECT_EQ(metadata[0].Valid, 1);
    EXPECT_EQ(metadata[0].ZoomRect.Width, 300);
    EXPECT_EQ(metadata[0].Histogram[3][255], 9u);
    EXPECT_EQ(metadata[0].Zoom, 5);
    EXPECT_EQ(metadata[0].PowerZoom.Current, 44);
    EXPECT_EQ(metadata[0].PowerZoom.Controllable, 0);
    EXPECT_EQ(engine().ViewfinderMetadata().ZoomRect.PointY, 20);
    EXPECT_EQ(engine().QueuedEventCount(), 0u);
}

TEST_F(ViewfinderTest, Generation2FramesCarryNoMetadata)
{
    ps2Script->fill = [](ViewfinderPositionType &m) { m.ZoomRect.Width = 999; };
    connectViewfinder(Camera::Gen2);
    platform::runFor(25);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(metadata[0].Valid, 0);
    EXPECT_EQ(metadata[0].ZoomRect.Width, 0);
    EXPECT_EQ(eosScript->calls, 0);
}

TEST_F(ViewfinderTest, ATickOnlyPullsForItsOwnFamilyAndOtherwiseSwitchesItselfOff)
{
    connectViewfinder(Camera::Gen2);
    engine().TimerEOSViewfinder->setEnabled(true);
    platform::runFor(100);
    EXPECT_EQ(eosScript->calls, 0);
    EXPECT_FALSE(eosTimerOn());
    EXPECT_TRUE(ps2TimerOn());
    EXPECT_GT(ps2Script->calls, 0);
}

TEST_F(ViewfinderTest, WithoutAFrameHandlerNothingIsPulled)
{
    engine().OnViewfinderEvent = nullptr;
    connectViewfinder(Camera::EOS);
    platform::runFor(200);
    EXPECT_EQ(eosScript->calls, 0);
    EXPECT_TRUE(eosTimerOn());
}

TEST_F(ViewfinderTest, DownloadResultsMeaningNoFrameAreQuietAndDisconnectionStopsTheTimer)
{
    eosScript->results = {0x81, 0x61, 0xA102, 0x81, 0xC1};
    connectViewfinder(Camera::EOS);
    platform::runFor(200);
    EXPECT_EQ(eosScript->calls, 4);
    EXPECT_TRUE(frames.empty());
    EXPECT_TRUE(timerErrors.empty());
    EXPECT_TRUE(eosTimerOn());
    platform::runFor(100);
    EXPECT_EQ(eosScript->calls, 5);
    EXPECT_FALSE(eosTimerOn());
    EXPECT_TRUE(timerErrors.empty());
}

TEST_F(ViewfinderTest, AFailingDownloadIsReportedOncePerRunAndRetried)
{
    eosScript->results = {0x02, 0x02, 0x02, 0, 0x80000002};
    connectViewfinder(Camera::EOS);
    platform::runFor(150);
    ASSERT_EQ(timerErrors.size(), 1u);
    EXPECT_EQ(timerErrors[0], "EdsDownloadEvfImage errorcode 0x00000002, Internal error");
    EXPECT_TRUE(eosTimerOn());
    platform::runFor(100);
    EXPECT_EQ(frames.size(), 1u);
    ASSERT_EQ(timerErrors.size(), 2u);
    EXPECT_EQ(timerErrors[1], "EdsDownloadEvfImage errorcode 0x80000002, Internal error");
}

TEST_F(ViewfinderTest, ATickOnADriverThatOffersNoFramesReportsTheFaultOnce)
{
    ed().frameSource = nullptr;
    connectViewfinder(Camera::EOS);
    platform::runFor(150);
    ASSERT_EQ(timerErrors.size(), 1u);
    EXPECT_EQ(timerErrors[0], "DownloadViewfinderFrame is not offered by this camera driver");
}

TEST_F(ViewfinderTest, AHandlerThatPumpsMessagesGetsNoNestedTick)
{
    int depth = 0;
    int maxDepth = 0;
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t>, const ViewfinderPositionType &) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        platform::runFor(200);
        --depth;
    };
    connectViewfinder(Camera::EOS);
    platform::runFor(60);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_TRUE(eosTimerOn());
}

TEST_F(ViewfinderTest, AFrameHandlerMayDestroyTheEngine)
{
    engine().OnViewfinderEvent = [&](std::span<const std::uint8_t>, const ViewfinderPositionType &) {
        destroyEngine();
    };
    connectViewfinder(Camera::EOS);
    platform::runFor(200);
    EXPECT_EQ(box_->engine, nullptr);
    EXPECT_EQ(eosScript->calls, 1);
}

TEST_F(ViewfinderTest, ATimerErrorHandlerMayDestroyTheEngine)
{
    eosScript->results = {0x02};
    engine().OnTimerError = [&](const std::string &) { destroyEngine(); };
    connectViewfinder(Camera::EOS);
    platform::runFor(200);
    EXPECT_EQ(box_->engine, nullptr);
    EXPECT_EQ(eosScript->calls, 1);
}

// ---------------------------------------------------------------------------------------------
// Movie recording
// ---------------------------------------------------------------------------------------------

TEST_F(ViewfinderTest, MovieRecordingOnEOSWithItsGates)
{
    EXPECT_EQ(failureOf([&] { engine().RemoteStartMovieRecording(); }), "Camera not in remote mode");
    EXPECT_EQ(failureOf([&] { engine().RemoteEndMovieRecording(); }), "Camera not in movie recording mode");
    connectRemote(Camera::EOS);
    engine().RemoteStartMovieRecording();
    EXPECT_TRUE(engine().MovieRecording());
    EXPECT_EQ(failureOf([&] { engine().RemoteStartMovieRecording(); }), "Camera already in recording mode");
    engine().RemoteEndMovieRecording();
    EXPECT_FALSE(engine().MovieRecording());
    EXPECT_EQ(log().names(), (std::vector<std::string>{"ED.StartMovieRecording", "ED.EndMovieRecording"}));

    ed().failWith("StartMovieRecording", "record refused", 1);
    EXPECT_EQ(failureOf([&] { engine().RemoteStartMovieRecording(); }), "record refused");
    EXPECT_FALSE(engine().MovieRecording());
}

TEST_F(ViewfinderTest, TheRecordingStateEndsWithTheCamera)
{
    connectRemote(Camera::EOS);
    engine().RemoteStartMovieRecording();
    engine().Disconnect();
    EXPECT_FALSE(engine().MovieRecording());
    EXPECT_EQ(failureOf([&] { engine().RemoteEndMovieRecording(); }), "Camera not in movie recording mode");
    connect(Camera::EOS);
    engine().RemoteStartMovieRecording();
    EXPECT_TRUE(engine().MovieRecording());
}

TEST_F(ViewfinderTest, PowerShotCamerasAcceptMovieCallsAndDoNothing)
{
    connectRemote(Camera::Gen2);
    engine().RemoteStartMovieRecording();
    EXPECT_FALSE(engine().MovieRecording());
    EXPECT_EQ(failureOf([&] { engine().RemoteEndMovieRecording(); }), "Camera not in movie recording mode");
    EXPECT_TRUE(log().names().empty());
}

} // namespace
} // namespace tbx::test
