// Conversion tables of the EOS driver (see drivers/common/CodeTable.h).
#pragma once

#include "drivers/common/CodeTable.h"

#include <cstdint>

namespace tbx::eos {

using drivers::cameraOf;
using drivers::codeOf;
using drivers::CodeRow;
using drivers::lookup;
using drivers::oneToOne;

/// Exposure mode (property 0x400); writing an unknown code gives -1, which is not written.
inline constexpr CodeRow kExposureModes[] = {
    {0, 16}, {1, 17},  {2, 18},  {3, 2},   {4, 21},  {5, 19},  {6, 20},  {9, 1},
    {10, 39}, {11, 4}, {12, 9},  {13, 3},  {14, 11}, {15, 23}, {19, 37}, {21, 36},
    {22, 38}, {23, 6}, {24, 40}, {25, 41}, {26, 42}, {27, 43}, {28, 44},
};
static_assert(oneToOne(kExposureModes));

/// Exposure compensation (property 0x407) in third stops; 255 means no value.
inline constexpr CodeRow kExposureCompensations[] = {
    {0, 16},   {3, 15},   {5, 14},   {8, 13},   {11, 12},  {13, 11},  {16, 10},  {19, 9},
    {21, 8},   {24, 7},   {27, 6},   {29, 5},   {32, 4},   {35, 3},   {37, 2},   {40, 1},
    {216, 31}, {219, 30}, {221, 29}, {224, 28}, {227, 27}, {229, 26}, {232, 25}, {235, 24},
    {237, 23}, {240, 22}, {243, 21}, {245, 20}, {248, 19}, {251, 18}, {253, 17},
};
static_assert(oneToOne(kExposureCompensations));

/// White balance (property 0x106); -10 means no value. Code 13 is the colour temperature.
inline constexpr CodeRow kWhiteBalances[] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {8, 12}, {9, 13}, {10, 14}, {11, 15}, {12, 16},
};
static_assert(oneToOne(kWhiteBalances));
inline constexpr std::uint8_t kWhiteBalanceKelvinCode = 13;

/// AF mode (property 0x404); an unknown code writes -1.
inline constexpr CodeRow kAFModes[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}};
static_assert(oneToOne(kAFModes));

/// Drive mode (property 0x401); an unknown code writes 0.
inline constexpr CodeRow kDriveModes[] = {
    {0, 1}, {1, 2},  {2, 3},  {4, 4},  {5, 5},  {6, 8},  {7, 9},
    {16, 6}, {17, 7}, {18, 10}, {19, 11}, {20, 12}, {21, 13}, {22, 14},
};
static_assert(oneToOne(kDriveModes));

/// Metering mode (property 0x403); -1 means no value.
inline constexpr CodeRow kMeteringModes[] = {{1, 2}, {3, 4}, {4, 5}, {5, 6}};
static_assert(oneToOne(kMeteringModes));

/// Colour space (property 0x10D); -1 means no value.
inline constexpr CodeRow kColorSpaces[] = {{1, 1}, {2, 2}};
static_assert(oneToOne(kColorSpaces));

/// ISO speed (property 0x402); 255 means no value.
inline constexpr CodeRow kISOSpeeds[] = {
    {0, 1},    {64, 2},   {67, 3},   {69, 4},   {72, 5},   {75, 6},   {77, 7},
    {80, 8},   {83, 9},   {85, 10},  {88, 11},  {91, 12},  {93, 13},  {96, 14},
    {99, 15},  {101, 16}, {104, 17}, {107, 18}, {109, 19}, {112, 20}, {120, 21},
    {128, 22}, {136, 23}, {144, 24}, {152, 25}, {160, 26}, {168, 27},
};
static_assert(oneToOne(kISOSpeeds));

/// Picture style (property 0x114); an unknown code writes 129.
inline constexpr CodeRow kPictureStyles[] = {
    {130, 1}, {131, 2}, {132, 3}, {133, 4}, {134, 5}, {33, 6}, {34, 7},
    {35, 8},  {65, 9},  {66, 10}, {67, 11}, {135, 12}, {136, 13},
};
static_assert(oneToOne(kPictureStyles));

/// Image size nibble of the image quality (property 0x100).
inline constexpr CodeRow kImageSizes[] = {{0, 1}, {1, 2}, {2, 3}, {5, 4}, {6, 5}};
static_assert(oneToOne(kImageSizes));

/// Compression nibble of the image quality; code 5 stands for RAW.
inline constexpr CodeRow kCompressions[] = {{2, 2}, {3, 3}, {4, 5}, {5, 4}};
static_assert(oneToOne(kCompressions));
inline constexpr std::uint8_t kCompQualityRAW = 5;

/// Live-view AF mode (property 0x50E), camera value to the host's live-view AF mode; any other
/// camera value reads as 2.
inline constexpr CodeRow kEvfAFModes[] = {{0, 1}, {2, 3}, {3, 4}, {4, 5}};
static_assert(oneToOne(kEvfAFModes));
inline constexpr std::uint8_t kEvfAFModeOther = 2;

} // namespace tbx::eos
