// Conversion tables and fixed data of the legacy PowerShot driver (TCDSDK): the library's values
// of each shooting parameter against the driver-neutral codes of RemoteParamsType, the release
// data kinds, the battery word and the steps of the probe of supported values.
#pragma once

#include "drivers/common/CodeTable.h"
#include "engine/CamDefines.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

namespace tbx::cdsdk {

using drivers::CodeRow;
using drivers::oneToOne;

/// One parameter's pair of conversions. Reading gives the row's code for a library value and 0
/// for any value not listed; writing looks the code up (its low seven bits, or the whole code
/// where the table says so) and gives the fallback for a code not listed.
struct CdConversion {
    std::span<const CodeRow> rows;
    std::int32_t fallback;
    /// The whole code is looked up when writing, not its low seven bits.
    bool wholeCode = false;
    /// Only these bits of a library value are looked up when reading.
    std::uint32_t valueMask = 0xFFFFFFFFu;

    constexpr std::uint8_t code(std::uint32_t value) const
    {
        const auto key = static_cast<std::int64_t>(value & valueMask);
        for (const CodeRow &row : rows)
            if (row.camera == key)
                return row.code;
        return 0;
    }
    constexpr std::int32_t value(int code) const
    {
        const int key = wholeCode ? code : (code & 0x7F);
        for (const CodeRow &row : rows)
            if (row.code == key)
                return row.camera;
        return fallback;
    }
    /// True when \p code has a library value of its own (not the fallback).
    constexpr bool hasValue(int code) const
    {
        const int key = wholeCode ? code : (code & 0x7F);
        for (const CodeRow &row : rows)
            if (row.code == key)
                return true;
        return false;
    }
};

inline constexpr CodeRow kCompQualities[] = {{1, 1}, {2, 2}, {3, 3}, {4, 5}, {5, 4}};
static_assert(oneToOne(kCompQualities));

inline constexpr CodeRow kImageSizes[] = {{0, 1}, {1, 2}, {2, 3}, {5, 4}, {6, 5}, {7, 6}};
static_assert(oneToOne(kImageSizes));

/// Shooting modes: the program, manual and scene modes, then the library's special scenes from
/// 101 on.
inline constexpr CodeRow kShootingModes[] = {
    {0, 1},    {1, 16},   {2, 17},   {3, 18},   {4, 2},    {5, 19},   {6, 20},   {7, 21},   {101, 22},
    {102, 3},  {103, 4},  {104, 5},  {105, 6},  {106, 7},  {107, 8},  {108, 9},  {109, 10}, {110, 11},
    {111, 12}, {112, 13}, {113, 14}, {114, 15}, {115, 23}, {116, 24}, {117, 25}, {118, 26}, {119, 27},
    {120, 28}, {121, 29}, {122, 30}, {123, 31}, {124, 32}, {125, 33}, {126, 34}, {127, 35}, {128, 36},
};
static_assert(oneToOne(kShootingModes));

/// Exposure compensation in third stops from -2 (8) to +2 (40).
inline constexpr CodeRow kExposureCompensations[] = {
    {8, 10},  {11, 11}, {13, 12}, {16, 13}, {19, 14}, {21, 15}, {24, 16},
    {27, 17}, {29, 18}, {32, 19}, {35, 20}, {37, 21}, {40, 22},
};
static_assert(oneToOne(kExposureCompensations));

/// White balance; code 13 is the colour temperature, set through the release-camera setting
/// 0x1100.
inline constexpr CodeRow kWhiteBalances[] = {
    {0, 1},  {1, 2},   {2, 3},  {3, 4},  {4, 5},  {5, 6},   {14, 7},  {6, 8},
    {15, 9}, {16, 10}, {7, 11}, {8, 12}, {9, 13}, {10, 14}, {11, 15}, {12, 16},
};
static_assert(oneToOne(kWhiteBalances));
inline constexpr std::uint8_t kWhiteBalanceKelvinCode = 13;

inline constexpr CodeRow kAFDistances[] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 12},
};
static_assert(oneToOne(kAFDistances));

inline constexpr CodeRow kFlashModes[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}};
static_assert(oneToOne(kFlashModes));

/// Flash compensation in third stops from -2 (8) to +2 (40).
inline constexpr CodeRow kFlashCompensations[] = {
    {8, 1},  {11, 2}, {13, 3},  {16, 4},  {19, 5},  {21, 6},  {24, 7},
    {27, 8}, {29, 9}, {32, 10}, {35, 11}, {37, 12}, {40, 13},
};
static_assert(oneToOne(kFlashCompensations));

inline constexpr CodeRow kMeteringModes[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
static_assert(oneToOne(kMeteringModes));

/// ISO speed by the low byte of the setting: auto, then 50 (64) to 3200 (112) in third stops.
inline constexpr CodeRow kISOSpeeds[] = {
    {0, 1},   {64, 2},  {67, 3},  {69, 4},  {72, 5},  {75, 6},   {77, 7},   {80, 8},   {83, 9},   {85, 10},
    {88, 11}, {91, 12}, {93, 13}, {96, 14}, {99, 15}, {101, 16}, {104, 17}, {107, 18}, {109, 19}, {112, 20},
};
static_assert(oneToOne(kISOSpeeds));

/// Contrast and colour gain: low (255), normal (0), high (1).
inline constexpr CodeRow kLowNormalHigh[] = {{255, 1}, {0, 2}, {1, 3}};
static_assert(oneToOne(kLowNormalHigh));

/// Sharpness: the library counts the other way round.
inline constexpr CodeRow kSharpnesses[] = {{1, 1}, {0, 2}, {255, 3}};
static_assert(oneToOne(kSharpnesses));

/// Photo effects: off, then vivid, neutral, low sharpening and sepia; code 2 has no value.
inline constexpr CodeRow kPhotoEffects[] = {{0, 1}, {1, 3}, {2, 4}, {3, 5}, {4, 6}};
static_assert(oneToOne(kPhotoEffects));

inline constexpr CodeRow kBeeps[] = {{0, 2}, {1, 1}};
static_assert(oneToOne(kBeeps));

inline constexpr CdConversion kCompQuality{kCompQualities, 0xFFFF};
inline constexpr CdConversion kImageSize{kImageSizes, 0x0FFF};
inline constexpr CdConversion kImageMode{kShootingModes, 0x0FFF};
inline constexpr CdConversion kExposureCompensation{kExposureCompensations, 255};
inline constexpr CdConversion kWhiteBalance{kWhiteBalances, 0x7FFF};
inline constexpr CdConversion kAFDistance{kAFDistances, 255};
inline constexpr CdConversion kStrobe{kFlashModes, 255};
inline constexpr CdConversion kStrobeComp{kFlashCompensations, 255};
inline constexpr CdConversion kMLWeiMode{kMeteringModes, 255};
inline constexpr CdConversion kISO{kISOSpeeds, 255, false, 0xFF};
inline constexpr CdConversion kContrast{kLowNormalHigh, 127, true};
inline constexpr CdConversion kColorGain{kLowNormalHigh, 127, true};
inline constexpr CdConversion kSharpness{kSharpnesses, 127, true};
inline constexpr CdConversion kPhotoEffect{kPhotoEffects, 0xFFFF};
inline constexpr CdConversion kBeep{kBeeps, 255, true};

/// The library value that leaves the flash mode or the flash compensation unchanged.
inline constexpr std::uint16_t kFlashUnchanged = 255;

// ---------------------------------------------------------------------------------------------
// Release-camera settings
// ---------------------------------------------------------------------------------------------

/// A shooting parameter the library keeps as a release-camera setting.
struct RelCamSetting {
    RemoteParamKind kind;
    std::uint32_t id;
    std::uint32_t size; ///< bytes of the value
    const CdConversion *conversion;
    std::uint8_t RemoteParamsType::*field;
    int highestTry; ///< the codes 1.. tried when the setting's values cannot be listed
};

/// In the order the driver reads, writes and probes them.
inline constexpr RelCamSetting kRelCamSettings[] = {
    {RemoteParamMLWeiMode, 0x08000004, 1, &kMLWeiMode, &RemoteParamsType::MLWeiMode, 6},
    {RemoteParamISO, 0x0800000C, 2, &kISO, &RemoteParamsType::ISO, 27},
    {RemoteParamContrast, 0x08000008, 1, &kContrast, &RemoteParamsType::Contrast, 3},
    {RemoteParamColorGain, 0x08000009, 1, &kColorGain, &RemoteParamsType::ColorGain, 3},
    {RemoteParamSharpness, 0x0800000A, 1, &kSharpness, &RemoteParamsType::Sharpness, 3},
    {RemoteParamPhotoEffect, 0x08000B00, 2, &kPhotoEffect, &RemoteParamsType::PhotoEffect, 6},
    {RemoteParamBeep, 0x08000002, 1, &kBeep, &RemoteParamsType::Beep, 2},
};

/// The colour temperature of white balance code 13 (2 bytes, Kelvin).
inline constexpr std::uint32_t kWhiteBalanceKelvinSetting = 0x1100;

// ---------------------------------------------------------------------------------------------
// Release data kinds, device properties, battery
// ---------------------------------------------------------------------------------------------

/// The library's release data kind for a release mode and a data kind: thumbnail (1), picture
/// (2) or both, to the PC, to the camera, or to both; 0 for anything else.
constexpr std::uint16_t releaseDataKind(int mode, int kind)
{
    constexpr std::uint16_t kKinds[3][3] = {
        {1, 2, 3},   // ReleaseModeOnlyToPC
        {5, 10, 15}, // ReleaseModeBothPCAndCamera
        {4, 8, 12},  // ReleaseModeOnlyToCamera
    };
    if (mode < 0 || mode > 2 || kind < 0 || kind > 2)
        return 0;
    return kKinds[mode][kind];
}

inline constexpr std::uint32_t kPropOwnerName = 0x0800000C;
inline constexpr std::uint32_t kPropCameraTime = 0x0800000D;
inline constexpr std::uint32_t kPropBattery = 0x0000000F;
/// The longest owner name the camera keeps (characters, without the terminator).
inline constexpr std::size_t kOwnerNameMax = 32;

/// The battery word of a camera: the power source in its top four bits (1 AC to 5
/// alkaline-manganese), the charge in its low four bits.
struct Battery {
    std::uint8_t source;
    std::uint8_t status;
};
constexpr Battery batteryOf(std::uint32_t word)
{
    const unsigned source = word >> 28;
    const unsigned charge = word & 0xF;
    const std::uint8_t status = charge == 6 ? 1 : charge == 4 ? 2 : charge == 3 ? 3 : 0;
    return {static_cast<std::uint8_t>(source >= 1 && source <= 5 ? source : 0), status};
}

/// Faculty bits of the release control.
inline constexpr std::uint32_t kFacultyRemoteRelease = 0x40000000;
inline constexpr std::uint32_t kFacultyZoom = 0x01;
inline constexpr std::uint32_t kFacultyShootingParams = 0x02;
inline constexpr std::uint32_t kFacultyViewfinder = 0x04;
inline constexpr std::uint32_t kFacultyViewfinderOffWhenShooting = 0x08;
inline constexpr std::uint32_t kFacultyAFLock = 0x10;

/// The library's viewfinder output for the host's choice (0 LCD, 1 video, 2 off); 0 for a choice
/// the library has no output for.
constexpr std::uint32_t viewfinderOutput(std::uint8_t choice) { return choice <= 2 ? choice + 1u : 0u; }

// ---------------------------------------------------------------------------------------------
// The probe of supported values
// ---------------------------------------------------------------------------------------------

/// The probe's seventeen steps: progress is step × 100 / 17, rounded.
inline constexpr int kProbeSteps = 17;
constexpr int probePercent(int step)
{
    return static_cast<int>(step * 100 / kProbeSteps + (step * 100 % kProbeSteps * 2 >= kProbeSteps ? 1 : 0));
}

/// The parameter groups of the probe, in probing order.
enum class ProbeGroup {
    ImageFormat,
    ShootingMode,
    Av,
    Tv,
    ExposureCompensation,
    WhiteBalance,
    AFDistance,
    Flash,
    MLWeiMode,
    ISO,
    Contrast,
    ColorGain,
    Sharpness,
    PhotoEffect,
    Beep,
};
inline constexpr int kProbeGroupCount = 15;

/// The step each group's progress report reaches, 0 for none: the saved parameters are step 1,
/// image format and flash take two steps, and the last group shares the last step with the
/// closing marks, which report it.
inline constexpr std::array<int, kProbeGroupCount> kProbeGroupSteps = {
    3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 0,
};

/// Every percentage a full probe reports, in order.
constexpr std::array<int, kProbeGroupCount + 1> probeProgressValues()
{
    std::array<int, kProbeGroupCount + 1> values{};
    std::size_t n = 0;
    values[n++] = probePercent(1);
    for (int step : kProbeGroupSteps)
        if (step != 0)
            values[n++] = probePercent(step);
    values[n] = probePercent(kProbeSteps);
    return values;
}

} // namespace tbx::cdsdk
