// The PTP PowerShot family's pairs, through the PRSDK.DLL stand-in: a viewfinder frame, and a
// picture released, announced and fetched in blocks into a file, each by the engine for a host and
// by the bare SDK calls that do the same work.
#pragma once

#include "Workloads.h"

#include "drivers/prsdk/TPRSDK.h"
#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include "sim/TbxSimClient.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace tbx::bench {

/// The control API of the PTP stand-in in redistFolder().
const sim::ControlClient &ptpSim();

/// A connected PTP camera behind a fresh engine with the PTP driver, in release control, with
/// Windows XP reported (the only Windows that offers the family).
class PtpSession {
public:
    PtpSession();
    ~PtpSession();
    PtpSession(const PtpSession &) = delete;
    PtpSession &operator=(const PtpSession &) = delete;

    TTetherbox &engine() { return *engine_; }
    /// The camera's handle as the driver holds it.
    std::uint32_t camera() const;
    /// Waits for the stand-in's threads, then lets \p ms of virtual time pass.
    void pump(platform::Millis ms);

private:
    platform::VirtualClock clock_;
    std::unique_ptr<TTetherbox> engine_;
    prsdk::TPRSDK *driver_ = nullptr;
};

/// One viewfinder frame, asked of the stand-in and sent by its frame thread (which then sends no
/// frames of its own). The engine's step takes it through the engine's callback and poll timer to
/// the host's handler; the bare step to a viewfinder callback of our own that only counts.
class PtpFramePair {
public:
    using SessionType = PtpSession;
    /// \p bare starts the library's viewfinder with the counting callback instead of the engine's.
    PtpFramePair(PtpSession &session, bool bare);
    ~PtpFramePair();
    PtpFramePair(const PtpFramePair &) = delete;
    PtpFramePair &operator=(const PtpFramePair &) = delete;
    std::size_t engineFrame();
    std::size_t bareFrame();
    /// Frames the engine's host received.
    std::size_t framesDelivered() const { return frames_; }

private:
    PtpSession &session_;
    bool bare_;
    std::size_t frames_ = 0;
    std::size_t lastBytes_ = 0;
};

/// Releasing one picture and fetching it into a file. The engine's step: RemoteTakePicture, the
/// announcement reaching the host, RemoteGetPicture with its progress events delivered. The bare
/// step: PR_RC_Release, the announcement reaching an event callback of our own, and
/// PR_RC_GetReleasedData in the engine's block size with a callback that writes the blocks.
class PtpTransferPair {
public:
    using SessionType = PtpSession;
    /// \p bare puts the bare side's event callback in place of the engine's.
    PtpTransferPair(PtpSession &session, bool bare);
    std::uint64_t engineTransfer();
    std::uint64_t bareTransfer();
    std::filesystem::path engineFile() const { return folder_.path() / "engine.jpg"; }
    std::filesystem::path bareFile() const { return folder_.path() / "bare.jpg"; }
    /// Progress events the engine's host received.
    int progressDelivered() const { return progress_; }

private:
    PtpSession &session_;
    TempFolder folder_;
    bool announced_ = false;
    int progress_ = 0;
};

} // namespace tbx::bench
