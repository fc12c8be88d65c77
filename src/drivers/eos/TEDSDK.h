// TEDSDK: the driver of the EOS camera family, through EDSDK.DLL.
//
// The driver is split over several source files by area:
//   EdsSession.cpp  - SDK start and end, enumeration, connect and disconnect, housekeeping
//   EdsParams.cpp   - shooting parameters, their conversions, the probe of supported values,
//                     RemoteStart and RemoteEnd
//   EdsCapture.cpp, EdsLiveView.cpp - shooting, transfers, the camera collection, live view
//
// Every SDK reference the driver holds is owned by an sdk::EdsRef, so it is released exactly once.
// The engine's three camera handlers are installed at Connect with the engine's registry index as
// context (never an address of the driver), and removed again at Disconnect, on a failed Connect
// and when the driver goes, so no callback can reach a driver or engine that is gone.
#pragma once

#include "engine/CamDriver.h"
#include "sdk/EDSDK.h"
#include "sdk/EdsRef.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

namespace tbx::eos {

/// One EOS camera found by EnumerateCameras: the driver's reference to it. The record owns the
/// reference and releases it when the engine drops the record.
struct EosCameraRecord : CameraRecord {
    explicit EosCameraRecord(sdk::EdsRef ref) : Camera(std::move(ref)) {}
    sdk::EdsRef Camera;
};

/// A list of SDK directory items, oldest first.
using EdsItemList = std::deque<sdk::EdsRef>;

/// The driver of EOS cameras (family 2).
/// \context Thread-bound (owner thread), except the Register* calls, ObjectFileName,
/// ReleaseObject and TransferContext, which SDK threads may make.
class TEDSDK : public CamDriver {
public:
    TEDSDK();
    /// Removes the camera handlers and releases every reference the driver still holds.
    ~TEDSDK() override;
    TEDSDK(const TEDSDK &) = delete;
    TEDSDK &operator=(const TEDSDK &) = delete;

    // ---- session and housekeeping (EdsSession.cpp) ----
    void StartSDK(const std::string &libraryFolder) override;
    void EnumerateCameras(StringList &names) override;
    void EndSDK() override;
    /// Installs the engine's handlers, opens the session and reads model, owner and battery. A
    /// failure after the handlers were installed removes them, closes the session and forgets
    /// the camera before it is raised again.
    void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info,
                 int registryIndex) override;
    std::string ReadFirmwareVersion() override;
    /// Removes the handlers, closes the session (its result is returned), and releases the
    /// camera and every item the driver still holds.
    int Disconnect() override;
    void SetOwnerName(const std::string &name) override;
    std::string GetBodyID() override;
    void FormatCard() override;
    bool RemoteSupported() override { return true; }
    void KeepAlive() override;

    // ---- remote start and shooting parameters (EdsParams.cpp) ----
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                     int registryIndex, ReleaseEventProc remoteEvent, const std::string &cacheFolder,
                     bool probe) override;
    void RemoteEnd() override;
    void GetRemoteParams(RemoteParamsType &params) override;
    void SetRemoteParams(const RemoteParamsType &params) override;

    // ---- BEGIN capture, transfer and live view ----
    // ---- END capture, transfer and live view ----

    /// The connected camera (null before Connect and after Disconnect).
    sdk::EdsCameraRef Camera() const { return camera_.get(); }
    /// The model name read at Connect (names the probe cache file).
    const std::string &CameraModelName() const { return connection_.CameraModelName; }
    /// True when RemoteStart found live view on the camera.
    bool ViewfinderSupported() const { return viewfinderSupport_; }

protected:
    /// Probes which parameter values the camera accepts into \p support, reporting progress, and
    /// puts the camera back into the state it had before (also when a step raised).
    void ProbeSupportedParams(RemoteParamSupportType &support);
    /// True when the camera's device sub-type marks it as a newer camera. Raises on SDK failure.
    bool IsNewerCamera();

    /// Releases and empties the transfer, movie, card and collection item lists and the
    /// collection volume. Safe on any thread; never raises.
    void DropItems() noexcept;
    /// Sets the three camera handlers to none on \p camera; results are ignored.
    static void RemoveHandlers(sdk::EdsCameraRef camera) noexcept;

    // Connection data (filled by Connect).
    std::string libraryFolder_;
    ConnectInfoType connection_;
    ConnectCallbacks callbacks_;
    /// The connected camera, retained by the driver from Connect to Disconnect.
    sdk::EdsRef camera_;
    bool sessionOpen_ = false;
    bool viewfinderSupport_ = false;

    // Items announced by the camera and the open collection; shared with the SDK's threads and
    // guarded by itemsMutex_.
    mutable std::mutex itemsMutex_;
    EdsItemList transferItems_;
    EdsItemList movieItems_;
    EdsItemList cardItems_;
    EdsItemList collectionItems_;
    sdk::EdsRef collectionVolume_;
    /// 0 idle, 1 remote picture download, 2 movie, card or collection picture download.
    std::atomic<int> transferKind_{0};
};

} // namespace tbx::eos
