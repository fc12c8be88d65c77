// The driver table: which driver serves each slot of the engine in this build.
#pragma once

#include "engine/CamDriver.h"

#include <initializer_list>
#include <memory>
#include <string>

namespace tbx {

/// One row of the driver table (Drivers.cpp), one row per slot in slot order. Adding a family's
/// driver is a factory in its rows and its sources in the build lists.
struct DriverEntry {
    DriverSlot slot;
    CamModType family;
    /// The family's name in messages ("<name> cameras are not supported by this build").
    const char *displayName;
    /// Creates the slot's driver; null when this build has no driver for the slot.
    std::unique_ptr<CamDriver> (*factory)();
};

/// The driver of a family that this build does not drive. It starts and ends no SDK and loads
/// no library, so its family simply contributes no cameras to an enumeration; a Connect to it
/// is refused with a message naming the family.
/// \context Thread-bound (owner thread).
class AbsentFamilyDriver : public CamDriver {
public:
    explicit AbsentFamilyDriver(std::string familyName) : familyName_(std::move(familyName)) {}

    void StartSDK(const std::string &libraryFolder) override;
    /// Finds no camera.
    void EnumerateCameras(StringList &names) override;
    void EndSDK() override;
    /// Raises ECamException "<family> cameras are not supported by this build".
    void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info,
                 int registryIndex) override;

private:
    std::string familyName_;
};

/// Creates the drivers for an engine: every driver this build has, and an AbsentFamilyDriver in
/// every other slot.
DriverArray MakeDrivers();
/// Creates the drivers of the families in \p enabled (camera family codes of CamModType) and an
/// AbsentFamilyDriver in every other slot.
/// \throws EAssertionFailed when \p enabled names a family whose driver is not part of this
///   build, or a code that is not a family.
DriverArray MakeDrivers(std::initializer_list<CamModType> enabled);

} // namespace tbx
