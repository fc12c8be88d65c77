// The binary interface of the EOS camera SDK as the stand-in exports it: base types, records
// (packed to 8 like the vendor's headers), callbacks and the codes the stand-in uses. Written
// from our own fact sheet of the genuine interface; nothing outside sim/ includes it.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TBX_EDS_CALL __stdcall
#else
#define TBX_EDS_CALL
#endif

#if defined(_WIN32)
#define TBX_EDS_EXPORT
#else
#define TBX_EDS_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

typedef void EdsVoid;
typedef std::int32_t EdsBool;
typedef char EdsChar;
typedef std::int32_t EdsInt32;
typedef std::uint32_t EdsUInt32;
typedef std::int64_t EdsInt64;
typedef std::uint64_t EdsUInt64;
typedef std::uint32_t EdsError;
typedef struct tbx_EdsObject *EdsBaseRef;
typedef EdsBaseRef EdsCameraListRef, EdsCameraRef, EdsVolumeRef, EdsDirectoryItemRef, EdsStreamRef, EdsImageRef,
    EdsEvfImageRef;
typedef std::uint32_t EdsPropertyID, EdsCameraCommand, EdsCameraStatusCommand, EdsPropertyEvent, EdsObjectEvent,
    EdsStateEvent;
typedef std::int32_t EdsDataType, EdsAccess, EdsSeekOrigin, EdsFileCreateDisposition, EdsProgressOption, EdsImageSource,
    EdsTargetImageType, EdsFileAttributes;
#if defined(_WIN32)
typedef wchar_t EdsWChar; // UTF-16 on Windows
#else
typedef wchar_t EdsWChar; // the platform's wide character elsewhere
#endif

#pragma pack(push, 8)
struct EdsPoint {
    EdsInt32 x, y;
};
struct EdsSize {
    EdsInt32 width, height;
};
struct EdsRect {
    EdsPoint point;
    EdsSize size;
};
struct EdsTime {
    EdsUInt32 year, month, day, hour, minute, second, milliseconds;
};
struct EdsDeviceInfo {
    EdsChar szPortName[256];
    EdsChar szDeviceDescription[256];
    EdsUInt32 deviceSubType;
    EdsUInt32 reserved;
};
struct EdsVolumeInfo {
    EdsUInt32 storageType;
    EdsAccess access;
    EdsUInt64 maxCapacity;
    EdsUInt64 freeSpaceInBytes;
    EdsChar szVolumeLabel[256];
};
struct EdsDirectoryItemInfo {
    EdsUInt64 size;
    EdsBool isFolder;
    EdsUInt32 groupID;
    EdsUInt32 option;
    EdsChar szFileName[256];
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
    EdsUInt32 width, height, numOfComponents, componentDepth;
    EdsRect effectiveRect;
    EdsUInt32 reserved1, reserved2;
};
struct EdsFocusPoint {
    EdsUInt32 valid, selected, justFocus;
    EdsRect rect;
    EdsUInt32 reserved;
};
// The 13.10-era layout with 600 points.
enum { kTbxEdsFocusPoints = 600 };
struct EdsFocusInfo {
    EdsRect imageRect;
    EdsUInt32 pointNumber;
    EdsFocusPoint focusPoint[kTbxEdsFocusPoints];
    EdsUInt32 executeMode;
};
struct EdsPictureStyleDesc {
    EdsInt32 contrast;
    EdsUInt32 sharpness;
    EdsInt32 saturation;
    EdsInt32 colorTone;
    EdsUInt32 filterEffect, toningEffect, sharpFineness, sharpThreshold;
};
typedef EdsError(TBX_EDS_CALL *EdsStreamReadFn)(EdsVoid *context, EdsUInt32 size, EdsVoid *buffer, EdsUInt32 *outRead);
typedef EdsError(TBX_EDS_CALL *EdsStreamWriteFn)(EdsVoid *context, EdsUInt32 size, const EdsVoid *buffer,
                                                 EdsUInt32 *outWritten);
typedef EdsError(TBX_EDS_CALL *EdsStreamSeekFn)(EdsVoid *context, EdsInt32 offset, EdsSeekOrigin origin);
typedef EdsError(TBX_EDS_CALL *EdsStreamTellFn)(EdsVoid *context, EdsInt32 *outPosition);
typedef EdsError(TBX_EDS_CALL *EdsStreamLengthFn)(EdsVoid *context, EdsUInt32 *outLength);
struct EdsIStream {
    EdsVoid *context;
    EdsStreamReadFn read;
    EdsStreamWriteFn write;
    EdsStreamSeekFn seek;
    EdsStreamTellFn tell;
    EdsStreamLengthFn getLength;
};
#pragma pack(pop)

typedef EdsError(TBX_EDS_CALL *EdsProgressCallback)(EdsUInt32 inPercent, EdsVoid *inContext, EdsBool *outCancel);
typedef EdsError(TBX_EDS_CALL *EdsCameraAddedHandler)(EdsVoid *inContext);
typedef EdsError(TBX_EDS_CALL *EdsPropertyEventHandler)(EdsPropertyEvent inEvent, EdsPropertyID inPropertyID,
                                                        EdsUInt32 inParam, EdsVoid *inContext);
typedef EdsError(TBX_EDS_CALL *EdsObjectEventHandler)(EdsObjectEvent inEvent, EdsBaseRef inRef, EdsVoid *inContext);
typedef EdsError(TBX_EDS_CALL *EdsStateEventHandler)(EdsStateEvent inEvent, EdsUInt32 inEventData, EdsVoid *inContext);

} // extern "C"

static_assert(sizeof(EdsDeviceInfo) == 520);
static_assert(sizeof(EdsVolumeInfo) == 280);
static_assert(sizeof(EdsDirectoryItemInfo) == 288);
static_assert(sizeof(EdsPropertyDesc) == 524);
static_assert(sizeof(EdsCapacity) == 12);
static_assert(sizeof(EdsImageInfo) == 40);
static_assert(sizeof(EdsFocusPoint) == 32);
static_assert(sizeof(EdsFocusInfo) == 19224);
static_assert(sizeof(EdsPictureStyleDesc) == 32);
static_assert(sizeof(EdsTime) == 28);

namespace tbx::sim::eds {

// Result codes.
enum : EdsError {
    kOk = 0x00,
    kInternalError = 0x02,
    kMemAllocFailed = 0x03,
    kOperationCancelled = 0x05,
    kNotSupported = 0x07,
    kFileIoError = 0x20,
    kFileNotFound = 0x22,
    kFileOpenError = 0x23,
    kFileSeekError = 0x25,
    kFileReadError = 0x27,
    kFileWriteError = 0x28,
    kFileAlreadyExists = 0x2B,
    kFileFormatUnrecognized = 0x2C,
    kDirNotFound = 0x40,
    kPropertiesUnavailable = 0x50,
    kInvalidParameter = 0x60,
    kInvalidHandle = 0x61,
    kInvalidPointer = 0x62,
    kInvalidIndex = 0x63,
    kInvalidLength = 0x64,
    kDeviceNotFound = 0x80,
    kDeviceBusy = 0x81,
    kDeviceInvalidParameter = 0x86,
    kDeviceNoDisk = 0x87,
    kStreamNotOpen = 0xA1,
    kStreamSeekError = 0xA5,
    kStreamReadError = 0xA7,
    kStreamWriteError = 0xA8,
    kStreamEndOfStream = 0xAC,
    kCommDisconnected = 0xC1,
    kSessionNotOpen = 0x2003,
    kSessionAlreadyOpen = 0x201E,
    kInvalidDevicePropValue = 0x201C,
    kObjectNotReady = 0xA102,
    kTakePictureAfNg = 0x8D01,
    kTakePictureNoCardNg = 0x8D06,
    kTakePictureCardProtectNg = 0x8D08,
    kRefError = 0xFFFFFFFF,
};

// Data types.
enum : EdsUInt32 {
    kTypeBool = 1,
    kTypeString = 2,
    kTypeInt8 = 3,
    kTypeUInt8 = 6,
    kTypeInt32 = 8,
    kTypeUInt32 = 9,
    kTypeByteBlock = 14,
    kTypeRational = 20,
    kTypePoint = 21,
    kTypeRect = 22,
    kTypeTime = 23,
    kTypeInt32Array = 33,
    kTypeUInt32Array = 36,
    kTypeFocusInfo = 101,
    kTypePictureStyleDesc = 102,
};

// Property IDs.
enum : EdsUInt32 {
    kPropProductName = 0x2,
    kPropOwnerName = 0x4,
    kPropMakerName = 0x5,
    kPropDateTime = 0x6,
    kPropFirmwareVersion = 0x7,
    kPropBatteryLevel = 0x8,
    kPropSaveTo = 0xB,
    kPropCurrentStorage = 0xC,
    kPropCurrentFolder = 0xD,
    kPropBatteryQuality = 0x10,
    kPropBodyIdEx = 0x15,
    kPropImageQuality = 0x100,
    kPropFocusInfo = 0x104,
    kPropWhiteBalance = 0x106,
    kPropColorTemperature = 0x107,
    kPropWhiteBalanceShift = 0x108,
    kPropColorSpace = 0x10D,
    kPropPictureStyle = 0x114,
    kPropPictureStyleDesc = 0x115,
    kPropAeMode = 0x400,
    kPropDriveMode = 0x401,
    kPropIsoSpeed = 0x402,
    kPropMeteringMode = 0x403,
    kPropAfMode = 0x404,
    kPropAv = 0x405,
    kPropTv = 0x406,
    kPropExposureCompensation = 0x407,
    kPropAvailableShots = 0x40A,
    kPropBracket = 0x40B,
    kPropLensName = 0x40D,
    kPropLensStatus = 0x416,
    kPropArtist = 0x418,
    kPropCopyright = 0x419,
    kPropAeModeSelect = 0x436,
    kPropPowerZoomSpeed = 0x444,
    kPropEvfOutputDevice = 0x500,
    kPropEvfMode = 0x501,
    kPropEvfWhiteBalance = 0x502,
    kPropEvfColorTemperature = 0x503,
    kPropEvfDepthOfFieldPreview = 0x504,
    kPropEvfZoom = 0x507,
    kPropEvfZoomPosition = 0x508,
    kPropEvfHistogram = 0x50A,
    kPropEvfImagePosition = 0x50B,
    kPropEvfHistogramStatus = 0x50C,
    kPropEvfAfMode = 0x50E,
    kPropRecord = 0x510,
    kPropEvfHistogramY = 0x515,
    kPropEvfHistogramR = 0x516,
    kPropEvfHistogramG = 0x517,
    kPropEvfHistogramB = 0x518,
    kPropEvfCoordinateSystem = 0x540,
    kPropEvfZoomRect = 0x541,
    kPropEvfPowerZoomCurPosition = 0x550,
    kPropEvfPowerZoomMaxPosition = 0x551,
    kPropEvfPowerZoomMinPosition = 0x552,
    kPropUnlockLimited = 0x01000000,
    kPropUtcTime = 0x01000016,
    kPropGen2Clock = 0x16, ///< the generation-2 library's date and time
    kPropGen2Zoom = 0x600, ///< the generation-2 library's zoom lens position
    kPropTimeZone = 0x01000017,
    kPropSummerTimeSetting = 0x01000018,
    kPropEvfVisibleRect = 0x01000546,
};

// Commands and status commands.
enum : EdsUInt32 {
    kCmdTakePicture = 0x0,
    kCmdExtendShutDownTimer = 0x1,
    kCmdBulbStart = 0x2,
    kCmdBulbEnd = 0x3,
    kCmdPressShutterButton = 0x4,
    kCmdDoEvfAf = 0x102,
    kCmdDriveLensEvf = 0x103,
    kCmdDoClickWbEvf = 0x104,
    kCmdMovieSelectSwOn = 0x107,
    kCmdMovieSelectSwOff = 0x108,
    kCmdRequestRollPitchLevel = 0x109,
    kCmdDrivePowerZoom = 0x10D,
    kCmdRequestSensorCleaning = 0x112,
    kCmdSetModeDialDisable = 0x113,
    kStatusUiLock = 0,
    kStatusUiUnlock = 1,
    kStatusEnterDirectTransfer = 2,
    kStatusExitDirectTransfer = 3,
};

// Events.
enum : EdsUInt32 {
    kPropertyEventAll = 0x100,
    kPropertyEventChanged = 0x101,
    kPropertyEventDescChanged = 0x102,
    kObjectEventAll = 0x200,
    kObjectEventVolumeInfoChanged = 0x201,
    kObjectEventVolumeUpdateItems = 0x202,
    kObjectEventFolderUpdateItems = 0x203,
    kObjectEventDirItemCreated = 0x204,
    kObjectEventDirItemRemoved = 0x205,
    kObjectEventDirItemRequestTransfer = 0x208,
    kStateEventAll = 0x300,
    kStateEventShutdown = 0x301,
    kStateEventWillSoonShutDown = 0x303,
    kStateEventPowerZoomInfoChanged = 0x311,
};

// Object formats and other enumerations.
enum : EdsUInt32 {
    kFormatJpeg = 0x3801,
    kFormatCr2 = 0xB103,
    kFormatCr3 = 0xB108,
    kFormatMp4 = 0xB982,
    kFormatUnknown = 0,
    kSaveToCamera = 1,
    kSaveToHost = 2,
    kSaveToBoth = 3,
    kEvfOutputTft = 1,
    kEvfOutputPc = 2,
};

} // namespace tbx::sim::eds
