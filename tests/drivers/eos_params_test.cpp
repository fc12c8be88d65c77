// The EOS driver's shooting parameters through the engine into the stand-in: conversions in
// both directions, the write order and its no-value markers, and the probe of supported values
// with its cache file.
#include "EosFixture.h"

#include "engine/ParamStore.h"
#include "platform/Errors.h"

#include <gmock/gmock.h>

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

} // namespace
} // namespace tbx::test
