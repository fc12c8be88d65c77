// The EOS family as the stand-in presents it: device record, properties with their values and
// allowed values, and object formats.
#pragma once

#include "Scenario.h"

namespace tbx::sim::eds {

const FamilyProfile &eosProfile();
/// The PowerShot generation-2 family: a compact camera with a zoom lens, on the same library
/// interface.
const FamilyProfile &gen2Profile();
/// The generation-2 focus-information block: image rectangle, point count, 128 points of 32
/// bytes, execute mode.
inline constexpr std::size_t kGen2FocusInfoSize = 4120;
} // namespace tbx::sim::eds
