/* Reading the simulated SDK's call log from C++: the whole text, its lines, and the entry point
 * a line names. Header-only; the library itself exports only the C function TbxSim_GetCallLog
 * (TbxSimControl.h), which a caller reaches through a pointer of its own typing. */
#pragma once

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace tbx::sim {

/// Reads the whole call log into \p text through \p getCallLog (a pointer to TbxSim_GetCallLog)
/// and returns the result of the reading call (0 when there was nothing to read).
template <class GetCallLog>
std::uint32_t readCallLog(GetCallLog getCallLog, std::string &text)
{
    std::uint32_t needed = 0;
    getCallLog(nullptr, 0, &needed);
    text.assign(needed, '\0');
    std::uint32_t result = 0;
    if (needed > 0)
        result = getCallLog(text.data(), needed, &needed);
    text.resize(std::strlen(text.c_str()));
    return result;
}

/// The lines of a call-log text, one call each.
inline std::vector<std::string> callLogLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

/// The entry point a call-log line names: "EdsRelease(0x1) -> 0x0" gives "EdsRelease".
inline std::string callName(const std::string &line) { return line.substr(0, line.find('(')); }

} // namespace tbx::sim
