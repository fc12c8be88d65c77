// The binding of the legacy PowerShot library CDSDK.DLL: the table of its 153 entry points
// (sdk/CdExports.h), its loader with the twelve companion files, and its error texts. Types and
// records are in sdk/CDTypes.h. The vendor ships the library for 32-bit Windows only; the binding
// builds everywhere, so that the stand-in serves it in every build.
#pragma once

#include "platform/CallingConvention.h"
#include "sdk/CDTypes.h"
#include "sdk/CdExports.h"
#include "sdk/Loader.h"
#include "sdk/SdkErrors.h"

#include <span>
#include <string>
#include <string_view>

namespace tbx::sdk {

/// The entry-point variables, one per row of TBX_CDSDK_EXPORTS, named after the function.
struct CdEntryPoints {
#define TBX_CD_ENTRY_POINT(name, kind, x86Bytes, result, parameters) result(TBX_STDCALL *name) parameters = nullptr;
    TBX_CDSDK_EXPORTS(TBX_CD_ENTRY_POINT)
#undef TBX_CD_ENTRY_POINT
};

/// Number of entry points bound by LoadCDSDK.
inline constexpr int kCdEntryPointCount = 0
#define TBX_CD_COUNT(...) +1
    TBX_CDSDK_EXPORTS(TBX_CD_COUNT)
#undef TBX_CD_COUNT
    ;

/// Checks the twelve companion files in \p folder (cdDcd.dll 7.3.0.2, cdDvlp.dll 7.3.0.13,
/// cdParse.dll 7.3.0.6, CDPROC.exe 7.3.0.4, CDPROCMN.exe 7.3.0.4, CDPTPCLS.dll 7.3.0.3,
/// CDPTPCLT.dll 7.3.0.4, CDRAPCLS.dll 7.3.0.6, CDSDK.dll 7.3.0.6, EWatch.exe 1.1.0.1,
/// IWrap.dll 1.3.0.3, psCamDat.dll 7.0.0.4, in this order), loads CDSDK.DLL from it and binds all
/// its entry points; returns at once once loaded. Only CDSDK.DLL is loaded: the other files are
/// the library's own helpers and are only checked.
/// \throws EInOutError, EAssertionFailed as Binding::load() describes; the load failure message
///   is "CDSDK.DLL could not be loaded", without the folder.
/// \context Thread-safe.
void LoadCDSDK(const std::string &folder);

/// True once LoadCDSDK() has succeeded.
bool IsCDSDKLoaded();

/// The bound entry points.
/// \throws EAssertionFailed when CDSDK.DLL is not loaded, so no empty entry point is called.
const CdEntryPoints &Cd();

/// The export names in binding order (kCdEntryPointCount of them; the faculty query under its
/// decorated name on 32-bit Windows); nullptr outside.
const char *CdExportName(int index);

/// What LoadCDSDK loads: its companion files, library and entry points.
const BindingDescription &CdBindingDescription();

/// The files LoadCDSDK checks, in its order (TBX_CDSDK_COMPANIONS).
std::span<const CompanionFile> CdCompanionFiles();

/// The legacy library's 85 error texts, sorted by code: the EOS library's texts up to 0xF4.
SdkErrorTable CdErrorTexts();

/// The text for the low 16 bits of \p code ("Unkown error" for anything not in the table, 0 too).
std::string_view CDErrorText(CdError code);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text).
/// \param label the entry point that returned \p code, by its name or its export name: a
///   decorated name ("_CDGetReleaseControlFaculty@8") is quoted without its decoration.
void RaiseOnCDError(std::string_view label, CdError code);

} // namespace tbx::sdk
