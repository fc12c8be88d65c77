#include "sdk/Loader.h"

#include "TestSupport.h"
#include "platform/Errors.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

namespace tbx::sdk {
namespace {

using test::fixture;
using test::joined;
using test::kIncorrectVersionTail;
using test::failureOf;

// ---------------------------------------------------------------------------------------------
// CheckFileVersion
// ---------------------------------------------------------------------------------------------

TEST(CheckFileVersion, AcceptsOnlyTheExactVersionInEveryPart)
{
    const std::string path = joined(fixture("good"), "EDSDK.dll"); // 13.10.20.0
    // The arguments run major, minor, build, release.
    EXPECT_NO_THROW(CheckFileVersion(path, 13, 10, 0, 20));

    struct Case {
        std::uint16_t major, minor, build, release;
    };
    const Case wrong[] = {
        {12, 10, 0, 20}, {14, 10, 0, 20}, // major older, newer
        {13, 9, 0, 20},  {13, 11, 0, 20}, // minor
        {13, 10, 0, 19}, {13, 10, 0, 21}, // release
        {13, 10, 1, 20},                  // build newer
        {13, 10, 20, 0},                  // release and build swapped
    };
    for (const Case &c : wrong) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << "." << c.release << "." << c.build);
        EXPECT_EQ(failureOf<EInOutError>([&] { CheckFileVersion(path, c.major, c.minor, c.build, c.release); }),
                  path + kIncorrectVersionTail);
    }
}

TEST(CheckFileVersion, MissingFileIsNotFoundAndNamesCaseInsensitively)
{
    const std::string missing = joined(fixture("empty"), "EdsImage.dll");
    EXPECT_EQ(failureOf<EInOutError>([&] { CheckFileVersion(missing, 13, 10, 0, 0); }),
              missing + " could not be found");

    // The vendor names mix cases; the file system match ignores case.
    EXPECT_NO_THROW(CheckFileVersion(joined(fixture("good"), "edsimage.DLL"), 13, 10, 0, 0));
}

TEST(CheckFileVersion, UnreadableVersionIsReportedAsIncorrect)
{
    const std::string scratch = fixture("scratch-version");
    std::filesystem::create_directories(scratch);

    // A file without any version information.
    const std::string text = joined(scratch, "Plain.dll");
    std::ofstream(text) << "not a library\n";
    EXPECT_EQ(failureOf<EInOutError>([&] { CheckFileVersion(text, 13, 10, 0, 20); }),
              text + kIncorrectVersionTail);

    // A real library whose fixed version record has lost its signature.
    std::ifstream in(joined(fixture("good"), "EDSDK.dll"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char signature[] = {'\xBD', '\x04', '\xEF', '\xFE'};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(signature), std::end(signature));
    ASSERT_NE(at, bytes.end());
    *at = '\0';
    const std::string damaged = joined(scratch, "Damaged.dll");
    std::ofstream(damaged, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(failureOf<EInOutError>([&] { CheckFileVersion(damaged, 13, 10, 0, 20); }),
              damaged + kIncorrectVersionTail);
}

// ---------------------------------------------------------------------------------------------
// Binding, driven by a three-export library
// ---------------------------------------------------------------------------------------------

/// What the binding stored, in order: entry index and whether the address was non-empty.
struct Store {
    int index;
    bool bound;
    friend bool operator==(const Store &, const Store &) = default;
};

std::mutex gStoresMutex;
std::vector<Store> gStores;
void *gSymbols[3];

template <int Index>
void record(void *symbol)
{
    std::lock_guard lock(gStoresMutex);
    gStores.push_back({Index, symbol != nullptr});
    gSymbols[Index] = symbol;
}

constexpr CompanionFile kFakeCompanions[] = {{"TbxFake.dll", {2, 14, 20, 4}}};
constexpr EntryPoint kFakeEntryPoints[] = {
    {"FakeFirst", record<0>},
    {"FakeSecond", record<1>},
    {"FakeThird", record<2>},
};
const BindingDescription kFake{"FAKEAPI", "TBXFAKE.DLL", false, kFakeCompanions, kFakeEntryPoints};

int callSymbol(int index)
{
    using Function = int (*)();
    return reinterpret_cast<Function>(gSymbols[index])();
}

class BindingTest : public testing::Test {
protected:
    void SetUp() override
    {
        runUnloadChain();
        gStores.clear();
        std::fill(std::begin(gSymbols), std::end(gSymbols), nullptr);
    }
};

TEST_F(BindingTest, BindsEveryEntryPointInListOrderThenReturnsAtOnce)
{
    Binding binding(kFake);
    EXPECT_FALSE(binding.isLoaded());
    EXPECT_THROW(binding.requireLoaded(), EAssertionFailed);

    binding.load(fixture("generic"));
    EXPECT_TRUE(binding.isLoaded());
    EXPECT_NO_THROW(binding.requireLoaded());
    EXPECT_EQ(gStores, (std::vector<Store>{{0, true}, {1, true}, {2, true}}));
    EXPECT_EQ(callSymbol(0), 1);
    EXPECT_EQ(callSymbol(1), 2);
    EXPECT_EQ(callSymbol(2), 3);

    // Once loaded, nothing is checked or bound again, whatever the folder.
    binding.load(fixture("no-such-folder"));
    EXPECT_EQ(gStores.size(), 3u);
}

TEST_F(BindingTest, MissingExportUnbindsFreesAndFailsAgainUntilRepaired)
{
    Binding binding(kFake);
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        gStores.clear();
        EXPECT_EQ(failureOf<EAssertionFailed>([&] { binding.load(fixture("generic-missing")); }),
                  "Assertion failure (FAKEAPI, line 2)");
        // Nothing after the missing entry point is fetched, and what was bound is emptied again.
        EXPECT_EQ(gStores, (std::vector<Store>{{0, true}, {0, false}, {1, false}, {2, false}}));
        EXPECT_FALSE(binding.isLoaded());
        EXPECT_THROW(binding.requireLoaded(), EAssertionFailed);
    }

    binding.load(fixture("generic"));
    EXPECT_TRUE(binding.isLoaded());
    EXPECT_EQ(callSymbol(1), 2);
}

TEST_F(BindingTest, LoadFailureQuotesBareNameUnlessTheBindingNamesItsFolder)
{
    constexpr EntryPoint entries[] = {{"EdsGetEvent", record<0>}};
    const BindingDescription bare{"FAKEAPI", "EDSDK.DLL", false, {}, entries};
    const BindingDescription withFolder{"FAKEAPI", "EDSDK.DLL", true, {}, entries};
    const std::string folder = fixture("unloadable"); // present, but a dependency is missing

    Binding first(bare);
    EXPECT_EQ(failureOf<EInOutError>([&] { first.load(folder); }), "EDSDK.DLL could not be loaded");
    Binding second(withFolder);
    EXPECT_EQ(failureOf<EInOutError>([&] { second.load(folder); }),
              joined(folder, "EDSDK.DLL") + " could not be loaded");
    EXPECT_FALSE(first.isLoaded());
    EXPECT_TRUE(gStores.empty());

    // A failed load leaves nothing behind: the repaired folder loads.
    first.load(fixture("good"));
    EXPECT_TRUE(first.isLoaded());
}

TEST_F(BindingTest, CompanionsAreCheckedInOrderBeforeAnyLoad)
{
    constexpr CompanionFile companions[] = {{"EDSDK.DLL", {13, 10, 20, 0}}, {"EdsImage.dll", {13, 10, 0, 0}}};
    const BindingDescription description{"FAKEAPI", "TBXFAKE.DLL", false, companions, kFakeEntryPoints};
    Binding binding(description);

    // Both companions are wrong here (EDSDK too new, EdsImage missing): the first one is reported.
    const std::string folder = fixture("edsdk-13.11.0.0");
    EXPECT_EQ(failureOf<EInOutError>([&] { binding.load(folder); }),
              joined(folder, "EDSDK.DLL") + kIncorrectVersionTail);
    EXPECT_TRUE(gStores.empty());
}

TEST_F(BindingTest, ErrorModeIsRestoredWhetherLoadingSucceedsOrFails)
{
    constexpr unsigned kHostMode = 0x0001; // SEM_FAILCRITICALERRORS, a value a host may have set
    const unsigned original = platform::setErrorMode(kHostMode);

    Binding binding(kFake);
    EXPECT_THROW(binding.load(fixture("generic-missing")), EAssertionFailed);
    EXPECT_EQ(platform::setErrorMode(kHostMode), kHostMode);
    binding.load(fixture("generic"));
    EXPECT_EQ(platform::setErrorMode(original), kHostMode);
}

TEST_F(BindingTest, UnloadChainRunsMostRecentFirstAndLeavesNothingBound)
{
    Binding older(kFake);
    constexpr EntryPoint edsEntries[] = {{"EdsGetEvent", record<2>}};
    Binding newer(BindingDescription{"OTHER", "EDSDK.DLL", true, {}, edsEntries});

    older.load(fixture("generic")); // binds 0, 1, 2
    newer.load(fixture("good"));    // binds 2 again
    gStores.clear();

    runUnloadChain();
    EXPECT_FALSE(older.isLoaded());
    EXPECT_FALSE(newer.isLoaded());
    EXPECT_EQ(gStores, (std::vector<Store>{{2, false}, {0, false}, {1, false}, {2, false}}));

    // The chain is empty now; an unloaded binding loads afresh.
    gStores.clear();
    runUnloadChain();
    EXPECT_TRUE(gStores.empty());
    older.load(fixture("generic"));
    EXPECT_EQ(gStores.size(), 3u);
}

TEST_F(BindingTest, ConcurrentFirstCallsLoadOnce)
{
    Binding binding(kFake);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { binding.load(fixture("generic")); });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_TRUE(binding.isLoaded());
    EXPECT_EQ(gStores, (std::vector<Store>{{0, true}, {1, true}, {2, true}}));
}

} // namespace
} // namespace tbx::sdk
