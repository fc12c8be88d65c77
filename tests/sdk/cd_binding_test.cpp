#include "sdk/CDAPI.h"

#include "TestSupport.h"
#include "platform/Errors.h"
#include "sdk/Loader.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace tbx::sdk {
namespace {

using test::fixture;
using test::joined;
using test::failureOf;

class CdBindingTest : public testing::Test {
protected:
    void SetUp() override { runUnloadChain(); }
    void TearDown() override { runUnloadChain(); }

    static void expectNothingLoaded()
    {
        EXPECT_FALSE(IsCDSDKLoaded());
        EXPECT_EQ(failureOf<EAssertionFailed>([] { Cd(); }), "Assertion failure (CDAPI, line 0)");
    }

    /// The 1-based position of \p name in the binding list; 0 when absent.
    static int positionOf(std::string_view name)
    {
        for (int i = 0; i < kCdEntryPointCount; ++i)
            if (CdExportName(i) == name)
                return i + 1;
        return 0;
    }
};

TEST_F(CdBindingTest, BindsEveryExportToItsVariableAndCallsThroughWithTheVendorLayout)
{
    const std::string folder = fixture("cd-good");
    LoadCDSDK(folder);
    ASSERT_TRUE(IsCDSDKLoaded());

    std::optional<platform::DynamicLibrary> library = platform::DynamicLibrary::open(joined(folder, "CDSDK.dll"));
    ASSERT_TRUE(library);
    using AnyFunction = void (*)();
    for (int i = 0; i < kCdEntryPointCount; ++i) {
        AnyFunction variable = nullptr;
        std::memcpy(&variable, reinterpret_cast<const char *>(&Cd()) + i * sizeof(AnyFunction), sizeof variable);
        EXPECT_EQ(reinterpret_cast<void *>(variable), library->symbol(CdExportName(i))) << CdExportName(i);
    }
    EXPECT_EQ(CdExportName(kCdEntryPointCount), nullptr);
    // The 32-bit library has the faculty query under its decorated name only.
#if defined(_WIN32) && !defined(_WIN64)
    EXPECT_EQ(library->symbol("CDGetReleaseControlFaculty"), nullptr);
    EXPECT_NE(positionOf("_CDGetReleaseControlFaculty@8"), 0);
#endif

    const CdEntryPoints &cd = Cd();
    CdReleaseControlFaculty faculty = 0;
    EXPECT_EQ(cd.CDGetReleaseControlFaculty(0x1234, &faculty), 0u);
    EXPECT_EQ(faculty, 0x40001234u);
    // A record by value followed by a 16-bit value in its own slot.
    CdHImageItem item = 0;
    const CdStgMedium medium{0, {"Thumb.jpg"}};
    EXPECT_EQ(cd.CDMakeImageItem(medium, 0x1234, &item), 0u);
    EXPECT_EQ(item, 0x5A5A5A50u);
    EXPECT_EQ(cd.CDSetFlashSetting(1, 2, 3), 0xFA00u + positionOf("CDSetFlashSetting"));
    EXPECT_EQ(cd.CDSelectViewFinderCameraOutput(1, 3), 0xFA00u + positionOf("CDSelectViewFinderCameraOutput"));

    // Loaded: a second call returns at once, without looking at the folder.
    EXPECT_NO_THROW(LoadCDSDK(fixture("empty")));
    runUnloadChain();
    expectNothingLoaded();
}

TEST(CdErrors, TextsCoverTheLegacyCodesOnlyAndReadTheLowHalf)
{
    int known = 0;
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
        const std::string_view text = CDErrorText(id);
        known += text != kUnknownErrorText;
        // The component and the specific flag never change the text.
        ASSERT_EQ(CDErrorText(0x8C000000u | id), text) << id;
    }
    EXPECT_EQ(known, 85);
    EXPECT_EQ(CdErrorTexts().size(), 85u);
    EXPECT_TRUE(IsSortedTable(CdErrorTexts()));
    // Gaps and codes past the legacy range: 0x52, the EOS library's 0xF5, the PTP range.
    for (std::uint32_t code : {0x0u, 0x52u, 0xF5u, 0x2019u})
        EXPECT_EQ(CDErrorText(code), kUnknownErrorText) << code;
    EXPECT_EQ(CDErrorText(0x0C00000A), "Mission subcomponent");
    EXPECT_EQ(CDErrorText(0x000000F4), "Wait timeout error");
}

TEST(CdErrors, RaiseQuotesTheFunctionWithoutItsDecoration)
{
    EXPECT_NO_THROW(RaiseOnCDError("CDOpenSource", 0));
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnCDError("CDOpenSource", 0x0C000081); }),
              "CDOpenSource errorcode 0x0C000081, Device busy");
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnCDError("_CDGetReleaseControlFaculty@8", 0x0C000061); }),
              "CDGetReleaseControlFaculty errorcode 0x0C000061, Invalid handle");
    // Only a whole decoration is taken off.
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnCDError("_CDRelease@x", 0x52); }),
              "_CDRelease@x errorcode 0x00000052, Unkown error");
}

TEST(CdRecords, TextsStopAtTheFieldsEnd)
{
    CdSourceInfo source{};
    std::memset(source.Name, 'M', sizeof source.Name); // no terminator: the list name follows at once
    std::memcpy(source.NameInOS, "PowerShot A80", 14);
    EXPECT_EQ(CdModelName(source), std::string(64, 'M'));
    EXPECT_EQ(CdListName(source), "PowerShot A80");
    std::memset(source.NameInOS, 'L', sizeof source.NameInOS); // nor here: PortType follows
    source.PortType = 0x41414141;
    EXPECT_EQ(CdListName(source), std::string(64, 'L'));

    CdItemInfo item{};
    std::memset(item.Name, 'I', sizeof item.Name);
    item.Size = 0x49494949;
    EXPECT_EQ(CdItemName(item), std::string(512, 'I'));

    const char owner[40] = "0123456789012345678901234567890123456";
    EXPECT_EQ(CdFieldText(owner, 32), std::string(owner, 32));
    EXPECT_EQ(CdFieldText(std::span<const char>(owner, 5), 32), "01234");
    EXPECT_EQ(CdFieldText(std::span<const char>()), "");
}

TEST(CdRecords, VolumeSpacesAndDataValuesAreReadWhole)
{
    CdVolumeInfo volume{};
    EXPECT_TRUE(CdVolumeWithoutSpace(volume));
    // A full card of 4 TiB and more still has space in the upper half.
    volume.TotalSpace = 0x100000000ull;
    EXPECT_FALSE(CdVolumeWithoutSpace(volume));
    volume = {};
    volume.FreeSpace = 1;
    EXPECT_FALSE(CdVolumeWithoutSpace(volume));

    const std::uint8_t data[4] = {0x34, 0x12, 0x00, 0x30};
    EXPECT_EQ(CdDataValue(data, 4), 0x30001234u);
    EXPECT_EQ(CdDataValue(data, 3), std::nullopt);
    EXPECT_EQ(CdDataValue(nullptr, 4), std::nullopt);
}

} // namespace
} // namespace tbx::sdk
