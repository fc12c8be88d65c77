#include "sdk/PSG7XMK2SDK.h"

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

class PsBindingTest : public testing::Test {
protected:
    void SetUp() override { runUnloadChain(); }
    void TearDown() override { runUnloadChain(); }

    static void expectNothingLoaded()
    {
        EXPECT_FALSE(IsPSG7XMK2SDKLoaded());
        EXPECT_EQ(failureOf<EAssertionFailed>([] { Ps(); }), "Assertion failure (PSG7XMK2SDK, line 0)");
    }
};

TEST_F(PsBindingTest, BindsItsOwnListByPlainNameAndLeavesTheRestEmpty)
{
    const std::string folder = fixture("ps-good");
    LoadPSG7XMK2SDK(folder);
    ASSERT_TRUE(IsPSG7XMK2SDKLoaded());
    EXPECT_FALSE(IsEDSDKLoaded()); // the two libraries load independently

    std::optional<platform::DynamicLibrary> library =
        platform::DynamicLibrary::open(joined(folder, "PSG7XMK2SDK.dll"));
    ASSERT_TRUE(library);
    const auto bound = [](const char *edsName) {
        for (int j = 0; j < kPsEntryPointCount; ++j)
            if (std::string_view(PsExportName(j)) == edsName)
                return PsExportName(j);
        return static_cast<const char *>(nullptr);
    };

    // Every variable of the EOS table: the library's function of that name when the generation-2
    // list binds it, empty otherwise.
    using AnyFunction = void (*)();
    int bindings = 0;
    for (int i = 0; i < kEdsEntryPointCount; ++i) {
        AnyFunction variable = nullptr;
        std::memcpy(&variable, reinterpret_cast<const char *>(&Ps()) + i * sizeof(AnyFunction),
                    sizeof variable);
        const char *name = bound(EdsExportName(i));
        SCOPED_TRACE(EdsExportName(i));
        EXPECT_EQ(reinterpret_cast<void *>(variable), name ? library->symbol(name) : nullptr);
        bindings += name != nullptr;
    }
    EXPECT_EQ(bindings, kPsEntryPointCount);
    EXPECT_EQ(PsExportName(kPsEntryPointCount), nullptr);

    // Calls go through with the EOS argument layout.
    const auto ref = reinterpret_cast<EdsBaseRef>(static_cast<std::uintptr_t>(0x5A5A5A50));
    EXPECT_EQ(Ps().EdsDownload(ref, 0x123456789ull, ref), EDS_ERR_OK);

    // Loaded: a second call returns at once, without looking at the folder.
    EXPECT_NO_THROW(LoadPSG7XMK2SDK(fixture("empty")));
    runUnloadChain();
    expectNothingLoaded();
}

TEST_F(PsBindingTest, ErrorsReadAsTheEosLibrarysWithTheWholeCode)
{
    EXPECT_EQ(failureOf<ECamException>([] { RaiseOnPsError("EdsOpenSession", 0x00120081); }),
              "EdsOpenSession errorcode 0x00120081, Device busy");
    EXPECT_EQ(PsErrorText(0x8D01), "Take picture error, focus failed");
    EXPECT_EQ(PsErrorText(0x52), kUnknownErrorText);
    EXPECT_NO_THROW(RaiseOnPsError("EdsOpenSession", 0));
}

} // namespace
} // namespace tbx::sdk
