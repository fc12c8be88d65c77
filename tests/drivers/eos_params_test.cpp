// The EOS driver's shooting parameters through the engine into the stand-in: conversions in
// both directions, the write order and its no-value markers, and the probe of supported values
// with its cache file.
#include "EosFixture.h"
#include "Scratch.h"

#include "engine/ParamStore.h"
#include "platform/Errors.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

/// One property write of the call log: "0x402 {64}" (property in short hex, then the data).
std::vector<std::string> propertyWrites()
{
    static const std::regex write(R"(EdsSetPropertyData\([^,]*, 0x0*([0-9A-Fa-f]+), -?\d+, \d+, (.*)\) -> .*)");
    std::vector<std::string> out;
    for (const std::string &line : simCalls("EdsSetPropertyData")) {
        std::smatch m;
        if (std::regex_match(line, m, write))
            out.push_back("0x" + m[1].str() + " " + m[2].str());
        else
            out.push_back("unparsed: " + line);
    }
    return out;
}

/// An older camera (device sub-type 0) that describes no image qualities; the values it accepts
/// are JPEG large fine and normal, medium and small fine, RAW, and RAW with a large fine JPEG.
constexpr const char *kOlderCamera = R"({"cameras": [{"id": "eos1", "description": "Canon EOS 5D", "subType": 0,
    "properties": {"ImageQuality": {"value": 1245184, "offered": false,
        "allowed": [1245184, 1179648, 18022400, 34799616, 2359296, 2359315]}}}]})";

/// The codes of \p kind marked in \p support, as "0" or "1 2 16".
std::string codes(const RemoteParamSupportType &support, RemoteParamKind kind)
{
    std::string out;
    const auto flags = support.group(kind);
    for (std::size_t code = 0; code < flags.size(); ++code) {
        if (flags[code] == 0)
            continue;
        if (!out.empty())
            out += ' ';
        out += std::to_string(code);
    }
    return out;
}

using EosParamsTest = EosTest;

TEST_F(EosParamsTest, IsoAloneWritesOnlyTheIsoProperty)
{
    startRemote();
    RemoteParamsType params;
    params.ISO = 2;
    engine().RemoteSetRemoteParams(params);
    EXPECT_THAT(simLog(), ElementsAre(HasSubstr("EdsSetPropertyData")));
    EXPECT_THAT(propertyWrites(), ElementsAre("0x402 {64}"));
}


TEST_F(EosParamsTest, BulbWritesItsOwnCodeAndEveryBulbCodeReadsAsBulb)
{
    startRemote();
    RemoteParamsType params;
    params.Tv = 1;
    engine().RemoteSetRemoteParams(params);
    EXPECT_THAT(propertyWrites(), ElementsAre("0x406 {12}"));

    setCameraValue(sdk::kEdsPropID_Tv, 13);
    EXPECT_EQ(engine().RemoteGetCameraCacheParameters().Tv, 1);
}

TEST_F(EosParamsTest, ColourTemperatureIsWrittenInWholeHundredsAfterTheWhiteBalance)
{
    startRemote(); // the camera has live view, so its live-view white balance follows
    RemoteParamsType params;
    params.WhiteBalanceSetting = 13;
    params.WhiteBalanceKelvin = 5250;
    engine().RemoteSetRemoteParams(params);
    EXPECT_THAT(propertyWrites(), ElementsAre("0x106 {9}", "0x502 {9}", "0x107 {5200}"));
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_ColorTemperature), 5200u);

    // Without the colour-temperature setting the temperature is not the camera's business.
    clearSimLog();
    params.WhiteBalanceSetting = 0;
    engine().RemoteSetRemoteParams(params);
    EXPECT_TRUE(propertyWrites().empty());
}

TEST_F(EosParamsTest, AnUnknownAFModeIsWrittenAsMinusOneAndARefusedWriteIsTriedOnceMore)
{
    startRemote();
    RemoteParamsType params;
    params.AFMode = 7;
    engine().RemoteSetRemoteParams(params);
    // The camera refuses -1; the driver tries again 100 ms later, then lets it go.
    EXPECT_THAT(propertyWrites(), ElementsAre("0x404 {-1}", "0x404 {-1}"));
    EXPECT_EQ(clock_.sleptTotal(), 100);
}

TEST_F(EosParamsTest, AFullRecordIsWrittenInItsFixedOrder)
{
    startRemote();
    RemoteParamsType p;
    p.CompQuality = 3;
    p.ImageSize = 2;
    p.ImageMode = 2;
    p.Av = 16;
    p.Tv = 35;
    p.ExposureCompensation = 19;
    p.WhiteBalanceSetting = 13;
    p.WhiteBalanceKelvin = 6599;
    p.WBShiftEnabled = 1;
    p.AmberBlue = 0xFE;
    p.GreenMagenta = 3;
    p.AFMode = 2;
    p.DriveMode = 2;
    p.MLWeiMode = 4;
    p.ColorSpace = 2;
    p.ISO = 5;
    p.PictureStyleEnabled = 1;
    p.PictureStyle = 2;
    p.PictureStyleContrast = 0xFF;
    p.PictureStyleSharpness = 3;
    p.Saturation = 2;
    p.SaturationUsed = 1;
    p.MonochromeFilter = 1;
    p.MonochromeFilterUsed = 1;
    engine().RemoteSetRemoteParams(p);
    EXPECT_THAT(propertyWrites(),
                ElementsAre("0x100 {18087695}", // 0x0113FF0F: medium, JPEG fine, no second image
                            "0x400 {3}", "0x405 {48}", "0x406 {104}", "0x407 {248}", "0x106 {9}", "0x502 {9}",
                            "0x107 {6500}", "0x108 {-2 3}", "0x404 {1}", "0x401 {1}", "0x403 {3}", "0x10D {2}",
                            "0x402 {72}", "0x114 {131}", "0x115 {-1 3 2 2147483647 1 -1 0 0}"));

    // What was written reads back as the same record.
    const RemoteParamsType back = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(back.CompQuality, 3);
    EXPECT_EQ(back.ImageSize, 2);
    EXPECT_EQ(back.ImageMode, 2);
    EXPECT_EQ(back.Av, 16);
    EXPECT_EQ(back.Tv, 35);
    EXPECT_EQ(back.ExposureCompensation, 19);
    EXPECT_EQ(back.WhiteBalanceSetting, 13);
    EXPECT_EQ(back.WhiteBalanceKelvin, 6500u);
    EXPECT_EQ(back.WBShiftEnabled, 1);
    EXPECT_EQ(back.AmberBlue, 0xFE);
    EXPECT_EQ(back.GreenMagenta, 3);
    EXPECT_EQ(back.AFMode, 2);
    EXPECT_EQ(back.DriveMode, 2);
    EXPECT_EQ(back.MLWeiMode, 4);
    EXPECT_EQ(back.ColorSpace, 2);
    EXPECT_EQ(back.ISO, 5);
    EXPECT_EQ(back.PictureStyleEnabled, 1);
    EXPECT_EQ(back.PictureStyle, 2);
    EXPECT_EQ(back.PictureStyleContrast, 0xFF);
    EXPECT_EQ(back.PictureStyleSharpness, 3);
    EXPECT_EQ(back.Saturation, 2);
    EXPECT_EQ(back.SaturationUsed, 1);
    EXPECT_EQ(back.ColorToneUsed, 0);
    EXPECT_EQ(back.MonochromeFilter, 1);
    EXPECT_EQ(back.MonochromeFilterUsed, 1);
    EXPECT_EQ(back.MonochromeToneUsed, 0);
}

TEST_F(EosParamsTest, CodesWithoutACameraValueAreNotWrittenExceptWhereTheFallbackIsWritten)
{
    startRemote();
    RemoteParamsType p;
    p.ImageMode = 5;
    p.Av = 41;
    p.Tv = 60;
    p.ExposureCompensation = 32;
    p.WhiteBalanceSetting = 8;
    p.WhiteBalanceKelvin = 5000; // only with the colour-temperature setting
    p.MLWeiMode = 1;
    p.ColorSpace = 3;
    p.ISO = 28;
    p.DriveMode = 15;         // falls back to 0, which is written
    p.PictureStyleEnabled = 1; // style 0 falls back to 129
    engine().RemoteSetRemoteParams(p);
    const auto writes = propertyWrites();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], "0x401 {0}");
    EXPECT_EQ(writes[1], "0x114 {129}");
    EXPECT_THAT(writes[2], ::testing::StartsWith("0x115 {0 0 2147483647 2147483647 -1 -1 0 0}"));
}

TEST_F(EosParamsTest, ImageQualityPacksDifferentlyForNewerAndOlderCameras)
{
    startRemote();
    RemoteParamsType p;
    p.CompQuality = 5; // RAW with a large fine JPEG beside it
    p.CompQualityPic2RAW = 3;
    p.ImageSizePic2RAW = 1;
    engine().RemoteSetRemoteParams(p);
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_ImageQuality), 0x00640013u);
    RemoteParamsType back = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(back.CompQuality, 5);
    EXPECT_EQ(back.ImageSize, 1);
    EXPECT_EQ(back.CompQualityPic2RAW, 3);
    EXPECT_EQ(back.ImageSizePic2RAW, 1);

    p = RemoteParamsType{};
    p.CompQuality = 5; // RAW alone
    engine().RemoteSetRemoteParams(p);
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_ImageQuality), 0x0064FF0Fu);
    back = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(back.CompQualityPic2RAW, 0);
    EXPECT_EQ(back.ImageSizePic2RAW, 0);

    engine().CloseCameraEnumeration();
    loadScenario(kOlderCamera);
    startRemote();
    p = RemoteParamsType{};
    p.CompQuality = 3;
    p.ImageSize = 2;
    engine().RemoteSetRemoteParams(p);
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_ImageQuality), 0x01130000u);
    p = RemoteParamsType{};
    p.CompQuality = 5;
    p.CompQualityPic2RAW = 3;
    p.ImageSizePic2RAW = 1;
    engine().RemoteSetRemoteParams(p);
    EXPECT_EQ(cameraValue(sdk::kEdsPropID_ImageQuality), 0x00240013u);
    back = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(back.CompQuality, 5);
    EXPECT_EQ(back.CompQualityPic2RAW, 3);
    EXPECT_EQ(back.ImageSizePic2RAW, 1);
}

TEST_F(EosParamsTest, ReadingConvertsTheCamerasValuesAndLeavesOtherFamiliesFieldsAtZero)
{
    startRemote();
    setCameraValue(sdk::kEdsPropID_ExposureCompensation, 0xF8);
    setCameraValue(sdk::kEdsPropID_ISOSpeed, 0x68);
    const std::int32_t shift[2] = {3, -2};
    ASSERT_EQ(sim().SetProperty("eos1", sdk::kEdsPropID_WhiteBalanceShift, shift, sizeof shift), 0u) << simError();
    const RemoteParamsType p = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(p.CompQuality, 3); // 0x0013FF0F
    EXPECT_EQ(p.ImageSize, 1);
    EXPECT_EQ(p.ImageMode, 2); // manual
    EXPECT_EQ(p.ExposureCompensation, 19);
    EXPECT_EQ(p.WhiteBalanceSetting, 1);
    EXPECT_EQ(p.WhiteBalanceKelvin, 0u); // read only with the colour-temperature setting
    EXPECT_EQ(p.WBShiftEnabled, 1);
    EXPECT_EQ(p.AmberBlue, 3);
    EXPECT_EQ(p.GreenMagenta, 0xFE);
    EXPECT_EQ(p.ISO, 17);
    EXPECT_EQ(p.MLWeiMode, 4);
    EXPECT_EQ(p.PictureStyleEnabled, 1);
    EXPECT_EQ(p.PictureStyle, 0); // user style 0x81 has no code
    EXPECT_EQ(p.PictureStyleSharpness, 4);
    EXPECT_EQ(p.SaturationUsed, 1);
    EXPECT_EQ(p.MonochromeFilterUsed, 0);
    for (std::uint8_t v : {p.StrobeSetting, p.StrobeCompSetting, p.AFDistance, p.AFFocusingPoint, p.AFAssistLight,
                           p.Contrast, p.ColorGain, p.Sharpness, p.PhotoEffect, p.Beep})
        EXPECT_EQ(v, 0);

    // An unset shift reads as no shift at all.
    const std::int32_t unset[2] = {0x7FFFFFFF, 0};
    ASSERT_EQ(sim().SetProperty("eos1", sdk::kEdsPropID_WhiteBalanceShift, unset, sizeof unset), 0u) << simError();
    EXPECT_EQ(engine().RemoteGetCameraCacheParameters().WBShiftEnabled, 0);
}

TEST_F(EosParamsTest, RemoteStartSetsSaveToAndReportsWhatTheCameraOffers)
{
    connect();
    RemoteStartInfoType info;
    engine().RemoteStart(ReleaseModeBothPCAndCamera, ReleaseDataKindTakeOnlyPicture, info, "", false);
    EXPECT_EQ(propertyWrites().front(), "0xB {3}");
    EXPECT_EQ(info.DoSupportShootingPara, 1);
    EXPECT_EQ(info.DoSupportViewfinder, 1);
    EXPECT_EQ(info.DoSupportPowerZoom, 0);
    EXPECT_EQ(info.DoSupportZoom, 0);
    EXPECT_THAT(simCalls("EdsSetCapacity"), ElementsAre(HasSubstr("2147483647")));
    EXPECT_THAT(simCalls("EdsSendStatusCommand"), ElementsAre(HasSubstr(", 0x1, 0)")));
    EXPECT_TRUE(simCalls("EdsGetPropertyDesc").empty()) << "no probe was asked for";

    engine().CloseCameraEnumeration();
    loadScenario(kOlderCamera);
    connect();
    engine().RemoteStart(ReleaseModeOnlyToCamera, ReleaseDataKindTakeOnlyPicture, info, "", false);
    EXPECT_EQ(propertyWrites().front(), "0xB {1}");
    EXPECT_EQ(info.DoSupportViewfinder, 0);
    EXPECT_TRUE(simCalls("EdsSetCapacity").empty());
}


class EosProbeTest : public EosTest {
protected:
    void SetUp() override
    {
        EosTest::SetUp();
        engine().OnRemoteProbeParamEvent = [this](int percent) { progress_.push_back(percent); };
    }
    /// The camera values a probe must leave as it found them.
    std::vector<std::uint32_t> cameraValues()
    {
        std::vector<std::uint32_t> values;
        for (std::uint32_t property :
             {sdk::kEdsPropID_ImageQuality, sdk::kEdsPropID_AEMode, sdk::kEdsPropID_Av, sdk::kEdsPropID_Tv,
              sdk::kEdsPropID_ExposureCompensation, sdk::kEdsPropID_WhiteBalance, sdk::kEdsPropID_AFMode,
              sdk::kEdsPropID_DriveMode, sdk::kEdsPropID_MeteringMode, sdk::kEdsPropID_ColorSpace,
              sdk::kEdsPropID_ISOSpeed, sdk::kEdsPropID_PictureStyle})
            values.push_back(cameraValue(property));
        return values;
    }
    /// RemoteStart with the probe flag, then lets the queued progress events through.
    RemoteStartInfoType probe(const std::string &folder)
    {
        RemoteStartInfoType info;
        engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, folder, true);
        tick(25);
        return info;
    }

    ScratchFolder scratch_{"tbx-eos-probe"};
    /// Not there until the driver stores a probe in it.
    const std::filesystem::path cacheFolder_ = scratch_.path() / "cache";
    std::vector<int> progress_;
};

TEST_F(EosProbeTest, NewerCameraIsProbedByDescriptionsRestoredAndCachedByModelAndMode)
{
    connect();
    const auto before = cameraValues();
    const RemoteStartInfoType info = probe(cacheFolder_.string());
    const RemoteParamSupportType &s = info.ParamSupport;

    EXPECT_EQ(codes(s, RemoteParamCompQuality), "2 3 5");
    EXPECT_EQ(codes(s, RemoteParamImageSize), "1 2");
    EXPECT_EQ(codes(s, RemoteParamCompQualityPic2RAW), "2 3");
    EXPECT_EQ(codes(s, RemoteParamImageSizePic2RAW), "1 2");
    EXPECT_EQ(codes(s, RemoteParamImageMode), "1 2 16 17 18 21 38");
    EXPECT_EQ(codes(s, RemoteParamAv), "13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28");
    EXPECT_EQ(codes(s, RemoteParamTv).substr(0, 8), "1 2 3 4 ");
    std::string allCompensations = "1";
    for (int code = 2; code <= 31; ++code)
        allCompensations += " " + std::to_string(code);
    EXPECT_EQ(codes(s, RemoteParamExposureCompensation), allCompensations); // five stops either way
    EXPECT_EQ(codes(s, RemoteParamWhiteBalanceSetting), "1 2 3 4 5 6 7 12 13");
    EXPECT_EQ(s.WhiteBalanceShift, 1);
    EXPECT_EQ(codes(s, RemoteParamAFMode), "1 2 3");
    EXPECT_EQ(codes(s, RemoteParamVFAFMode), "1 2 3");
    EXPECT_EQ(codes(s, RemoteParamDriveMode), "1 2 4 5 6 7");
    EXPECT_EQ(codes(s, RemoteParamMLWeiMode), "2 4 5 6");
    EXPECT_EQ(codes(s, RemoteParamColorSpace), "1 2");
    EXPECT_EQ(codes(s, RemoteParamISO), "1 2 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21");
    EXPECT_EQ(s.PictureStyle, 1);
    for (RemoteParamKind kind : {RemoteParamContrast, RemoteParamColorGain, RemoteParamSharpness, RemoteParamAFDistance,
                                 RemoteParamAFFocusingPoint, RemoteParamAFAssistLight, RemoteParamStrobeSetting,
                                 RemoteParamStrobeCompSetting, RemoteParamBeep})
        EXPECT_EQ(codes(s, kind), "0") << int(kind);
    EXPECT_EQ(codes(s, RemoteParamPhotoEffect), "");

    EXPECT_EQ(cameraValues(), before) << "the probe must leave the camera as it found it";
    EXPECT_THAT(progress_, ElementsAre(6, 11, 17, 22, 28, 33, 39, 44, 50, 56, 61, 67, 72, 78, 83, 89, 94, 100));

    // The cache file is named by model and exposure mode (manual: 2) and read back next time
    // without asking the camera anything about its values.
    const auto file = cacheFolder_ / "Canon EOS 90D Mode2";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 359u);
    engine().RemoteEnd();
    clearSimLog();
    progress_.clear();
    const RemoteStartInfoType cached = probe(cacheFolder_.string());
    EXPECT_EQ(std::memcmp(&cached.ParamSupport, &info.ParamSupport, sizeof info.ParamSupport), 0);
    EXPECT_TRUE(simCalls("EdsGetPropertyDesc").empty());
    EXPECT_TRUE(progress_.empty());

    // Another exposure mode has no cache file yet: the camera is probed again.
    setCameraValue(sdk::kEdsPropID_AEMode, 2); // aperture priority: code 18
    engine().RemoteEnd();
    probe(cacheFolder_.string());
    EXPECT_TRUE(std::filesystem::exists(cacheFolder_ / "Canon EOS 90D Mode18"));
}

TEST_F(EosProbeTest, OlderCameraImageQualityIsProbedByWritingAndReadingBack)
{
    loadScenario(kOlderCamera);
    connect();
    const auto before = cameraValues();
    const RemoteStartInfoType info = probe("");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamCompQuality), "2 3 5");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamImageSize), "1 2 3");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamCompQualityPic2RAW), "3");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamImageSizePic2RAW), "1");
    EXPECT_EQ(cameraValues(), before);
    EXPECT_EQ(progress_.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
    // Each accepted candidate was given time to settle before it was read back.
    EXPECT_GE(clock_.sleptTotal(), 6 * 50);
    EXPECT_FALSE(std::filesystem::exists(cacheFolder_)) << "no cache folder was given, so nothing is stored";
}

TEST_F(EosProbeTest, AProbeThatFailsStillPutsTheCameraBack)
{
    loadScenario(kOlderCamera);
    connect();
    const auto before = cameraValues();
    // The first description read (exposure mode) fails after the image qualities were tried out.
    ASSERT_EQ(sim().InjectFault("EdsGetPropertyDesc", 0x60, 1), 0u);
    RemoteStartInfoType info;
    try {
        engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, cacheFolder_.string(), true);
        FAIL() << "the failed description must be reported";
    } catch (const Exception &e) {
        EXPECT_THAT(e.what(), HasSubstr("EdsGetPropertyDesc errorcode 0x00000060"));
    }
    EXPECT_FALSE(engine().RemoteMode());
    EXPECT_EQ(cameraValues(), before);
    EXPECT_FALSE(std::filesystem::exists(cacheFolder_ / "Canon EOS 5D Mode2"));
}

TEST_F(EosProbeTest, ParametersTheCameraDoesNotDescribeAreMarkedAsHavingNoValue)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "properties": {
        "ColorSpace": {"allowed": []}, "Evf_AFMode": {"offered": false}}}]})");
    connect();
    const RemoteStartInfoType info = probe("");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamColorSpace), "0");
    EXPECT_EQ(codes(info.ParamSupport, RemoteParamVFAFMode), "0");
    EXPECT_EQ(progress_.back(), 100);
}

} // namespace
} // namespace tbx::test
