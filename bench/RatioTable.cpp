#include "RatioTable.h"

#include <algorithm>
#include <cstdio>

namespace tbx::bench {

void RatioTable::add(const Measurement &m)
{
    if (m.failed)
        return;
    const bool mean = m.aggregate && m.aggregateName == "mean";
    if (m.aggregate && !mean)
        return;
    auto same = [&](const Entry &e) { return e.name == m.name; };
    auto it = std::find_if(entries_.begin(), entries_.end(), same);
    if (it == entries_.end()) {
        entries_.push_back(Entry{m.name, m.realNs, m.cpuNs, mean});
        return;
    }
    // A mean wins over single repetitions; otherwise the latest run counts.
    if (mean || !it->mean)
        *it = Entry{m.name, m.realNs, m.cpuNs, mean};
}

const RatioTable::Entry *RatioTable::find(const std::string &name) const
{
    for (const Entry &e : entries_)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::vector<RatioRow> RatioTable::rows() const
{
    std::vector<RatioRow> out;
    for (const Pair &pair : pairs_) {
        RatioRow row;
        row.label = pair.label;
        row.note = pair.note;
        const Entry *num = find(pair.numerator);
        const Entry *den = find(pair.denominator);
        if (num != nullptr)
            row.numeratorNs = num->realNs;
        if (den != nullptr)
            row.denominatorNs = den->realNs;
        if (num != nullptr && den != nullptr && den->realNs > 0)
            row.ratio = num->realNs / den->realNs;
        if (num != nullptr && den != nullptr && den->cpuNs > 0)
            row.cpuRatio = num->cpuNs / den->cpuNs;
        out.push_back(row);
    }
    return out;
}

namespace {

std::string timeText(const std::optional<double> &ns)
{
    if (!ns)
        return "not run";
    char text[32];
    if (*ns >= 1e6)
        std::snprintf(text, sizeof text, "%.2f ms", *ns / 1e6);
    else if (*ns >= 1e3)
        std::snprintf(text, sizeof text, "%.2f us", *ns / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f ns", *ns);
    return text;
}

std::string ratioText(const std::optional<double> &ratio)
{
    if (!ratio)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", *ratio);
    return text;
}

} // namespace

std::string RatioTable::format() const
{
    const std::vector<RatioRow> all = rows();
    std::size_t width = 4;
    for (const RatioRow &row : all)
        width = std::max(width, row.label.size());

    // The label column is as wide as the longest label; the numbers follow in fixed columns.
    auto line = [&](const std::string &label, const std::string &first, const std::string &second,
                    const std::string &wall, const std::string &cpu) {
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, " %12s %12s %8s %8s\n", first.c_str(), second.c_str(), wall.c_str(),
                      cpu.c_str());
        return label + std::string(width - label.size(), ' ') + numbers;
    };
    std::string out = std::string(kRatioHeading) + "\n";
    out += line("pair", "first", "second", "wall", "cpu");
    out += std::string(width + 44, '-') + "\n";
    for (const RatioRow &row : all)
        out += line(row.label, timeText(row.numeratorNs), timeText(row.denominatorNs), ratioText(row.ratio),
                    ratioText(row.cpuRatio));
    bool anyNote = false;
    for (const RatioRow &row : all) {
        if (row.note.empty())
            continue;
        if (!anyNote)
            out += "Notes:\n";
        anyNote = true;
        out += "  " + row.label + ": " + row.note + "\n";
    }
    return out;
}

} // namespace tbx::bench
