// The EOS live-view frame source of the engine's viewfinder tick: one frame per call, read
// straight through the EDSDK binding from the camera the EOS driver is connected to.
#pragma once

#include "engine/Tetherbox.h"

namespace tbx::eos {

class TEDSDK;

/// Downloads one live-view JPEG with its metadata (zoom position and rectangle, image position,
/// coordinate system, the four histograms, zoom and power-zoom positions).
///
/// Every SDK object a call creates is released before it returns, on every path. The tick's
/// result rules (busy results, a camera gone, other failures) are the engine's.
/// \context Thread-bound (owner thread), called by the EOS viewfinder timer.
class EdsViewfinderSource final : public TTetherbox::ViewfinderFrameSource {
public:
    /// Reads the connected camera from \p driver on every call; \p driver must outlive the source
    /// while frames are pulled (the engine owns both).
    explicit EdsViewfinderSource(const TEDSDK &driver) : driver_(driver) {}

    std::uint32_t DownloadFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata) override;
    std::string ErrorText(std::uint32_t result) const override;

private:
    const TEDSDK &driver_;
};

} // namespace tbx::eos
