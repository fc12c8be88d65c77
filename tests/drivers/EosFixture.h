// Integration fixture for the EOS driver: an engine with the real TEDSDK (and drivers that find
// no camera for the other families), the EOS stand-in loaded from the build's redist folder,
// and the virtual clock. Tests steer the stand-in through its control API and check the SDK
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

/// The control API of the stand-in that the driver loads (the same library instance).
const sim::ControlClient &sim();

/// Every call-log line of the stand-in since the last clearSimLog().
std::vector<std::string> simLog();
/// The lines of simLog() for entry point \p name ("EdsSetPropertyData").
std::vector<std::string> simCalls(const std::string &name);
/// The entry-point names of simLog(), in order.
std::vector<std::string> simCallNames();
void clearSimLog();
/// The stand-in's last control error text.
std::string simError();

/// Each test starts from the stand-in's built-in scenario (one newer EOS camera, "eos1") or the
/// scenario the test loads before calling connect().
class EosTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Replaces the stand-in's cameras with \p json (asserts that it was accepted).
    void loadScenario(const std::string &json);
    /// Opens an enumeration and connects EOS camera \p index; the call log is cleared afterwards.
    ConnectInfoType connect(int index = 0);
    /// connect(), then RemoteStart without probing; the call log is cleared afterwards.
    void startRemote(ReleaseModeType mode = ReleaseModeOnlyToPC);
    /// Lets \p ticks poll periods pass on the owner thread, after the stand-in's event thread
    /// has delivered what it holds.
    void tick(int ticks = 1);
    /// A property value of camera "eos1" as the stand-in holds it.
    std::uint32_t cameraValue(std::uint32_t property);
    /// Sets a 4-byte property of camera "eos1" in the stand-in, as a camera dial would.
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
