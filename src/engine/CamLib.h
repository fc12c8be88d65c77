// Value scales shared by the drivers: the driver-neutral aperture and shutter-speed indices of
// RemoteParamsType against the cameras' own 1/3-stop codes.
#pragma once

#include <cstdint>

namespace tbx {

/// The code that means "no value" in both scales.
inline constexpr std::uint32_t kNoScaleValue = 0xFFFF;

/// Aperture index 1..40 to its code (1->8, 2->11, 3->13, 4->16, ... 40->112); 0xFFFF otherwise.
std::uint32_t AvIndexToCode(int index);
/// The largest aperture index whose code is not above \p code; 0 below 8 and for the no-value
/// markers 0xFFFF and 0xFFFFFFFF; 40 from 112 on.
int AvCodeToIndex(std::uint32_t code);
/// Shutter-speed index 1..59 to its code (1->4 bulb, 2->16, 3->19, ... 59->168); 0xFFFF otherwise.
std::uint32_t TvIndexToCode(int index);
/// Codes 4..15 give 1 (bulb); otherwise the largest index whose code is not above \p code; 0 below
/// 4 and for the no-value markers 0xFFFF and 0xFFFFFFFF; 59 from 168 on.
int TvCodeToIndex(std::uint32_t code);

} // namespace tbx
