// The loader of every SDK binding against the installations it must refuse and the one it must
// accept: one test over the bindings' own descriptions, so that each binding's companion files,
// load message and entry-point list are checked the same way.
#include "TestSupport.h"
#include "platform/Errors.h"
#include "sdk/CDAPI.h"
#include "sdk/EDSDK.h"
#include "sdk/Loader.h"
#include "sdk/PRAPI.h"
#include "sdk/PSG7XMK2SDK.h"

#include <ostream>
#include <string_view>
#include <vector>

namespace tbx::sdk {
namespace {

using test::fixture;
using test::joined;
using test::kIncorrectVersionTail;
using test::failureOf;

/// A folder whose companion file number \p companion is missing or of another version.
struct CompanionFault {
    const char *folder;
    std::size_t companion;
    bool present; ///< there, but of another version
};

struct SdkLoaderCase {
    const char *name;
    const BindingDescription &(*description)();
    void (*load)(const std::string &folder);
    bool (*isLoaded)();
    void (*use)(); ///< asks for the entry-point table
    const char *good;
    const char *unloadable;    ///< the library is there, a library it needs is not
    const char *missingExport; ///< the library lacks the export named next
    const char *missingName;
    std::vector<CompanionFault> companionFaults;
};

void PrintTo(const SdkLoaderCase &c, std::ostream *out) { *out << c.name; }

class SdkLoaderTest : public testing::TestWithParam<SdkLoaderCase> {
protected:
    void SetUp() override { runUnloadChain(); }
    void TearDown() override { runUnloadChain(); }

    const BindingDescription &description() const { return GetParam().description(); }

    std::string companionPath(const std::string &folder, std::size_t companion) const
    {
        return joined(folder, description().companions[companion].fileName);
    }

    void expectNothingLoaded() const
    {
        EXPECT_FALSE(GetParam().isLoaded());
        EXPECT_EQ(failureOf<EAssertionFailed>(GetParam().use),
                  "Assertion failure (" + std::string(description().unitName) + ", line 0)");
    }
};

TEST_P(SdkLoaderTest, RefusedInstallationsLeaveNothingLoadedUntilRepaired)
{
    const SdkLoaderCase &sdk = GetParam();
    struct Refusal {
        std::string folder;
        bool assertion; // EAssertionFailed rather than EInOutError
        std::string message;
    };
    std::vector<Refusal> refusals;
    for (const CompanionFault &fault : sdk.companionFaults) {
        const std::string path = companionPath(fixture(fault.folder), fault.companion);
        refusals.push_back(
            {fixture(fault.folder), false, path + (fault.present ? kIncorrectVersionTail : " could not be found")});
    }
    const std::string unloadable = fixture(sdk.unloadable);
    refusals.push_back({unloadable, false,
                        (description().loadErrorNamesFolder ? joined(unloadable, description().libraryFileName)
                                                            : std::string(description().libraryFileName)) +
                            " could not be loaded"});
    int position = 0;
    for (std::size_t i = 0; i < description().entryPoints.size(); ++i)
        if (std::string_view(description().entryPoints[i].exportName) == sdk.missingName)
            position = static_cast<int>(i) + 1;
    ASSERT_NE(position, 0) << sdk.missingName << " is not in the binding list";
    refusals.push_back(
        {fixture(sdk.missingExport), true,
         "Assertion failure (" + std::string(description().unitName) + ", line " + std::to_string(position) + ")"});

    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.folder);
        // A failure is checked again from the start on the next call, and fails the same way.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto load = [&] { sdk.load(refusal.folder); };
            EXPECT_EQ(refusal.assertion ? failureOf<EAssertionFailed>(load) : failureOf<EInOutError>(load),
                      refusal.message);
            expectNothingLoaded();
        }
    }

    sdk.load(fixture(sdk.good));
    EXPECT_TRUE(sdk.isLoaded());
    EXPECT_NO_THROW(sdk.use());
    // Loaded: a second call returns at once, without looking at the folder.
    EXPECT_NO_THROW(sdk.load(fixture("empty")));
    runUnloadChain();
    expectNothingLoaded();
}

TEST_P(SdkLoaderTest, FolderGetsOneSeparatorWhateverItEndsInAndEmptyMeansBareNames)
{
    const SdkLoaderCase &sdk = GetParam();
    const std::string empty = fixture("empty") + platform::kDirSeparator;
    EXPECT_EQ(failureOf<EInOutError>([&] { sdk.load(empty); }), companionPath(empty, 0) + " could not be found");
    {
        const test::CurrentDirectory in(fixture("empty"));
        EXPECT_EQ(failureOf<EInOutError>([&] { sdk.load(""); }),
                  std::string(description().companions[0].fileName) + " could not be found");
    }
    // The doubled separator is accepted by the file system.
    sdk.load(fixture(sdk.good) + platform::kDirSeparator);
    EXPECT_TRUE(sdk.isLoaded());
}

const SdkLoaderCase kSdks[] = {
    {"EDSDK",
     EdsBindingDescription,
     LoadEDSDK,
     IsEDSDKLoaded,
     [] { Eds(); },
     "good",
     "unloadable",
     "missing-export",
     "EdsDownloadCancel",
     {
         {"empty", 0, false},
         // EDSDK.DLL present and right, EdsImage.dll missing or wrong.
         {"no-edsimage", 1, false},
         {"edsimage-13.10.0.1", 1, true},
         // Newer libraries are refused like older ones; EDSDK.DLL is judged before EdsImage.dll.
         {"edsdk-13.10.20.1", 0, true},
         {"edsdk-13.11.0.0", 0, true},
     }},
    {"PSG7XMK2SDK",
     PsBindingDescription,
     LoadPSG7XMK2SDK,
     IsPSG7XMK2SDKLoaded,
     [] { Ps(); },
     "ps-good",
     "ps-unloadable",
     "ps-missing-export",
     "EdsDownloadCancel",
     {
         {"empty", 0, false},
         {"good", 0, false}, // an EOS installation has no generation-2 library
         {"ps-1.0.1.2", 0, true},
         {"ps-1.1.0.0", 0, true},
     }},
    // The last export is bound although nothing calls it.
    {"PRSDK",
     PrBindingDescription,
     LoadPRSDK,
     IsPRSDKLoaded,
     [] { Pr(); },
     "pr-good",
     "pr-unloadable",
     "pr-missing-export",
     "PR_RC_GetChangedReleaseParamesList",
     {
         {"empty", 0, false},
         {"pr-no-prlib", 0, false},
         {"pr-prlib-1.1.0.13", 0, true},
         {"pr-no-prsdk", 1, false},
         {"pr-1.1.0.21", 1, true},
     }},
    // Twelve files checked, one of them the library; a bound export nothing calls is required.
    {"CDSDK",
     CdBindingDescription,
     LoadCDSDK,
     IsCDSDKLoaded,
     [] { Cd(); },
     "cd-good",
     "cd-unloadable",
     "cd-without-sound",
     "CDGetSound",
     {
         {"empty", 0, false},
         {"cd-no-ewatch", 9, false},
         {"cd-pscamdat-7.0.0.5", 11, true},
     }},
};

INSTANTIATE_TEST_SUITE_P(EverySdk, SdkLoaderTest, testing::ValuesIn(kSdks),
                         [](const testing::TestParamInfo<SdkLoaderCase> &row) { return std::string(row.param.name); });

} // namespace
} // namespace tbx::sdk
