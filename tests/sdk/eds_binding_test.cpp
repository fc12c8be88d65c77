#include "sdk/EDSDK.h"

#include "TestSupport.h"
#include "platform/Errors.h"
#include "sdk/EdsRef.h"
#include "sdk/Loader.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace tbx::sdk {
namespace {

using test::fixture;
using test::joined;
using test::failureOf;

class EdsBindingTest : public testing::Test {
protected:
    void SetUp() override { runUnloadChain(); }
    void TearDown() override { runUnloadChain(); }

    static void expectNothingLoaded()
    {
        EXPECT_FALSE(IsEDSDKLoaded());
        EXPECT_EQ(failureOf<EAssertionFailed>([] { Eds(); }), "Assertion failure (EDSDK, line 0)");
    }
};

TEST_F(EdsBindingTest, BindsEachExportToItsOwnVariableAndCallsThrough)
{
    const std::string folder = fixture("good");
    LoadEDSDK(folder);
    ASSERT_TRUE(IsEDSDKLoaded());

    // Each variable holds the address the library exports under that variable's name.
    std::optional<platform::DynamicLibrary> library =
        platform::DynamicLibrary::open(joined(folder, "EDSDK.dll"));
    ASSERT_TRUE(library);
    using AnyFunction = void (*)();
    static_assert(sizeof(EdsEntryPoints) == kEdsEntryPointCount * sizeof(AnyFunction));
    for (int i = 0; i < kEdsEntryPointCount; ++i) {
        AnyFunction variable = nullptr;
        std::memcpy(&variable, reinterpret_cast<const char *>(&Eds()) + i * sizeof(AnyFunction),
                    sizeof variable);
        EXPECT_EQ(reinterpret_cast<void *>(variable), library->symbol(EdsExportName(i)))
            << EdsExportName(i);
    }
    EXPECT_STREQ(EdsExportName(0), "EdsInitializeSDK");
    EXPECT_STREQ(EdsExportName(kEdsEntryPointCount - 1), "EdsGetEvent");
    EXPECT_EQ(EdsExportName(kEdsEntryPointCount), nullptr);

    // Calls with the vendor's argument layout: out-pointer, 64-bit size, record by value.
    const EdsEntryPoints &eds = Eds();
    const auto ref = reinterpret_cast<EdsBaseRef>(static_cast<std::uintptr_t>(0x5A5A5A50));
    EdsUInt32 count = 0;
    EXPECT_EQ(eds.EdsGetChildCount(ref, &count), EDS_ERR_OK);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(eds.EdsDownload(ref, 0x123456789ull, ref), EDS_ERR_OK);
    EXPECT_EQ(eds.EdsSetCapacity(ref, EdsCapacity{0x7FFFFFFF, 512, 1}), EDS_ERR_OK);
    EXPECT_EQ(eds.EdsRelease(ref), 41u);
    EXPECT_EQ(eds.EdsCreateStream(nullptr, nullptr), 0xFA00u + 50);
    EXPECT_EQ(eds.EdsGetEvent(), 0xFA00u + 51);

    // Loaded: a second call returns at once, without looking at the folder.
    EXPECT_NO_THROW(LoadEDSDK(fixture("empty")));

    runUnloadChain();
    expectNothingLoaded();
}

TEST_F(EdsBindingTest, EmptyFolderLoadsThroughTheSearchOrder)
{
    // Companions are found in the current directory, the library by the system's search order
    // (which the test run points at the same folder; Windows searches the current directory).
#ifndef _WIN32
    const char *searchPath = std::getenv("LD_LIBRARY_PATH");
    if (searchPath == nullptr || std::string(searchPath).find(fixture("good")) == std::string::npos)
        GTEST_SKIP() << "run through ctest, which puts the test libraries on LD_LIBRARY_PATH";
#endif
    const test::CurrentDirectory in(fixture("good"));
    LoadEDSDK("");
    EXPECT_TRUE(IsEDSDKLoaded());
}

TEST_F(EdsBindingTest, EdsRefReleasesEachReferenceOnce)
{
    LoadEDSDK(fixture("good"));
    const auto releases = [] { return Eds().EdsRetain(nullptr); }; // the fake counts them
    const auto ref = [](std::uintptr_t n) { return reinterpret_cast<EdsBaseRef>(n); };
    const EdsUInt32 before = releases();
    {
        EdsRef a(EdsdkLibrary(), ref(0x10));
        EdsRef b(std::move(a)); // moves ownership, releases nothing
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), ref(0x10));
        EXPECT_EQ(releases(), before);

        *b.receive() = ref(0x20); // the old reference goes before the slot is refilled
        EXPECT_EQ(releases(), before + 1);

        EdsRef kept(EdsdkLibrary(), ref(0x30));
        EXPECT_EQ(kept.release(), ref(0x30)); // given up: never released by us
    }
    EXPECT_EQ(releases(), before + 2);

    // After the unload chain the library has freed everything: nothing is called any more.
    EdsRef late(EdsdkLibrary(), ref(0x40));
    runUnloadChain();
    late.reset();
    EXPECT_FALSE(late);
}

std::vector<EdsBaseRef> gOtherReleases;

EdsUInt32 TBX_STDCALL releaseInOther(EdsBaseRef ref)
{
    gOtherReleases.push_back(ref);
    return 0;
}

TEST_F(EdsBindingTest, AReferenceGoesBackToTheLibraryThatMadeIt)
{
    // A second EOS-style library with its own entry points, as the generation-2 SDK has.
    static EdsEntryPoints other;
    other.EdsRelease = &releaseInOther;
    static const EdsLibrary otherLibrary{"other", nullptr, [] { return true; },
                                         []() -> const EdsEntryPoints & { return other; }, {}};
    LoadEDSDK(fixture("good"));
    const EdsUInt32 before = Eds().EdsRetain(nullptr); // the fake counts its releases
    gOtherReleases.clear();
    {
        EdsRef made(otherLibrary, reinterpret_cast<EdsBaseRef>(0x50));
        EdsRef moved;
        moved = std::move(made); // the library travels with the reference
        EXPECT_EQ(moved.library(), &otherLibrary);
        *moved.receive() = reinterpret_cast<EdsBaseRef>(0x60);
    }
    EXPECT_EQ(gOtherReleases, (std::vector<EdsBaseRef>{reinterpret_cast<EdsBaseRef>(0x50),
                                                       reinterpret_cast<EdsBaseRef>(0x60)}));
    EXPECT_EQ(Eds().EdsRetain(nullptr), before);

    EdsRef ofNoLibrary;
    EXPECT_THROW(ofNoLibrary.receive(), EAssertionFailed);
}

} // namespace
} // namespace tbx::sdk
