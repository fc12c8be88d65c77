// The binding of the PTP library for PowerShot cameras, PRSDK.DLL: the SDK's own types, the
// entry-point table generated from sdk/PrExports.h, the loader with its two companion files, and
// the error texts with the error check the driver applies after each call.
#pragma once

#include "platform/CallingConvention.h"
#include "sdk/PRTypes.h"
#include "sdk/PrExports.h"
#include "sdk/SdkErrors.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tbx::sdk {

struct BindingDescription;

// ---------------------------------------------------------------------------------------------
// Types, as the SDK names them. Every handle and context is a 32-bit number, also in a 64-bit
// build; every entry point and callback returns a 32-bit result, 0 for success.
// ---------------------------------------------------------------------------------------------

using prVoid = void;
using prUInt8 = std::uint8_t;
using prUInt16 = std::uint16_t;
using prUInt32 = std::uint32_t;
using prResponse = std::uint32_t;
using prContext = std::uint32_t;
using prHandle = std::uint32_t;
using prObjectHandle = std::uint32_t;
using prOperationCode = std::uint16_t;
using prptpEventCode = std::uint16_t;
using prptpDevicePropCode = std::uint16_t;
using prptpAeAfAwbResetFlag = std::uint32_t;
using prDeviceInfoTable = PrDeviceInfoTable;
using prDeviceList = PrDeviceList;
using prDllsVerInfo = PrDllsVerInfo;
using prProgress = PrProgress;

/// The event callback: the camera, the context given to PR_SetEventCallBack and the PTP event
/// container (PtpEventRecord::fromContainer copies it).
using prSetEventCB = prResponse TBX_STDCALL(prHandle CameraHandle, prContext Context, prVoid *pEventData);
/// The transfer callback, called for each block during PR_RC_GetReleasedData.
using prGetFileDataCB = prResponse TBX_STDCALL(prHandle CameraHandle, prObjectHandle ObjectHandle, prContext Context,
                                               prProgress *pProgress);
/// The viewfinder callback, one JPEG frame per call: note the size before the data.
using prViewFinderCB = prResponse TBX_STDCALL(prHandle CameraHandle, prContext Context, prUInt32 Size, prVoid *pVFData);

/// The entry points of PRSDK.DLL, in binding order; empty until LoadPRSDK() has succeeded.
struct PrEntryPoints {
#define TBX_PR_ENTRY_POINT(name, ordinal, x86Bytes, result, parameters) result(TBX_STDCALL *name) parameters = nullptr;
    TBX_PRSDK_EXPORTS(TBX_PR_ENTRY_POINT)
#undef TBX_PR_ENTRY_POINT
};

/// Number of entry points bound by LoadPRSDK.
inline constexpr int kPrEntryPointCount = 0
#define TBX_PR_COUNT(...) +1
    TBX_PRSDK_EXPORTS(TBX_PR_COUNT)
#undef TBX_PR_COUNT
    ;

/// Checks the companion files PRLIB.dll (exactly 1.1.0.12) and then PRSDK.dll (1.1.0.20) in
/// \p folder, loads PRSDK.DLL from it and binds its entry points; returns at once once loaded.
/// PRLIB.dll is only checked: PRSDK.DLL loads it itself.
/// \throws EInOutError, EAssertionFailed as Binding::load() describes; the load failure message
///   is "PRSDK.DLL could not be loaded", without the folder.
/// \context Thread-safe.
void LoadPRSDK(const std::string &folder);

/// True once LoadPRSDK() has succeeded.
bool IsPRSDKLoaded();

/// The bound entry points.
/// \throws EAssertionFailed when PRSDK.DLL is not loaded, so no empty entry point is called.
const PrEntryPoints &Pr();

/// The export names in binding order (kPrEntryPointCount of them); nullptr outside.
const char *PrExportName(int index);

/// What LoadPRSDK() checks, loads and binds.
const BindingDescription &PrBindingDescription();

// ---------------------------------------------------------------------------------------------
// Result codes: the component in bits 20 to 23, the id in the low 16 bits
// ---------------------------------------------------------------------------------------------

inline constexpr prResponse prOK = 0;
inline constexpr prResponse prERROR_ID_MASK = 0x0000FFFF;
inline constexpr prResponse prERROR_COMPONENT_MASK = 0x00F00000;
inline constexpr prResponse prERROR_PTP_COMPONENT = 0x00100000;
inline constexpr prResponse prERROR_PRSDK_COMPONENT = 0x00200000;

inline constexpr prResponse prUNIMPLEMENTED = 0x0001;
inline constexpr prResponse prINTERNAL_ERROR = 0x0002;
inline constexpr prResponse prMEM_ALLOC_FAILED = 0x0003;
inline constexpr prResponse prOPERATION_CANCELLED = 0x0005;
inline constexpr prResponse prNOT_SUPPORTED = 0x0007;
inline constexpr prResponse prINVALID_PARAMETER = 0x0021;
inline constexpr prResponse prINVALID_HANDLE = 0x0022;
inline constexpr prResponse prINVALID_FN_CALL = 0x0061;
inline constexpr prResponse prWAIT_TIMEOUT_ERROR = 0x0062;
inline constexpr prResponse prINSUFFICIENT_BUFFER = 0x0063;
inline constexpr prResponse prEVENT_CALLBACK_EXIST = 0x0064;

inline constexpr prResponse prRESPONSE_GeneralError = 0x2002;
inline constexpr prResponse prRESPONSE_OperationNotSupported = 0x2005;
inline constexpr prResponse prRESPONSE_InvalidObjectHandle = 0x2009;
inline constexpr prResponse prRESPONSE_DevicePropNotSupported = 0x200A;
inline constexpr prResponse prRESPONSE_DeviceBusy = 0x2019;
inline constexpr prResponse prRESPONSE_InvalidDevicePropValue = 0x201C;
inline constexpr prResponse prRESPONSE_Ex_NoRelease = 0xA007;

// ---------------------------------------------------------------------------------------------
// Operation, event and property codes the system uses
// ---------------------------------------------------------------------------------------------

inline constexpr prOperationCode prPTP_INITIATE_RELEASE_CONTROL = 0x9008;
inline constexpr prOperationCode prPTP_RC_INITIATE_VIEW_FINDER = 0x900B;
inline constexpr prOperationCode prPTP_RC_FOCUS_LOCK = 0x9014;

inline constexpr prptpEventCode prPTP_DEVICE_PROP_CHANGED = 0x4006;
inline constexpr prptpEventCode prPTP_CAPTURE_COMPLETE = 0x400D;
inline constexpr prptpEventCode prPTP_SHUTDOWN_CF_GATE_WAS_OPENED = 0xC001;
inline constexpr prptpEventCode prPTP_RESET_HW_ERROR = 0xC005;
inline constexpr prptpEventCode prPTP_ABORT_PC_EVF = 0xC006;
inline constexpr prptpEventCode prPTP_ENABLE_PC_EVF = 0xC007;
inline constexpr prptpEventCode prPTP_FULL_VIEW_RELEASED = 0xC008;
inline constexpr prptpEventCode prPTP_THUMBNAIL_RELEASED = 0xC009;
inline constexpr prptpEventCode prPTP_CHANGE_BATTERY_STATUS = 0xC00A;
inline constexpr prptpEventCode prPTP_PUSHED_RELEASE_SW = 0xC00B;
inline constexpr prptpEventCode prPTP_RC_PROP_CHANGED = 0xC00C;
inline constexpr prptpEventCode prPTP_RC_ROTATION_ANGLE_CHANGED = 0xC00D;
inline constexpr prptpEventCode prPTP_RC_CHANGED_BY_CAM_UI = 0xC00E;
inline constexpr prptpEventCode prCAL_SHUTDOWN = 0xD001;

inline constexpr prptpDevicePropCode prPTP_DEV_PROP_BATTERY_KIND = 0xD002;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_BATTERY_STATUS = 0xD003;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_COMP_QUALITY = 0xD006;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_FULLVIEW_FILE_FORMAT = 0xD007;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_SELFTIMER = 0xD009;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_EXPOSURE_MODE = 0xD00C;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_DRIVE_MODE = 0xD00E;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_CAPTURE_TRANSFER_MODE = 0xD029;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_ZOOM_POS = 0xD02A;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_OWNER = 0xD033;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_CAMERA_TIME = 0xD034;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_CAMERA_OUTPUT = 0xD036;
inline constexpr prptpDevicePropCode prPTP_DEV_PROP_EZOOM_START_POS = 0xD03D;

inline constexpr prptpAeAfAwbResetFlag prPTP_AE_RESET = 0x1;
inline constexpr prptpAeAfAwbResetFlag prPTP_AF_RESET = 0x2;
inline constexpr prptpAeAfAwbResetFlag prPTP_AWB_RESET = 0x4;

// ---------------------------------------------------------------------------------------------
// Error texts
// ---------------------------------------------------------------------------------------------

/// The library's error texts, sorted by code.
SdkErrorTable PRErrorTexts();

/// The text for the low 16 bits of \p code ("Unkown error" for anything not in the table, 0 too).
std::string_view PRErrorText(prResponse code);

/// Does nothing for 0; otherwise raises ECamException with FormatSdkError(label, code, text).
/// \param label the bare name of the entry point that returned \p code, e.g. "PR_RC_Release".
void RaiseOnPRError(std::string_view label, prResponse code);

} // namespace tbx::sdk
