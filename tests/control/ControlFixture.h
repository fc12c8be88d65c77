// Fixtures for the control: one over an engine of recording drivers (with a scripted live-view
// frame source for the EOS family), under the virtual clock, and a scratch folder per test.
#pragma once

#include "EngineFixture.h"
#include "Failure.h"
#include "Scratch.h"
#include "control/TetherboxActiveX.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tbx::test {

/// What the EOS driver hands the engine on each frame pull.
struct FrameScript {
    JpegBlob frame{0xFF, 0xD8, 0x10, 0x20, 0xFF, 0xD9};
    std::function<void(ViewfinderPositionType &)> fill;
    int pulls = 0;
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Opens an enumeration in which the EOS driver reports "Canon EOS Test", then connects it.
    void connect();
    /// connect(), then RemoteStart (release to the PC, pictures, no probing).
    void startRemote();
    /// startRemote(), then the viewfinder in \p mode into \p dir.
    void startViewfinder(int mode, const std::string &dir);
    /// Lets \p frames EOS viewfinder periods pass (one frame each).
    void pullFrames(int frames) { platform::runFor(50 * static_cast<platform::Millis>(frames)); }
    /// Forgets the driver calls recorded so far.
    void clearCalls()
    {
        log().clear();
        ed().clearCalls();
        ps().clearCalls();
    }

    TTetherboxActiveX &control() { return *control_; }
    /// The EOS driver of the engine built last.
    RecordingDriver &ed() { return *ed_; }
    /// The PowerShot generation-2 driver of the engine built last.
    RecordingDriver &ps() { return *ps_; }
    CallLog &log() { return *log_; }

    platform::VirtualClock clock_;
    /// The call log of the drivers of the engine built last (kept after that engine is gone).
    std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
    std::shared_ptr<FrameScript> script_ = std::make_shared<FrameScript>();
    /// Runs on every engine the control builds, before the control gets it.
    std::function<void(EngineUnderTest &)> prepare_;
    int enginesBuilt_ = 0;
    RecordingDriver *ed_ = nullptr;
    RecordingDriver *ps_ = nullptr;
    std::unique_ptr<TTetherboxActiveX> control_;
    ScratchFolder scratch_{"tbx-control"};
};

} // namespace tbx::test
