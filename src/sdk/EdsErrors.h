// The EDSDK's error-text table, and the error check the EOS driver applies after each call.
#pragma once

#include "sdk/EDSDK.h"
#include "sdk/SdkErrors.h"

#include <string_view>

namespace tbx::sdk {

/// The 127 EDSDK error texts, sorted by code (shared with the libraries that use the same codes).
SdkErrorTable EdsErrorTexts();

/// The text for the low 16 bits of \p code ("Unkown error" for anything not in the table, 0 too).
std::string_view EdsErrorText(EdsError code);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text).
/// \param label the failed call, e.g. "EdsOpenSession" or "EdsGetPropertyData, kEdsPropID_OwnerName".
void RaiseOnEdsError(std::string_view label, EdsError code);

} // namespace tbx::sdk
