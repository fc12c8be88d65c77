// The simulated SDK libraries of the build, as the tests reach them: the redist folder they are
// built into and one control client per library file, shared by every test of the process.
#pragma once

#include "sim/TbxSimClient.h"

#include <string>

namespace tbx::test {

/// The folder holding the stand-ins and their companion files, as the code under test sees it.
std::string redistFolder();

/// The control API of the stand-in \p file ("EDSDK.dll") in redistFolder(): the same library
/// instance a driver loads from there. Loaded on first use; throws std::runtime_error when the
/// file cannot be loaded or lacks the control API.
const sim::ControlClient &standIn(const std::string &file);

} // namespace tbx::test
