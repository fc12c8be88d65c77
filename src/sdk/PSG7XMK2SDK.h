// The binding of the PowerShot generation-2 library PSG7XMK2SDK.DLL. It speaks the EOS library's
// binary interface (sdk/EDSDK.h: types, records, calling convention) with a subset of its entry
// points (sdk/PsExports.h), and uses the EOS library's error codes and texts.
#pragma once

#include "sdk/EDSDK.h"
#include "sdk/PsExports.h"
#include "sdk/SdkErrors.h"

#include <string>
#include <string_view>

namespace tbx::sdk {

/// Number of entry points bound by LoadPSG7XMK2SDK.
inline constexpr int kPsEntryPointCount = 0
#define TBX_PS_COUNT(...) +1
    TBX_PSSDK_EXPORTS(TBX_PS_COUNT)
#undef TBX_PS_COUNT
    ;

/// Checks the companion file PSG7XMK2SDK.dll (exactly 1.0.1.1) in \p folder, loads
/// PSG7XMK2SDK.DLL from it and binds its entry points; returns at once once loaded.
/// \throws EInOutError, EAssertionFailed as Binding::load() describes; the load failure message
///   is "PSG7XMK2SDK.DLL could not be loaded", without the folder.
/// \context Thread-safe.
void LoadPSG7XMK2SDK(const std::string &folder);

/// True once LoadPSG7XMK2SDK() has succeeded.
bool IsPSG7XMK2SDKLoaded();

/// The bound entry points, in the EOS library's table: the six functions the generation-2
/// library does not have (EdsSendStatusCommand, EdsSetCapacity, EdsCreateImageRef,
/// EdsGetImageInfo, EdsGetImage, EdsCreateStream) are always empty.
/// \throws EAssertionFailed when PSG7XMK2SDK.DLL is not loaded, so no empty entry point is called.
const EdsEntryPoints &Ps();

/// The export names in binding order (kPsEntryPointCount of them); nullptr outside.
const char *PsExportName(int index);

/// What LoadPSG7XMK2SDK() checks, loads and binds.
const BindingDescription &PsBindingDescription();

/// The generation-2 library's error texts: the EOS library's 127, sorted by code.
SdkErrorTable PsErrorTexts();

/// The text for the low 16 bits of \p code ("Unkown error" for anything not in the table, 0 too).
std::string_view PsErrorText(EdsError code);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text).
void RaiseOnPsError(std::string_view label, EdsError code);

} // namespace tbx::sdk
