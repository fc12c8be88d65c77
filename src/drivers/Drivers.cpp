#include "drivers/Drivers.h"

#include "drivers/cdsdk/TCDSDK.h"
#include "drivers/eos/TEDSDK.h"
#include "drivers/prsdk/TPRSDK.h"
#include "drivers/pssdk/TPSSDK.h"
#include "platform/Errors.h"

#include <algorithm>
#include <array>

namespace tbx {

namespace {

std::unique_ptr<CamDriver> makeLegacy()
{
    return std::make_unique<cdsdk::TCDSDK>(cdsdk::CdsdkLibrary());
}

std::unique_ptr<CamDriver> makeEos()
{
    return std::make_unique<eos::TEDSDK>(sdk::EdsdkLibrary());
}

std::unique_ptr<CamDriver> makePtp()
{
    static constexpr prsdk::PrSdk kPrsdk{&sdk::LoadPRSDK, &sdk::Pr, &sdk::RaiseOnPRError};
    return std::make_unique<prsdk::TPRSDK>(kPrsdk);
}

std::unique_ptr<CamDriver> makeGen2() { return std::make_unique<pssdk::TPSSDK>(sdk::PsLibrary()); }

constexpr std::array<DriverEntry, kDriverSlotCount> kDriverTable{{
    {SlotLegacy, CamModPowerShot, "PowerShot", &makeLegacy},
    {SlotPTP, CamModPowerShot, "PowerShot", &makePtp},
    {SlotGen2, CamModPowerShotGen2, "PowerShot generation 2", &makeGen2},
    {SlotEOS, CamModEOS, "EOS", &makeEos},
}};

constexpr bool tableMatchesSlots()
{
    for (int slot = 0; slot < kDriverSlotCount; ++slot)
        if (kDriverTable[static_cast<std::size_t>(slot)].slot != slot ||
            kDriverTable[static_cast<std::size_t>(slot)].family != slotFamily(slot))
            return false;
    return true;
}
static_assert(tableMatchesSlots(), "one row per slot, in slot order, with the slot's family");

template <class Wanted>
DriverArray makeDrivers(Wanted wanted)
{
    DriverArray drivers;
    for (const DriverEntry &entry : kDriverTable) {
        auto &driver = drivers[static_cast<std::size_t>(entry.slot)];
        if (entry.factory != nullptr && wanted(entry.family))
            driver = entry.factory();
        else
            driver = std::make_unique<AbsentFamilyDriver>(entry.displayName);
    }
    return drivers;
}

} // namespace

void AbsentFamilyDriver::StartSDK(const std::string & /*libraryFolder*/) {}

void AbsentFamilyDriver::EnumerateCameras(StringList & /*names*/) {}

void AbsentFamilyDriver::EndSDK() {}

void AbsentFamilyDriver::Connect(const ConnectCallbacks & /*callbacks*/, int /*cameraIndex*/,
                                 ConnectInfoType & /*info*/, int /*registryIndex*/)
{
    throw ECamException(familyName_ + " cameras are not supported by this build");
}

DriverArray MakeDrivers()
{
    return makeDrivers([](CamModType) { return true; });
}

DriverArray MakeDrivers(std::initializer_list<CamModType> enabled)
{
    for (CamModType family : enabled) {
        const auto row = std::find_if(kDriverTable.begin(), kDriverTable.end(),
                                      [&](const DriverEntry &entry) { return entry.family == family; });
        if (row == kDriverTable.end())
            throw EAssertionFailed("Unknown camera family " + std::to_string(int(family)));
        // A family is part of the build when every one of its slots has a driver.
        for (const DriverEntry &entry : kDriverTable)
            if (entry.family == family && entry.factory == nullptr)
                throw EAssertionFailed("The driver of camera family " + std::to_string(int(family)) +
                                       " is not part of this build");
    }
    return makeDrivers([&](CamModType family) {
        return std::find(enabled.begin(), enabled.end(), family) != enabled.end();
    });
}

} // namespace tbx
