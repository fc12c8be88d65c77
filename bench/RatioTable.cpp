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

    std::string out = std::string(kRatioHeading) + "\n";
    char line[256];
    std::snprintf(line, sizeof line, "%-*s %12s %12s %8s %8s\n", static_cast<int>(width), "pair", "first",
                  "second", "wall", "cpu");
    out += line;
    out += std::string(width + 44, '-') + "\n";
    for (const RatioRow &row : all) {
        std::snprintf(line, sizeof line, "%-*s %12s %12s %8s %8s\n", static_cast<int>(width), row.label.c_str(),
                      timeText(row.numeratorNs).c_str(), timeText(row.denominatorNs).c_str(),
                      ratioText(row.ratio).c_str(), ratioText(row.cpuRatio).c_str());
        out += line;
    }
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
