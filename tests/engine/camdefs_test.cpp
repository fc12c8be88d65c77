// The value scales and the support-flag record shared by the drivers.
#include "engine/CamDefines.h"
#include "engine/CamDriver.h"
#include "engine/CamLib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace tbx {
namespace {

TEST(ValueScales, ApertureIndicesAndCodesRoundTrip)
{
    EXPECT_EQ(AvIndexToCode(1), 8u);
    EXPECT_EQ(AvIndexToCode(2), 11u);
    EXPECT_EQ(AvIndexToCode(3), 13u);
    EXPECT_EQ(AvIndexToCode(4), 16u);
    EXPECT_EQ(AvIndexToCode(40), 112u);
    EXPECT_EQ(AvIndexToCode(0), 0xFFFFu);
    EXPECT_EQ(AvIndexToCode(41), 0xFFFFu);
    EXPECT_EQ(AvIndexToCode(-1), 0xFFFFu);
    for (int index = 1; index <= 40; ++index)
        EXPECT_EQ(AvCodeToIndex(AvIndexToCode(index)), index) << index;
    EXPECT_EQ(AvCodeToIndex(12), 2);
    EXPECT_EQ(AvCodeToIndex(7), 0);
    EXPECT_EQ(AvCodeToIndex(0), 0);
    EXPECT_EQ(AvCodeToIndex(200), 40);
    // The no-value markers are not "the widest aperture there is".
    EXPECT_EQ(AvCodeToIndex(0xFFFF), 0);
    EXPECT_EQ(AvCodeToIndex(0xFFFFFFFF), 0);
    EXPECT_EQ(AvCodeToIndex(0xFFFE), 40);
}

TEST(ValueScales, ShutterIndicesAndCodesRoundTrip)
{
    EXPECT_EQ(TvIndexToCode(1), 4u);
    EXPECT_EQ(TvIndexToCode(2), 16u);
    EXPECT_EQ(TvIndexToCode(3), 19u);
    EXPECT_EQ(TvIndexToCode(4), 21u);
    EXPECT_EQ(TvIndexToCode(5), 24u);
    EXPECT_EQ(TvIndexToCode(59), 168u);
    EXPECT_EQ(TvIndexToCode(0), 0xFFFFu);
    EXPECT_EQ(TvIndexToCode(60), 0xFFFFu);
    for (int index = 1; index <= 59; ++index)
        EXPECT_EQ(TvCodeToIndex(TvIndexToCode(index)), index) << index;
    EXPECT_EQ(TvCodeToIndex(21), 4);
    EXPECT_EQ(TvCodeToIndex(10), 1);
    EXPECT_EQ(TvCodeToIndex(15), 1);
    EXPECT_EQ(TvCodeToIndex(3), 0);
    EXPECT_EQ(TvCodeToIndex(500), 59);
    EXPECT_EQ(TvCodeToIndex(0xFFFF), 0);
    EXPECT_EQ(TvCodeToIndex(0xFFFFFFFF), 0);
}

TEST(SupportRecord, GroupsMatchTheirFieldsAndMarkOnlyInside)
{
    RemoteParamSupportType support;
    EXPECT_EQ(support.group(RemoteParamAv).data(), support.Av);
    EXPECT_EQ(support.group(RemoteParamAv).size(), sizeof support.Av);
    EXPECT_EQ(support.group(RemoteParamImageMode).data(), support.ImageMode);
    EXPECT_EQ(support.group(RemoteParamPictureStyle).data(), &support.PictureStyle);
    EXPECT_TRUE(support.group(RemoteParamWhiteBalanceKelvin).empty());
    EXPECT_EQ(supportHighestCode(RemoteParamTv), 59);
    EXPECT_EQ(supportHighestCode(RemoteParamISO), 27);
    EXPECT_EQ(supportHighestCode(RemoteParamWhiteBalanceShift), 0);

    support.mark(RemoteParamBeep, 2);
    support.mark(RemoteParamCompQuality, 6); // one past the group: must not reach the next group
    support.mark(RemoteParamCompQuality, -1);
    support.mark(RemoteParamWhiteBalanceKelvin, 0);
    std::array<std::uint8_t, sizeof support> bytes{};
    std::memcpy(bytes.data(), &support, sizeof support);
    std::array<std::uint8_t, sizeof support> expected{};
    expected[354] = 1;
    EXPECT_EQ(bytes, expected);
}

TEST(PtpEventRecord, CopiesOnlyWhatTheContainerHolds)
{
    // A container of 16 bytes (one parameter) followed by bytes that belong to someone else.
    std::array<std::uint8_t, 24> raw{16, 0, 0, 0, 4, 0, 0x08, 0xC0, 1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12,
                                     0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    auto record = PtpEventRecord::fromContainer(raw.data());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->eventCode(), 0xC008);
    EXPECT_EQ(record->objectHandle(), 0x12345678u);
    EXPECT_EQ(record->parameter(), 0u);
    EXPECT_EQ(record->Bytes[16], 0);

    raw[0] = 11; // shorter than the container header
    EXPECT_FALSE(PtpEventRecord::fromContainer(raw.data()));
    EXPECT_FALSE(PtpEventRecord::fromContainer(nullptr));
}

TEST(CallbackContext, CarriesTheRegistryIndexAndRefusesNull)
{
    EXPECT_EQ(registryIndexFromContext(registryContext(0)), 0);
    EXPECT_EQ(registryIndexFromContext(registryContext(7)), 7);
    EXPECT_FALSE(registryIndexFromContext(nullptr));
}

} // namespace
} // namespace tbx
