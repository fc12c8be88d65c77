// The EOS family as the stand-in presents it: device record, properties with their values and
// allowed values, object formats, and the built-in scenario.
#pragma once

#include "Scenario.h"

namespace tbx::sim::eds {

const FamilyProfile &eosProfile();
/// One EOS camera with a card of JPEG, RAW and movie files.
const char *defaultScenario();

}  // namespace tbx::sim::eds
