#include "sdk/CDTypes.h"
#include "sdk/LeReader.h"
#include "sdk/PRTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tbx::sdk {
namespace {

/// The head of a PTP DeviceInfo dataset: version, vendor id, vendor version, a string of three
/// units ("Hi" and its terminator), functional mode, then an array of two operation codes.
const std::vector<std::uint8_t> kDeviceInfoHead = {
    0x64, 0x00,             // StandardVersion 100
    0x0B, 0x00, 0x00, 0x00, // VendorExtensionID 11
    0x6E, 0x00,             // VendorExtensionVersion 110
    0x03, 'H', 0, 'i', 0, 0, 0,
    0x00, 0x00,             // FunctionalMode
    0x02, 0x00, 0x00, 0x00, 0x01, 0x10, 0x02, 0x10,
};

TEST(LeReader, ReadsADatasetFieldByField)
{
    LeReader r(kDeviceInfoHead);
    EXPECT_EQ(r.u16(), 100);
    EXPECT_EQ(r.u32(), 11u);
    EXPECT_EQ(r.u16(), 110);
    EXPECT_EQ(r.ptpString(), u"Hi");
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u16Array(), (std::vector<std::uint16_t>{0x1001, 0x1002}));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(LeReader, EveryCutOfTheDatasetFailsInsteadOfReadingPastIt)
{
    for (std::size_t size = 0; size < kDeviceInfoHead.size(); ++size) {
        LeReader r(kDeviceInfoHead.data(), size);
        r.u16();
        r.u32();
        r.u16();
        r.ptpString();
        r.u16();
        r.u16Array();
        EXPECT_FALSE(r.ok()) << size;
        EXPECT_EQ(r.u32(), 0u) << "a failed reader reads zeros";
    }
}

TEST(LeReader, ACountBeyondTheBytesLeftFailsBeforeAllocating)
{
    const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00};
    LeReader r(huge, sizeof huge);
    EXPECT_TRUE(r.u16Array().empty());
    EXPECT_FALSE(r.ok());

    LeReader seeking(huge, sizeof huge);
    seeking.seek(sizeof huge);
    EXPECT_TRUE(seeking.ok());
    seeking.seek(sizeof huge + 1);
    EXPECT_FALSE(seeking.ok());
}

} // namespace
} // namespace tbx::sdk
