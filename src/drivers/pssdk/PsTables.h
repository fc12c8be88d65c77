// Conversion tables of the PowerShot generation-2 driver (see drivers/common/CodeTable.h and
// docs/powershot-g2-parameters.md). The generation-2 library reports the EOS library's property
// values, so every row is a row of the EOS driver's table of the same name; a table holds only
// what a generation-2 compact camera offers, and anything else it reports reads as 0 (no value).
#pragma once

#include "drivers/common/CodeTable.h"

namespace tbx::pssdk {

using drivers::CodeRow;
using drivers::oneToOne;

/// Exposure mode (property 0x400): P, Tv, Av, M, the two automatic modes, the hand-held night
/// scene, the scene position of the dial and portrait. No bulb, A-DEP or DEP.
inline constexpr CodeRow kExposureModes[] = {
    {0, 16}, {1, 17}, {2, 18}, {3, 2}, {9, 1}, {12, 9}, {22, 38}, {23, 6}, {25, 41},
};
static_assert(oneToOne(kExposureModes));

/// Exposure compensation (property 0x407) in third stops, +/-3 stops.
inline constexpr CodeRow kExposureCompensations[] = {
    {0, 16},   {3, 15},   {5, 14},   {8, 13},   {11, 12},  {13, 11},  {16, 10},
    {19, 9},   {21, 8},   {24, 7},   {232, 25}, {235, 24}, {237, 23}, {240, 22},
    {243, 21}, {245, 20}, {248, 19}, {251, 18}, {253, 17},
};
static_assert(oneToOne(kExposureCompensations));

/// White balance (property 0x106): auto, daylight, cloudy, tungsten, fluorescent, custom and the
/// colour temperature (code 13). No flash, shade or PC settings.
inline constexpr CodeRow kWhiteBalances[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {6, 7}, {9, 13}};
static_assert(oneToOne(kWhiteBalances));

/// AF mode (property 0x404): one-shot, servo and manual focus.
inline constexpr CodeRow kAFModes[] = {{0, 1}, {1, 2}, {3, 4}};
static_assert(oneToOne(kAFModes));

/// Drive mode (property 0x401): single, continuous, the 10 s and 2 s self-timers and the
/// self-timer with a burst.
inline constexpr CodeRow kDriveModes[] = {{0, 1}, {1, 2}, {7, 9}, {16, 6}, {17, 7}};
static_assert(oneToOne(kDriveModes));

/// Metering mode (property 0x403): spot, evaluative and centre-weighted; no partial metering.
inline constexpr CodeRow kMeteringModes[] = {{1, 2}, {3, 4}, {5, 6}};
static_assert(oneToOne(kMeteringModes));

/// Colour space (property 0x10D): sRGB only.
inline constexpr CodeRow kColorSpaces[] = {{1, 1}};
static_assert(oneToOne(kColorSpaces));

/// ISO speed (property 0x402): auto and 125 to 12800 where the shared scale has a code (the
/// camera's 4000, 5000, 8000 and 10000 have none and read as 0).
inline constexpr CodeRow kISOSpeeds[] = {
    {0, 1},    {75, 6},   {77, 7},   {80, 8},   {83, 9},   {85, 10},  {88, 11},  {91, 12},
    {93, 13},  {96, 14},  {99, 15},  {101, 16}, {104, 17}, {107, 18}, {109, 19}, {112, 20},
    {120, 21}, {128, 22},
};
static_assert(oneToOne(kISOSpeeds));

/// Image size nibble of the image quality (property 0x100): large, medium 1, medium 2, small.
inline constexpr CodeRow kImageSizes[] = {{0, 1}, {5, 4}, {6, 5}, {2, 3}};
static_assert(oneToOne(kImageSizes));

/// Compression nibble of the image quality: normal, fine and RAW (code 5).
inline constexpr CodeRow kCompressions[] = {{2, 2}, {3, 3}, {4, 5}};
static_assert(oneToOne(kCompressions));

} // namespace tbx::pssdk
