// The versioned fixture library of the platform tests; scratch folders and files come from the
// shared test support.
#pragma once

#include "Scratch.h"

#include <string>

namespace tbx::test {

/// The fixture library built beside the tests (version 3.14.15.9265, exports tbxFixtureAnswer).
std::string fixturePath();

} // namespace tbx::test
