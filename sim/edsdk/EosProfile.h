// The EOS family as the stand-in presents it: device record, properties with their values and
// allowed values, and object formats.
#pragma once

#include "Scenario.h"

namespace tbx::sim::eds {

const FamilyProfile &eosProfile();
} // namespace tbx::sim::eds
