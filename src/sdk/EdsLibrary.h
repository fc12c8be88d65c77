// An EOS-style SDK as its driver reaches it. EDSDK.DLL and the generation-2 library share entry
// points under the same names, so one driver serves both; what differs is the library the
// entry points come from and its error texts, and every reference goes back to the library that
// made it.
#pragma once

#include "sdk/EDSDK.h"
#include "sdk/SdkErrors.h"

#include <string>
#include <string_view>

namespace tbx::sdk {

struct EdsLibrary {
    /// The binding's name in messages ("EDSDK").
    const char *name;
    /// Checks and loads the library from a folder; returns at once once loaded.
    void (*load)(const std::string &folder);
    bool (*isLoaded)();
    /// The bound entry points; raises EAssertionFailed while the library is not loaded. An entry
    /// point the library does not have stays empty.
    const EdsEntryPoints &(*entryPoints)();
    SdkErrorTable errorTexts;

    std::string_view errorText(EdsError code) const { return LookupErrorText(errorTexts, code); }
    /// Does nothing for 0; otherwise raises ECamException "<label> errorcode 0x..., <text>".
    void raiseOnError(std::string_view label, EdsError code) const { RaiseOnSdkError(errorTexts, label, code); }
};

/// EDSDK.DLL with its error texts.
const EdsLibrary &EdsdkLibrary();
/// PSG7XMK2SDK.DLL, the PowerShot generation-2 library, with its error texts.
const EdsLibrary &PsLibrary();

} // namespace tbx::sdk
