#include "sdk/PRAPI.h"

#include "TestSupport.h"
#include "platform/Errors.h"
#include "sdk/Loader.h"

#include <cstring>
#include <optional>

namespace tbx::sdk {
namespace {

using test::fixture;
using test::joined;
using test::failureOf;

class PrBindingTest : public testing::Test {
protected:
    void SetUp() override { runUnloadChain(); }
    void TearDown() override { runUnloadChain(); }
};

TEST_F(PrBindingTest, BindsEachExportToItsOwnVariableAndCallsThrough)
{
    const std::string folder = fixture("pr-good");
    LoadPRSDK(folder);
    ASSERT_TRUE(IsPRSDKLoaded());

    std::optional<platform::DynamicLibrary> library = platform::DynamicLibrary::open(joined(folder, "PRSDK.dll"));
    ASSERT_TRUE(library);
    using AnyFunction = void (*)();
    for (int i = 0; i < kPrEntryPointCount; ++i) {
        AnyFunction variable = nullptr;
        std::memcpy(&variable, reinterpret_cast<const char *>(&Pr()) + i * sizeof(AnyFunction), sizeof variable);
        EXPECT_EQ(reinterpret_cast<void *>(variable), library->symbol(PrExportName(i))) << PrExportName(i);
    }
    EXPECT_EQ(PrExportName(kPrEntryPointCount), nullptr);
    EXPECT_EQ(PrExportName(-1), nullptr);

    // The fake answers each call with 0xFA00 + the entry point's position: a call with six
    // arguments, a 16-bit one among them, returns to its caller intact.
    const PrEntryPoints &pr = Pr();
    EXPECT_EQ(pr.PR_StartSDK(), 0xFA01u);
    EXPECT_EQ(pr.PR_RC_GetReleasedData(1, 2, prPTP_FULL_VIEW_RELEASED, 100000, 7, nullptr), 0xFA00u + 15);
    EXPECT_EQ(pr.PR_RC_GetChangedReleaseParamesList(1, nullptr, nullptr), 0xFA00u + 25);
}

TEST(PrErrorText, TableHasEveryTextOnceKeyedByTheLowWord)
{
    int known = 0;
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code)
        known += PRErrorText(code) != kUnknownErrorText;
    EXPECT_EQ(known, 60);

    struct Row {
        prResponse code;
        std::string_view text;
    };
    const Row rows[] = {
        {0, kUnknownErrorText},
        {0x2001, kUnknownErrorText}, // a gap inside the PTP range
        {0x0021, "Invalid parameter"},
        {0x201D, "Invalid parameter"},
        {0x000A, "Mission subcomponent"},
        {0x2003, "Session not ppen"},
        {0xA002, "Extension memoey allocation failed"},
        {0xA00A, "Extension already exit"},
        {0xA00B, kUnknownErrorText},
        {0x00102019, "Device busy"}, // the component bits are ignored
        {0x00200063, "Insufficient buffer"},
        {0xFFFF2020, "Specification of destination unsupported"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PRErrorText(row.code), row.text) << std::hex << row.code;
}

TEST(RaiseOnPRError, NamesTheEntryPointAndTheWholeCode)
{
    EXPECT_NO_THROW(RaiseOnPRError("PR_RC_Release", 0));
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnPRError("PR_RC_Release", 0x2019); }),
              "PR_RC_Release errorcode 0x00002019, Device busy");
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnPRError("PR_ConnectCamera", 0x00200022); }),
              "PR_ConnectCamera errorcode 0x00200022, Invalid handle");
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnPRError("PR_GetDevicePropValue", 0x0010ABCD); }),
              "PR_GetDevicePropValue errorcode 0x0010ABCD, Unkown error");
}

} // namespace
} // namespace tbx::sdk
