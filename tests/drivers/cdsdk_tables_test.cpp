// The legacy driver's fixed data: every conversion reads back what it writes, codes outside a
// table write the parameter's fallback, and the derived tables give the values the cameras and
// the hosts see.
#include "drivers/cdsdk/CdTables.h"

#include <gtest/gtest.h>

#include <vector>

namespace tbx::cdsdk {
namespace {

struct Named {
    const char *name;
    const CdConversion &conversion;
};

const Named kConversions[] = {
    {"CompQuality", kCompQuality},
    {"ImageSize", kImageSize},
    {"ImageMode", kImageMode},
    {"ExposureCompensation", kExposureCompensation},
    {"WhiteBalance", kWhiteBalance},
    {"AFDistance", kAFDistance},
    {"Strobe", kStrobe},
    {"StrobeComp", kStrobeComp},
    {"MLWeiMode", kMLWeiMode},
    {"ISO", kISO},
    {"Contrast", kContrast},
    {"ColorGain", kColorGain},
    {"Sharpness", kSharpness},
    {"PhotoEffect", kPhotoEffect},
    {"Beep", kBeep},
};

class CdConversionTest : public ::testing::TestWithParam<Named> {};

TEST_P(CdConversionTest, EveryRowReadsBackWhatItWrites)
{
    const CdConversion &c = GetParam().conversion;
    for (const CodeRow &row : c.rows) {
        SCOPED_TRACE(row.camera);
        EXPECT_EQ(c.code(static_cast<std::uint32_t>(c.value(row.code))), row.code);
        EXPECT_EQ(c.value(row.code), row.camera);
        EXPECT_TRUE(c.hasValue(row.code));
    }
}

TEST_P(CdConversionTest, UnlistedCodesWriteTheFallbackAndUnlistedValuesReadZero)
{
    const CdConversion &c = GetParam().conversion;
    for (int code = 1; code < 128; ++code) {
        if (c.hasValue(code))
            continue;
        EXPECT_EQ(c.value(code), c.fallback) << code;
    }
    EXPECT_EQ(c.code(0x7FFE), 0);
    EXPECT_EQ(c.value(0), c.fallback);
}

TEST_P(CdConversionTest, HighBitOfACodeIsIgnoredUnlessTheWholeCodeCounts)
{
    const CdConversion &c = GetParam().conversion;
    const CodeRow &first = c.rows.front();
    EXPECT_EQ(c.value(first.code | 0x80), c.wholeCode ? c.fallback : first.camera);
}

INSTANTIATE_TEST_SUITE_P(Tables, CdConversionTest, ::testing::ValuesIn(kConversions),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(CdTablesTest, IsoReadsTheLowByteOnly)
{
    EXPECT_EQ(kISO.code(0x4340), kISO.code(0x40));
    EXPECT_EQ(kISO.code(0x4340), 2);
}

TEST(CdTablesTest, ReleaseDataKindsByModeAndKind)
{
    EXPECT_EQ(releaseDataKind(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyThumbnail), 1);
    EXPECT_EQ(releaseDataKind(ReleaseModeBothPCAndCamera, ReleaseDataKingTakeBothThumbAndPic), 15);
    EXPECT_EQ(releaseDataKind(ReleaseModeOnlyToCamera, ReleaseDataKindTakeOnlyPicture), 8);
    EXPECT_EQ(releaseDataKind(3, 0), 0);
    EXPECT_EQ(releaseDataKind(0, 3), 0);
    EXPECT_EQ(releaseDataKind(-1, 0), 0);
}

TEST(CdTablesTest, BatteryWordGivesSourceAndStatus)
{
    struct Case {
        std::uint32_t word;
        int source, status;
    };
    for (const Case &c : {Case{0x30000004, 3, 2}, Case{0x10000006, 1, 1}, Case{0x50000003, 5, 3},
                          Case{0x60000005, 0, 0}, Case{0x00000000, 0, 0}, Case{0x34, 0, 2}}) {
        const Battery b = batteryOf(c.word);
        EXPECT_EQ(int(b.source), c.source) << std::hex << c.word;
        EXPECT_EQ(int(b.status), c.status) << std::hex << c.word;
    }
}

TEST(CdTablesTest, ViewfinderOutputs)
{
    EXPECT_EQ(viewfinderOutput(0), 1u);
    EXPECT_EQ(viewfinderOutput(1), 2u);
    EXPECT_EQ(viewfinderOutput(2), 3u);
    EXPECT_EQ(viewfinderOutput(3), 0u);
}

TEST(CdTablesTest, ProbeReportsItsSeventeenSteps)
{
    const auto values = probeProgressValues();
    const std::vector<int> got(values.begin(), values.end());
    EXPECT_EQ(got, (std::vector<int>{6, 18, 24, 29, 35, 41, 47, 53, 65, 71, 76, 82, 88, 94, 100, 100}));
}

TEST(CdTablesTest, ReleaseCameraSettingsTryOnlyCodesTheirGroupHolds)
{
    for (const RelCamSetting &s : kRelCamSettings)
        EXPECT_LE(s.highestTry, supportHighestCode(s.kind)) << std::hex << s.id;
}

} // namespace
} // namespace tbx::cdsdk
