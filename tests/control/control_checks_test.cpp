// The control over recording drivers: its settings and the engine's lifetime, the argument
// checks with their messages, the records the setters build, and the answers from its copies.
#include "ControlFixture.h"

#include <cstring>
#include <ctime>

namespace tbx::test {

namespace {

/// A record with only the bytes \p set changed from zero.
RemoteParamsType recordWith(const std::function<void(RemoteParamsType &)> &set)
{
    RemoteParamsType p;
    set(p);
    return p;
}

bool sameBytes(const RemoteParamsType &a, const RemoteParamsType &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class RecordingSurface : public ControlPaintSurface {
public:
    void PaintBase() override { steps.push_back("base"); }
    void SetSizeConstraints(int minWidth, int minHeight, int maxWidth, int maxHeight) override
    {
        steps.push_back("constraints " + std::to_string(minWidth) + " " + std::to_string(minHeight) + " " +
                        std::to_string(maxWidth) + " " + std::to_string(maxHeight));
    }
    void DrawTransparentBitmap(const std::string &resourceName, int x, int y) override
    {
        steps.push_back("bitmap " + resourceName + " " + std::to_string(x) + " " + std::to_string(y));
    }
    std::vector<std::string> steps;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Settings and the engine's lifetime
// ---------------------------------------------------------------------------------------------

TEST_F(ControlTest, SettingsReachAnEngineOnlyWhenItIsCreated)
{
    EXPECT_FLOAT_EQ(control().Version(), 8.9f);
    control().SetVersion(2.5f);
    EXPECT_FLOAT_EQ(control().Version(), 8.9f);
    EXPECT_EQ(control().EOSViewfinderRefreshInterval, 50);
    EXPECT_EQ(control().PS2ViewfinderRefreshInterval, 25);
    EXPECT_EQ(control().LibraryFolder, "");
    EXPECT_EQ(control().Width(), 32);
    EXPECT_EQ(control().Height(), 32);

    control().EOSViewfinderRefreshInterval = 120;
    control().PS2ViewfinderRefreshInterval = 70;
    control().LibraryFolder = "/opt/vendor";
    control().OpenCameraEnumeration();
    ASSERT_TRUE(control().HasEngine());
    EXPECT_EQ(control().Engine()->EOSViewfinderRefreshInterval, 120);
    EXPECT_EQ(control().Engine()->PS2ViewfinderRefreshInterval, 70);
    EXPECT_EQ(control().Engine()->LibraryFolder, "/opt/vendor");

    control().EOSViewfinderRefreshInterval = 300;
    control().OpenCameraEnumeration(); // re-enumerates with the same engine
    EXPECT_EQ(enginesBuilt_, 1);
    EXPECT_EQ(control().Engine()->EOSViewfinderRefreshInterval, 120);

    control().CloseCameraEnumeration();
    EXPECT_FALSE(control().HasEngine());
    control().OpenCameraEnumeration();
    EXPECT_EQ(enginesBuilt_, 2);
    EXPECT_EQ(control().Engine()->EOSViewfinderRefreshInterval, 300);
}

TEST_F(ControlTest, EngineCallsWithoutAnOpenEnumerationFailClearlyWhileCopiesStillAnswer)
{
    const std::string dir = scratch_.file("frames");
    const std::vector<std::pair<const char *, std::function<void()>>> calls = {
        {"Connect", [&] { control().Connect(CamModEOS, 0); }},
        {"Disconnect", [&] { control().Disconnect(); }},
        {"RemoteStart", [&] { control().RemoteStart(0, 1, false, ""); }},
        {"RemoteTakePicture", [&] { control().RemoteTakePicture(); }},
        {"GetBodyID", [&] { control().GetBodyID(); }},
        {"RemoteGetCameraCacheParameters", [&] { control().RemoteGetCameraCacheParameters(); }},
        {"RemoteSetRemoteParams", [&] { control().RemoteSetRemoteParams(RemoteParamISO, 5); }},
        {"RemoteStartViewfinder", [&] { control().RemoteStartViewfinder(0, false, dir); }},
        {"RemoteStopViewfinder", [&] { control().RemoteStopViewfinder(); }},
        {"OpenCameraCollection", [&] { control().OpenCameraCollection("", false); }},
        {"SetTimeInCamera", [&] { control().SetTimeInCamera(2026, 6, 1, 12, 0, 0, 0); }},
    };
    EXPECT_EQ(control().OpenCameraEnumeration_GetEOSNr(), 0);
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(CamModEOS, 0), "");
    for (const auto &[name, call] : calls)
        EXPECT_EQ(failureOf(call), msg::kNoEnumeration) << name << " before the first enumeration";

    connect();
    control().CloseCameraEnumeration();
    for (const auto &[name, call] : calls)
        EXPECT_EQ(failureOf(call), msg::kNoEnumeration) << name << " after the enumeration was closed";
    // The name lists and the connection are copies: the freed engine took nothing with it.
    EXPECT_EQ(control().OpenCameraEnumeration_GetEOSNr(), 1);
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(CamModEOS, 0), "Canon EOS Test");
    EXPECT_EQ(control().Connect_CameraModel(), CamModEOS);
    EXPECT_NO_THROW(control().CloseCameraEnumeration());
}

TEST_F(ControlTest, EnumerationAndConnectionQueries)
{
    prepare_ = [](EngineUnderTest &box) {
        box.ed->connectInfo.CameraModel = CamModEOS;
        box.ed->connectInfo.CameraModelName = std::string(300, 'M');
        box.ed->connectInfo.OwnerName = "Studio 3";
        box.ed->connectInfo.BatterySource = 2;
        box.ed->connectInfo.BatteryStatus = 1;
    };
    connect();
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(CamModEOS, 1), "") << "number equal to the count";
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(CamModNone, 0), "");
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(CamModPowerShot, 0), "");
    EXPECT_EQ(control().OpenCameraEnumeration_GetModel(7, 0), "");
    EXPECT_NE(failureOf([&] { control().OpenCameraEnumeration_GetModel(CamModEOS, -1); }), "");
    EXPECT_EQ(control().OpenCameraEnumeration_GetPowerShotNr(), 0);
    EXPECT_EQ(control().OpenCameraEnumeration_GetPowerShotGen2Nr(), 0);

    EXPECT_EQ(control().Connect_CameraModelName(), std::string(255, 'M'));
    EXPECT_EQ(control().Connect_OwnerName(), "Studio 3");
    EXPECT_EQ(control().Connect_Battery_BatterySource(), 2);
    EXPECT_EQ(control().Connect_Battery_BatteryStatus(), 1);
    // A failed Connect leaves the copy of the last good one.
    EXPECT_EQ(failureOf([&] { control().Connect(CamModEOS, 0); }), "Camera already connected.");
    EXPECT_EQ(control().Connect_OwnerName(), "Studio 3");
    control().Disconnect();
    EXPECT_EQ(control().Connect_CameraModel(), CamModEOS);
}

TEST_F(ControlTest, DestroyingTheControlUnwindsALiveEngineWithItsHandlersRemovedFirst)
{
    bool handlersGoneAtStop = false;
    prepare_ = [&](EngineUnderTest &box) {
        TTetherbox *engine = box.engine.get();
        box.ed->onCall("RemoteStopViewfinder", [engine, &handlersGoneAtStop] {
            handlersGoneAtStop = !engine->OnViewfinderEvent.assigned() && !engine->OnEvent.assigned() &&
                                 !engine->OnRemoteEvent.assigned() && !engine->OnTimerError.assigned();
        });
        box.ed->failWith("RemoteEnd", "camera refused", -1);
    };
    startViewfinder(ViewfinderCallbackStream, "");
    std::shared_ptr<CallLog> calls = log_;
    calls->clear();
    control_.reset();
    EXPECT_TRUE(handlersGoneAtStop);
    EXPECT_EQ(calls->namesOf("RemoteStopViewfinder"), std::vector<std::string>{"ED.RemoteStopViewfinder"});
    const std::vector<std::string> names = calls->names();
    const auto at = [&](const std::string &name) { return std::find(names.begin(), names.end(), name); };
    ASSERT_NE(at("ED.RemoteEnd"), names.end());
    ASSERT_NE(at("ED.Disconnect"), names.end()) << "a failing step does not stop the unwinding";
    ASSERT_NE(at("ED.EndSDK"), names.end());
    EXPECT_LT(at("ED.RemoteStopViewfinder"), at("ED.RemoteEnd"));
    EXPECT_LT(at("ED.RemoteEnd"), at("ED.Disconnect"));
    EXPECT_LT(at("ED.Disconnect"), at("ED.EndSDK"));
}

TEST_F(ControlTest, PaintDrawsTheBitmapThroughTheSurface)
{
    control().Paint(); // no surface: nothing to draw on, nothing happens
    RecordingSurface surface;
    control().SetPaintSurface(&surface);
    control().Paint();
    EXPECT_EQ(surface.steps,
              (std::vector<std::string>{"base", "constraints 32 32 32 32", "bitmap TTetherboxActiveX 3 3"}));
    control().SetPaintSurface(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Checks
// ---------------------------------------------------------------------------------------------

TEST_F(ControlTest, EveryCheckFailsWithItsMessageBeforeTheEngineIsCalled)
{
    startRemote();
    control().OpenCameraCollection("", false);
    clearCalls();
    const std::string quality = " parameter in the RemoteSetRemoteParams_ImageQuality method";
    const std::vector<std::pair<std::function<void()>, std::string>> checks = {
        {[&] { control().RemoteSetRemoteParams(RemoteParamCompQuality, 1); },
         "Please set the RemoteParamCompQuality" + quality},
        {[&] { control().RemoteSetRemoteParams(RemoteParamCompQualityPic2RAW, 1); },
         "Please set the RemoteParamCompQualityPic2RAW" + quality},
        {[&] { control().RemoteSetRemoteParams(RemoteParamImageSize, 1); },
         "Please set the RemoteParamImageSize" + quality},
        {[&] { control().RemoteSetRemoteParams(RemoteParamImageSizePic2RAW, 1); },
         "Please set the RemoteParamImageSizePic2RAW" + quality},
        {[&] { control().RemoteSetRemoteParams(RemoteParamWhiteBalanceShift, 1); },
         "Please set the RemoteParamWhiteBalanceShift parameter in the RemoteSetRemoteParams_WhitebalanceShift method"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamPictureStyle, 1); },
         "Please set the RemoteParamPictureStyle parameter in the RemoteSetRemoteParams_PictureStyle method"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamAv, 1); },
         "Please set the RemoteParamAv parameter in the RemoteSetRemoteParams_AvTvImageMode method"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamTv, 1); },
         "Please set the RemoteParamTv parameter in the RemoteSetRemoteParams_AvTvImageMode method"},
        {[&] { control().RemoteGetRemoteParams(RemoteParamWhiteBalanceShift); },
         "Please get the RemoteParamWhiteBalanceShift parameter in the RemoteGetRemoteParams_WhitebalanceShift method"},
        {[&] { control().RemoteGetRemoteParams(RemoteParamPictureStyle); },
         "Please get the RemoteParamPictureStyle parameter in the RemoteGetRemoteParams_PictureStyle method"},
        {[&] { control().RemoteGetViewfinderHistogram(0, 256); },
         "Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255"},
        {[&] { control().RemoteGetViewfinderHistogram(4, -1); },
         "Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255"},
        {[&] { control().RemoteGetViewfinderHistogram(4, 0); }, msg::kHistogramColor},
        {[&] { control().RemoteGetViewfinderHistogram(-1, 0); }, msg::kHistogramColor},
        {[&] { control().RemoteGetViewfinderAutofocusInfoFrame(600, 0); },
         "Parameter FrameNr in method RemoteGetViewfinderAutofocusInfoFrame must be between 0..599"},
        {[&] { control().RemoteGetViewfinderAutofocusInfoFrame(-1, 0); }, msg::kAFFrameNr},
        {[&] { control().OpenCameraCollection_GetThumbnail(-5, scratch_.file("t.jpg")); },
         "Thumbnail not received since not set in OpenCameraCollection"},
        {[&] { control().RemoteStart(3, 0, false, ""); },
         "Parameter ReleaseMode in method RemoteStart must be between 0..2"},
        {[&] { control().RemoteStart(0, -1, false, ""); },
         "Parameter ReleaseDataKind in method RemoteStart must be between 0..2"},
        {[&] { control().RemoteGetPicture(scratch_.file("p.jpg"), 2); },
         "Parameter PictureType in method RemoteGetPicture must be between 0..1"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamISO, 256); },
         "Parameter Value in method RemoteSetRemoteParams must be between 0..255"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamDriveMode, -1); },
         "Parameter Value in method RemoteSetRemoteParams must be between 0..255"},
        {[&] { control().RemoteSetRemoteParams(RemoteParamWhiteBalanceKelvin, -1); },
         "Parameter Value in method RemoteSetRemoteParams must not be negative"},
        {[&] { control().RemoteSetRemoteParams_AvTvImageMode(1, 256, 1); },
         "Parameter Av in method RemoteSetRemoteParams_AvTvImageMode must be between 0..255"},
        {[&] { control().RemoteSetRemoteParams_ImageQuality(1, 1, 1, -2); },
         "Parameter ImageQualityPic2RAW in method RemoteSetRemoteParams_ImageQuality must be between 0..255"},
        {[&] { control().RemoteSetRemoteParams_PictureStyle(true, 1, 128, 0, 0, false, 0, false, 0, false, 0, false); },
         "Parameter Contrast in method RemoteSetRemoteParams_PictureStyle must be between -128..127"},
        {[&] { control().RemoteSetRemoteParams_PictureStyle(true, 1, 0, 256, 0, false, 0, false, 0, false, 0, false); },
         "Parameter Sharpness in method RemoteSetRemoteParams_PictureStyle must be between 0..255"},
        {[&] { control().RemoteSetRemoteParams_PictureStyle(true, 1, 0, 0, 0, false, -129, true, 0, false, 0, false); },
         "Parameter ColorTone in method RemoteSetRemoteParams_PictureStyle must be between -128..127"},
        {[&] { control().RemoteSetRemoteParams_WhitebalanceShift(true, -129, 0); },
         "Parameter AmberBlue in method RemoteSetRemoteParams_WhitebalanceShift must be between -128..127"},
        {[&] { control().GetPicture(-1, false, scratch_.file("p.jpg")); },
         "Parameter NrInList in method GetPicture must not be negative"},
        {[&] { control().DeletePicture(-1); }, "Parameter NrInList in method DeletePicture must not be negative"},
    };
    for (const auto &[call, message] : checks)
        EXPECT_EQ(failureOf(call), message);
    EXPECT_TRUE(log().names().empty()) << "a check let a call reach the drivers";
}

TEST_F(ControlTest, SetTimeInCameraTurnsAValidLocalDateIntoTheEngineTime)
{
    prepare_ = [](EngineUnderTest &box) { box.ps->cameras = {"PowerShot G7 X Mark II"}; };
    control().OpenCameraEnumeration();
    control().Connect(CamModPowerShotGen2, 0);
    clearCalls();
    const std::vector<std::array<int, 7>> invalid = {
        {2023, 2, 29, 12, 0, 0, 0}, {2026, 13, 1, 0, 0, 0, 0},  {2026, 4, 31, 0, 0, 0, 0},
        {2026, 1, 1, 24, 0, 0, 0},  {2026, 1, 1, 0, 60, 0, 0},  {2026, 1, 1, 0, 0, 60, 0},
        {2026, 1, 1, 0, 0, 0, 1000}, {0, 1, 1, 0, 0, 0, 0},     {65536 + 2026, 1, 1, 0, 0, 0, 0},
        {2026, 65536 + 1, 1, 0, 0, 0, 0}, {2026, 1, -1, 0, 0, 0, 0},
    };
    for (const auto &d : invalid) {
        const std::string message = failureOf([&] { control().SetTimeInCamera(d[0], d[1], d[2], d[3], d[4], d[5], d[6]); });
        EXPECT_EQ(message.rfind(msg::kInvalidDate, 0), 0u) << d[0] << "-" << d[1] << "-" << d[2] << ": " << message;
    }
    EXPECT_EQ(ps().count("SetTime"), 0);

    control().SetTimeInCamera(2024, 2, 29, 23, 59, 58, 999);
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 1;
    local.tm_mday = 29;
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 58;
    local.tm_isdst = -1;
    EXPECT_EQ(ps().lastArgs("SetTime"), std::to_string(static_cast<long long>(std::mktime(&local))));
}

// ---------------------------------------------------------------------------------------------
// Parameter records
// ---------------------------------------------------------------------------------------------

TEST_F(ControlTest, GenericSetterSendsOneFieldOverAZeroedRecord)
{
    startRemote();
    control().RemoteSetRemoteParams(RemoteParamISO, 5);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.ISO = 5; })));
    // ImageMode lies before DriveMode in the record although its kind number is higher.
    control().RemoteSetRemoteParams(RemoteParamDriveMode, 3);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.DriveMode = 3; })));
    control().RemoteSetRemoteParams(RemoteParamImageMode, 255);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.ImageMode = 255; })));
    control().RemoteSetRemoteParams(RemoteParamBeep, 2);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.Beep = 2; })));

    clearCalls();
    control().RemoteSetRemoteParams(RemoteParamVFAFMode, 3);
    control().RemoteSetRemoteParams(kRemoteParamKindCount, 3);
    control().RemoteSetRemoteParams(-1, 3);
    EXPECT_EQ(ed().count("SetRemoteParams"), 0);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamVFAFMode), 0);
}

TEST_F(ControlTest, WhiteBalanceCompletionComesFromTheCacheCopy)
{
    startRemote();
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceSetting, 13);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.WhiteBalanceSetting = 13; })))
        << "Kelvin is 0 before the first cache read";

    ed().remoteParams.WhiteBalanceSetting = 4;
    ed().remoteParams.WhiteBalanceKelvin = 5600;
    control().RemoteGetCameraCacheParameters();
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceSetting, 13);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.WhiteBalanceSetting = 13;
        p.WhiteBalanceKelvin = 5600;
    })));
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceSetting, 2);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) { p.WhiteBalanceSetting = 2; })));
    control().RemoteSetRemoteParams(RemoteParamWhiteBalanceKelvin, 6500);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.WhiteBalanceSetting = 4; // the cached setting stays
        p.WhiteBalanceKelvin = 6500;
    })));
}

TEST_F(ControlTest, GroupedSettersFillOnlyTheirFields)
{
    startRemote();
    control().RemoteSetRemoteParams_AvTvImageMode(3, 16, 40);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.ImageMode = 3;
        p.Av = 16;
        p.Tv = 40;
    })));
    control().RemoteSetRemoteParams_ImageQuality(2, 3, 4, 5);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.ImageSize = 2;
        p.CompQuality = 3;
        p.ImageSizePic2RAW = 4;
        p.CompQualityPic2RAW = 5;
    })));
    control().RemoteSetRemoteParams_PictureStyle(true, 5, -2, 200, -128, true, 127, false, 3, true, 4, false);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.PictureStyleEnabled = 1;
        p.PictureStyle = 5;
        p.PictureStyleContrast = 0xFE;
        p.PictureStyleSharpness = 200;
        p.Saturation = 0x80;
        p.SaturationUsed = 1;
        p.ColorTone = 127;
        p.MonochromeFilter = 3;
        p.MonochromeFilterUsed = 1;
        p.MonochromeTone = 4;
    })));
    control().RemoteSetRemoteParams_WhitebalanceShift(true, -9, 9);
    EXPECT_TRUE(sameBytes(ed().setParams, recordWith([](auto &p) {
        p.WBShiftEnabled = 1;
        p.AmberBlue = 0xF7;
        p.GreenMagenta = 9;
    })));
}

TEST_F(ControlTest, ParameterReadsAnswerFromTheLastSuccessfulCacheRead)
{
    startRemote();
    for (int kind = 0; kind < kRemoteParamKindCount; ++kind) {
        if (kind != RemoteParamWhiteBalanceShift && kind != RemoteParamPictureStyle) {
            EXPECT_EQ(control().RemoteGetRemoteParams(kind), 0) << "kind " << kind << " before any read";
        }
    }
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(2), 0);

    RemoteParamsType &p = ed().remoteParams;
    p.PictureStyleContrast = 0xFE;
    p.PictureStyleSharpness = 200;
    p.Saturation = 0x80;
    p.ColorTone = 3;
    p.MonochromeToneUsed = 1;
    p.AmberBlue = 0xF7;
    p.GreenMagenta = 9;
    p.WBShiftEnabled = 1;
    p.ISO = 200;
    p.WhiteBalanceKelvin = 5200;
    p.DriveMode = 6;
    p.ImageMode = 7;
    p.Tv = 41;
    control().RemoteGetCameraCacheParameters();
    clearCalls();

    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(2), -2);
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(3), 200);
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(4), -128);
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(6), 3);
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(11), 1);
    EXPECT_EQ(control().RemoteGetRemoteParams_PictureStyle(12), 0);
    EXPECT_EQ(control().RemoteGetRemoteParams_WhitebalanceShift(0), 1);
    EXPECT_EQ(control().RemoteGetRemoteParams_WhitebalanceShift(1), -9);
    EXPECT_EQ(control().RemoteGetRemoteParams_WhitebalanceShift(2), 9);
    EXPECT_EQ(control().RemoteGetRemoteParams_WhitebalanceShift(3), 0);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamISO), 200);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamWhiteBalanceKelvin), 5200);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamDriveMode), 6);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamImageMode), 7);
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamTv), 41);
    EXPECT_EQ(control().RemoteGetRemoteParams(99), 0);
    EXPECT_TRUE(log().names().empty()) << "reads of the copy never reach the drivers";

    ed().failWith("GetRemoteParams", "camera gone", 1);
    EXPECT_EQ(failureOf([&] { control().RemoteGetCameraCacheParameters(); }), "camera gone");
    EXPECT_EQ(control().RemoteGetRemoteParams(RemoteParamISO), 200) << "a failed read keeps the copy";
}

TEST_F(ControlTest, SupportStringsHaveOneCharacterPerCode)
{
    prepare_ = [](EngineUnderTest &box) {
        RemoteStartInfoType &info = box.ed->startInfo;
        info.DoSupportZoom = 1;
        info.DoSupportAfLockUnlock = 1;
        info.ParamSupport.mark(RemoteParamTv, 3);
        info.ParamSupport.mark(RemoteParamTv, 59);
        info.ParamSupport.mark(RemoteParamISO, 5);
        info.ParamSupport.WhiteBalanceShift = 1;
    };
    startRemote();
    const std::string tv = control().RemoteStart_GetRemoteParamSupported(RemoteParamTv);
    ASSERT_EQ(tv.size(), 60u);
    EXPECT_EQ(tv, "000100000000000000000000000000000000000000000000000000000001");
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamImageMode), std::string(45, '0'));
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamISO).size(), 28u);
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamWhiteBalanceKelvin), "");
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamWhiteBalanceShift), "1");
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(RemoteParamPictureStyle), "0");
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(kRemoteParamKindCount), "");
    EXPECT_EQ(control().RemoteStart_GetRemoteParamSupported(-1), "");
    EXPECT_TRUE(control().RemoteStart_DoSupportZoom());
    EXPECT_TRUE(control().RemoteStart_DoSupportViewfinder());
    EXPECT_TRUE(control().RemoteStart_DoSupportAfLockUnlock());
    EXPECT_FALSE(control().RemoteStart_DoSupportPowerZoom());
}

TEST_F(ControlTest, AutofocusFramesAreCheckedAgainstTheTableNotAgainstTheCamera)
{
    startViewfinder(ViewfinderCallbackStream, "");
    AFFocusInfoType &info = *ed().afInfo;
    info.PictureSizeWidth = 6000;
    info.PictureSizeHeight = 4000;
    info.NrOfFrames = 0;
    info.Frames[599] = AFFocusFrameType{1, 0, 7, -10, 20, 30, 40};
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfo(0), 6000);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfo(1), 4000);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfo(2), 0);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfo(3), 0);
    clearCalls();
    EXPECT_EQ(failureOf([&] { control().RemoteGetViewfinderAutofocusInfoFrame(600, 0); }), msg::kAFFrameNr);
    EXPECT_EQ(ed().count("GetViewfinderAFInfo"), 0);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 0), 1);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 1), 0);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 2), 1) << "any non-zero flag reads as 1";
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 3), -10);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 6), 40);
    EXPECT_EQ(control().RemoteGetViewfinderAutofocusInfoFrame(599, 7), 0);
}

// ---------------------------------------------------------------------------------------------
// Collection and RAW
// ---------------------------------------------------------------------------------------------

TEST_F(ControlTest, CollectionThumbnailsAreCheckedInOrderAndSaved)
{
    prepare_ = [](EngineUnderTest &box) {
        box.ed->images = {ImageDataType{"IMG_0001.JPG", JpegBlob{0xFF, 0xD8, 0x42, 0xFF, 0xD9}},
                          ImageDataType{"IMG_0002.CR3", std::nullopt}};
    };
    connect();
    control().OpenCameraCollection(scratch_.path().string(), false);
    EXPECT_EQ(control().OpenCameraCollection_GetNrOfPictures(), 2);
    EXPECT_EQ(failureOf([&] { control().OpenCameraCollection_GetThumbnail(9, scratch_.file("t.jpg")); }),
              msg::kNoThumbnails) << "the thumbnail check comes before the number check";

    control().OpenCameraCollection(scratch_.path().string(), true);
    EXPECT_EQ(failureOf([&] { control().OpenCameraCollection_GetThumbnail(2, scratch_.file("t.jpg")); }),
              "PictureNumber too high. Picture 2 does not exists");
    EXPECT_EQ(failureOf([&] { control().OpenCameraCollection_GetThumbnail(1, scratch_.file("t.jpg")); }),
              "Picture 1 (IMG_0002.CR3) has no thumbnail in the camera collection");
    EXPECT_NE(failureOf([&] { control().OpenCameraCollection_GetThumbnail(-1, scratch_.file("t.jpg")); }), "");
    control().OpenCameraCollection_GetThumbnail(0, scratch_.file("t.jpg"));
    EXPECT_EQ(readBytes(scratch_.file("t.jpg")), (std::vector<std::uint8_t>{0xFF, 0xD8, 0x42, 0xFF, 0xD9}));
    EXPECT_NE(failureOf([&] { control().OpenCameraCollection_GetThumbnail(0, scratch_.file("no/such/t.jpg")); }), "");

    EXPECT_EQ(control().OpenCameraCollection_NameOfImage(1), "IMG_0002.CR3");
    EXPECT_EQ(control().OpenCameraCollection_NameOfImage(2), "");
    EXPECT_NE(failureOf([&] { control().OpenCameraCollection_NameOfImage(-1); }), "");

    control().DeletePicture(0);
    EXPECT_EQ(ed().lastArgs("DeletePicture"), "2, 0");
    control().GetPicture(1, true, scratch_.file("p.cr3"));
    EXPECT_EQ(ed().count("GetPicture"), 1);
}

TEST_F(ControlTest, RawDevelopmentIsRefusedByTheEngineAndChecksComeFirst)
{
    connect();
    const std::string refused = "RAW handling is unfortunately not supported";
    EXPECT_EQ(failureOf([&] { control().OpenRAWObject(scratch_.file("a.cr3")); }), refused);
    EXPECT_EQ(control().OpenRAWObject_GetRemoteParamSupported(0), std::string(17, '0'));
    EXPECT_EQ(control().OpenRAWObject_GetRemoteParamSupported(1), "");
    EXPECT_EQ(failureOf([&] { control().SetRAWDevelopmentParameters(1, 5000); }), refused);
    EXPECT_EQ(failureOf([&] { control().SetRAWDevelopmentParameters(0, 300); }),
              "Parameter Value in method SetRAWDevelopmentParameters must be between 0..255");
    EXPECT_NO_THROW(control().SetRAWDevelopmentParameters(2, 1)); // no such kind: nothing to do
    EXPECT_EQ(failureOf([&] { control().GetRAWDevelopmentParameters(0); }), refused);
}

} // namespace tbx::test
