// The legacy PowerShot family's pairs, through the CDSDK.DLL stand-in: a viewfinder frame and a
// card download, each by the engine for a host and by the bare SDK calls that do the same work.
#pragma once

#include "Workloads.h"

#include "drivers/cdsdk/TCDSDK.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include "sim/TbxSimClient.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tbx::bench {

/// The control API of the legacy stand-in in redistFolder().
const sim::ControlClient &legacySim();

/// A connected legacy camera (two JPEG pictures on its card) behind a fresh engine with the
/// legacy driver, in release control.
class LegacySession {
public:
    LegacySession();
    ~LegacySession();
    LegacySession(const LegacySession &) = delete;
    LegacySession &operator=(const LegacySession &) = delete;

    TTetherbox &engine() { return *engine_; }
    /// The camera's source handle as the driver holds it.
    std::uint32_t source() const;
    /// Waits for the stand-in's event thread, then lets \p ms of virtual time pass.
    void pump(platform::Millis ms);

private:
    platform::VirtualClock clock_;
    std::unique_ptr<TTetherbox> engine_;
    cdsdk::TCDSDK *driver_ = nullptr;
};

/// One viewfinder frame, pushed by the stand-in's thread. The engine's step takes it through the
/// engine's callback and viewfinder timer to the host's handler; the bare step to a callback of
/// our own that only counts.
class LegacyFramePair {
public:
    using SessionType = LegacySession;
    /// \p bare starts the library's viewfinder with the counting callback instead of the engine's.
    LegacyFramePair(LegacySession &session, bool bare);
    ~LegacyFramePair();
    LegacyFramePair(const LegacyFramePair &) = delete;
    LegacyFramePair &operator=(const LegacyFramePair &) = delete;
    std::size_t engineFrame();
    std::size_t bareFrame();

private:
    LegacySession &session_;
    bool bare_;
    std::size_t frames_ = 0;
    std::size_t lastBytes_ = 0;
};

/// Downloading one picture of the card: the engine's GetPicture with its progress events
/// delivered to the host, and the bare open, picture, data and close calls with a progress
/// callback that only counts.
class LegacyDownloadPair {
public:
    using SessionType = LegacySession;
    LegacyDownloadPair(LegacySession &session, int position);
    std::uint64_t engineDownload();
    std::uint64_t bareDownload();
    std::filesystem::path engineFile() const { return folder_.path() / "engine.jpg"; }
    std::filesystem::path bareFile() const { return folder_.path() / "bare.jpg"; }

private:
    LegacySession &session_;
    TempFolder folder_;
    int position_;
    std::uint32_t item_ = 0;
};

} // namespace tbx::bench
