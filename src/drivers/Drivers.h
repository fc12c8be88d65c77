// The set of camera drivers an engine is created with.
#pragma once

#include "engine/CamDriver.h"

#include <initializer_list>
#include <memory>
#include <string>

namespace tbx {

/// The four drivers in the order the engine takes them.
struct DriverSet {
    std::unique_ptr<CamDriver> cdsdk; ///< legacy PowerShot
    std::unique_ptr<CamDriver> prsdk; ///< PTP PowerShot
    std::unique_ptr<CamDriver> edsdk; ///< EOS
    std::unique_ptr<CamDriver> pssdk; ///< PowerShot generation 2
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

/// Creates the drivers for an engine: the real driver for each family in \p enabled (camera
/// family codes of CamModType; CamModPowerShot stands for both PowerShot drivers) and an
/// AbsentFamilyDriver for every other family.
/// \throws EAssertionFailed when \p enabled names a family whose driver is not part of this
///   build (only CamModEOS is, so far) or a code that is not a family.
DriverSet MakeDrivers(std::initializer_list<CamModType> enabled = {CamModEOS});

} // namespace tbx
