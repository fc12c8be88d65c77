// Small helpers of the EOS capture and live-view tests: SDK failure messages and the arguments
// of the stand-in's call-log lines.
#pragma once

#include "Failure.h"
#include "platform/Errors.h"
#include "sdk/EdsErrors.h"

#include <string>
#include <vector>

namespace tbx::test {

/// The arguments of a call-log line "Name(a, b, c) -> 0x...".
inline std::vector<std::string> argsOf(const std::string &line)
{
    const std::size_t open = line.find('(');
    std::string rest = line.substr(open + 1, line.rfind(") -> ") - open - 1);
    std::vector<std::string> args;
    for (std::size_t at; (at = rest.find(", ")) != std::string::npos; rest.erase(0, at + 2))
        args.push_back(rest.substr(0, at));
    args.push_back(rest);
    return args;
}

/// The message of an SDK call \p label that failed with \p code.
inline std::string sdkFailure(const std::string &label, std::uint32_t code)
{
    return sdk::FormatSdkError(label, code, sdk::EdsErrorText(code));
}

} // namespace tbx::test
