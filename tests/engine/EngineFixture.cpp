#include "EngineFixture.h"

namespace tbx::test {

EngineUnderTest::EngineUnderTest()
{
    auto make = [&](const char *name, RecordingDriver *&out) {
        auto driver = std::make_unique<RecordingDriver>(name, log);
        out = driver.get();
        return driver;
    };
    DriverArray drivers;
    drivers[SlotLegacy] = make("CD", cd);
    drivers[SlotPTP] = make("PR", pr);
    drivers[SlotEOS] = make("ED", ed);
    drivers[SlotGen2] = make("PS", ps);
    engine = std::make_unique<TTetherbox>(std::move(drivers));
}

void EngineTest::SetUp()
{
    platform::setClock(&clock_);
    platform::setOsVersionOverride(kWindowsXP);
    box_ = std::make_unique<EngineUnderTest>();
}

void EngineTest::TearDown()
{
    box_.reset();
    platform::setClock(nullptr);
    platform::clearOsVersionOverride();
}

void EngineTest::clearCalls()
{
    log().clear();
    for (RecordingDriver *driver : {box_->cd, box_->pr, box_->ed, box_->ps})
        driver->clearCalls();
}

RecordingDriver &EngineTest::driverOf(int family, bool ptp)
{
    switch (family) {
    case CamModPowerShot:
        return ptp ? pr() : cd();
    case CamModEOS:
        return ed();
    default:
        return ps();
    }
}

void EngineTest::connect(int family, int index)
{
    if (family == CamModPowerShot) {
        cd().cameras = {"PowerShot A", "PowerShot B"};
        pr().cameras = {"PowerShot PTP"};
    } else {
        driverOf(family).cameras = {"Camera"};
    }
    engine().OpenCameraEnumeration();
    ConnectInfoType info;
    engine().Connect(family, index, info);
    clearCalls();
}

void EngineTest::startRemote(int family, int index, ReleaseModeType mode, ReleaseDataKindType kind)
{
    connect(family, index);
    RemoteStartInfoType info;
    engine().RemoteStart(mode, kind, info, "", false);
    clearCalls();
}

} // namespace tbx::test
