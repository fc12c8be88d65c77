// TEDSDK: the driver of the EOS camera family, through EDSDK.DLL or any library with its entry
// points (the generation-2 SDK has 45 of them under the same names): the driver reaches its SDK
// only through the EdsLibrary it is created with.
//
// The driver is split over several source files by area:
//   EdsSession.cpp  - SDK start and end, enumeration, connect and disconnect, housekeeping
//   EdsParams.cpp   - shooting parameters, their conversions, the probe of supported values,
//                     RemoteStart and RemoteEnd
//   EdsCapture.cpp  - shooting, transfers, the camera collection
//   EdsLiveView.cpp - live view on and off, its settings, zoom and movies
//   EdsFrame.cpp    - live-view frames
//
// Every SDK reference the driver holds is owned by an sdk::EdsRef, so it is released exactly once.
// The engine's three camera handlers are installed at Connect with the engine's registry index as
// context (never an address of the driver), and removed again at Disconnect, on a failed Connect
// and when the driver goes, so no callback can reach a driver or engine that is gone.
#pragma once

#include "drivers/common/CodeTable.h"
#include "engine/CamDriver.h"
#include "sdk/EDSDK.h"
#include "sdk/EdsLibrary.h"
#include "sdk/EdsRef.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tbx::eos {

/// One EOS camera found by EnumerateCameras: the driver's reference to it. The record owns the
/// reference and releases it when the engine drops the record.
struct EosCameraRecord : CameraRecord {
    explicit EosCameraRecord(sdk::EdsRef ref) : Camera(std::move(ref)) {}
    sdk::EdsRef Camera;
};

/// What sets one EOS-style camera family apart inside the driver: which cameras it lists, how it
/// reads the connection data, its parameter tables and which optional parameters it has.
struct EdsFamily {
    CamModType model;
    /// Enumeration lists only cameras whose description contains this text, in any case; null
    /// lists every camera.
    const char *descriptionFilter;
    /// The owner-name buffer read at Connect.
    std::size_t ownerNameBuffer;
    /// The longest owner name SetOwnerName writes (without its terminating zero).
    std::size_t maxOwnerName;
    /// Fills BatterySource and BatteryStatus from the battery-level property.
    void (*judgeBattery)(std::uint32_t level, ConnectInfoType &info);
    /// The size of the focus-information block read when the library does not report one.
    std::size_t focusInfoSize;

    // Conversion tables (camera value against the driver-neutral code).
    std::span<const drivers::CodeRow> exposureModes, exposureCompensations, whiteBalances, afModes, driveModes,
        meteringModes, colorSpaces, isoSpeeds, imageSizes, compressions, pictureStyles, evfAFModes;
    /// Optional parameters: the live-view AF mode in the probe, the white-balance shift and the
    /// picture styles. A family without one neither reads nor writes it.
    bool probesLiveViewAFMode;
    bool whiteBalanceShift;
    bool pictureStyle;
    /// True when the image-quality part of the probe is one step (the family always describes
    /// its qualities); false for the description and the values as two steps.
    bool qualityInOneStep;
};

/// The EOS family: every camera, 256-byte owner names, the battery by its lowest byte.
const EdsFamily &EosFamily();

/// The number of progress steps of the probe of supported values for \p family.
int ProbeStepCount(const EdsFamily &family);

/// A list of SDK directory items, oldest first.
using EdsItemList = std::deque<sdk::EdsRef>;

/// The SDK an EOS-style driver calls, held by the driver (never a global): its entry points, its
/// error texts, and owners for its references. The driver's helpers take it as a parameter.
class EdsCalls {
public:
    explicit EdsCalls(const sdk::EdsLibrary &library) : sdk_(library) {}

    const sdk::EdsLibrary &library() const { return sdk_; }
    /// The entry points; raises EAssertionFailed while the library is not loaded.
    const sdk::EdsEntryPoints &eds() const { return sdk_.entryPoints(); }
    void raiseOnError(std::string_view label, sdk::EdsError code) const { sdk_.raiseOnError(label, code); }
    /// An owner of \p ref, a reference of this SDK (empty: ready to receive one).
    sdk::EdsRef newRef(sdk::EdsBaseRef ref = nullptr) const { return sdk::EdsRef(sdk_, ref); }

protected:
    const sdk::EdsLibrary &sdk_;
};

/// The driver of EOS cameras (family 2).
/// \context Thread-bound (owner thread), except the Register* calls, ObjectFileName,
/// ReleaseObject and TransferContext, which SDK threads may make.
class TEDSDK : public CamDriver, protected EdsCalls {
public:
    /// A driver over \p library (EDSDK.DLL for EOS cameras) for the cameras of \p family.
    explicit TEDSDK(const sdk::EdsLibrary &library, const EdsFamily &family = EosFamily());
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

    // ---- capture, transfer and live view ----
    // Shooting (EdsCapture.cpp)
    int GetNumberOfAvailableShots() override;
    void RemoteTakePicture(ProgressProc progress, int registryIndex) override;
    /// Presses the shutter button; a camera that refuses is asked again every 200 ms, 25 times,
    /// before the last answer is raised.
    void RemotePressShutter(int button) override;
    /// Bulb start locks the camera's user interface first; bulb end unlocks it again, also
    /// when the bulb command itself failed.
    void SetBULB(bool on) override;

    // Transfers of announced items (EdsCapture.cpp). A target file that cannot be created
    // leaves the item at the head of its list; an item is deleted from the card only after its
    // download succeeded.
    /// \p pictureType 0 downloads the thumbnail and keeps the item; 1 downloads the picture and
    /// consumes the item. \p progress is not used.
    void RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc progress,
                          int registryIndex) override;
    void RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex) override;
    void RemoteGetCFPicture(const std::string &fileName, bool deleteAfter, int registryIndex) override;

    // Object events (any thread; EdsCapture.cpp)
    bool RegisterTransferItem(void *object) override;
    bool RegisterMovieItem(void *object) override;
    bool RegisterCardItem(void *object) override;
    std::string ObjectFileName(void *object) override;
    void ReleaseObject(void *object) override;
    int TransferContext() const override { return transferKind_.load(); }

    // The camera collection (EdsCapture.cpp). Opening again closes the open collection first.
    void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list) override;
    void CloseCameraCollection(ImageListType &list) override;
    void GetPicture(int position, const std::string &fileName, ProgressProc progress,
                    int registryIndex) override;
    void DeletePicture(ImageListType &list, int position) override;

    // Live view, focus, zoom and movies (EdsLiveView.cpp)
    void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex) override;
    void RemoteStopViewfinder() override;
    void SetViewfinderOutput(std::uint8_t output) override;
    void SetViewfinderDriveLens(int step) override;
    /// Refuses coordinates outside 0..65535 before anything is sent.
    void SetViewfinderWhitebalance(int x, int y) override;
    void SetViewfinderAFMode(std::uint8_t mode) override;
    std::uint8_t GetViewfinderAFMode() override;
    void GetViewfinderAFInfo(AFFocusInfoType &info) override;
    void SetViewfinderZoom(int zoom) override;
    void SetViewfinderZoomPosition(int x, int y) override;
    void SetDepthOfFieldPreview(bool on) override;
    bool GetDepthOfFieldPreview() override;
    void ActivateViewfinderAuto(bool on) override;
    void AFLock(bool lock) override;
    void PowerZoomStop() override;
    void PowerZoomTele(bool fast, int speed) override;
    void PowerZoomWide(bool fast, int speed) override;
    void StartMovieRecording() override;
    void EndMovieRecording() override;

    // Live-view frames (EdsFrame.cpp)
    std::uint32_t DownloadViewfinderFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata) override;
    std::string ViewfinderErrorText(std::uint32_t result) const override;

protected:
    /// The head of \p list (it stays in the list); raises \p emptyMessage when there is none.
    sdk::EdsDirectoryItemRef headItem(const EdsItemList &list, const char *emptyMessage) const;
    /// Takes \p item out of \p list; the caller owns the returned reference.
    sdk::EdsRef takeItem(EdsItemList &list, sdk::EdsDirectoryItemRef item);
    /// Appends \p object to \p list while a session is open; otherwise releases it (false).
    bool registerItem(EdsItemList &list, void *object);
    /// Downloads the whole of \p item into \p stream with the engine's progress callback,
    /// reporting \p kind as the transfer context while it runs.
    /// \p failure receives the code of the SDK call that failed before the raise.
    void downloadItem(sdk::EdsDirectoryItemRef item, sdk::EdsStreamRef stream, int kind, int registryIndex,
                      sdk::EdsError &failure);
    /// Downloads the announced \p item of \p list into \p stream (the file \p fileName) and
    /// settles it: see the file comment of EdsCapture.cpp.
    void transferAnnounced(EdsItemList &list, sdk::EdsDirectoryItemRef item, sdk::EdsRef stream,
                           const std::string &fileName, bool deleteAfter, int kind, int registryIndex);
    /// RemoteGetMovie and RemoteGetCFPicture on \p list.
    void downloadAnnounced(EdsItemList &list, const char *emptyMessage, const std::string &fileName,
                           bool deleteAfter, int registryIndex);
    /// Releases the open collection's volume and items (nothing when none is open).
    void closeCollection() noexcept;
    /// Writes a 32-bit camera property, raising with \p label.
    void setProperty32(sdk::EdsPropertyID property, std::uint32_t value, const char *label);
    /// Writes a 32-bit camera property; on failure tries again every second, five times, and
    /// raises the result of a last try with \p label.
    void setPropertyPatiently(sdk::EdsPropertyID property, std::uint32_t value, const char *label);
    void sendCommand(sdk::EdsCameraCommand command, std::int32_t param, const char *label);
    /// The collection item at \p position; raises "Requested <request> of picture ..." when the
    /// collection has none there.
    sdk::EdsDirectoryItemRef collectionItem(int position, const char *request) const;
    /// Sets the power-zoom speed, then drives the zoom with \p drive.
    void drivePowerZoom(int speed, std::int32_t drive);

public:
    /// The AF frames to read from a focus-information block of \p blockSize bytes whose count
    /// says \p claimed: a negative count is none; at most 600, and no more than the block holds.
    static std::size_t FocusFrameCount(std::int32_t claimed, std::size_t blockSize);

    /// The connected camera (null before Connect and after Disconnect).
    sdk::EdsCameraRef Camera() const { return camera_.get(); }
    /// The model name read at Connect (names the probe cache file).
    const std::string &CameraModelName() const { return connection_.CameraModelName; }
    /// True when RemoteStart found live view on the camera.
    bool ViewfinderSupported() const { return viewfinderSupport_; }

protected:
    /// Probes which parameter values the camera accepts into \p support, reporting progress, and
    /// puts the camera back into the state it had before (also when a step raised). The result is
    /// stored in the probe cache file \p cacheFile unless it is empty.
    void ProbeSupportedParams(RemoteParamSupportType &support, const std::string &cacheFile);
    /// The supported values from the probe cache file in \p cacheFolder (none: no cache) for the
    /// camera's exposure mode, or else from a probe, whose result is then stored there.
    void ProbeOrLoadSupport(RemoteParamSupportType &support, const std::string &cacheFolder);
    /// The probe cache file of the connected camera in \p cacheFolder for its current exposure
    /// mode.
    std::string ProbeCacheFile(const std::string &cacheFolder);
    /// True when the camera's device sub-type marks it as a newer camera. Raises on SDK failure.
    bool IsNewerCamera();

    /// Releases and empties the transfer, movie, card and collection item lists and the
    /// collection volume. Safe on any thread; never raises.
    void DropItems() noexcept;
    /// Sets the three camera handlers to none on \p camera; results are ignored.
    void RemoveHandlers(sdk::EdsCameraRef camera) const noexcept;
    /// The connected camera; raises ECamException "No camera is connected" before Connect.
    sdk::EdsCameraRef RequireCamera() const;

    const EdsFamily &family_;

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
    /// True from Connect to Disconnect: an item announced outside a session is given back.
    bool acceptingItems_ = false;
    EdsItemList transferItems_;
    EdsItemList movieItems_;
    EdsItemList cardItems_;
    EdsItemList collectionItems_;
    sdk::EdsRef collectionVolume_;
    /// 0 idle, 1 remote picture download, 2 movie, card or collection picture download.
    std::atomic<int> transferKind_{0};
};

} // namespace tbx::eos
