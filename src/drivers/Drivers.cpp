#include "drivers/Drivers.h"

#include "drivers/eos/TEDSDK.h"
#include "platform/Errors.h"

#include <algorithm>

namespace tbx {

void AbsentFamilyDriver::StartSDK(const std::string & /*libraryFolder*/) {}

void AbsentFamilyDriver::EnumerateCameras(StringList & /*names*/) {}

void AbsentFamilyDriver::EndSDK() {}

void AbsentFamilyDriver::Connect(const ConnectCallbacks & /*callbacks*/, int /*cameraIndex*/,
                                 ConnectInfoType & /*info*/, int /*registryIndex*/)
{
    throw ECamException(familyName_ + " cameras are not supported by this build");
}

DriverSet MakeDrivers(std::initializer_list<CamModType> enabled)
{
    for (CamModType family : enabled) {
        if (family == CamModEOS)
            continue;
        if (family == CamModPowerShot || family == CamModPowerShotGen2)
            throw EAssertionFailed("The driver of camera family " + std::to_string(int(family)) +
                                   " is not part of this build");
        throw EAssertionFailed("Unknown camera family " + std::to_string(int(family)));
    }
    const bool eos = std::find(enabled.begin(), enabled.end(), CamModEOS) != enabled.end();
    DriverSet set;
    set.cdsdk = std::make_unique<AbsentFamilyDriver>("PowerShot");
    set.prsdk = std::make_unique<AbsentFamilyDriver>("PowerShot");
    set.edsdk = eos ? std::unique_ptr<CamDriver>(std::make_unique<eos::TEDSDK>())
                    : std::make_unique<AbsentFamilyDriver>("EOS");
    set.pssdk = std::make_unique<AbsentFamilyDriver>("PowerShot generation 2");
    return set;
}

} // namespace tbx
