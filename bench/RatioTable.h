// The short table printed after the benchmark results: for each pair of runs, the time of one
// over the time of the other (engine path over bare SDK calls, or cached probe over full probe).
// Kept apart from the benchmark library so that the pairing rules can be tested on their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tbx::bench {

/// One finished benchmark run as the table needs it.
struct Measurement {
    std::string name;         ///< the benchmark's full name, e.g. "LiveViewFrame/engine"
    double realNs = 0;        ///< wall time per iteration
    double cpuNs = 0;         ///< CPU time per iteration
    bool aggregate = false;   ///< a mean of repetitions rather than one repetition
    std::string aggregateName; ///< "mean", "median", "stddev", ... for aggregates
    bool failed = false;      ///< the run stopped with an error
};

/// Two benchmarks whose times are compared.
struct Pair {
    std::string label;       ///< the row's name
    std::string numerator;   ///< benchmark name whose time is divided ...
    std::string denominator; ///< ... by this one's
    std::string note;        ///< what the numerator does beyond the denominator
};

struct RatioRow {
    std::string label;
    std::optional<double> numeratorNs;
    std::optional<double> denominatorNs;
    std::optional<double> ratio;    ///< wall time ratio, when both sides ran
    std::optional<double> cpuRatio; ///< CPU time ratio, when both sides ran with CPU time
    std::string note;
};

/// Collects measurements as the runs finish and pairs them up.
class RatioTable {
public:
    explicit RatioTable(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}

    /// Records \p m. Failed runs and aggregates other than the mean are not used; a mean of
    /// repetitions replaces the single repetitions of the same benchmark.
    void add(const Measurement &m);
    /// One row per pair, in the pairs' order.
    std::vector<RatioRow> rows() const;
    /// The table as text, with a heading line and the notes below it.
    std::string format() const;

private:
    struct Entry {
        std::string name;
        double realNs;
        double cpuNs;
        bool mean;
    };
    const Entry *find(const std::string &name) const;

    std::vector<Pair> pairs_;
    std::vector<Entry> entries_;
};

/// The heading line of the formatted table (what the smoke test looks for).
inline constexpr const char *kRatioHeading = "Overhead ratios (time of the first over the time of the second)";

} // namespace tbx::bench
