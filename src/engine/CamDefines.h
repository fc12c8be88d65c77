// The vocabulary the engine, the four camera drivers and the control exchange: enumerations,
// the records that cross the engine/driver boundary (with their exact byte layouts, because
// several of them are written to files or read by index from the host), and the engine's event
// method types.
#pragma once

#include "platform/Errors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tbx {

// ---------------------------------------------------------------------------------------------
// Enumerations. Each is stored in one byte; its value is its position in the list. The values
// equal those of the host-facing enumerations, which pass them on unchanged.
// ---------------------------------------------------------------------------------------------

/// Where a remote shot is stored.
enum ReleaseModeType : std::uint8_t {
    ReleaseModeOnlyToPC,
    ReleaseModeBothPCAndCamera,
    ReleaseModeOnlyToCamera,
};

/// What a remote shot delivers to the PC.
enum ReleaseDataKindType : std::uint8_t {
    ReleaseDataKindTakeOnlyThumbnail,
    ReleaseDataKindTakeOnlyPicture,
    ReleaseDataKingTakeBothThumbAndPic,
};

enum EventSeverityType : std::uint8_t {
    EventSeverityNotUsed,
    EventSeverityInfo,
    EventSeverityWarning,
    EventSeverityClosing,
};

/// Camera events, delivered through OnEvent.
enum EventEnumType : std::uint8_t {
    EventNotUsed,
    EventBatteryLevelNormal,
    EventBatteryLevelWeak,
    EventBatteryLevelSafetyLow,
    EventBatteryLevelLB,
    EventDialChanged,
    EventCFGateOpened,
    EventBatteryCoverOpened,
    EventConnectionDisappeared,
    EventUnrecoverableError,
    EventUnkonwnCommandReceived,
    EventRemoteParameterChanged,
    EventRemoteCaptureError,
    EventRemoteShutdownReasonNotKnown,
    EventRemoteNewSupportedParameters,
    EventPowerZoomInfoChanged,
};

/// Remote-mode events, delivered through OnRemoteEvent.
enum RemoteEventCallbackType : std::uint8_t {
    RemoteEventCallbackNotUsed,
    RemoteEventCallbackReleaseStart,
    RemoteEventCallbackReleaseComplete,
    RemoteEventCallbackResetHWError,
    RemoteEventCallbackChangedByUI,
    RemoteEventCallbackCamReleaseOn,
    RemoteEventCallbackViewfinderOn,
    RemoteEventCallbackViewfinderOff,
    RemoteEventCallbackReleaseImageReady,
    RemoteEventCallbackReleaseMovieReady,
    RemoteEventCallbackReleaseImageFromCFCardReady,
};

/// Which extra field of a remote event carries meaning.
enum NotifyRemoteEventValidType : std::uint8_t {
    NoNotifyRemoteEventValid,
    NotifyRemoteEventValid1, ///< NumOfEvents is valid
    NotifyRemoteEventValid2, ///< TypeOfPicture is valid
};

enum TypeOfPictureType : std::uint8_t {
    TypeOfPictureNo,
    TypeOfPictureThumbnail,
    TypeOfPicturePicture,
};

/// Camera family code: the first field of ConnectInfoType and the value every operation
/// dispatches on. Family 1 is served by the legacy driver for enumeration indices below the
/// legacy camera count and by the PTP driver above it.
enum CamModType : std::uint8_t {
    CamModNone,
    CamModPowerShot,
    CamModEOS,
    CamModPowerShotGen2,
};

/// Kinds of remote parameters, in the numbering the host uses.
enum RemoteParamKind : std::uint8_t {
    RemoteParamCompQuality,
    RemoteParamCompQualityPic2RAW,
    RemoteParamImageSize,
    RemoteParamImageSizePic2RAW,
    RemoteParamStrobeSetting,
    RemoteParamStrobeCompSetting,
    RemoteParamDriveMode,
    RemoteParamImageMode,
    RemoteParamMLWeiMode,
    RemoteParamAFMode,
    RemoteParamVFAFMode,
    RemoteParamAFDistance,
    RemoteParamAFFocusingPoint,
    RemoteParamAFAssistLight,
    RemoteParamWhiteBalanceSetting,
    RemoteParamWhiteBalanceKelvin,
    RemoteParamWhiteBalanceShift,
    RemoteParamPictureStyle,
    RemoteParamContrast,
    RemoteParamColorGain,
    RemoteParamSharpness,
    RemoteParamColorSpace,
    RemoteParamISO,
    RemoteParamAv,
    RemoteParamTv,
    RemoteParamExposureCompensation,
    RemoteParamPhotoEffect,
    RemoteParamBeep,
};
inline constexpr int kRemoteParamKindCount = 28;

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

/// The connected camera, filled by a driver's Connect. Strings are owned by the record.
struct ConnectInfoType {
    std::uint8_t CameraModel = CamModNone; ///< family code 0..3
    std::string CameraModelName;
    std::string FirmwareVersion;
    std::string OwnerName;
    std::uint8_t BatterySource = 0; ///< 0 unknown, 1 AC, 2 lithium, 3 NiMH, 4 NiCd, 5 alkaline-manganese
    std::uint8_t BatteryStatus = 0; ///< 0 unknown, 1 normal, 2 weak, 3 safety low
};

/// Argument of OnEvent.
struct EventCallbackType {
    EventSeverityType Severity = EventSeverityNotUsed;
    EventEnumType EventNum = EventNotUsed;
    friend bool operator==(const EventCallbackType &, const EventCallbackType &) = default;
};
static_assert(sizeof(EventCallbackType) == 2);

/// Second argument of OnRemoteEvent. Fields an event does not set are zero.
struct AdditionNotifyRemoteEventType {
    NotifyRemoteEventValidType EventValid = NoNotifyRemoteEventValid;
    TypeOfPictureType TypeOfPicture = TypeOfPictureNo;
    std::int32_t NumOfEvents = 0;
    friend bool operator==(const AdditionNotifyRemoteEventType &,
                           const AdditionNotifyRemoteEventType &) = default;
};
static_assert(sizeof(AdditionNotifyRemoteEventType) == 8);
static_assert(offsetof(AdditionNotifyRemoteEventType, NumOfEvents) == 4);

/// Power-zoom state; the field order is the order of the host's power-zoom value selector.
struct PowerZoomInfoType {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Current = 0;
    std::int32_t Speed = 0; ///< never written by the engine
    std::uint8_t Controllable = 0;
    std::uint8_t PZSwitch = 0;
    std::uint8_t Condition = 0;
    std::uint8_t ExtremePosition = 0;
    std::uint8_t Attached = 0;
    std::uint8_t BatteryLife = 0;
    std::uint8_t LensZoomLock = 0;
    std::uint8_t SpeedSwitch = 0;
    std::uint8_t IncreasingTemperature = 0;
    std::uint8_t HighTemperature = 0;
    std::uint32_t CurrentSpeed = 0;
};
static_assert(sizeof(PowerZoomInfoType) == 32);
static_assert(offsetof(PowerZoomInfoType, Controllable) == 16);
static_assert(offsetof(PowerZoomInfoType, HighTemperature) == 25);
static_assert(offsetof(PowerZoomInfoType, CurrentSpeed) == 28);

struct PointType {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

struct RectType {
    std::int32_t PointX = 0;
    std::int32_t PointY = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

struct SizeType {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

/// Metadata of one viewfinder frame; the engine keeps one and overwrites it on every frame.
///
/// ZoomPosition sits unaligned right behind Valid (bytes 1..8), as the frame metadata has always
/// been laid out; the rest is 4-byte aligned. Rather than packing the whole record, the two
/// unaligned values are kept as raw bytes with accessors, so every other field stays naturally
/// aligned and can be used directly.
struct ViewfinderPositionType {
    std::uint8_t Valid = 0; ///< 1 when the metadata came with the frame (EOS frames)
    std::uint8_t ZoomPositionBytes[8] = {}; ///< X then Y, little-endian 32-bit, unaligned
    RectType ZoomRect;
    PointType ImagePosition;
    SizeType CoordSystem;
    std::uint32_t Histogram[4][256] = {}; ///< blocks from properties 0x518, 0x516, 0x517, 0x515
    std::uint8_t Zoom = 0;
    PowerZoomInfoType PowerZoom;

    PointType zoomPosition() const
    {
        PointType p;
        std::memcpy(&p.X, ZoomPositionBytes, 4);
        std::memcpy(&p.Y, ZoomPositionBytes + 4, 4);
        return p;
    }
    void setZoomPosition(PointType p)
    {
        std::memcpy(ZoomPositionBytes, &p.X, 4);
        std::memcpy(ZoomPositionBytes + 4, &p.Y, 4);
    }
};
static_assert(offsetof(ViewfinderPositionType, ZoomPositionBytes) == 1);
static_assert(offsetof(ViewfinderPositionType, ZoomRect) == 12);
static_assert(offsetof(ViewfinderPositionType, ImagePosition) == 28);
static_assert(offsetof(ViewfinderPositionType, CoordSystem) == 36);
static_assert(offsetof(ViewfinderPositionType, Histogram) == 44);
static_assert(offsetof(ViewfinderPositionType, Zoom) == 4140);
static_assert(offsetof(ViewfinderPositionType, PowerZoom) == 4144);
static_assert(sizeof(ViewfinderPositionType) == 4176);

/// JPEG data as it came from a camera. The system never decodes it.
using JpegBlob = std::vector<std::uint8_t>;

/// One picture of the camera collection.
struct ImageDataType {
    std::string Name;                  ///< file name of the picture in the camera
    std::optional<JpegBlob> Thumbnail; ///< empty when thumbnails were not requested
    std::uint64_t Size = 0;            ///< bytes; 0 where the family does not tell
    std::uint32_t DateTime = 0;        ///< the camera's time stamp, seconds from 1970; 0 where unknown
};
using ImageListType = std::vector<ImageDataType>;

/// The camera's shooting parameters: 48 bytes, also the body of the parameter file. Every byte
/// parameter holds a driver-neutral code counted from 1; 0 means "not given, leave unchanged".
struct RemoteParamsType {
    std::uint8_t CompQuality = 0;
    std::uint8_t CompQualityPic2RAW = 0;
    std::uint8_t ImageSize = 0;
    std::uint8_t ImageSizePic2RAW = 0;
    std::uint8_t StrobeSetting = 0;
    std::uint8_t StrobeCompSetting = 0;
    std::uint8_t ImageMode = 0;
    std::uint8_t DriveMode = 0;
    std::uint8_t MLWeiMode = 0;
    std::uint8_t AFMode = 0;
    std::uint8_t AFDistance = 0;
    std::uint8_t AFFocusingPoint = 0;
    std::uint8_t AFAssistLight = 0;
    std::uint8_t WhiteBalanceSetting = 0;
    std::uint8_t Padding1[2] = {};
    std::uint32_t WhiteBalanceKelvin = 0;
    std::uint8_t WBShiftEnabled = 0;
    std::uint8_t AmberBlue = 0;
    std::uint8_t GreenMagenta = 0;
    std::uint8_t PictureStyleEnabled = 0;
    std::uint8_t PictureStyle = 0;
    std::uint8_t PictureStyleContrast = 0;
    std::uint8_t PictureStyleSharpness = 0;
    std::uint8_t Saturation = 0;
    std::uint8_t SaturationUsed = 0;
    std::uint8_t ColorTone = 0;
    std::uint8_t ColorToneUsed = 0;
    std::uint8_t MonochromeFilter = 0;
    std::uint8_t MonochromeFilterUsed = 0;
    std::uint8_t MonochromeTone = 0;
    std::uint8_t MonochromeToneUsed = 0;
    std::uint8_t Contrast = 0;
    std::uint8_t ColorGain = 0;
    std::uint8_t Sharpness = 0;
    std::uint8_t ColorSpace = 0;
    std::uint8_t ISO = 0;
    std::uint8_t Av = 0; ///< aperture index (CamLib scale)
    std::uint8_t Tv = 0; ///< shutter-speed index (CamLib scale)
    std::uint8_t ExposureCompensation = 0;
    std::uint8_t PhotoEffect = 0;
    std::uint8_t Beep = 0;
    std::uint8_t Padding2[3] = {};
};
static_assert(sizeof(RemoteParamsType) == 48);
static_assert(offsetof(RemoteParamsType, WhiteBalanceSetting) == 13);
static_assert(offsetof(RemoteParamsType, WhiteBalanceKelvin) == 16);
static_assert(offsetof(RemoteParamsType, WBShiftEnabled) == 20);
static_assert(offsetof(RemoteParamsType, GreenMagenta) == 22);
static_assert(offsetof(RemoteParamsType, PictureStyleEnabled) == 23);
static_assert(offsetof(RemoteParamsType, MonochromeToneUsed) == 34);
static_assert(offsetof(RemoteParamsType, Contrast) == 35);
static_assert(offsetof(RemoteParamsType, Av) == 40);
static_assert(offsetof(RemoteParamsType, Tv) == 41);
static_assert(offsetof(RemoteParamsType, Beep) == 44);

/// Where each parameter kind's group of support flags lies inside RemoteParamSupportType.
/// A group holds one flag per driver-neutral code 0..HighestCode (so HighestCode + 1 bytes);
/// the white-balance-shift and picture-style kinds have a single "supported" byte, and the
/// white-balance temperature, which has no group, has Size 0.
struct SupportGroup {
    std::uint8_t Kind;
    std::uint16_t Offset;
    std::uint16_t Size;
};

/// The group table, in kind order. Kinds 0..14 follow each other, then the single bytes of
/// kinds 16 and 17, then kinds 18..27; kind 15 (white-balance temperature) has no group.
inline constexpr SupportGroup kSupportGroups[kRemoteParamKindCount] = {
    {RemoteParamCompQuality, 0, 6},
    {RemoteParamCompQualityPic2RAW, 6, 6},
    {RemoteParamImageSize, 12, 7},
    {RemoteParamImageSizePic2RAW, 19, 7},
    {RemoteParamStrobeSetting, 26, 8},
    {RemoteParamStrobeCompSetting, 34, 14},
    {RemoteParamDriveMode, 48, 15},
    {RemoteParamImageMode, 63, 45},
    {RemoteParamMLWeiMode, 108, 7},
    {RemoteParamAFMode, 115, 5},
    {RemoteParamVFAFMode, 120, 6},
    {RemoteParamAFDistance, 126, 13},
    {RemoteParamAFFocusingPoint, 139, 8},
    {RemoteParamAFAssistLight, 147, 3},
    {RemoteParamWhiteBalanceSetting, 150, 17},
    {RemoteParamWhiteBalanceKelvin, 167, 0},
    {RemoteParamWhiteBalanceShift, 167, 1},
    {RemoteParamPictureStyle, 168, 1},
    {RemoteParamContrast, 169, 4},
    {RemoteParamColorGain, 173, 4},
    {RemoteParamSharpness, 177, 4},
    {RemoteParamColorSpace, 181, 3},
    {RemoteParamISO, 184, 28},
    {RemoteParamAv, 212, 41},
    {RemoteParamTv, 253, 60},
    {RemoteParamExposureCompensation, 313, 32},
    {RemoteParamPhotoEffect, 345, 7},
    {RemoteParamBeep, 352, 3},
};

/// Highest driver-neutral code of a grouped kind (Size - 1); -1 for a kind without a group.
constexpr int supportHighestCode(RemoteParamKind kind)
{
    return static_cast<int>(kSupportGroups[kind].Size) - 1;
}

/// Which codes of each remote parameter the connected camera supports (355 bytes). The flag at
/// code v (1..N) is 1 when the camera supports v; the flag at code 0 is 1 when the camera lists
/// no value at all for the parameter.
struct RemoteParamSupportType {
    std::uint8_t CompQuality[6] = {};
    std::uint8_t CompQualityPic2RAW[6] = {};
    std::uint8_t ImageSize[7] = {};
    std::uint8_t ImageSizePic2RAW[7] = {};
    std::uint8_t StrobeSetting[8] = {};
    std::uint8_t StrobeCompSetting[14] = {};
    std::uint8_t DriveMode[15] = {};
    std::uint8_t ImageMode[45] = {};
    std::uint8_t MLWeiMode[7] = {};
    std::uint8_t AFMode[5] = {};
    std::uint8_t VFAFMode[6] = {};
    std::uint8_t AFDistance[13] = {};
    std::uint8_t AFFocusingPoint[8] = {};
    std::uint8_t AFAssistLight[3] = {};
    std::uint8_t WhiteBalanceSetting[17] = {};
    std::uint8_t WhiteBalanceShift = 0;
    std::uint8_t PictureStyle = 0;
    std::uint8_t Contrast[4] = {};
    std::uint8_t ColorGain[4] = {};
    std::uint8_t Sharpness[4] = {};
    std::uint8_t ColorSpace[3] = {};
    std::uint8_t ISO[28] = {};
    std::uint8_t Av[41] = {};
    std::uint8_t Tv[60] = {};
    std::uint8_t ExposureCompensation[32] = {};
    std::uint8_t PhotoEffect[7] = {};
    std::uint8_t Beep[3] = {};

    /// The flags of \p kind's group (empty for a kind without a group).
    std::span<std::uint8_t> group(RemoteParamKind kind)
    {
        const SupportGroup &g = kSupportGroups[kind];
        return {reinterpret_cast<std::uint8_t *>(this) + g.Offset, g.Size};
    }
    std::span<const std::uint8_t> group(RemoteParamKind kind) const
    {
        const SupportGroup &g = kSupportGroups[kind];
        return {reinterpret_cast<const std::uint8_t *>(this) + g.Offset, g.Size};
    }
    /// Marks \p code of \p kind as supported. A code outside the kind's group is ignored, so a
    /// camera value the tables do not know never spills into a neighbouring group.
    void mark(RemoteParamKind kind, int code)
    {
        auto flags = group(kind);
        if (code >= 0 && static_cast<std::size_t>(code) < flags.size())
            flags[static_cast<std::size_t>(code)] = 1;
    }
};
static_assert(sizeof(RemoteParamSupportType) == 355);
static_assert(alignof(RemoteParamSupportType) == 1);

namespace detail {
constexpr bool supportGroupsContiguous()
{
    std::uint16_t next = 0;
    for (int k = 0; k < kRemoteParamKindCount; ++k) {
        if (kSupportGroups[k].Kind != k || kSupportGroups[k].Offset != next)
            return false;
        next = static_cast<std::uint16_t>(next + kSupportGroups[k].Size);
    }
    return next == sizeof(RemoteParamSupportType);
}
} // namespace detail
static_assert(detail::supportGroupsContiguous(), "support groups must tile the 355-byte record");
static_assert(offsetof(RemoteParamSupportType, CompQualityPic2RAW) == 6);
static_assert(offsetof(RemoteParamSupportType, DriveMode) == 48);
static_assert(offsetof(RemoteParamSupportType, ImageMode) == 63);
static_assert(offsetof(RemoteParamSupportType, VFAFMode) == 120);
static_assert(offsetof(RemoteParamSupportType, WhiteBalanceSetting) == 150);
static_assert(offsetof(RemoteParamSupportType, WhiteBalanceShift) == 167);
static_assert(offsetof(RemoteParamSupportType, PictureStyle) == 168);
static_assert(offsetof(RemoteParamSupportType, Contrast) == 169);
static_assert(offsetof(RemoteParamSupportType, ISO) == 184);
static_assert(offsetof(RemoteParamSupportType, Av) == 212);
static_assert(offsetof(RemoteParamSupportType, Tv) == 253);
static_assert(offsetof(RemoteParamSupportType, ExposureCompensation) == 313);
static_assert(offsetof(RemoteParamSupportType, PhotoEffect) == 345);
static_assert(offsetof(RemoteParamSupportType, Beep) == 352);

/// Out record of RemoteStart (361 bytes).
struct RemoteStartInfoType {
    std::uint8_t DoSupportZoom = 0;
    std::uint8_t DoSupportPowerZoom = 0;
    std::uint8_t DoSupportShootingPara = 0;
    std::uint8_t DoSupportViewfinder = 0;
    std::uint8_t ReqViewfinderOffWhenShooting = 0;
    std::uint8_t DoSupportAfLockUnlock = 0;
    RemoteParamSupportType ParamSupport;
};
static_assert(sizeof(RemoteStartInfoType) == 361);
static_assert(offsetof(RemoteStartInfoType, ParamSupport) == 6);

struct ZoomPosType {
    std::int32_t CurrentZoomPos = 0;
    std::int32_t MaxOpticalZoomPos = 0;
    std::int32_t MaxZoomPos = 0;
};
static_assert(sizeof(ZoomPosType) == 12);

struct AFFocusFrameType {
    std::uint8_t Valid = 0;
    std::uint8_t Selected = 0;
    std::uint8_t JustFocus = 0;
    std::int32_t RectPointX = 0;
    std::int32_t RectPointY = 0;
    std::int32_t RectWidth = 0;
    std::int32_t RectHeight = 0;
};
static_assert(sizeof(AFFocusFrameType) == 20);
static_assert(offsetof(AFFocusFrameType, RectPointX) == 4);

inline constexpr int kAFFocusFrameCount = 600;

struct AFFocusInfoType {
    std::int32_t PictureSizeWidth = 0;
    std::int32_t PictureSizeHeight = 0;
    std::int32_t NrOfFrames = 0;
    AFFocusFrameType Frames[kAFFocusFrameCount];
};
static_assert(offsetof(AFFocusInfoType, Frames) == 12);
static_assert(sizeof(AFFocusInfoType) == 12 + 20 * 600);

using StringList = std::vector<std::string>;

/// The engine's name lists after an enumeration. They belong to the engine and stay valid until
/// the enumeration is closed; callers read them and never free them.
struct EnumerationListsType {
    const StringList *PowerShot = nullptr; ///< legacy cameras first, then PTP cameras
    const StringList *EOS = nullptr;
    const StringList *PowerShotGen2 = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Event method types of the engine. They are invoked only on the thread that owns the engine
// (with one exception the host opts into: PTP viewfinder frames on the SDK's thread).
// ---------------------------------------------------------------------------------------------

using TNotifyCameraEvent = std::function<void(EventCallbackType Event)>;
/// \p Jpegdata holds one JPEG frame and is valid during the call only.
using TNotifyViewfinderEvent =
    std::function<void(std::span<const std::uint8_t> Jpegdata, const ViewfinderPositionType &Metadata)>;
using TNotifyRemoteEvent =
    std::function<void(RemoteEventCallbackType Event, const AdditionNotifyRemoteEventType &EventData)>;
using TNotifyRemoteTakePictureEvent = std::function<void(int PercentageDone)>;
using TNotifyRemoteGetPictureEvent = std::function<void(int PercentageDone)>;
using TNotifyRemoteGetMovieEvent = std::function<void(int PercentageDone)>;
using TNotifyGetPictureEvent = std::function<void(int PercentageDone)>;
using TNotifyRemoteProbeParamEvent = std::function<void(int PercentageDone)>;
using TNotifyRawDevelopEvent = std::function<void(int PercentageDone)>;

} // namespace tbx
