// Error texts of the vendor SDKs: one table of texts per SDK, looked up and formatted the same
// way for all of them, and the error check the drivers apply after each call.
#pragma once

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

/// An SDK's error-text table, sorted by code.
using SdkErrorTable = std::span<const SdkErrorText>;

/// The text for any code missing from a table (spelled as the system has always spelled it).
inline constexpr std::string_view kUnknownErrorText = "Unkown error";

/// Looks the low 16 bits of \p code up in \p table; kUnknownErrorText when absent.
std::string_view LookupErrorText(SdkErrorTable table, std::uint32_t code);

/// The message of a failed SDK call: \p label, " errorcode 0x", the full 32-bit \p code as eight
/// upper-case hexadecimal digits, ", " and \p text.
std::string FormatSdkError(std::string_view label, std::uint32_t code, std::string_view text);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text of
/// \p code in \p table).
/// \param label the failed call, e.g. "EdsOpenSession" or "EdsGetPropertyData, kEdsPropID_OwnerName".
void RaiseOnSdkError(SdkErrorTable table, std::string_view label, std::uint32_t code);

/// True when \p table is sorted by code without repeats (what the lookup relies on).
constexpr bool IsSortedTable(SdkErrorTable table)
{
    for (std::size_t i = 1; i < table.size(); ++i)
        if (table[i - 1].code >= table[i].code)
            return false;
    return true;
}

} // namespace tbx::sdk
