// TPSSDK: the driver of PowerShot generation-2 cameras (family 3) through PSG7XMK2SDK.DLL. The
// library speaks the EOS library's interface, so the driver is the EOS driver over the
// generation-2 library and its own family (which cameras it lists, the connection data, the
// parameter tables), with the operations below where a compact camera differs: it keeps no
// shut-down timer, turns live view on when remote mode starts, shoots with two shutter-button
// commands, drives its zoom lens through a property and sets its clock.
#pragma once

#include "drivers/eos/TEDSDK.h"

#include <ctime>

namespace tbx::pssdk {

/// The generation-2 family: only cameras whose description says "POWERSHOT", 32-byte owner
/// names, the battery by its whole value, and the tables of drivers/pssdk/PsTables.h.
const eos::EdsFamily &Gen2Family();

/// The connection data's battery fields for a generation-2 battery level.
void JudgeGen2Battery(std::uint32_t level, ConnectInfoType &info);

/// The driver of PowerShot generation-2 cameras.
/// \context Thread-bound (owner thread), as TEDSDK.
class TPSSDK : public eos::TEDSDK {
public:
    /// A driver over \p library (the generation-2 library).
    explicit TPSSDK(const sdk::EdsLibrary &library);

    /// Writes the host's date and time as seven 32-bit values (year, month, day, hour, minute,
    /// second, millisecond), as the host gave it.
    void SetTime(std::time_t time) override;
    /// The camera keeps no shut-down timer that the host must extend.
    void KeepAlive() override {}
    /// 0 when the camera does not say.
    int GetNumberOfAvailableShots() override;

    /// Enters remote mode and turns live view on for the computer at once (a busy camera is
    /// asked again every second, five times). \p mode and \p kind are not used.
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info, int registryIndex,
                     ReleaseEventProc remoteEvent, const std::string &cacheFolder, bool probe) override;
    /// Turns the live-view output off; the result is not examined.
    void RemoteEnd() override;
    /// Presses the shutter button completely and then releases it. The release is sent whatever
    /// the press answered, so a failed press never leaves the button down; the first failure is
    /// raised afterwards.
    void RemoteTakePicture(ProgressProc progress, int registryIndex) override;
    /// Only the completely pressed button presses; every other button releases it.
    void RemotePressShutter(int button) override;

    /// The zoom position (0 to 20); raises when the camera has no zoom property.
    void GetZoomPos(ZoomPosType &pos) override;
    /// Moves the zoom; the result is not examined.
    void SetZoomPos(int pos) override;

    /// Live view runs from RemoteStart to RemoteEnd: these only say whether the engine pulls
    /// frames, without a camera call.
    void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex) override;
    void RemoteStopViewfinder() override;
    bool LiveViewRunning() const { return liveViewRunning_; }

    // Operations of the EOS family that a generation-2 camera does not have: the engine never
    // calls them for this family, so reaching one is an internal fault.
    void SetBULB(bool on) override { CamDriver::SetBULB(on); }
    void RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex) override
    {
        CamDriver::RemoteGetMovie(fileName, deleteAfter, registryIndex);
    }
    void PowerZoomStop() override { CamDriver::PowerZoomStop(); }
    void PowerZoomTele(bool fast, int speed) override { CamDriver::PowerZoomTele(fast, speed); }
    void PowerZoomWide(bool fast, int speed) override { CamDriver::PowerZoomWide(fast, speed); }
    void SetViewfinderOutput(std::uint8_t output) override { CamDriver::SetViewfinderOutput(output); }
    void SetViewfinderWhitebalance(int x, int y) override { CamDriver::SetViewfinderWhitebalance(x, y); }
    void SetViewfinderZoom(int zoom) override { CamDriver::SetViewfinderZoom(zoom); }
    void SetViewfinderZoomPosition(int x, int y) override { CamDriver::SetViewfinderZoomPosition(x, y); }
    void StartMovieRecording() override { CamDriver::StartMovieRecording(); }
    void EndMovieRecording() override { CamDriver::EndMovieRecording(); }

private:
    /// Sends a shutter-button command; a busy camera is asked again every 200 ms, 25 times.
    /// Returns the last answer.
    sdk::EdsError pressShutterPatiently(std::int32_t param);

    bool liveViewRunning_ = false;
};

} // namespace tbx::pssdk
