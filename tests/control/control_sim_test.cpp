// The control over its default engine: the real EOS driver and the EDSDK stand-in of the redist
// folder, under the virtual clock.
#include "ControlFixture.h"
#include "EosFixture.h"

#include <algorithm>
#include <fstream>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tbx::test {

namespace fs = std::filesystem;

namespace {

class ControlSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock_);
        platform::setOsVersionOverride(platform::OsVersion{6, 1});
        ASSERT_EQ(sim().Reset(), 0u) << simError();
        control_ = std::make_unique<TTetherboxActiveX>();
        control_->LibraryFolder = redistFolder();
        control_->OnViewfinderEvent = [this](const std::string &name, std::int32_t, std::int32_t, bool,
                                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                             std::int32_t) { frameNames.push_back(name); };
    }
    void TearDown() override
    {
        control_.reset();
        sim().ClearFaults();
        platform::setClock(nullptr);
        platform::clearOsVersionOverride();
    }

    void startRemote(bool probe = false)
    {
        control().OpenCameraEnumeration();
        ASSERT_EQ(control().OpenCameraEnumeration_GetEOSNr(), 1);
        control().Connect(CamModEOS, 0);
        control().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, probe, scratch_.path().string());
        clearSimLog();
    }
    void run(platform::Millis ms)
    {
        sim().WaitIdle(kSettleLimitMs);
        platform::runFor(ms);
    }
    std::string slotName(const fs::path &dir, int slot) const
    {
        return dir.string() + platform::kDirSeparator +
               std::to_string(control_->FrameFileBase() + static_cast<std::uint32_t>(slot)) + ".jpg";
    }
    std::vector<std::string> propertyWrites() const
    {
        std::vector<std::string> writes;
        for (const std::string &line : simCalls("EdsSetPropertyData"))
            writes.push_back(line.substr(line.find(',') + 2, line.find(") ->") - line.find(',') - 2));
        return writes;
    }

    TTetherboxActiveX &control() { return *control_; }

    platform::VirtualClock clock_;
    std::unique_ptr<TTetherboxActiveX> control_;
    std::vector<std::string> frameNames;
    ScratchFolder scratch_{"tbx-control"};
};

} // namespace

TEST_F(ControlSimTest, LiveViewFramesRotateThroughFilesThatStopRemovesWithinTheBudget)
{
    const fs::path dir = scratch_.path() / "live";
    ASSERT_EQ(sim().LoadScenario(R"({"cameras": [{"id": "eos1", "liveView": {"width": 96, "height": 64}}]})"), 0u)
        << simError();
    startRemote();
    control().RemoteStartViewfinder(ViewfinderCallbackFilename, false, dir.string());
    run(50 * 110);
    ASSERT_GE(frameNames.size(), 102u);
    EXPECT_EQ(frameNames[0], slotName(dir, 0));
    EXPECT_EQ(frameNames[101], slotName(dir, 0)) << "the 102nd frame reuses the first name";
    EXPECT_EQ(std::set<std::string>(frameNames.begin(), frameNames.end()).size(), 101u);
    const std::vector<std::uint8_t> jpeg = readBytes(slotName(dir, 0));
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    int counted = 0;
    for (int level = 0; level < 256; ++level)
        counted += control().RemoteGetViewfinderHistogram(0, level);
    EXPECT_GT(counted, 0) << "the stand-in's histogram came with the frame";

    fs::remove(slotName(dir, 7));
    fs::create_directories(slotName(dir, 7));
    std::ofstream(slotName(dir, 7) + platform::kDirSeparator + "inside") << "x";
    const platform::Millis before = clock_.sleptTotal();
    control().RemoteStopViewfinder();
    const platform::Millis waited = clock_.sleptTotal() - before;
    EXPECT_GE(waited, 2000);
    EXPECT_LT(waited, 2000 + 1000) << "the driver's own waits aside, one budget of 2000 ms";
    for (int slot = 0; slot < 101; ++slot) {
        if (slot != 7) {
            EXPECT_FALSE(fs::exists(slotName(dir, slot))) << slot;
        }
    }
}

TEST_F(ControlSimTest, ASecondControlsFailedConnectLeavesTheFirstControlsSessionAlone)
{
    startRemote();
    int released = 0;
    control().OnRemoteEvent = [&](RemoteEventCallbackType event, NotifyRemoteEventValidType, std::int32_t,
                                  TypeOfPictureType) { released += event == RemoteEventCallbackReleaseImageReady; };
    {
        TTetherboxActiveX second;
        second.LibraryFolder = redistFolder();
        second.OpenCameraEnumeration();
        EXPECT_EQ(failureOf([&] { second.Connect(CamModEOS, 0); }).rfind("EdsOpenSession", 0), 0u);
    }
    control().RemoteTakePicture();
    run(100);
    EXPECT_EQ(released, 1) << "the first control no longer hears its camera";
}

TEST_F(ControlSimTest, TheIntervalIsCopiedOnlyWhenTheEngineIsCreated)
{
    control().EOSViewfinderRefreshInterval = 100;
    startRemote();
    control().EOSViewfinderRefreshInterval = 10;
    control().SetVersion(1.0f);
    control().RemoteStartViewfinder(ViewfinderCallbackStream, false, "");
    EXPECT_EQ(control().Engine()->TimerEOSViewfinder->interval(), 100);
    EXPECT_FLOAT_EQ(control().Version(), 8.9f);
}

TEST_F(ControlSimTest, DirectoryThatCannotBeCreatedStopsTheStartInBothModes)
{
    std::ofstream(scratch_.file("plain")) << "x";
    const std::string dir = scratch_.file("plain") + platform::kDirSeparator + "live";
    startRemote();
    for (int mode : {ViewfinderCallbackFilename, ViewfinderCallbackStream})
        EXPECT_EQ(failureOf([&] { control().RemoteStartViewfinder(mode, false, dir); }),
                  "Could not create viewfinder picture directory:" + dir);
    EXPECT_FALSE(control().Engine()->ViewfinderMode());
    EXPECT_TRUE(simLog().empty());
}

TEST_F(ControlSimTest, ChecksNeverReachTheSdk)
{
    startRemote();
    control().RemoteStartViewfinder(ViewfinderCallbackStream, false, "");
    clearSimLog();
    const std::vector<std::function<void()>> refused = {
        [&] { control().RemoteSetRemoteParams(RemoteParamCompQuality, 1); },
        [&] { control().RemoteSetRemoteParams(RemoteParamAv, 1); },
        [&] { control().RemoteSetRemoteParams(RemoteParamISO, 300); },
        [&] { control().RemoteSetRemoteParams_PictureStyle(true, 1, -200, 0, 0, false, 0, false, 0, false, 0, false); },
        [&] { control().RemoteGetRemoteParams(RemoteParamPictureStyle); },
        [&] { control().RemoteGetViewfinderHistogram(0, 256); },
        [&] { control().RemoteGetViewfinderAutofocusInfoFrame(600, 0); },
        [&] { control().OpenCameraCollection_GetThumbnail(0, scratch_.file("t.jpg")); },
        [&] { control().SetTimeInCamera(2026, 2, 30, 0, 0, 0, 0); },
        [&] { control().RemoteGetPicture(scratch_.file("p.jpg"), 3); },
    };
    for (const auto &call : refused)
        EXPECT_NE(failureOf(call), "");
    EXPECT_TRUE(simLog().empty());
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 0), 0) << "599 is asked of the camera";
    EXPECT_FALSE(simLog().empty());
}

TEST_F(ControlSimTest, KelvinCompletionUsesTheCacheCopyOnly)
{
    startRemote();
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceSetting, 13);
    const std::vector<std::string> first = propertyWrites();
    EXPECT_TRUE(std::none_of(first.begin(), first.end(), [](const std::string &w) { return w.rfind("0x107,", 0) == 0; }))
        << "no temperature before the first cache read";

    control().RemoteGetCameraCacheParameters();
    const int kelvin = control().RemoteGetRemoteParams(RemoteParamWhiteBalanceKelvin);
    ASSERT_GT(kelvin, 0);
    clearSimLog();
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceSetting, 13);
    const std::vector<std::string> second = propertyWrites();
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [&](const std::string &w) {
        return w == "0x107, 0, 4, {" + std::to_string(kelvin) + "}";
    })) << ::testing::PrintToString(second);
}

TEST_F(ControlSimTest, SupportStringsOfAProbedCamera)
{
    startRemote(true);
    const std::string tv = control().RemoteStart_GetRemoteParamSupported(RemoteParamTv);
    EXPECT_EQ(tv.size(), 60u);
    EXPECT_NE(tv.find('1'), std::string::npos);
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamImageMode).size(), 45u);
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamWhiteBalanceKelvin), "");
    EXPECT_TRUE(control().RemoteStart_DoSupportViewfinder());
}

TEST_F(ControlSimTest, CollectionThumbnailsThroughTheStandIn)
{
    startRemote();
    control().OpenCameraCollection(scratch_.path().string(), false);
    ASSERT_EQ(control().OpenCameraCollection_GetNrOfPictures(), 5);
    EXPECT_EQ(failureOf([&] { control().OpenCameraCollection_GetThumbnail(99, scratch_.file("t.jpg")); }),
              msg::kNoThumbnails);
    control().CloseCameraCollection();
    control().OpenCameraCollection(scratch_.path().string(), true);
    EXPECT_EQ(failureOf([&] { control().OpenCameraCollection_GetThumbnail(99, scratch_.file("t.jpg")); }),
              "PictureNumber too high. Picture 99 does not exists");
    EXPECT_EQ(control().OpenCameraCollection_NameOfImage(2), "IMG_0003.CR3");
    EXPECT_NE(failureOf([&] { control().OpenCameraCollection_GetThumbnail(2, scratch_.file("raw.jpg")); }), "");
    control().OpenCameraCollection_GetThumbnail(0, scratch_.file("t.jpg"));
    const std::vector<std::uint8_t> thumb = readBytes(scratch_.file("t.jpg"));
    ASSERT_GE(thumb.size(), 2u);
    EXPECT_EQ(thumb[0], 0xFF);
    EXPECT_EQ(thumb[1], 0xD8);

    control().GetPicture(0, false, scratch_.file("IMG_0001.JPG"));
    EXPECT_GT(fs::file_size(scratch_.file("IMG_0001.JPG")), thumb.size());
}

TEST_F(ControlSimTest, NamesOutsideAsciiReachTheSameFilesWhateverTouchesThem)
{
    // "Ä€Š" as a host spells it: in the ANSI code page on Windows (1252: C4 80 8A), UTF-8 elsewhere.
#ifdef _WIN32
    if (GetACP() != 1252)
        GTEST_SKIP() << "the process's ANSI code page is " << GetACP() << ", not 1252";
    const std::string name = "\xC4\x80\x8A";
#else
    const std::string name = "\xC3\x84\xE2\x82\xAC\xC5\xA0";
#endif
    const fs::path wide = scratch_.path() / fs::path(u8"\u00C4\u20AC\u0160");
    const std::string root = scratch_.path().string() + platform::kDirSeparator + name;
    const auto at = [&](const std::string &leaf) { return root + platform::kDirSeparator + leaf; };

    control().OpenCameraEnumeration();
    control().Connect(CamModEOS, 0);
    control().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, true, at("cache"));
    control().RemoteEnd();
    clearSimLog();
    control().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, true, at("cache"));
    EXPECT_TRUE(simCalls("EdsGetPropertyDesc").empty()) << "the probe cache was not found";

    control().RemoteSaveCameraRemoteParams(at(name + ".par"));
    control().RemoteLoadCameraRemoteParams(at(name + ".par"));
    EXPECT_TRUE(fs::exists(wide / fs::path(u8"\u00C4\u20AC\u0160.par")));

    control().RemoteStartViewfinder(ViewfinderCallbackFilename, false, at("frames"));
    run(200);
    control().RemoteStopViewfinder();
    ASSERT_FALSE(frameNames.empty());
    EXPECT_TRUE(fs::is_directory(wide / "frames"));

    control().RemoteTakePicture();
    run(200);
    control().RemoteGetPicture(at("shot.jpg"), 1);
    EXPECT_TRUE(fs::exists(wide / "shot.jpg"));

    control().OpenCameraCollection(root, true);
    control().OpenCameraCollection_GetThumbnail(0, at("thumb.jpg"));
    EXPECT_TRUE(fs::exists(wide / "thumb.jpg"));
}

} // namespace tbx::test
