// Tables of the PTP PowerShot driver: the device properties behind the shooting parameters with
// their conversions (see drivers/common/CodeTable.h), the capture transfer setting of RemoteStart
// and the steps of the probe of supported values.
#pragma once

#include "drivers/common/CodeTable.h"
#include "engine/CamDefines.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tbx::prsdk {

using drivers::CodeRow;
using drivers::oneToOne;

// ---------------------------------------------------------------------------------------------
// Conversions: camera value -> code
// ---------------------------------------------------------------------------------------------

/// Compression (0xD006); the 0xD007 value 2 stands for code 5 (see kCompQualityRawCode).
inline constexpr CodeRow kCompQualities[] = {{1, 1}, {2, 2}, {3, 3}, {4, 5}, {5, 4}};
inline constexpr CodeRow kImageSizes[] = {{0, 1}, {1, 4}, {2, 3}, {3, 5}, {7, 6}};
inline constexpr CodeRow kStrobeSettings[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}};
/// Flash and exposure compensation share the camera's third-stop scale.
inline constexpr CodeRow kStrobeCompSettings[] = {
    {8, 1},  {11, 2}, {13, 3},  {16, 4},  {19, 5},  {21, 6},  {24, 7},
    {27, 8}, {29, 9}, {32, 10}, {35, 11}, {37, 12}, {40, 13},
};
/// Drive mode (0xD00E); the camera value 2 is the self-timer, told apart by 0xD009.
inline constexpr CodeRow kDriveModes[] = {{0, 1}, {1, 2}, {4, 5}, {5, 4}};
/// Self-timer delay (0xD009) of drive-mode value 2.
inline constexpr CodeRow kSelfTimers[] = {{100, 6}, {20, 7}};
inline constexpr CodeRow kImageModes[] = {
    {0, 1},    {1, 16},   {2, 17},   {3, 18},   {4, 2},    {5, 19},   {6, 20},   {7, 21},   {128, 22},
    {129, 35}, {130, 9},  {132, 6},  {133, 26}, {134, 31}, {135, 29}, {136, 28}, {138, 33}, {140, 36},
    {143, 34}, {144, 24}, {145, 30}, {146, 32}, {147, 4},  {148, 5},  {151, 15}, {152, 7},  {153, 8},
    {154, 14}, {155, 10}, {156, 11}, {157, 25}, {158, 13}, {159, 12}, {160, 23},
};
inline constexpr CodeRow kMeteringModes[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
inline constexpr CodeRow kAFDistances[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}};
inline constexpr CodeRow kAFFocusingPoints[] = {
    {0x1000, 1}, {0x1001, 2}, {0x3000, 3}, {0x3001, 4}, {0x3002, 5}, {0x3003, 6}, {0x3004, 7},
};
inline constexpr CodeRow kOnOff[] = {{0, 2}, {1, 1}};
/// White balance: two camera values read as code 7; writing 7 gives the first.
inline constexpr CodeRow kWhiteBalances[] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {7, 7}, {14, 7}, {10, 8}, {11, 9}, {12, 10},
};
/// Contrast, colour gain and sharpness: low, normal, high.
inline constexpr CodeRow kLevels[] = {{255, 1}, {0, 2}, {1, 3}};
inline constexpr CodeRow kISOSpeeds[] = {
    {0, 1},   {64, 2},  {67, 3},  {69, 4},  {72, 5},  {75, 6},   {77, 7},   {80, 8},   {83, 9},   {85, 10},
    {88, 11}, {91, 12}, {93, 13}, {96, 14}, {99, 15}, {101, 16}, {104, 17}, {107, 18}, {109, 19}, {112, 20},
};
inline constexpr CodeRow kExposureCompensations[] = {
    {8, 10},  {11, 11}, {13, 12}, {16, 13}, {19, 14}, {21, 15}, {24, 16},
    {27, 17}, {29, 18}, {32, 19}, {35, 20}, {37, 21}, {40, 22},
};
inline constexpr CodeRow kPhotoEffects[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};

static_assert(oneToOne(kCompQualities) && oneToOne(kImageSizes) && oneToOne(kStrobeSettings) &&
              oneToOne(kStrobeCompSettings) && oneToOne(kDriveModes) && oneToOne(kSelfTimers) &&
              oneToOne(kImageModes) && oneToOne(kMeteringModes) && oneToOne(kAFDistances) &&
              oneToOne(kAFFocusingPoints) && oneToOne(kOnOff) && oneToOne(kLevels) && oneToOne(kISOSpeeds) &&
              oneToOne(kExposureCompensations) && oneToOne(kPhotoEffects));

/// The code that 0xD007 = 2 stands for.
inline constexpr std::uint8_t kCompQualityRawCode = 5;
/// Drive-mode value of the self-timer, and the codes of its two delays.
inline constexpr std::int32_t kSelfTimerDriveValue = 2;
inline constexpr std::uint8_t kSelfTimerCodes[] = {6, 7};

// ---------------------------------------------------------------------------------------------
// Device properties
// ---------------------------------------------------------------------------------------------

inline constexpr std::uint16_t kPropBattery = 0xD002;
inline constexpr std::uint16_t kPropBatteryStatus = 0xD003;
inline constexpr std::uint16_t kPropCompQuality = 0xD006;
inline constexpr std::uint16_t kPropRawQuality = 0xD007;
inline constexpr std::uint16_t kPropSelfTimer = 0xD009;
inline constexpr std::uint16_t kPropImageMode = 0xD00C;
inline constexpr std::uint16_t kPropDriveMode = 0xD00E;
inline constexpr std::uint16_t kPropAv = 0xD01D;
inline constexpr std::uint16_t kPropTv = 0xD01E;
inline constexpr std::uint16_t kPropCaptureTransfer = 0xD029;
inline constexpr std::uint16_t kPropZoomPos = 0xD02A;
inline constexpr std::uint16_t kPropOwnerName = 0xD033;
inline constexpr std::uint16_t kPropTime = 0xD034;
inline constexpr std::uint16_t kPropViewfinderOutput = 0xD036;
inline constexpr std::uint16_t kPropOpticalZoomLimit = 0xD03D;

inline constexpr std::uint16_t kOpZoom = 0x9008;
inline constexpr std::uint16_t kOpViewfinder = 0x900B;
inline constexpr std::uint16_t kOpAFLock = 0x9014;

/// ImageMode camera values RemoteStart and the probe switch to: code 16 (the driver's resting
/// mode) and code 2 (the mode in which Av and Tv are listed).
inline constexpr std::int32_t kImageModeRest = 1;
inline constexpr std::int32_t kImageModeFull = 4;

/// How a property's value converts.
enum class Conversion : std::uint8_t {
    Table, ///< the rows; writing an unknown code gives the fallback
    Av,    ///< the shared aperture scale
    Tv,    ///< the shared shutter-speed scale
};

/// One shooting parameter and the device property behind it. Its capability flag is its
/// position in kProperties plus kFirstPropertyCapability.
struct PrProperty {
    std::uint16_t code;
    std::uint8_t size; ///< value bytes, little-endian
    RemoteParamKind kind;
    std::uint8_t RemoteParamsType::*field;
    Conversion conversion;
    std::span<const CodeRow> rows;
    std::int32_t fallback;
    bool lowSevenBits; ///< writing looks up the code modulo 128
};

inline constexpr PrProperty kProperties[] = {
    {kPropCompQuality, 1, RemoteParamCompQuality, &RemoteParamsType::CompQuality, Conversion::Table, kCompQualities,
     255, true},
    {0xD008, 1, RemoteParamImageSize, &RemoteParamsType::ImageSize, Conversion::Table, kImageSizes, 255, true},
    {0xD00A, 1, RemoteParamStrobeSetting, &RemoteParamsType::StrobeSetting, Conversion::Table, kStrobeSettings, 255,
     true},
    {0xD020, 1, RemoteParamStrobeCompSetting, &RemoteParamsType::StrobeCompSetting, Conversion::Table,
     kStrobeCompSettings, 255, true},
    {kPropImageMode, 1, RemoteParamImageMode, &RemoteParamsType::ImageMode, Conversion::Table, kImageModes, 255, true},
    {kPropDriveMode, 1, RemoteParamDriveMode, &RemoteParamsType::DriveMode, Conversion::Table, kDriveModes, 255, true},
    {0xD010, 1, RemoteParamMLWeiMode, &RemoteParamsType::MLWeiMode, Conversion::Table, kMeteringModes, 255, true},
    {0xD011, 1, RemoteParamAFDistance, &RemoteParamsType::AFDistance, Conversion::Table, kAFDistances, 255, true},
    {0xD012, 2, RemoteParamAFFocusingPoint, &RemoteParamsType::AFFocusingPoint, Conversion::Table, kAFFocusingPoints, 0,
     true},
    {0xD041, 2, RemoteParamAFAssistLight, &RemoteParamsType::AFAssistLight, Conversion::Table, kOnOff, 0, false},
    {0xD013, 1, RemoteParamWhiteBalanceSetting, &RemoteParamsType::WhiteBalanceSetting, Conversion::Table,
     kWhiteBalances, 255, true},
    {0xD017, 1, RemoteParamContrast, &RemoteParamsType::Contrast, Conversion::Table, kLevels, 127, false},
    {0xD018, 1, RemoteParamColorGain, &RemoteParamsType::ColorGain, Conversion::Table, kLevels, 127, false},
    {0xD019, 1, RemoteParamSharpness, &RemoteParamsType::Sharpness, Conversion::Table, kLevels, 127, false},
    {0xD01C, 2, RemoteParamISO, &RemoteParamsType::ISO, Conversion::Table, kISOSpeeds, 255, true},
    {kPropAv, 2, RemoteParamAv, &RemoteParamsType::Av, Conversion::Av, {}, 0xFFFF, false},
    {kPropTv, 2, RemoteParamTv, &RemoteParamsType::Tv, Conversion::Tv, {}, 0xFFFF, false},
    {0xD01F, 1, RemoteParamExposureCompensation, &RemoteParamsType::ExposureCompensation, Conversion::Table,
     kExposureCompensations, 255, true},
    {0xD040, 2, RemoteParamPhotoEffect, &RemoteParamsType::PhotoEffect, Conversion::Table, kPhotoEffects, 255, true},
    {0xD00B, 1, RemoteParamBeep, &RemoteParamsType::Beep, Conversion::Table, kOnOff, 255, false},
};

/// The driver's capability flags: three operations and the zoom property, then one per entry of
/// kProperties (0xD006 stands for 0xD007 too).
enum PrCapability : int {
    CapZoom,       ///< operation 0x9008
    CapViewfinder, ///< operation 0x900B
    CapZoomPos,    ///< property 0xD02A listed
    CapAFLock,     ///< operation 0x9014
    kFirstPropertyCapability,
    kCapabilityCount = kFirstPropertyCapability + static_cast<int>(std::size(kProperties)),
};
static_assert(kCapabilityCount == 24);

/// The entry of kProperties for \p code (0xD007 gives the entry of 0xD006); null for others.
constexpr const PrProperty *findProperty(std::uint16_t code)
{
    if (code == kPropRawQuality)
        code = kPropCompQuality;
    for (const PrProperty &property : kProperties)
        if (property.code == code)
            return &property;
    return nullptr;
}

constexpr int capabilityOf(const PrProperty &property)
{
    return kFirstPropertyCapability + static_cast<int>(&property - kProperties);
}

/// The driver-neutral code of a camera value of \p property (0 for a value it does not know).
std::uint8_t codeOfValue(const PrProperty &property, std::uint64_t value);
/// The camera value to write for \p code of \p property (the fallback for a code it does not
/// know).
std::uint32_t valueOfCode(const PrProperty &property, std::uint8_t code);

// ---------------------------------------------------------------------------------------------
// RemoteStart
// ---------------------------------------------------------------------------------------------

/// The capture transfer setting (0xD029) for a release mode and data kind: the camera keeps the
/// picture or sends it to the PC. Empty for release to both, which these cameras cannot do.
constexpr std::optional<std::uint16_t> captureTransferSetting(ReleaseModeType mode, ReleaseDataKindType kind)
{
    constexpr std::uint16_t toPC[] = {1, 2, 3};
    constexpr std::uint16_t toCamera[] = {4, 8, 12};
    if (kind > ReleaseDataKingTakeBothThumbAndPic)
        return std::nullopt;
    switch (mode) {
    case ReleaseModeOnlyToPC: return toPC[kind];
    case ReleaseModeOnlyToCamera: return toCamera[kind];
    default: return std::nullopt;
    }
}

/// One step of the probe: the property whose description is read, and the ImageMode camera
/// value to switch to after it (-1: none). Progress follows each step, after the switch where
/// there is one.
struct ProbeStep {
    std::uint16_t property;
    std::int32_t imageModeAfter = -1;
};

/// Av and Tv are listed only in the full mode, so the probe switches to it for them and back.
inline constexpr ProbeStep kProbeSteps[] = {
    {0xD008},
    {kPropCompQuality},
    {kPropImageMode, kImageModeFull},
    {kPropAv},
    {kPropTv, kImageModeRest},
    {0xD01F},
    {0xD013},
    {0xD011},
    {0xD012},
    {0xD041},
    {0xD00A},
    {0xD020},
    {kPropDriveMode},
    {0xD010},
    {0xD01C},
    {0xD017},
    {0xD018},
    {0xD019},
    {0xD040},
    {0xD00B},
};
/// Progress is reported once before the first step and once after each.
inline constexpr int kProbeReports = static_cast<int>(std::size(kProbeSteps)) + 1;

/// The percentage reported at report \p n (1-based) of the probe: n * 100 / 21 rounded, halves
/// to even.
int probeProgress(int n);

} // namespace tbx::prsdk
