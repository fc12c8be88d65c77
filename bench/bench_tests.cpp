// The benchmarks compare like with like only while the bare side of each pair makes the SDK calls
// the engine makes, and the engine side really delivers to the host. These tests hold both, and
// the pairing rules of the ratio table.
#include "LegacyWorkloads.h"
#include "PtpWorkloads.h"
#include "RatioTable.h"
#include "Session.h"
#include "Workloads.h"

#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

namespace tbx::bench {
namespace {

// ---------------------------------------------------------------------------------------------
// The ratio table
// ---------------------------------------------------------------------------------------------

Measurement run(const std::string &name, double realNs, double cpuNs)
{
    Measurement m;
    m.name = name;
    m.realNs = realNs;
    m.cpuNs = cpuNs;
    return m;
}

Measurement aggregate(const std::string &name, const std::string &kind, double ns)
{
    Measurement m = run(name, ns, ns);
    m.aggregate = true;
    m.aggregateName = kind;
    return m;
}

TEST(RatioTable, DividesTheFirstTimeByTheSecondAndLeavesMissingSidesOpen)
{
    RatioTable table({{"frame", "F/engine", "F/bare", "copies"}, {"read", "R/engine", "R/bare", ""}});
    table.add(run("F/bare", 100, 50));
    table.add(run("F/engine", 300, 200));
    table.add(run("R/engine", 10, 10));
    const auto rows = table.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, "frame");
    ASSERT_TRUE(rows[0].ratio && rows[0].cpuRatio);
    EXPECT_DOUBLE_EQ(*rows[0].ratio, 3.0);
    EXPECT_DOUBLE_EQ(*rows[0].cpuRatio, 4.0);
    EXPECT_FALSE(rows[1].ratio) << "a pair with one side missing has no ratio";
    EXPECT_FALSE(rows[1].denominatorNs);

    const std::string text = table.format();
    EXPECT_NE(text.find(kRatioHeading), std::string::npos);
    EXPECT_NE(text.find("3.00x"), std::string::npos);
    EXPECT_NE(text.find("not run"), std::string::npos);
    EXPECT_NE(text.find("frame: copies"), std::string::npos);
    EXPECT_EQ(text.find("read: "), std::string::npos) << "a pair without a note prints none";
}

TEST(RatioTable, LongLabelsWidenTheirColumnAndKeepTheirNumbers)
{
    const std::string label(300, 'x');
    RatioTable table({{label, "A", "B", ""}, {"short", "C", "D", ""}});
    table.add(run("A", 2500, 2500));
    table.add(run("B", 1000, 1000));
    const std::string text = table.format();
    EXPECT_NE(text.find(label + "      2.50 us      1.00 us    2.50x    2.50x"), std::string::npos) << text;
    EXPECT_NE(text.find("short" + std::string(295, ' ') + "      not run      not run        -        -"),
              std::string::npos)
        << text;
}

TEST(RatioTable, IgnoresFailedRunsAndSpreadsAndPrefersTheMeanOfRepetitions)
{
    RatioTable table({{"pair", "A", "B", ""}});
    table.add(run("A", 100, 100));
    table.add(run("A", 300, 300));
    table.add(aggregate("A", "mean", 200));
    table.add(aggregate("A", "stddev", 5));
    table.add(run("A", 900, 900)); // a later repetition does not replace the mean
    Measurement failed = run("B", 1, 1);
    failed.failed = true;
    table.add(failed);
    EXPECT_FALSE(table.rows()[0].ratio) << "a failed run must not count";
    table.add(run("B", 50, 0));
    const RatioRow row = table.rows()[0];
    ASSERT_TRUE(row.ratio);
    EXPECT_DOUBLE_EQ(*row.ratio, 4.0);
    EXPECT_FALSE(row.cpuRatio) << "no CPU ratio over a CPU time of zero";
}

// ---------------------------------------------------------------------------------------------
// The pairs
// ---------------------------------------------------------------------------------------------

/// The call-log lines with the stand-in's object names ("stream#12") taken out, so that the same
/// call on another object of the same kind reads the same.
/// \p fileName, when given, reads as "file".
std::vector<std::string> callsWithoutObjects(const std::string &fileName = {})
{
    static const std::regex object(R"([A-Za-z]+#[0-9]+)");
    std::vector<std::string> out;
    for (std::string line : simLog()) {
        if (const std::size_t at = fileName.empty() ? std::string::npos : line.find(fileName); at != std::string::npos)
            line.replace(at, fileName.size(), "file");
        out.push_back(std::regex_replace(line, object, "ref"));
    }
    return out;
}

std::string fileText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The EOS-style families the live-view and download pairs are measured for.
class BenchFamilies : public ::testing::TestWithParam<CamModType> {};

INSTANTIATE_TEST_SUITE_P(Families, BenchFamilies, ::testing::Values(CamModEOS, CamModPowerShotGen2),
                         [](const ::testing::TestParamInfo<CamModType> &param) {
                             return std::string(param.param == CamModEOS ? "EOS" : "Gen2");
                         });

TEST_P(BenchFamilies, LiveViewSidesMakeTheSameCallsAndTheEngineDeliversEveryTick)
{
    Session session({}, GetParam());
    LiveViewPair pair(session);
    const std::uint32_t objects = sim().GetObjectCount();

    const std::size_t engineBytes = pair.engineFrame();
    const auto engineCalls = callsWithoutObjects();
    clearSimLog();
    const std::size_t bareBytes = pair.bareFrame();
    const auto bareCalls = callsWithoutObjects();

    EXPECT_GT(engineBytes, 1000u);
    EXPECT_GT(bareBytes, 1000u);
    EXPECT_EQ(engineCalls, bareCalls);
    EXPECT_GE(engineCalls.size(), 18u) << "stream, image, download, metadata, pointer, length, two releases";

    for (int tick = 0; tick < 5; ++tick)
        EXPECT_GT(pair.engineFrame(), 0u) << "tick " << tick;
    EXPECT_EQ(pair.framesDelivered(), 6u);
    EXPECT_EQ(sim().GetObjectCount(), objects) << "a stream or live-view image was left behind";
}

TEST(BenchPairs, ParameterReplayMakesExactlyTheEnginesReads)
{
    Session session;
    ParamReadPair pair(session);
    ASSERT_GE(pair.recordedCalls().size(), 12u);

    pair.engineRead();
    const auto engineCalls = simLog();
    clearSimLog();
    pair.bareRead();
    EXPECT_EQ(simLog(), engineCalls);
}

TEST_P(BenchFamilies, DownloadSidesMakeTheSameCallsAndWriteTheSamePicture)
{
    Session session({}, GetParam());
    DownloadPair pair(session, "IMG_0003.CR3");

    EXPECT_EQ(pair.engineDownload(), 1500000u);
    const auto engineCalls = callsWithoutObjects(pair.engineFile().string());
    clearSimLog();
    EXPECT_EQ(pair.bareDownload(), 1500000u);
    EXPECT_EQ(callsWithoutObjects(pair.bareFile().string()), engineCalls);
    EXPECT_EQ(engineCalls.size(), 6u) << "file stream, item info, progress, download, release, complete";

    EXPECT_EQ(std::filesystem::file_size(pair.engineFile()), 1500000u);
    EXPECT_EQ(fileText(pair.engineFile()), fileText(pair.bareFile()));
    EXPECT_GT(pair.progressDelivered(), 0) << "the engine's host saw no progress";
    EXPECT_GT(pair.bareProgressCalls(), 0);
    EXPECT_EQ(session.engine().QueuedEventCount(), 0u);
}

/// The names of the calls \p stand-in logged since the last time, which clears its log.
std::vector<std::string> callsSince(const sim::ControlClient &standIn)
{
    standIn.WaitIdle(2000);
    std::vector<std::string> names;
    for (const std::string &line : standIn.callLogLines())
        names.push_back(sim::callName(line));
    standIn.ClearCallLog();
    return names;
}

TEST(BenchPairs, LegacyDownloadSidesMakeTheSameCallsAndWriteTheSamePicture)
{
    LegacySession session;
    LegacyDownloadPair pair(session, 1);
    auto calls = [] { return callsSince(legacySim()); };
    calls();
    const std::uint64_t size = pair.engineDownload();
    const auto engineCalls = calls();
    EXPECT_EQ(pair.bareDownload(), size);
    EXPECT_EQ(calls(), engineCalls);
    EXPECT_EQ(engineCalls, (std::vector<std::string>{"CDOpenImage", "CDGetPicture", "CDGetImageData", "CDCloseImage"}));
    EXPECT_EQ(fileText(pair.engineFile()), fileText(pair.bareFile()));
}

TEST(BenchPairs, PtpTransferSidesMakeTheSameCallsAndWriteTheWholePicture)
{
    // Each side in a session of its own: the bare side takes the camera's events from the engine.
    struct Side {
        std::vector<std::string> calls;
        std::string picture;
    };
    auto run = [](bool bare) {
        PtpSession session;
        PtpTransferPair pair(session, bare);
        callsSince(ptpSim());
        const std::uint64_t size = bare ? pair.bareTransfer() : pair.engineTransfer();
        Side side{callsSince(ptpSim()), fileText(bare ? pair.bareFile() : pair.engineFile())};
        EXPECT_EQ(size, side.picture.size());
        if (!bare) {
            EXPECT_GT(pair.progressDelivered(), 1) << "the engine's host saw no progress";
            EXPECT_EQ(session.engine().QueuedEventCount(), 0u);
        }
        return side;
    };
    const Side engine = run(false);
    const Side bare = run(true);
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"PR_RC_Release", "PR_RC_GetReleasedData"}));
    EXPECT_EQ(bare.calls, engine.calls);
    EXPECT_EQ(engine.picture.size(), 1600u * 1200u / 2u);
    EXPECT_EQ(engine.picture, bare.picture);
}

TEST(BenchPairs, PtpFrameSidesMakeTheSameCallsAndGetOneFrameEach)
{
    // Each side in a session of its own: the camera runs one viewfinder at a time.
    auto run = [](bool bare) {
        PtpSession session;
        callsSince(ptpSim());
        PtpFramePair pair(session, bare);
        for (int frame = 0; frame < 3; ++frame)
            EXPECT_GT(bare ? pair.bareFrame() : pair.engineFrame(), 1000u);
        if (!bare) {
            // The first frame asked for ends the library's own cadence: one frame per step.
            EXPECT_LE(pair.framesDelivered(), 3u + 1u);
            EXPECT_EQ(session.engine().QueuedEventCount(), 0u);
        }
        return callsSince(ptpSim());
    };
    const auto engineCalls = run(false);
    EXPECT_EQ(engineCalls, std::vector<std::string>{"PR_RC_StartViewFinder"});
    EXPECT_EQ(run(true), engineCalls);
}

TEST(BenchPairs, CachedProbeAsksTheCameraForNoDescriptionsAndTheFullProbeDoes)
{
    Session session;
    ProbeRuns probe(session);
    auto descriptionReads = [] {
        int count = 0;
        for (const std::string &name : simCallNames())
            count += name == "EdsGetPropertyDesc" ? 1 : 0;
        return count;
    };
    probe.cached();
    EXPECT_EQ(descriptionReads(), 0);
    EXPECT_FALSE(session.engine().RemoteMode());
    const RemoteParamSupportType fromCache = probe.lastInfo().ParamSupport;
    clearSimLog();
    probe.probed();
    EXPECT_GT(descriptionReads(), 5);
    // Both sides must end with the same answer, or the cheap one measures something else.
    EXPECT_EQ(std::memcmp(&fromCache, &probe.lastInfo().ParamSupport, sizeof fromCache), 0);
    const auto iso = probe.lastInfo().ParamSupport.group(RemoteParamISO);
    EXPECT_TRUE(std::any_of(iso.begin(), iso.end(), [](std::uint8_t flag) { return flag != 0; }))
        << "the probe found no ISO values at all";
}

TEST(BenchPairs, EveryFiredEventReachesItsHandlerOnBothSides)
{
    {
        Session session;
        EngineEvents events(session);
        EXPECT_EQ(events.fire(1), 1u);
        EXPECT_EQ(events.fire(64), 64u);
        EXPECT_EQ(session.engine().QueuedEventCount(), 0u);
    }
    Session session;
    BareEvents events(session);
    EXPECT_EQ(events.fire(1), 1u);
    EXPECT_EQ(events.fire(64), 64u);
}

TEST(BenchPairs, BrokenPathsRaiseOrDeliverNothingInsteadOfBeingMeasured)
{
    constexpr std::uint32_t kInternalError = 0x02;
    Session session;
    {
        LiveViewPair liveView(session);
        checkSim(sim().InjectFault("EdsDownloadEvfImage", kInternalError, 2), "Injecting a fault");
        EXPECT_THROW(liveView.bareFrame(), ECamException);
        EXPECT_EQ(liveView.engineFrame(), 0u) << "a failed tick delivers no frame";
        EXPECT_EQ(liveView.framesDelivered(), 0u);
        session.engine().RemoteStopViewfinder();
    }
    DownloadPair download(session, "IMG_0003.CR3");
    checkSim(sim().InjectFault("EdsDownload", kInternalError, 2), "Injecting a fault");
    EXPECT_THROW(download.engineDownload(), ECamException);
    EXPECT_THROW(download.bareDownload(), ECamException);
    EXPECT_THROW(DownloadPair(session, "IMG_9999.JPG"), std::runtime_error);
}

TEST(BenchPairs, EventsThatNeverReachTheHostEndTheWaitWithTheirCount)
{
    Session session;
    EngineEvents events(session);
    EXPECT_EQ(events.fire(2), 2u);
    session.engine().OnEvent = nullptr; // the engine drops camera events nobody listens to
    EXPECT_EQ(events.fire(3), 0u);
}

TEST(BenchPairs, TemporaryFoldersGoWithWhatTheyHold)
{
    std::filesystem::path kept;
    {
        TempFolder a("test");
        TempFolder b("test");
        EXPECT_NE(a.path(), b.path());
        kept = a.path();
        std::ofstream(kept / "file.bin") << "data";
        std::filesystem::create_directories(kept / "sub");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

} // namespace
} // namespace tbx::bench
