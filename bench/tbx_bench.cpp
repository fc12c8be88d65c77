// The engine's overhead over the bare SDK calls, measured in one run through the same EOS
// stand-in: live-view frames, parameter reads, card downloads, probing with and without the probe
// cache, camera events from the SDK's thread to the host, and the PowerShot families' pairs.
// After the usual table of results comes a table of ratios between the two sides of each pair.
// Exits non-zero when a benchmark stopped with an error.
#include "LegacyWorkloads.h"
#include "PtpWorkloads.h"
#include "RatioTable.h"
#include "Session.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <iostream>
#include <string>
#include <type_traits>

namespace tbx::bench {
namespace {

/// The picture of the built-in card that the downloads fetch (a 1.5 MB RAW file).
constexpr const char *kDownloadItem = "IMG_0003.CR3";
/// The picture of the legacy camera's card that its downloads fetch.
constexpr int kLegacyDownloadItem = 1;
/// Events per step of the event throughput pair.
constexpr int kEventBurst = 64;

/// Runs \p body; a failure ends the benchmark with its message instead of a number.
template <class Body>
void guarded(benchmark::State &state, Body &&body)
{
    try {
        body();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

void LiveViewEngine(benchmark::State &state, CamModType family)
{
    guarded(state, [&] {
        Session session({}, family);
        LiveViewPair pair(session);
        const std::uint32_t objects = sim().GetObjectCount();
        const std::int64_t memory = residentKilobytes();
        std::int64_t bytes = 0;
        for (auto _ : state)
            bytes += static_cast<std::int64_t>(pair.engineFrame());
        if (pair.framesDelivered() != static_cast<std::size_t>(state.iterations()))
            throw std::runtime_error("The engine delivered " + std::to_string(pair.framesDelivered()) +
                                     " frames in " + std::to_string(state.iterations()) + " ticks");
        state.SetBytesProcessed(bytes);
        state.counters["frames/s"] = benchmark::Counter(static_cast<double>(pair.framesDelivered()),
                                                        benchmark::Counter::kIsRate);
        // Live view must leave nothing behind, however long it runs.
        state.counters["sdk_objects_left"] =
            static_cast<double>(static_cast<std::int64_t>(sim().GetObjectCount()) - static_cast<std::int64_t>(objects));
        state.counters["rss_growth_kB"] = static_cast<double>(residentKilobytes() - memory);
    });
}

void LiveViewBare(benchmark::State &state, CamModType family)
{
    guarded(state, [&] {
        Session session({}, family);
        LiveViewPair pair(session);
        std::int64_t bytes = 0;
        for (auto _ : state)
            bytes += static_cast<std::int64_t>(pair.bareFrame());
        state.SetBytesProcessed(bytes);
        state.counters["frames/s"] =
            benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    });
}

/// Makes a \p Workload on a fresh session of camera family \p Family (with \p args after the
/// session) and runs its member \p step once per iteration. A step that answers a byte count adds it to the bytes processed;
/// any other answer is only kept from being optimised away.
template <class Workload, auto Step, bool Bytes, CamModType Family = CamModEOS, class... Args>
void measure(benchmark::State &state, Args... args)
{
    guarded(state, [&] {
        Session session({}, Family);
        Workload workload(session, args...);
        std::int64_t bytes = 0;
        for (auto _ : state) {
            if constexpr (Bytes)
                bytes += static_cast<std::int64_t>((workload.*Step)());
            else if constexpr (std::is_void_v<decltype((workload.*Step)())>)
                (workload.*Step)();
            else
                benchmark::DoNotOptimize((workload.*Step)());
        }
        if (Bytes)
            state.SetBytesProcessed(bytes);
    });
}

/// Fires \p count events per step through \p events and checks that every one arrived.
template <class Events>
void fireAndCount(benchmark::State &state, Events &events, int count)
{
    std::int64_t delivered = 0;
    for (auto _ : state) {
        const std::size_t got = events.fire(count);
        if (got != static_cast<std::size_t>(count))
            throw std::runtime_error(std::to_string(got) + " of " + std::to_string(count) + " events arrived");
        delivered += static_cast<std::int64_t>(got);
    }
    state.SetItemsProcessed(delivered);
}

/// A benchmark of a PowerShot family's \p Workload (made with \p arg after its session) running
/// \p Step once per iteration; the step's answer counts as bytes.
template <class Workload, auto Step, class Arg>
auto onFamily(Arg arg)
{
    return [arg](benchmark::State &state) {
        guarded(state, [&] {
            typename Workload::SessionType session;
            Workload workload(session, arg);
            std::int64_t bytes = 0;
            for (auto _ : state)
                bytes += static_cast<std::int64_t>((workload.*Step)());
            state.SetBytesProcessed(bytes);
        });
    };
}

template <class Events>
void EventRun(benchmark::State &state, int count)
{
    guarded(state, [&] {
        Session session;
        Events events(session);
        fireAndCount(state, events, count);
    });
}

void registerAll()
{
    auto add = [](const char *name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();
    };
    add("LiveViewFrame/engine", [](benchmark::State &s) { LiveViewEngine(s, CamModEOS); });
    add("LiveViewFrame/bare", [](benchmark::State &s) { LiveViewBare(s, CamModEOS); });
    add("Gen2LiveViewFrame/engine", [](benchmark::State &s) { LiveViewEngine(s, CamModPowerShotGen2); });
    add("Gen2LiveViewFrame/bare", [](benchmark::State &s) { LiveViewBare(s, CamModPowerShotGen2); });
    add("ParamRead/engine", measure<ParamReadPair, &ParamReadPair::engineRead, false>);
    add("ParamRead/bare", measure<ParamReadPair, &ParamReadPair::bareRead, false>);
    add("CardDownload/engine", [](benchmark::State &s) {
        measure<DownloadPair, &DownloadPair::engineDownload, true>(s, std::string(kDownloadItem));
    });
    add("CardDownload/bare", [](benchmark::State &s) {
        measure<DownloadPair, &DownloadPair::bareDownload, true>(s, std::string(kDownloadItem));
    });
    add("Gen2CardDownload/engine", [](benchmark::State &s) {
        measure<DownloadPair, &DownloadPair::engineDownload, true, CamModPowerShotGen2>(s, std::string(kDownloadItem));
    });
    add("Gen2CardDownload/bare", [](benchmark::State &s) {
        measure<DownloadPair, &DownloadPair::bareDownload, true, CamModPowerShotGen2>(s, std::string(kDownloadItem));
    });
    add("Probe/cached", measure<ProbeRuns, &ProbeRuns::cached, false>);
    add("Probe/probed", measure<ProbeRuns, &ProbeRuns::probed, false>);
    add("LegacyFrame/engine", onFamily<LegacyFramePair, &LegacyFramePair::engineFrame>(false));
    add("LegacyFrame/bare", onFamily<LegacyFramePair, &LegacyFramePair::bareFrame>(true));
    add("LegacyDownload/engine",
        onFamily<LegacyDownloadPair, &LegacyDownloadPair::engineDownload>(kLegacyDownloadItem));
    add("LegacyDownload/bare", onFamily<LegacyDownloadPair, &LegacyDownloadPair::bareDownload>(kLegacyDownloadItem));
    add("PtpFrame/engine", onFamily<PtpFramePair, &PtpFramePair::engineFrame>(false));
    add("PtpFrame/bare", onFamily<PtpFramePair, &PtpFramePair::bareFrame>(true));
    add("PtpTransfer/engine", onFamily<PtpTransferPair, &PtpTransferPair::engineTransfer>(false));
    add("PtpTransfer/bare", onFamily<PtpTransferPair, &PtpTransferPair::bareTransfer>(true));
    add("EventLatency/engine", [](benchmark::State &s) { EventRun<EngineEvents>(s, 1); });
    add("EventLatency/bare", [](benchmark::State &s) { EventRun<BareEvents>(s, 1); });
    add("EventBurst64/engine", [](benchmark::State &s) { EventRun<EngineEvents>(s, kEventBurst); });
    add("EventBurst64/bare", [](benchmark::State &s) { EventRun<BareEvents>(s, kEventBurst); });
}

std::vector<Pair> pairs()
{
    return {
        {"live-view frame", "LiveViewFrame/engine", "LiveViewFrame/bare",
         "one viewfinder timer period: frame source, metadata kept, JPEG copied for the host, two idle poll ticks"},
        {"parameter read", "ParamRead/engine", "ParamRead/bare", "conversion of every value into the host's record"},
        {"card download", "CardDownload/engine", "CardDownload/bare",
         "progress events queued and delivered to the host on the owner thread"},
        {"generation-2 live-view frame", "Gen2LiveViewFrame/engine", "Gen2LiveViewFrame/bare",
         "one generation-2 viewfinder timer period: frame source, JPEG copied for the host (the metadata stays)"},
        {"generation-2 card download", "Gen2CardDownload/engine", "Gen2CardDownload/bare",
         "as the EOS download, through the generation-2 library"},
        {"probe, cached vs probed", "Probe/cached", "Probe/probed",
         "both include RemoteStart and RemoteEnd; the first reads the probe cache file"},
        {"legacy viewfinder frame", "LegacyFrame/engine", "LegacyFrame/bare",
         "queued by the engine's callback, handed to the host by its viewfinder timer"},
        {"legacy card download", "LegacyDownload/engine", "LegacyDownload/bare",
         "the library writes the file; the engine adds the .part rename and the host's progress events"},
        {"PTP viewfinder frame", "PtpFrame/engine", "PtpFrame/bare",
         "copied and queued by the engine's callback on the library's thread, handed to the host by the poll timer"},
        {"PTP release and transfer", "PtpTransfer/engine", "PtpTransfer/bare",
         "the announcement and the progress events reach the host through the poll timer"},
        {"event latency", "EventLatency/engine", "EventLatency/bare",
         "queued by the engine's callback, delivered by its poll timer on the owner thread"},
        {"event burst of 64", "EventBurst64/engine", "EventBurst64/bare",
         "the poll timer delivers one event per tick"},
    };
}

/// The console table, then the ratio table; counts the runs that stopped with an error.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : table_(pairs()) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                ++failures_;
            const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            Measurement m;
            m.name = run.run_name.function_name;
            m.realNs = run.GetAdjustedRealTime() * toNs;
            m.cpuNs = run.GetAdjustedCPUTime() * toNs;
            m.aggregate = run.run_type == Run::RT_Aggregate;
            m.aggregateName = run.aggregate_name;
            m.failed = run.error_occurred;
            table_.add(m);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        GetOutputStream() << "\n"
                          << table_.format()
                          << "Every pair runs through the same stand-in; its call log costs both sides alike.\n";
        if (failures_ > 0)
            GetOutputStream() << failures_ << " benchmark(s) stopped with an error\n";
    }

    int failures() const { return failures_; }

private:
    RatioTable table_;
    int failures_ = 0;
};

} // namespace
} // namespace tbx::bench

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    tbx::bench::registerAll();
    tbx::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failures() == 0 ? 0 : 1;
}
