// Integration fixture for the drivers of the EOS-style families (EOS, PowerShot generation 2): an
// engine with the family's real driver (and drivers that find no camera for the other families),
// the family's stand-in loaded from the build's redist folder, and the virtual clock. Tests steer the stand-in through its control API and check the SDK
// calls the driver made in its call log.
#pragma once

#include "drivers/eos/TEDSDK.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include "StandIns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tbx::test {

/// How long a test lets the stand-in's event thread take to handle what it has queued. Waiting
/// ends as soon as the queue is empty; the limit only keeps a hung stand-in from hanging the test,
/// so it is far above what a loaded, instrumented (sanitizer, valgrind) run needs.
inline constexpr std::uint32_t kSettleLimitMs = 30000;

/// The EOS-style families the fixture drives.
enum class Family { EOS, Gen2 };
/// "EOS" or "Gen2", for test names.
std::string familyName(const ::testing::TestParamInfo<Family> &info);

/// The control API of \p family's stand-in (the same library instance as the driver loads).
const sim::ControlClient &simOf(Family family);
/// The control API of the stand-in of the family under test.
const sim::ControlClient &sim();
/// Makes sim() and the helpers below speak to \p family's stand-in (the fixture does this itself).
void useFamily(Family family);

/// Every call-log line of the stand-in since the last clearSimLog().
std::vector<std::string> simLog();
/// The lines of simLog() for entry point \p name ("EdsSetPropertyData").
std::vector<std::string> simCalls(const std::string &name);
/// The entry-point names of simLog(), in order.
std::vector<std::string> simCallNames();
void clearSimLog();
/// "property value" of every EdsSetPropertyData of simLog(), e.g. "0x501 {1}".
std::vector<std::string> simPropertyWrites();
/// The stand-in's last control error text.
std::string simError();

/// Each test starts from the stand-in's built-in scenario (one newer EOS camera, "eos1"), for
/// the generation-2 family from one generation-2 camera ("ps1"), or from the scenario the test
/// loads before calling connect().
class EosTest : public ::testing::Test {
protected:
    /// The family under test (EOS unless a derived fixture says otherwise).
    virtual Family family() const { return Family::EOS; }
    CamModType cameraModel() const { return family() == Family::EOS ? CamModEOS : CamModPowerShotGen2; }
    /// The id of the scenario's first camera of the family.
    const char *cameraId() const { return family() == Family::EOS ? "eos1" : "ps1"; }

    void SetUp() override;
    void TearDown() override;

    /// Replaces the stand-in's cameras with \p json (asserts that it was accepted); for the
    /// generation-2 family, cameras of a scenario that names no family are generation-2 cameras.
    void loadScenario(const std::string &json);
    /// Opens an enumeration and connects camera \p index of the family; the call log is cleared afterwards.
    ConnectInfoType connect(int index = 0);
    /// connect(), then RemoteStart without probing; the call log is cleared afterwards.
    void startRemote(ReleaseModeType mode = ReleaseModeOnlyToPC);
    /// Lets \p ticks poll periods pass on the owner thread, after the stand-in's event thread
    /// has delivered what it holds.
    void tick(int ticks = 1);
    /// A property value of camera cameraId() as the stand-in holds it.
    std::uint32_t cameraValue(std::uint32_t property);
    /// Sets a 4-byte property of camera cameraId() in the stand-in, as a camera dial would.
    void setCameraValue(std::uint32_t property, std::uint32_t value);
    /// Destroys the engine (and its drivers) now.
    void destroyEngine();

    TTetherbox &engine() { return *engine_; }
    eos::TEDSDK &driver() { return *driver_; }

    platform::VirtualClock clock_;
    std::unique_ptr<TTetherbox> engine_;
    eos::TEDSDK *driver_ = nullptr;
};

} // namespace tbx::test
