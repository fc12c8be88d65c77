// The EOS family as the stand-in presents it: device record, properties with their values and
// allowed values, and object formats.
#pragma once

#include "Scenario.h"

namespace tbx::sim::eds {

const FamilyProfile &eosProfile();
/// The PowerShot generation-2 family: a compact camera with a zoom lens, on the same library
/// interface.
const FamilyProfile &gen2Profile();
} // namespace tbx::sim::eds
