// A test fixture with an engine over four recording drivers, the virtual clock installed and
// the OS version chosen by the test.
#pragma once

#include "RecordingDriver.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tbx::test {

/// Four recording drivers sharing one call log, and an engine built over them.
struct EngineUnderTest {
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    RecordingDriver *cd = nullptr;
    RecordingDriver *pr = nullptr;
    RecordingDriver *ed = nullptr;
    RecordingDriver *ps = nullptr;
    std::unique_ptr<TTetherbox> engine;

    EngineUnderTest();
};

class EngineTest : public ::testing::Test {
protected:
    /// Windows XP: the PTP family is enabled.
    static constexpr platform::OsVersion kWindowsXP{5, 1};
    /// Windows 7: the PTP family is disabled.
    static constexpr platform::OsVersion kWindows7{6, 1};

    void SetUp() override;
    void TearDown() override;

    /// Lets \p ticks poll periods pass on the owner thread.
    void tick(int ticks = 1) { platform::runFor(25 * static_cast<platform::Millis>(ticks)); }

    /// Opens an enumeration in which \p family's drivers report one camera (two legacy cameras
    /// and one PTP camera for family 1), then connects \p index of that family.
    void connect(int family, int index = 0);
    /// connect(), then RemoteStart with \p mode and \p kind.
    void startRemote(int family, int index = 0, ReleaseModeType mode = ReleaseModeOnlyToPC,
                     ReleaseDataKindType kind = ReleaseDataKindTakeOnlyPicture);

    TTetherbox &engine() { return *box_->engine; }
    RecordingDriver &cd() { return *box_->cd; }
    RecordingDriver &pr() { return *box_->pr; }
    RecordingDriver &ed() { return *box_->ed; }
    RecordingDriver &ps() { return *box_->ps; }
    CallLog &log() { return *box_->log; }
    /// The driver that serves \p family (family 1: the legacy one unless \p ptp).
    RecordingDriver &driverOf(int family, bool ptp = false);
    /// Forgets the calls recorded so far (shared log and every driver's own list).
    void clearCalls();
    /// Destroys the engine (and its drivers) now.
    void destroyEngine() { box_->engine.reset(); }

    platform::VirtualClock clock_;
    std::unique_ptr<EngineUnderTest> box_;
};

} // namespace tbx::test
