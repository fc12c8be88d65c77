// The names tbx uses for the camera's shooting parameters, and readable labels for the codes of
// those whose codes stand for well-known values (ISO speeds, apertures, shutter speeds).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tbx::cli {

enum class Setter {
    Generic,     ///< RemoteSetRemoteParams(kind, code)
    AvTvMode,    ///< RemoteSetRemoteParams_AvTvImageMode
    Quality,     ///< RemoteSetRemoteParams_ImageQuality
};

struct ParamName {
    const char *name;   ///< what the user types (case does not matter)
    int kind;           ///< the remote parameter kind
    Setter setter;
    const std::vector<std::string> *labels; ///< label of code i at index i, or nullptr
};

/// Every parameter tbx shows and sets, in display order.
const std::vector<ParamName> &paramNames();
/// The parameter called \p name (case-insensitive, or its kind number); empty when unknown.
std::optional<ParamName> findParam(const std::string &name);
/// "ISO 100 (5)", "5.6 (16)", or the bare code for parameters without labels; "-" for code 0.
std::string describeCode(const ParamName &param, int code);
/// The code for \p text: a label of the parameter, or "#<code>", or a plain number for parameters
/// without labels. Empty when \p text is none of these or out of 0..255.
std::optional<int> parseCode(const ParamName &param, const std::string &text);

const char *batterySourceName(int source);
const char *batteryStatusName(int status);

} // namespace tbx::cli
