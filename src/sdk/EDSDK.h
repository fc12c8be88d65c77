// The binding of the EOS camera library EDSDK.DLL (13.10.x binary interface): its types, record
// layouts, constants and the table of entry points that the EOS driver calls. The declarations
// follow the library's binary interface exactly (C calling convention __stdcall on 32-bit
// Windows, the x64 convention on 64-bit Windows, records packed to 8), so that the maker's own
// library can be dropped into the library folder in place of our stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CallingConvention.h"
#include "sdk/EdsdkExports.h"


namespace tbx::sdk {

struct BindingDescription;

// ---------------------------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------------------------

using EdsVoid = void;
using EdsBool = std::int32_t;
using EdsChar = char;
using EdsInt8 = std::int8_t;
using EdsUInt8 = std::uint8_t;
using EdsInt16 = std::int16_t;
using EdsUInt16 = std::uint16_t;
using EdsInt32 = std::int32_t;
using EdsUInt32 = std::uint32_t;
using EdsInt64 = std::int64_t;
using EdsUInt64 = std::uint64_t;
using EdsFloat = float;
using EdsDouble = double;
/// UTF-16 text (WCHAR) of the Windows library.
using EdsWChar = char16_t;

/// Result of every entry point: 0 is success.
using EdsError = EdsUInt32;

/// An object of the library (camera list, camera, volume, item, stream, image, live-view image).
struct EdsObjectOpaque;
using EdsBaseRef = EdsObjectOpaque *;
using EdsCameraListRef = EdsBaseRef;
using EdsCameraRef = EdsBaseRef;
using EdsVolumeRef = EdsBaseRef;
using EdsDirectoryItemRef = EdsBaseRef;
using EdsStreamRef = EdsBaseRef;
using EdsImageRef = EdsStreamRef;
using EdsEvfImageRef = EdsBaseRef;

using EdsPropertyID = EdsUInt32;
using EdsCameraCommand = EdsUInt32;
using EdsCameraStatusCommand = EdsUInt32;
using EdsPropertyEvent = EdsUInt32;
using EdsObjectEvent = EdsUInt32;
using EdsStateEvent = EdsUInt32;

// The library's enumerations are int-sized C enums; they travel as 32-bit values.
using EdsDataType = EdsUInt32;
using EdsAccess = EdsUInt32;
using EdsSeekOrigin = EdsUInt32;
using EdsFileCreateDisposition = EdsUInt32;
using EdsProgressOption = EdsUInt32;
using EdsImageSource = EdsUInt32;
using EdsTargetImageType = EdsUInt32;
using EdsFileAttributes = EdsUInt32;

inline constexpr std::size_t EDS_MAX_NAME = 256;
inline constexpr std::size_t EDS_TRANSFER_BLOCK_SIZE = 512;

// ---------------------------------------------------------------------------------------------
// Records (8-byte packing on Windows; natural alignment gives the same layout on 64-bit POSIX)
// ---------------------------------------------------------------------------------------------

#if defined(_WIN32)
#pragma pack(push, 8)
#endif

struct EdsPoint {
    EdsInt32 x;
    EdsInt32 y;
};

struct EdsSize {
    EdsInt32 width;
    EdsInt32 height;
};

struct EdsRect {
    EdsPoint point;
    EdsSize size;
};

struct EdsRational {
    EdsInt32 numerator;
    EdsUInt32 denominator;
};

struct EdsTime {
    EdsUInt32 year;
    EdsUInt32 month; ///< 1 = January
    EdsUInt32 day;
    EdsUInt32 hour;
    EdsUInt32 minute;
    EdsUInt32 second;
    EdsUInt32 milliseconds; ///< reserved
};

struct EdsDeviceInfo {
    EdsChar szPortName[EDS_MAX_NAME];
    EdsChar szDeviceDescription[EDS_MAX_NAME];
    EdsUInt32 deviceSubType;
    EdsUInt32 reserved;
};

struct EdsVolumeInfo {
    EdsUInt32 storageType;
    EdsAccess access;
    EdsUInt64 maxCapacity;
    EdsUInt64 freeSpaceInBytes;
    EdsChar szVolumeLabel[EDS_MAX_NAME];
};

struct EdsDirectoryItemInfo {
    EdsUInt64 size;
    EdsBool isFolder;
    EdsUInt32 groupID;
    EdsUInt32 option;
    EdsChar szFileName[EDS_MAX_NAME];
    EdsUInt32 format;
    EdsUInt32 dateTime;
};

struct EdsPropertyDesc {
    EdsInt32 form;
    EdsInt32 access;
    EdsInt32 numElements;
    EdsInt32 propDesc[128];
};

struct EdsCapacity {
    EdsInt32 numberOfFreeClusters;
    EdsInt32 bytesPerSector;
    EdsBool reset;
};

struct EdsImageInfo {
    EdsUInt32 width;
    EdsUInt32 height;
    EdsUInt32 numOfComponents;
    EdsUInt32 componentDepth;
    EdsRect effectiveRect;
    EdsUInt32 reserved1;
    EdsUInt32 reserved2;
};

/// One AF frame of the focus-information block (kEdsPropID_FocusInfo).
struct EdsFocusPoint {
    EdsUInt32 valid;
    EdsUInt32 selected;
    EdsUInt32 justFocus;
    EdsRect rect;
    EdsUInt32 reserved;
};

/// The focus-information block is imageRect (EdsRect), pointNumber (UInt32), pointNumber-capacity
/// EdsFocusPoint records, executeMode (UInt32). The capacity of the array differs between library
/// versions, so readers size the block from EdsGetPropertySize and check every count against it.
inline constexpr std::size_t kEdsFocusInfoPointsOffset = 20;

struct EdsPictureStyleDesc {
    EdsInt32 contrast;
    EdsUInt32 sharpness;
    EdsInt32 saturation;
    EdsInt32 colorTone;
    EdsUInt32 filterEffect;
    EdsUInt32 toningEffect;
    EdsUInt32 sharpFineness;
    EdsUInt32 sharpThreshold;
};

struct EdsCameraPos {
    EdsInt32 status;
    EdsInt32 position;
    EdsInt32 rolling;
    EdsInt32 pitching;
};

/// A caller-supplied stream (EdsCreateStream): a context followed by five callbacks.
struct EdsIStream {
    EdsVoid *context;
    EdsError(TBX_STDCALL *read)(EdsVoid *context, EdsUInt32 inReadSize, EdsVoid *outBuffer,
                                    EdsUInt32 *outReadSize);
    EdsError(TBX_STDCALL *write)(EdsVoid *context, EdsUInt32 inWriteSize,
                                     const EdsVoid *inBuffer, EdsUInt32 *outWrittenSize);
    EdsError(TBX_STDCALL *seek)(EdsVoid *context, EdsInt32 inSeekOffset,
                                    EdsSeekOrigin inSeekOrigin);
    EdsError(TBX_STDCALL *tell)(EdsVoid *context, EdsInt32 *outPosition);
    EdsError(TBX_STDCALL *getLength)(EdsVoid *context, EdsUInt32 *outLength);
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

// The layouts of the library. A 32-bit POSIX compiler aligns 64-bit members to 4 and is not a
// target of this binding, so the 64-bit checks are skipped only there.
static_assert(sizeof(EdsPoint) == 8 && sizeof(EdsSize) == 8 && sizeof(EdsRect) == 16);
static_assert(sizeof(EdsRational) == 8);
static_assert(sizeof(EdsTime) == 28);
static_assert(sizeof(EdsDeviceInfo) == 520 && offsetof(EdsDeviceInfo, deviceSubType) == 512);
static_assert(sizeof(EdsPropertyDesc) == 524 && offsetof(EdsPropertyDesc, propDesc) == 12);
static_assert(sizeof(EdsCapacity) == 12);
static_assert(sizeof(EdsImageInfo) == 40 && offsetof(EdsImageInfo, effectiveRect) == 16);
static_assert(sizeof(EdsFocusPoint) == 32 && offsetof(EdsFocusPoint, rect) == 12);
static_assert(sizeof(EdsPictureStyleDesc) == 32);
static_assert(sizeof(EdsCameraPos) == 16);
static_assert(sizeof(EdsIStream) == 6 * sizeof(void *));
#if defined(_WIN32) || UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(EdsVolumeInfo) == 280 && offsetof(EdsVolumeInfo, maxCapacity) == 8 &&
              offsetof(EdsVolumeInfo, szVolumeLabel) == 24);
static_assert(sizeof(EdsDirectoryItemInfo) == 288 && offsetof(EdsDirectoryItemInfo, isFolder) == 8 &&
              offsetof(EdsDirectoryItemInfo, szFileName) == 20 &&
              offsetof(EdsDirectoryItemInfo, format) == 276 &&
              offsetof(EdsDirectoryItemInfo, dateTime) == 280);
#endif

// ---------------------------------------------------------------------------------------------
// Callbacks (all return EdsError)
// ---------------------------------------------------------------------------------------------

using EdsProgressCallback = EdsError(TBX_STDCALL *)(EdsUInt32 inPercent, EdsVoid *inContext,
                                                        EdsBool *outCancel);
using EdsCameraAddedHandler = EdsError(TBX_STDCALL *)(EdsVoid *inContext);
using EdsPropertyEventHandler = EdsError(TBX_STDCALL *)(EdsPropertyEvent inEvent,
                                                            EdsPropertyID inPropertyID,
                                                            EdsUInt32 inParam, EdsVoid *inContext);
using EdsObjectEventHandler = EdsError(TBX_STDCALL *)(EdsObjectEvent inEvent, EdsBaseRef inRef,
                                                          EdsVoid *inContext);
using EdsStateEventHandler = EdsError(TBX_STDCALL *)(EdsStateEvent inEvent,
                                                         EdsUInt32 inEventData, EdsVoid *inContext);

// ---------------------------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------------------------

/// The entry points bound from EDSDK.DLL, in binding order, named after their exports (the list
/// in sdk/EdsdkExports.h). Drivers call the library only through these variables, reached by Eds().
struct EdsEntryPoints {
#define TBX_EDS_ENTRY_POINT(name, ordinal, x86Bytes, result, parameters)                             \
    result(TBX_STDCALL *name) parameters = nullptr;
    TBX_EDSDK_EXPORTS(TBX_EDS_ENTRY_POINT)
#undef TBX_EDS_ENTRY_POINT
};

/// Number of entry points bound by LoadEDSDK.
inline constexpr int kEdsEntryPointCount = 0
#define TBX_EDS_COUNT(...) +1
    TBX_EDSDK_EXPORTS(TBX_EDS_COUNT)
#undef TBX_EDS_COUNT
    ;

/// Checks the companion files EDSDK.DLL (13.10.20.0) and EdsImage.dll (13.10.0.0) in \p folder,
/// loads EDSDK.DLL from it and binds all its entry points; returns at once once loaded.
/// \throws EInOutError, EAssertionFailed as Binding::load() describes; the load failure message
///   is the full path of EDSDK.DLL followed by " could not be loaded".
/// \context Thread-safe.
void LoadEDSDK(const std::string &folder);

/// True once LoadEDSDK() has succeeded.
bool IsEDSDKLoaded();

/// The bound entry points.
/// \throws EAssertionFailed when EDSDK.DLL is not loaded, so no empty entry point is called.
const EdsEntryPoints &Eds();

/// The export names in binding order (kEdsEntryPointCount of them).
const char *EdsExportName(int index);

/// What LoadEDSDK() checks, loads and binds.
const BindingDescription &EdsBindingDescription();

// ---------------------------------------------------------------------------------------------
// Error codes
// ---------------------------------------------------------------------------------------------

inline constexpr EdsError EDS_ERR_OK = 0x00000000;
inline constexpr EdsError EDS_ERRORID_MASK = 0x0000FFFF;
inline constexpr EdsError EDS_ERR_UNIMPLEMENTED = 0x00000001;
inline constexpr EdsError EDS_ERR_INTERNAL_ERROR = 0x00000002;
inline constexpr EdsError EDS_ERR_MEM_ALLOC_FAILED = 0x00000003;
inline constexpr EdsError EDS_ERR_OPERATION_CANCELLED = 0x00000005;
inline constexpr EdsError EDS_ERR_NOT_SUPPORTED = 0x00000007;
inline constexpr EdsError EDS_ERR_FILE_IO_ERROR = 0x00000020;
inline constexpr EdsError EDS_ERR_FILE_NOT_FOUND = 0x00000022;
inline constexpr EdsError EDS_ERR_DIR_NOT_FOUND = 0x00000040;
inline constexpr EdsError EDS_ERR_PROPERTIES_UNAVAILABLE = 0x00000050;
inline constexpr EdsError EDS_ERR_PROPERTIES_MISMATCH = 0x00000051;
inline constexpr EdsError EDS_ERR_INVALID_PARAMETER = 0x00000060;
inline constexpr EdsError EDS_ERR_INVALID_HANDLE = 0x00000061;
inline constexpr EdsError EDS_ERR_INVALID_POINTER = 0x00000062;
inline constexpr EdsError EDS_ERR_INVALID_INDEX = 0x00000063;
inline constexpr EdsError EDS_ERR_INVALID_LENGTH = 0x00000064;
inline constexpr EdsError EDS_ERR_DEVICE_NOT_FOUND = 0x00000080;
inline constexpr EdsError EDS_ERR_DEVICE_BUSY = 0x00000081;
inline constexpr EdsError EDS_ERR_DEVICE_INVALID = 0x00000082;
inline constexpr EdsError EDS_ERR_DEVICE_INTERNAL_ERROR = 0x00000085;
inline constexpr EdsError EDS_ERR_DEVICE_INVALID_PARAMETER = 0x00000086;
inline constexpr EdsError EDS_ERR_DEVICE_NO_DISK = 0x00000087;
inline constexpr EdsError EDS_ERR_STREAM_IO_ERROR = 0x000000A0;
inline constexpr EdsError EDS_ERR_STREAM_END_OF_STREAM = 0x000000AC;
inline constexpr EdsError EDS_ERR_COMM_PORT_IS_IN_USE = 0x000000C0;
inline constexpr EdsError EDS_ERR_COMM_DISCONNECTED = 0x000000C1;
inline constexpr EdsError EDS_ERR_COMM_DEVICE_INCOMPATIBLE = 0x000000C2;
inline constexpr EdsError EDS_ERR_USB_DEVICE_LOCK_ERROR = 0x000000D0;
inline constexpr EdsError EDS_ERR_USB_DEVICE_UNLOCK_ERROR = 0x000000D1;
inline constexpr EdsError EDS_ERR_WAIT_TIMEOUT_ERROR = 0x000000F4;
inline constexpr EdsError EDS_ERR_SESSION_NOT_OPEN = 0x00002003;
inline constexpr EdsError EDS_ERR_PTP_DEVICE_BUSY = 0x00002019;
inline constexpr EdsError EDS_ERR_INVALID_DEVICEPROP_VALUE = 0x0000201C;
inline constexpr EdsError EDS_ERR_SESSION_ALREADY_OPEN = 0x0000201E;
inline constexpr EdsError EDS_ERR_TAKE_PICTURE_AF_NG = 0x00008D01;
inline constexpr EdsError EDS_ERR_TAKE_PICTURE_NO_CARD_NG = 0x00008D06;
inline constexpr EdsError EDS_ERR_TAKE_PICTURE_CARD_NG = 0x00008D07;
inline constexpr EdsError EDS_ERR_TAKE_PICTURE_CARD_PROTECT_NG = 0x00008D08;
inline constexpr EdsError EDS_ERR_UNKNOWN_COMMAND = 0x0000A001;
inline constexpr EdsError EDS_ERR_OPERATION_REFUSED = 0x0000A005;
inline constexpr EdsError EDS_ERR_LENS_COVER_CLOSE = 0x0000A006;
inline constexpr EdsError EDS_ERR_LOW_BATTERY = 0x0000A101;
inline constexpr EdsError EDS_ERR_OBJECT_NOTREADY = 0x0000A102;
inline constexpr EdsError EDS_ERR_CANNOT_MAKE_OBJECT = 0x0000A104;
inline constexpr EdsError EDS_ERR_MEMORYSTATUS_NOTREADY = 0x0000A106;

// ---------------------------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------------------------

// EdsDataType
inline constexpr EdsDataType kEdsDataType_Unknown = 0;
inline constexpr EdsDataType kEdsDataType_Bool = 1;
inline constexpr EdsDataType kEdsDataType_String = 2;
inline constexpr EdsDataType kEdsDataType_Int8 = 3;
inline constexpr EdsDataType kEdsDataType_Int16 = 4;
inline constexpr EdsDataType kEdsDataType_UInt8 = 6;
inline constexpr EdsDataType kEdsDataType_UInt16 = 7;
inline constexpr EdsDataType kEdsDataType_Int32 = 8;
inline constexpr EdsDataType kEdsDataType_UInt32 = 9;
inline constexpr EdsDataType kEdsDataType_Int64 = 10;
inline constexpr EdsDataType kEdsDataType_UInt64 = 11;
inline constexpr EdsDataType kEdsDataType_Float = 12;
inline constexpr EdsDataType kEdsDataType_Double = 13;
inline constexpr EdsDataType kEdsDataType_ByteBlock = 14;
inline constexpr EdsDataType kEdsDataType_Rational = 20;
inline constexpr EdsDataType kEdsDataType_Point = 21;
inline constexpr EdsDataType kEdsDataType_Rect = 22;
inline constexpr EdsDataType kEdsDataType_Time = 23;
inline constexpr EdsDataType kEdsDataType_Bool_Array = 30;
inline constexpr EdsDataType kEdsDataType_Int8_Array = 31;
inline constexpr EdsDataType kEdsDataType_Int16_Array = 32;
inline constexpr EdsDataType kEdsDataType_Int32_Array = 33;
inline constexpr EdsDataType kEdsDataType_UInt8_Array = 34;
inline constexpr EdsDataType kEdsDataType_UInt16_Array = 35;
inline constexpr EdsDataType kEdsDataType_UInt32_Array = 36;
inline constexpr EdsDataType kEdsDataType_Rational_Array = 37;
inline constexpr EdsDataType kEdsDataType_FocusInfo = 101;
inline constexpr EdsDataType kEdsDataType_PictureStyleDesc = 102;

// EdsFileCreateDisposition
inline constexpr EdsFileCreateDisposition kEdsFileCreateDisposition_CreateNew = 0;
inline constexpr EdsFileCreateDisposition kEdsFileCreateDisposition_CreateAlways = 1;
inline constexpr EdsFileCreateDisposition kEdsFileCreateDisposition_OpenExisting = 2;
inline constexpr EdsFileCreateDisposition kEdsFileCreateDisposition_OpenAlways = 3;
inline constexpr EdsFileCreateDisposition kEdsFileCreateDisposition_TruncateExsisting = 4;

// EdsAccess
inline constexpr EdsAccess kEdsAccess_Read = 0;
inline constexpr EdsAccess kEdsAccess_Write = 1;
inline constexpr EdsAccess kEdsAccess_ReadWrite = 2;
inline constexpr EdsAccess kEdsAccess_Error = 0xFFFFFFFF;

// EdsSeekOrigin
inline constexpr EdsSeekOrigin kEdsSeek_Cur = 0;
inline constexpr EdsSeekOrigin kEdsSeek_Begin = 1;
inline constexpr EdsSeekOrigin kEdsSeek_End = 2;

// EdsProgressOption
inline constexpr EdsProgressOption kEdsProgressOption_NoReport = 0;
inline constexpr EdsProgressOption kEdsProgressOption_Done = 1;
inline constexpr EdsProgressOption kEdsProgressOption_Periodically = 2;

// EdsImageSource
inline constexpr EdsImageSource kEdsImageSrc_FullView = 0;
inline constexpr EdsImageSource kEdsImageSrc_Thumbnail = 1;
inline constexpr EdsImageSource kEdsImageSrc_Preview = 2;
inline constexpr EdsImageSource kEdsImageSrc_RAWThumbnail = 3;
inline constexpr EdsImageSource kEdsImageSrc_RAWFullView = 4;

// EdsTargetImageType
inline constexpr EdsTargetImageType kEdsTargetImageType_Unknown = 0;
inline constexpr EdsTargetImageType kEdsTargetImageType_Jpeg = 1;
inline constexpr EdsTargetImageType kEdsTargetImageType_TIFF = 7;
inline constexpr EdsTargetImageType kEdsTargetImageType_TIFF16 = 8;
inline constexpr EdsTargetImageType kEdsTargetImageType_RGB = 9;
inline constexpr EdsTargetImageType kEdsTargetImageType_RGB16 = 10;
inline constexpr EdsTargetImageType kEdsTargetImageType_DIB = 11;

// EdsFileAttributes
inline constexpr EdsFileAttributes kEdsFileAttribute_Normal = 0;
inline constexpr EdsFileAttributes kEdsFileAttribute_ReadOnly = 1;
inline constexpr EdsFileAttributes kEdsFileAttribute_Hidden = 2;
inline constexpr EdsFileAttributes kEdsFileAttribute_System = 4;
inline constexpr EdsFileAttributes kEdsFileAttribute_Archive = 0x20;

// EdsSaveTo
inline constexpr EdsUInt32 kEdsSaveTo_Camera = 1;
inline constexpr EdsUInt32 kEdsSaveTo_Host = 2;
inline constexpr EdsUInt32 kEdsSaveTo_Both = 3;

// EdsStorageType
inline constexpr EdsUInt32 kEdsStorageType_Non = 0;
inline constexpr EdsUInt32 kEdsStorageType_CF = 1;
inline constexpr EdsUInt32 kEdsStorageType_SD = 2;
inline constexpr EdsUInt32 kEdsStorageType_HD = 4;
inline constexpr EdsUInt32 kEdsStorageType_CFast = 5;

// EdsEvfOutputDevice (flags)
inline constexpr EdsUInt32 kEdsEvfOutputDevice_TFT = 1;
inline constexpr EdsUInt32 kEdsEvfOutputDevice_PC = 2;

// EdsEvfZoom
inline constexpr EdsUInt32 kEdsEvfZoom_Fit = 1;
inline constexpr EdsUInt32 kEdsEvfZoom_x5 = 5;
inline constexpr EdsUInt32 kEdsEvfZoom_x10 = 10;

// EdsEvfAf (parameter of DoEvfAf)
inline constexpr EdsInt32 kEdsCameraCommand_EvfAf_OFF = 0;
inline constexpr EdsInt32 kEdsCameraCommand_EvfAf_ON = 1;

// EdsEvfDriveLens
inline constexpr EdsInt32 kEdsEvfDriveLens_Near1 = 0x00000001;
inline constexpr EdsInt32 kEdsEvfDriveLens_Near2 = 0x00000002;
inline constexpr EdsInt32 kEdsEvfDriveLens_Near3 = 0x00000003;
inline constexpr EdsInt32 kEdsEvfDriveLens_Far1 = 0x00008001;
inline constexpr EdsInt32 kEdsEvfDriveLens_Far2 = 0x00008002;
inline constexpr EdsInt32 kEdsEvfDriveLens_Far3 = 0x00008003;

// EdsDrivePowerZoom
inline constexpr EdsInt32 kEdsDrivePowerZoom_Stop = 0x00;
inline constexpr EdsInt32 kEdsDrivePowerZoom_LimitOff_Wide = 0x01;
inline constexpr EdsInt32 kEdsDrivePowerZoom_LimitOff_Tele = 0x02;
inline constexpr EdsInt32 kEdsDrivePowerZoom_LimitOn_Wide = 0x11;
inline constexpr EdsInt32 kEdsDrivePowerZoom_LimitOn_Tele = 0x12;

// EdsEvfDepthOfFieldPreview
inline constexpr EdsUInt32 kEdsEvfDepthOfFieldPreview_OFF = 0;
inline constexpr EdsUInt32 kEdsEvfDepthOfFieldPreview_ON = 1;

// Live-view histogram status
inline constexpr EdsUInt32 kEdsEvfHistogramStatus_Hide = 0;
inline constexpr EdsUInt32 kEdsEvfHistogramStatus_Normal = 1;
inline constexpr EdsUInt32 kEdsEvfHistogramStatus_Grayout = 2;

// EdsShutterButton (parameter of PressShutterButton)
inline constexpr EdsInt32 kEdsCameraCommand_ShutterButton_OFF = 0x00000000;
inline constexpr EdsInt32 kEdsCameraCommand_ShutterButton_Halfway = 0x00000001;
inline constexpr EdsInt32 kEdsCameraCommand_ShutterButton_Completely = 0x00000003;
inline constexpr EdsInt32 kEdsCameraCommand_ShutterButton_Halfway_NonAF = 0x00010001;
inline constexpr EdsInt32 kEdsCameraCommand_ShutterButton_Completely_NonAF = 0x00010003;

// EdsObjectFormat (EdsDirectoryItemInfo::format)
inline constexpr EdsUInt32 kEdsObjectFormat_Unknown = 0x00000000;
inline constexpr EdsUInt32 kEdsObjectFormat_Jpeg = 0x00003801;
inline constexpr EdsUInt32 kEdsObjectFormat_CR2 = 0x0000B103;
inline constexpr EdsUInt32 kEdsObjectFormat_CR3 = 0x0000B108;
inline constexpr EdsUInt32 kEdsObjectFormat_MP4 = 0x0000B982;
inline constexpr EdsUInt32 kEdsObjectFormat_HEIF_CODE = 0x0000B10B;

// EdsBatteryLevel2
inline constexpr EdsUInt32 kEdsBatteryLevel2_Empty = 0;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Low = 9;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Quarter = 19;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Half = 49;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Hi = 69;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Normal = 80;
inline constexpr EdsUInt32 kEdsBatteryLevel2_AC = 0xFFFFFFFF;
inline constexpr EdsUInt32 kEdsBatteryLevel2_Unknown = 0xFFFFFFFE;

// EdsAEMode (kEdsPropID_AEMode)
inline constexpr EdsUInt32 kEdsAEMode_Program = 0;
inline constexpr EdsUInt32 kEdsAEMode_Tv = 1;
inline constexpr EdsUInt32 kEdsAEMode_Av = 2;
inline constexpr EdsUInt32 kEdsAEMode_Manual = 3;
inline constexpr EdsUInt32 kEdsAEMode_Bulb = 4;
inline constexpr EdsUInt32 kEdsAEMode_Unknown = 0xFFFFFFFF;

// ---------------------------------------------------------------------------------------------
// Property IDs
// ---------------------------------------------------------------------------------------------

inline constexpr EdsPropertyID kEdsPropID_Unknown = 0x0000FFFF;
inline constexpr EdsPropertyID kEdsPropID_ProductName = 0x00000002;
inline constexpr EdsPropertyID kEdsPropID_OwnerName = 0x00000004;
inline constexpr EdsPropertyID kEdsPropID_MakerName = 0x00000005;
inline constexpr EdsPropertyID kEdsPropID_DateTime = 0x00000006;
inline constexpr EdsPropertyID kEdsPropID_FirmwareVersion = 0x00000007;
inline constexpr EdsPropertyID kEdsPropID_BatteryLevel = 0x00000008;
inline constexpr EdsPropertyID kEdsPropID_SaveTo = 0x0000000B;
inline constexpr EdsPropertyID kEdsPropID_CurrentStorage = 0x0000000C;
inline constexpr EdsPropertyID kEdsPropID_CurrentFolder = 0x0000000D;
inline constexpr EdsPropertyID kEdsPropID_BatteryQuality = 0x00000010;
inline constexpr EdsPropertyID kEdsPropID_BodyIDEx = 0x00000015;
inline constexpr EdsPropertyID kEdsPropID_ImageQuality = 0x00000100;
inline constexpr EdsPropertyID kEdsPropID_Orientation = 0x00000102;
inline constexpr EdsPropertyID kEdsPropID_FocusInfo = 0x00000104;
inline constexpr EdsPropertyID kEdsPropID_WhiteBalance = 0x00000106;
inline constexpr EdsPropertyID kEdsPropID_ColorTemperature = 0x00000107;
inline constexpr EdsPropertyID kEdsPropID_WhiteBalanceShift = 0x00000108;
inline constexpr EdsPropertyID kEdsPropID_ColorSpace = 0x0000010D;
inline constexpr EdsPropertyID kEdsPropID_PictureStyle = 0x00000114;
inline constexpr EdsPropertyID kEdsPropID_PictureStyleDesc = 0x00000115;
inline constexpr EdsPropertyID kEdsPropID_PictureStyleCaption = 0x00000200;
inline constexpr EdsPropertyID kEdsPropID_AEMode = 0x00000400;
inline constexpr EdsPropertyID kEdsPropID_DriveMode = 0x00000401;
inline constexpr EdsPropertyID kEdsPropID_ISOSpeed = 0x00000402;
inline constexpr EdsPropertyID kEdsPropID_MeteringMode = 0x00000403;
inline constexpr EdsPropertyID kEdsPropID_AFMode = 0x00000404;
inline constexpr EdsPropertyID kEdsPropID_Av = 0x00000405;
inline constexpr EdsPropertyID kEdsPropID_Tv = 0x00000406;
inline constexpr EdsPropertyID kEdsPropID_ExposureCompensation = 0x00000407;
inline constexpr EdsPropertyID kEdsPropID_FocalLength = 0x00000409;
inline constexpr EdsPropertyID kEdsPropID_AvailableShots = 0x0000040A;
inline constexpr EdsPropertyID kEdsPropID_Bracket = 0x0000040B;
inline constexpr EdsPropertyID kEdsPropID_LensName = 0x0000040D;
inline constexpr EdsPropertyID kEdsPropID_LensStatus = 0x00000416;
inline constexpr EdsPropertyID kEdsPropID_Artist = 0x00000418;
inline constexpr EdsPropertyID kEdsPropID_Copyright = 0x00000419;
inline constexpr EdsPropertyID kEdsPropID_AEModeSelect = 0x00000436;
inline constexpr EdsPropertyID kEdsPropID_PowerZoom_Speed = 0x00000444;
inline constexpr EdsPropertyID kEdsPropID_Evf_OutputDevice = 0x00000500;
inline constexpr EdsPropertyID kEdsPropID_Evf_Mode = 0x00000501;
inline constexpr EdsPropertyID kEdsPropID_Evf_WhiteBalance = 0x00000502;
inline constexpr EdsPropertyID kEdsPropID_Evf_ColorTemperature = 0x00000503;
inline constexpr EdsPropertyID kEdsPropID_Evf_DepthOfFieldPreview = 0x00000504;
inline constexpr EdsPropertyID kEdsPropID_Evf_Zoom = 0x00000507;
inline constexpr EdsPropertyID kEdsPropID_Evf_ZoomPosition = 0x00000508;
inline constexpr EdsPropertyID kEdsPropID_Evf_Histogram = 0x0000050A;
inline constexpr EdsPropertyID kEdsPropID_Evf_ImagePosition = 0x0000050B;
inline constexpr EdsPropertyID kEdsPropID_Evf_HistogramStatus = 0x0000050C;
inline constexpr EdsPropertyID kEdsPropID_Evf_AFMode = 0x0000050E;
inline constexpr EdsPropertyID kEdsPropID_Record = 0x00000510;
inline constexpr EdsPropertyID kEdsPropID_Evf_HistogramY = 0x00000515;
inline constexpr EdsPropertyID kEdsPropID_Evf_HistogramR = 0x00000516;
inline constexpr EdsPropertyID kEdsPropID_Evf_HistogramG = 0x00000517;
inline constexpr EdsPropertyID kEdsPropID_Evf_HistogramB = 0x00000518;
inline constexpr EdsPropertyID kEdsPropID_Evf_CoordinateSystem = 0x00000540;
inline constexpr EdsPropertyID kEdsPropID_Evf_ZoomRect = 0x00000541;
inline constexpr EdsPropertyID kEdsPropID_Evf_ImageClipRect = 0x00000545;
inline constexpr EdsPropertyID kEdsPropID_Evf_PowerZoom_CurPosition = 0x00000550;
inline constexpr EdsPropertyID kEdsPropID_Evf_PowerZoom_MaxPosition = 0x00000551;
inline constexpr EdsPropertyID kEdsPropID_Evf_PowerZoom_MinPosition = 0x00000552;
inline constexpr EdsPropertyID kEdsPropID_DC_Zoom = 0x00000600;
inline constexpr EdsPropertyID kEdsPropID_DC_Strobe = 0x00000601;
inline constexpr EdsPropertyID kEdsPropID_LensBarrelStatus = 0x00000605;
/// Writing this with a key as inParam enables one "limited" property (0x01xxxxxx) per session.
inline constexpr EdsPropertyID kEdsPropID_LimitedPropertyEnable = 0x01000000;
inline constexpr EdsPropertyID kEdsPropID_UTCTime = 0x01000016;
inline constexpr EdsPropertyID kEdsPropID_TimeZone = 0x01000017;
inline constexpr EdsPropertyID kEdsPropID_SummerTimeSetting = 0x01000018;
inline constexpr EdsPropertyID kEdsPropID_TempStatus = 0x01000415;
inline constexpr EdsPropertyID kEdsPropID_MirrorLockUpState = 0x01000421;
inline constexpr EdsPropertyID kEdsPropID_FixedMovie = 0x01000422;
inline constexpr EdsPropertyID kEdsPropID_MovieParam = 0x01000423;
inline constexpr EdsPropertyID kEdsPropID_Aspect = 0x01000431;
inline constexpr EdsPropertyID kEdsPropID_MirrorUpSetting = 0x01000438;
inline constexpr EdsPropertyID kEdsPropID_AutoPowerOffSetting = 0x0100045E;
inline constexpr EdsPropertyID kEdsPropID_Evf_ClickWBCoeffs = 0x01000506;
inline constexpr EdsPropertyID kEdsPropID_EVF_RollingPitching = 0x01000544;
inline constexpr EdsPropertyID kEdsPropID_Evf_VisibleRect = 0x01000546;

// ---------------------------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------------------------

inline constexpr EdsCameraCommand kEdsCameraCommand_TakePicture = 0x00000000;
inline constexpr EdsCameraCommand kEdsCameraCommand_ExtendShutDownTimer = 0x00000001;
inline constexpr EdsCameraCommand kEdsCameraCommand_BulbStart = 0x00000002;
inline constexpr EdsCameraCommand kEdsCameraCommand_BulbEnd = 0x00000003;
inline constexpr EdsCameraCommand kEdsCameraCommand_PressShutterButton = 0x00000004;
inline constexpr EdsCameraCommand kEdsCameraCommand_DoEvfAf = 0x00000102;
inline constexpr EdsCameraCommand kEdsCameraCommand_DriveLensEvf = 0x00000103;
inline constexpr EdsCameraCommand kEdsCameraCommand_DoClickWBEvf = 0x00000104;
inline constexpr EdsCameraCommand kEdsCameraCommand_MovieSelectSwON = 0x00000107;
inline constexpr EdsCameraCommand kEdsCameraCommand_MovieSelectSwOFF = 0x00000108;
inline constexpr EdsCameraCommand kEdsCameraCommand_RequestRollPitchLevel = 0x00000109;
inline constexpr EdsCameraCommand kEdsCameraCommand_DrivePowerZoom = 0x0000010D;
inline constexpr EdsCameraCommand kEdsCameraCommand_SetRemoteShootingMode = 0x0000010F;
inline constexpr EdsCameraCommand kEdsCameraCommand_RequestSensorCleaning = 0x00000112;
inline constexpr EdsCameraCommand kEdsCameraCommand_SetModeDialDisable = 0x00000113;

inline constexpr EdsCameraStatusCommand kEdsCameraStatusCommand_UILock = 0x00000000;
inline constexpr EdsCameraStatusCommand kEdsCameraStatusCommand_UIUnLock = 0x00000001;
inline constexpr EdsCameraStatusCommand kEdsCameraStatusCommand_EnterDirectTransfer = 0x00000002;
inline constexpr EdsCameraStatusCommand kEdsCameraStatusCommand_ExitDirectTransfer = 0x00000003;

// ---------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------

inline constexpr EdsPropertyEvent kEdsPropertyEvent_All = 0x00000100;
inline constexpr EdsPropertyEvent kEdsPropertyEvent_PropertyChanged = 0x00000101;
inline constexpr EdsPropertyEvent kEdsPropertyEvent_PropertyDescChanged = 0x00000102;

inline constexpr EdsObjectEvent kEdsObjectEvent_All = 0x00000200;
inline constexpr EdsObjectEvent kEdsObjectEvent_VolumeInfoChanged = 0x00000201;
inline constexpr EdsObjectEvent kEdsObjectEvent_VolumeUpdateItems = 0x00000202;
inline constexpr EdsObjectEvent kEdsObjectEvent_FolderUpdateItems = 0x00000203;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemCreated = 0x00000204;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemRemoved = 0x00000205;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemInfoChanged = 0x00000206;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemContentChanged = 0x00000207;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemRequestTransfer = 0x00000208;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemRequestTransferDT = 0x00000209;
inline constexpr EdsObjectEvent kEdsObjectEvent_DirItemCancelTransferDT = 0x0000020A;
inline constexpr EdsObjectEvent kEdsObjectEvent_VolumeAdded = 0x0000020C;
inline constexpr EdsObjectEvent kEdsObjectEvent_VolumeRemoved = 0x0000020D;

inline constexpr EdsStateEvent kEdsStateEvent_All = 0x00000300;
inline constexpr EdsStateEvent kEdsStateEvent_Shutdown = 0x00000301;
inline constexpr EdsStateEvent kEdsStateEvent_JobStatusChanged = 0x00000302;
inline constexpr EdsStateEvent kEdsStateEvent_WillSoonShutDown = 0x00000303;
inline constexpr EdsStateEvent kEdsStateEvent_ShutDownTimerUpdate = 0x00000304;
inline constexpr EdsStateEvent kEdsStateEvent_CaptureError = 0x00000305;
inline constexpr EdsStateEvent kEdsStateEvent_InternalError = 0x00000306;
inline constexpr EdsStateEvent kEdsStateEvent_AfResult = 0x00000309;
inline constexpr EdsStateEvent kEdsStateEvent_BulbExposureTime = 0x00000310;
inline constexpr EdsStateEvent kEdsStateEvent_PowerZoomInfoChanged = 0x00000311;

} // namespace tbx::sdk
