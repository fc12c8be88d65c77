// Messages for EDSDK result codes, and the one error check the EOS driver applies after each call.
#pragma once

#include "sdk/EDSDK.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tbx::sdk {

/// One row of an SDK's error-text table, keyed by the low 16 bits of a result code.
struct SdkErrorText {
    std::uint16_t code;
    std::string_view text;
};

/// The text for any code missing from a table (spelled as the system has always spelled it).
inline constexpr std::string_view kUnknownErrorText = "Unkown error";

/// Looks the low 16 bits of \p code up in \p table (sorted by code); kUnknownErrorText when absent.
std::string_view LookupErrorText(std::span<const SdkErrorText> table, std::uint32_t code);

/// The message of a failed SDK call: \p label, " errorcode 0x", the full 32-bit \p code as eight
/// upper-case hexadecimal digits, ", " and \p text.
std::string FormatSdkError(std::string_view label, std::uint32_t code, std::string_view text);

/// The 127 EDSDK error texts, sorted by code (shared with the libraries that use the same codes).
std::span<const SdkErrorText> EdsErrorTexts();

/// The text for the low 16 bits of \p code ("Unkown error" for anything not in the table, 0 too).
std::string_view EdsErrorText(EdsError code);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text).
/// \param label the failed call, e.g. "EdsOpenSession" or "EdsGetPropertyData, kEdsPropID_OwnerName".
void RaiseOnEdsError(std::string_view label, EdsError code);

} // namespace tbx::sdk
