// The parameter file and the probe cache file, byte for byte, and their failure paths.
#include "ConnectedEngine.h"
#include "Scratch.h"

#include "engine/ParamStore.h"

#include "platform/Errors.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tbx {
namespace {

namespace fs = std::filesystem;
using test::failureOf;

class ParamFilesTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return scratch_.file(name); }

    test::ScratchFolder scratch_{"tbx-paramstore"};
};

RemoteParamsType sampleParams()
{
    RemoteParamsType p{};
    p.CompQuality = 3;
    p.WhiteBalanceSetting = 13;
    p.WhiteBalanceKelvin = 5200; // 0x1450
    p.WBShiftEnabled = 1;
    p.AmberBlue = static_cast<std::uint8_t>(-4);
    p.PictureStyleEnabled = 1;
    p.Contrast = 2;
    p.Av = 17;
    p.Tv = 30;
    p.Beep = 2;
    return p;
}

RemoteParamSupportType sampleSupport()
{
    RemoteParamSupportType s{};
    s.mark(RemoteParamCompQuality, 0);
    s.mark(RemoteParamTv, 59);
    s.mark(RemoteParamBeep, 2);
    s.WhiteBalanceShift = 1;
    return s;
}

TEST_F(ParamFilesTest, ParameterFileIsLengthWordThenTheRecordByteForByte)
{
    const auto file = path("params.dat");
    WriteRemoteParamsFile(file, sampleParams());

    const auto bytes = test::readBytes(file);
    ASSERT_EQ(bytes.size(), 52u);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4)),
              (std::vector<std::uint8_t>{48, 0, 0, 0}));
    EXPECT_EQ(bytes[4 + 0], 3);     // CompQuality
    EXPECT_EQ(bytes[4 + 13], 13);   // WhiteBalanceSetting
    EXPECT_EQ(bytes[4 + 16], 0x50); // WhiteBalanceKelvin, little-endian
    EXPECT_EQ(bytes[4 + 17], 0x14);
    EXPECT_EQ(bytes[4 + 20], 1);    // WBShiftEnabled
    EXPECT_EQ(bytes[4 + 21], 0xFC); // AmberBlue -4
    EXPECT_EQ(bytes[4 + 23], 1);    // PictureStyleEnabled
    EXPECT_EQ(bytes[4 + 35], 2);    // Contrast
    EXPECT_EQ(bytes[4 + 40], 17);   // Av
    EXPECT_EQ(bytes[4 + 41], 30);   // Tv
    EXPECT_EQ(bytes[4 + 44], 2);    // Beep

    const auto back = ReadRemoteParamsFile(file);
    const auto expected = sampleParams();
    EXPECT_EQ(std::memcmp(&back, &expected, sizeof back), 0);
}

TEST_F(ParamFilesTest, SavingReplacesAnExistingFileAndLeavesNoTemporaryFileBehind)
{
    const auto file = path("params.dat");
    test::writeBytes(file, std::vector<std::uint8_t>(200, 0xEE));
    WriteRemoteParamsFile(file, sampleParams());
    EXPECT_EQ(test::readBytes(file).size(), 52u);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 1);
}

TEST_F(ParamFilesTest, ParameterFilesThatAreNotARecordAreRefusedNamingTheFile)
{
    const auto good = EncodeRemoteParamsFile(sampleParams());
    struct Case {
        const char *what;
        std::vector<std::uint8_t> content;
    };
    std::vector<std::uint8_t> wrongLength(good.begin(), good.end());
    wrongLength[0] = 52;
    const std::vector<Case> cases = {
        {"length word 52", wrongLength},
        {"one byte short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
        {"only the length word", std::vector<std::uint8_t>(good.begin(), good.begin() + 4)},
        {"empty", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = path("bad.dat");
        test::writeBytes(file, c.content);
        try {
            ReadRemoteParamsFile(file);
            ADD_FAILURE() << "no exception";
        } catch (const ECamException &e) {
            EXPECT_EQ(std::string(e.what()), "Camera remote parameters file " + file +
                                                  " is of invalid data format. Please create a new file.");
        }
    }
}

TEST_F(ParamFilesTest, ParameterFileMayCarryTrailingBytes)
{
    const auto good = EncodeRemoteParamsFile(sampleParams());
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0x77);
    EXPECT_TRUE(DecodeRemoteParamsFile(longer).has_value());
}

TEST_F(ParamFilesTest, MissingOrUnwritableParameterFilesRaiseInOutErrorsNamingTheFile)
{
    const auto missing = path("missing.dat");
    try {
        ReadRemoteParamsFile(missing);
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError &e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }

    const auto inMissingFolder = path("no-such-folder") + platform::kDirSeparator + "params.dat";
    try {
        WriteRemoteParamsFile(inMissingFolder, sampleParams());
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError &e) {
        EXPECT_NE(std::string(e.what()).find(inMissingFolder), std::string::npos) << e.what();
    }
}

TEST_F(ParamFilesTest, ProbeCacheFileIsFormatNumberThenTheTableAndCreatesItsFolders)
{
    const auto file = path("cache") + platform::kDirSeparator + "deeper" + platform::kDirSeparator +
                      "Model X Mode 3";
    SaveRemoteParamSupportCache(file, sampleSupport());

    const auto bytes = test::readBytes(file);
    ASSERT_EQ(bytes.size(), 359u);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4)),
              (std::vector<std::uint8_t>{0x46, 0x01, 0, 0})); // 326
    EXPECT_EQ(bytes[4 + 0], 1);         // CompQuality flag 0
    EXPECT_EQ(bytes[4 + 167], 1);       // white-balance shift
    EXPECT_EQ(bytes[4 + 253 + 59], 1);  // Tv code 59
    EXPECT_EQ(bytes[4 + 354], 1);       // Beep code 2, the last byte

    RemoteParamSupportType loaded{};
    ASSERT_TRUE(LoadRemoteParamSupportCache(file, loaded));
    const auto expected = sampleSupport();
    EXPECT_EQ(std::memcmp(&loaded, &expected, sizeof loaded), 0);
}

TEST_F(ParamFilesTest, ProbeCacheThatCannotBeReadCompletelyIsAbsentAndLeavesTheRecordAlone)
{
    std::vector<std::uint8_t> good(359, 1);
    good[0] = 0x46;
    good[1] = 0x01;
    good[2] = good[3] = 0;
    std::vector<std::uint8_t> oldFormat = good;
    oldFormat[0] = 0x45; // 325
    struct Case {
        const char *what;
        std::vector<std::uint8_t> content;
    };
    const std::vector<Case> cases = {
        {"format 325", oldFormat},
        {"one byte short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 4)},
        {"empty", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = path("cache.bin");
        test::writeBytes(file, c.content);
        RemoteParamSupportType record{};
        record.Beep[1] = 7;
        EXPECT_FALSE(LoadRemoteParamSupportCache(file, record));
        EXPECT_EQ(record.Beep[1], 7);
        EXPECT_EQ(record.CompQuality[0], 0);
    }
    RemoteParamSupportType record{};
    EXPECT_FALSE(LoadRemoteParamSupportCache(path("missing.bin"), record));
    EXPECT_FALSE(LoadRemoteParamSupportCache(scratch_.path().string(), record)); // a folder, not a file
}

TEST_F(ParamFilesTest, ACacheThatCannotBeWrittenRaisesOrReportsFalseAndKeepsTheOldFile)
{
    // A regular file where a folder of the path should be.
    const auto blocker = path("blocker");
    test::writeBytes(blocker, {1, 2, 3});
    const auto file = blocker + platform::kDirSeparator + "Model Mode 0";
    EXPECT_THROW(SaveRemoteParamSupportCache(file, sampleSupport()), EInOutError);
    EXPECT_FALSE(TrySaveRemoteParamSupportCache(file, sampleSupport()));
    EXPECT_EQ(test::readBytes(blocker).size(), 3u);

    EXPECT_TRUE(TrySaveRemoteParamSupportCache(path("ok"), sampleSupport()));
    EXPECT_EQ(test::readBytes(path("ok")).size(), 359u);
}

// ---------------------------------------------------------------------------------------------
// The engine's parameter operations
// ---------------------------------------------------------------------------------------------

class ParamStoreEngine : public test::ConnectedEngine {
protected:
    std::string path(const std::string &name) const { return scratch_.file(name); }

    test::ScratchFolder scratch_{"tbx-paramengine"};
};

TEST_F(ParamStoreEngine, EveryParameterOperationNeedsRemoteModeFirst)
{
    const auto file = path("params.dat");
    const auto missing = path("missing.dat");
    auto all = [&] {
        return std::vector<std::string>{
            failureOf([&] { engine().RemoteGetCameraCacheParameters(); }),
            failureOf([&] { engine().RemoteSetRemoteParams(sampleParams()); }),
            failureOf([&] { engine().RemoteSaveCameraRemoteParams(file); }),
            failureOf([&] { engine().RemoteLoadCameraRemoteParams(missing); }),
        };
    };
    EXPECT_EQ(all(), std::vector<std::string>(4, "Camera not in remote mode"));
    connect(test::Camera::EOS);
    EXPECT_EQ(all(), std::vector<std::string>(4, "Camera not in remote mode"));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(log().names().empty());
}

TEST_F(ParamStoreEngine, ParametersGoToTheConnectedDriverInZeroFilledRecords)
{
    connectRemote(test::Camera::PTP);
    pr().remoteParams = sampleParams();
    const RemoteParamsType read = engine().RemoteGetCameraCacheParameters();
    EXPECT_EQ(read.WhiteBalanceKelvin, 5200u);
    const RemoteParamsType zero{};
    EXPECT_EQ(std::memcmp(&pr().paramsOnEntry, &zero, sizeof zero), 0);

    RemoteParamsType set{};
    set.ISO = 9;
    engine().RemoteSetRemoteParams(set);
    EXPECT_EQ(pr().setParams.ISO, 9);
    EXPECT_EQ(log().names(), (std::vector<std::string>{"PR.GetRemoteParams", "PR.SetRemoteParams"}));
}

TEST_F(ParamStoreEngine, ASavedFileLoadsBackIntoTheSameRecord)
{
    connectRemote(test::Camera::Gen2);
    ps().remoteParams = sampleParams();
    const auto file = path("studio.dat");
    engine().RemoteSaveCameraRemoteParams(file);
    EXPECT_EQ(fs::file_size(file), 52u);

    engine().RemoteLoadCameraRemoteParams(file);
    const auto expected = sampleParams();
    EXPECT_EQ(std::memcmp(&ps().setParams, &expected, sizeof expected), 0);
}

TEST_F(ParamStoreEngine, AFailedCameraReadLeavesTheFileAsItWas)
{
    connectRemote(test::Camera::EOS);
    ed().failWith("GetRemoteParams", "camera busy");
    const auto fresh = path("fresh.dat");
    EXPECT_EQ(failureOf([&] { engine().RemoteSaveCameraRemoteParams(fresh); }), "camera busy");
    EXPECT_FALSE(fs::exists(fresh));

    const auto existing = path("existing.dat");
    WriteRemoteParamsFile(existing, sampleParams());
    EXPECT_EQ(failureOf([&] { engine().RemoteSaveCameraRemoteParams(existing); }), "camera busy");
    EXPECT_EQ(ReadRemoteParamsFile(existing).WhiteBalanceKelvin, 5200u);
}

TEST_F(ParamStoreEngine, AnInvalidFileAppliesNothing)
{
    connectRemote(test::Camera::Legacy);
    const auto file = path("short.dat");
    std::ofstream(file, std::ios::binary) << std::string("\x30\0\0\0abc", 7);
    EXPECT_EQ(failureOf([&] { engine().RemoteLoadCameraRemoteParams(file); }),
              "Camera remote parameters file " + file + " is of invalid data format. Please create a new file.");
    EXPECT_EQ(cd().count("SetRemoteParams"), 0);
}

TEST_F(ParamStoreEngine, RAWHandlingIsRefusedWhateverTheState)
{
    const std::string refusal = "RAW handling is unfortunately not supported";
    auto all = [&] {
        return std::vector<std::string>{
            failureOf([&] { engine().OpenRAWObject("a.cr2"); }),
            failureOf([&] { engine().SetRAWDevelopmentParameters({}); }),
            failureOf([&] { engine().GetRAWDevelopmentParameters(); }),
            failureOf([&] { engine().DevelopRAWPicture("a.tif", 0, 8, "", 90); }),
            failureOf([&] { engine().CloseRAWObject(); }),
        };
    };
    EXPECT_EQ(all(), std::vector<std::string>(5, refusal));
    connectRemote(test::Camera::EOS);
    EXPECT_EQ(all(), std::vector<std::string>(5, refusal));
    EXPECT_TRUE(log().names().empty());
}

} // namespace
} // namespace tbx
