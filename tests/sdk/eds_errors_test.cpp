#include "sdk/EdsErrors.h"

#include "TestSupport.h"
#include "platform/Errors.h"

namespace tbx::sdk {
namespace {

using test::failureOf;

TEST(EdsErrorText, LooksUpTheLowSixteenBits)
{
    EXPECT_EQ(EdsErrorText(0x8D01), "Take picture error, focus failed");
    EXPECT_EQ(EdsErrorText(0xA0008D01), "Take picture error, focus failed");
    EXPECT_EQ(EdsErrorText(0x00010081), "Device busy");
}

TEST(EdsErrorText, KeepsTheTextsAsWritten)
{
    // First and last of each range, and the texts with their own spelling.
    const std::pair<EdsError, std::string_view> rows[] = {
        {0x01, "Unimplemented"},
        {0x0B, "Selection unavailable"},
        {0x20, "File IO error"},
        {0x2E, "File naming not applicable"},
        {0x44, "Directory not empty"},
        {0x53, "Properties not loaded"},
        {0x66, "Invalid sort function"},
        {0x89, "Device CompactFlash gate changed"},
        {0x8D, "Device not released"},
        {0xAC, "Stream end of stream"},
        {0xC4, "Communication USB bus error"},
        {0xD1, "USB device unlock error"},
        {0xE4, "STI device not launched"},
        {0xF5, "Generic error plus one"},
        {0x2003, "PTP session not open"},
        {0x2008, "PTP invalid strage id"},
        {0x2017, "PTP unknown vender code"},
        {0x2021, "PTP not camera supported SDK version"},
        {0x8D04, "Take picture error, scurrently cleaning sensor"},
        {0x8D0D, "Take picture error, prohibit mode NG"},
        {0xA006, "PTP vendor lenc cover close"},
        {0xA106, "PTP vendor memorystatus not ready"},
    };
    for (const auto &[code, text] : rows)
        EXPECT_EQ(EdsErrorText(code), text) << std::hex << code;
}

TEST(EdsErrorText, AnythingElseIsUnknown)
{
    for (EdsError code : {0x00u, 0x0Cu, 0x2Fu, 0x52u, 0x8Eu, 0x2005u, 0x8D00u, 0x8D0Eu, 0xFFFFu, 0x10000u})
        EXPECT_EQ(EdsErrorText(code), "Unkown error") << std::hex << code;
    EXPECT_EQ(EdsErrorTexts().size(), 127u);
}

TEST(RaiseOnEdsError, NamesTheCallTheFullCodeAndTheText)
{
    EXPECT_NO_THROW(RaiseOnEdsError("EdsOpenSession", EDS_ERR_OK));

    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnEdsError("EdsOpenSession", 0x81); }),
              "EdsOpenSession errorcode 0x00000081, Device busy");
    EXPECT_EQ(failureOf<ECamException>(
                  [] { RaiseOnEdsError("EdsSendCommand DrivePowerZoom", 0xABCD8D01); }),
              "EdsSendCommand DrivePowerZoom errorcode 0xABCD8D01, Take picture error, focus failed");
    EXPECT_EQ(failureOf<ECamException>(
                  [] { RaiseOnEdsError("EdsGetPropertyData, kEdsPropID_OwnerName", 0x52); }),
              "EdsGetPropertyData, kEdsPropID_OwnerName errorcode 0x00000052, Unkown error");
}

} // namespace
} // namespace tbx::sdk
