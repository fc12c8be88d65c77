// The camera family of the PTP stand-in, for the scenario reader.
#pragma once

#include <cstdint>

#include "Scenario.h"

namespace tbx::sim::pr {

/// Properties at 0x10000 + an operation code are not properties: their presence lists the
/// operation in the device information (a scenario removes one with null).
inline constexpr std::uint32_t kOperationBase = 0x10000;
/// The PTP data type of text properties.
inline constexpr std::uint32_t kPtpTypeString = 0xFFFF;
/// The owner name's room in the camera, its terminator included.
inline constexpr std::size_t kOwnerNameCapacity = 32;

const FamilyProfile &ptpProfile();

} // namespace tbx::sim::pr
