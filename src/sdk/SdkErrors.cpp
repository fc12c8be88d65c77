#include "sdk/SdkErrors.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cstdio>

namespace tbx::sdk {

std::string_view LookupErrorText(SdkErrorTable table, std::uint32_t code)
{
    const std::uint16_t key = static_cast<std::uint16_t>(code & 0xFFFFu);
    const auto row = std::lower_bound(table.begin(), table.end(), key,
                                      [](const SdkErrorText &r, std::uint16_t k) { return r.code < k; });
    if (row == table.end() || row->code != key)
        return kUnknownErrorText;
    return row->text;
}

std::string FormatSdkError(std::string_view label, std::uint32_t code, std::string_view text)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(code));
    std::string message(label);
    message += " errorcode 0x";
    message += hex;
    message += ", ";
    message += text;
    return message;
}

void RaiseOnSdkError(SdkErrorTable table, std::string_view label, std::uint32_t code)
{
    if (code == 0)
        return;
    throw ECamException(FormatSdkError(label, code, LookupErrorText(table, code)));
}

} // namespace tbx::sdk
