// The set-up every benchmark shares: an engine with the real driver of an EOS-style family (EOS or
// PowerShot generation 2) over its stand-in in the build's redist folder, on the virtual clock, with camera 0 connected; and the stand-in's
// control API (its call log above all), reached in the very library instance the driver loaded.
#pragma once

#include "drivers/eos/TEDSDK.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include "sim/TbxSimClient.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tbx::bench {

/// The folder with the stand-in and its companion file.
std::string redistFolder();
/// The control API of the stand-in of the last Session's family in redistFolder() (EDSDK.dll
/// before any); throws std::runtime_error when the library or one of its control functions is
/// missing.
const sim::ControlClient &sim();
/// Throws std::runtime_error with \p what and the stand-in's last error text unless \p result is 0.
void checkSim(std::uint32_t result, const std::string &what);

/// Every call-log line since the last clearSimLog().
std::vector<std::string> simLog();
/// The entry-point names of simLog(), in order.
std::vector<std::string> simCallNames();
/// Waits until the stand-in's event thread has delivered what it holds; throws when it does not
/// within two seconds.
void waitForSdkThread();
/// Lets the stand-in's event thread deliver what it holds, then empties the call log.
void clearSimLog();

/// Resident memory of this process in kilobytes (0 where the OS does not tell).
std::int64_t residentKilobytes();

/// Closes \p engine's enumeration (best effort), destroys it and restores the real clock.
void closeEngine(std::unique_ptr<TTetherbox> &engine) noexcept;

/// A fresh engine whose only driver is \p driver in \p slot, connected to the PowerShot camera
/// of \p scenario (loaded into \p standIn after a reset) and in release control to the PC. On
/// a failure the real clock and OS version come back and the error is raised.
std::unique_ptr<TTetherbox> connectPowerShot(const sim::ControlClient &standIn, const char *scenario, int slot,
                                             std::unique_ptr<CamDriver> driver);

/// A connected camera of \p family (CamModEOS or CamModPowerShotGen2) behind a fresh engine. The
/// family's stand-in is reset (or given \p scenario) first; a generation-2 session without a
/// scenario gets one PowerShot with the built-in EOS camera's card. Everything is closed and the
/// real clock restored when the session goes.
/// \context Thread-bound: the creating thread owns the engine and pumps its timers.
class Session {
public:
    explicit Session(const std::string &scenario = {}, CamModType family = CamModEOS);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    /// Enters remote mode without probing.
    void startRemote();
    /// Lets \p ms of virtual time pass on the owner thread, after the stand-in's event thread
    /// has delivered what it holds.
    void pump(platform::Millis ms);

    TTetherbox &engine() { return *engine_; }
    eos::TEDSDK &driver() { return *driver_; }
    /// The SDK the family's driver calls.
    const sdk::EdsLibrary &library() const;
    /// The period of the engine's viewfinder timer of the family.
    platform::Millis viewfinderPeriod() const;
    /// The connected camera as the driver holds it.
    sdk::EdsCameraRef camera() const;

private:
    platform::VirtualClock clock_;
    CamModType family_;
    std::unique_ptr<TTetherbox> engine_;
    eos::TEDSDK *driver_ = nullptr;
};

} // namespace tbx::bench
