// TCDSDK: the driver of the older PowerShot cameras, through CDSDK.DLL (sdk/CDAPI.h).
//
// The driver is split over several source files by area:
//   CdSession.cpp    - SDK start and end, enumeration, connect and disconnect, housekeeping
//   CdCollection.cpp - the camera collection: listing, thumbnails, download, delete
//   CdParams.cpp     - release control, shooting parameters and the probe of supported values
//   CdRemote.cpp     - shooting, released data, viewfinder, zoom and AF lock
//
// Every enumeration the driver starts is owned by a CdEnum, so it is released on every way out.
// The library addresses the camera by a 32-bit source handle; the engine's callbacks receive the
// engine's registry index as their 32-bit context, never an address of the driver.
#pragma once

#include "engine/CamDriver.h"
#include "sdk/CDAPI.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tbx::cdsdk {

/// One legacy camera found by EnumerateCameras: a copy of its 400-byte device record.
struct CdCameraRecord : CameraRecord {
    explicit CdCameraRecord(const sdk::CdSourceInfo &source) : Source(source) {}
    sdk::CdSourceInfo Source;
};

/// An enumeration handle of the library, released by its release call when the owner goes
/// (result ignored), unless it was released before with releaseChecked() or handed on.
class CdEnum {
public:
    using ReleaseCall = sdk::CdError(TBX_STDCALL *)(sdk::CdHEnum);

    explicit CdEnum(ReleaseCall release) : release_(release) {}
    ~CdEnum() { reset(); }
    CdEnum(const CdEnum &) = delete;
    CdEnum &operator=(const CdEnum &) = delete;

    /// The handle's address for the library's reset call; the handle counts as started once the
    /// reset call succeeded (see started()).
    sdk::CdHEnum *receive() { return &handle_; }
    /// Marks the handle received as started: from now on it is released.
    void started() { open_ = true; }
    bool isOpen() const { return open_; }
    sdk::CdHEnum get() const { return handle_; }
    /// Releases the enumeration now, raising the release call's failure with \p label.
    void releaseChecked(const char *label);
    /// Releases the enumeration now, ignoring the result.
    void reset() noexcept;
    /// Gives up ownership: the handle is the caller's to release.
    sdk::CdHEnum detach()
    {
        open_ = false;
        return handle_;
    }

private:
    ReleaseCall release_;
    sdk::CdHEnum handle_ = 0;
    bool open_ = false;
};

/// The library the driver calls: CDSDK.DLL through its binding (CdsdkLibrary()), or any table of
/// the same entry points.
struct CdLibrary {
    /// Checks and loads the library from a folder; returns at once once loaded.
    void (*load)(const std::string &folder);
    bool (*isLoaded)();
    /// The entry points; raises EAssertionFailed while the library is not loaded.
    const sdk::CdEntryPoints &(*entryPoints)();
};

/// CDSDK.DLL.
const CdLibrary &CdsdkLibrary();

/// The driver of the legacy PowerShot cameras (family 1, below the PTP cameras).
/// \context Thread-bound (owner thread).
class TCDSDK : public CamDriver {
public:
    explicit TCDSDK(const CdLibrary &library) : library_(library) {}
    /// Leaves release control alone (the engine ends it), but gives back the collection's
    /// enumeration and the camera's source when the driver goes while connected.
    ~TCDSDK() override;
    TCDSDK(const TCDSDK &) = delete;
    TCDSDK &operator=(const TCDSDK &) = delete;

    // ---- session and housekeeping (CdSession.cpp) ----
    void StartSDK(const std::string &libraryFolder) override;
    void EnumerateCameras(StringList &names) override;
    void EndSDK() override;
    /// Opens the camera's source and reads owner and battery. A failure after the source was
    /// opened closes it again before it is raised.
    void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info, int registryIndex) override;
    int Disconnect() override;
    /// Writes the time in seconds since 1970 UTC: the host's local time is converted with the
    /// bias in force at that time, daylight saving included.
    void SetTime(std::time_t time) override;
    void SetOwnerName(const std::string &name) override;
    void KeepAlive() override;
    bool RemoteSupported() override;
    void FormatCard() override;

    // ---- the camera collection (CdCollection.cpp) ----
    /// Opening again gives back the open collection's enumeration first.
    void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list) override;
    void CloseCameraCollection(ImageListType &list) override;
    /// The library writes the picture under a temporary name beside \p fileName, which takes the
    /// picture's name only once it is complete.
    void GetPicture(int position, const std::string &fileName, ProgressProc progress, int registryIndex) override;
    void DeletePicture(ImageListType &list, int position) override;

    // ---- release control and shooting parameters (CdParams.cpp) ----
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info, int registryIndex,
                     ReleaseEventProc remoteEvent, const std::string &cacheFolder, bool probe) override;
    /// Never raise because of the camera; every SDK result is ignored.
    void GetRemoteParams(RemoteParamsType &params) override;
    void SetRemoteParams(const RemoteParamsType &params) override;

    // ---- shooting, viewfinder, zoom (CdRemote.cpp) ----
    void RemoteEnd() override;
    int GetNumberOfAvailableShots() override;
    void RemoteTakePicture(ProgressProc progress, int registryIndex) override;
    /// The library writes the released picture; as GetPicture, under a temporary name first.
    void RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc progress,
                          int registryIndex) override;
    void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex) override;
    void RemoteStopViewfinder() override;
    void SetViewfinderOutput(std::uint8_t output) override;
    void ActivateViewfinderAuto(bool on) override;
    void GetZoomPos(ZoomPosType &pos) override;
    void SetZoomPos(int pos) override;
    void AFLock(bool lock) override;

    /// The connected camera's source handle (0 when none is open).
    sdk::CdHSource Source() const { return sourceOpen_ ? source_ : 0; }
    /// The number of pictures of the open collection.
    std::size_t CollectionSize() const { return items_.size(); }

private:
    const sdk::CdEntryPoints &cd() const { return library_.entryPoints(); }
    /// The open source; raises ECamException "No camera is connected" before Connect.
    sdk::CdHSource requireSource() const;

    /// Runs the device-property enumeration until \p id comes (raising the SDK's failure of
    /// CDEnumDevicePropertyNext when it ends first), then \p use. A failure after the reset is
    /// replaced by \p ownFailure unless that is null.
    template <class Use>
    void withDeviceProperty(std::uint32_t id, const char *ownFailure, Use &&use);
    /// Reads the device property \p id into \p buffer of \p size bytes; returns the bytes read.
    std::uint32_t readDeviceProperty(std::uint32_t id, void *buffer, std::uint32_t size);

    /// The first volume, checked to have space: "OpenCameraCollection volume error" otherwise.
    sdk::CdHVolume firstVolume();
    /// Gives back the collection's enumeration (result ignored) and forgets its items.
    void dropCollection() noexcept;
    /// The item at \p position of the open collection; raises \p refusal when there is none.
    sdk::CdHImageItem collectionItem(int position, const char *refusal) const;
    /// Lets the library write image data into \p fileName through a temporary file that takes
    /// the name once complete; \p write gets the destination record.
    void writeThroughPartFile(const std::string &fileName,
                              const std::function<void(sdk::CdStgMedium &destination)> &write);

    /// Probes every parameter group into \p support, reporting progress; see CdParams.cpp.
    void probe(RemoteParamSupportType &support);
    /// The probe cache file for the current shooting mode; empty when the mode cannot be read.
    std::string probeCacheFile(const std::string &cacheFolder);

    const CdLibrary &library_;
    std::string libraryFolder_;
    /// The connected camera's record, handed to CDOpenSource.
    sdk::CdSourceInfo device_{};
    sdk::CdHSource source_ = 0;
    bool sourceOpen_ = false;
    ConnectInfoType connection_;
    sdk::CdHandle registration_ = 0;
    bool registered_ = false;
    /// The first volume of the last FormatCard or OpenCameraCollection.
    sdk::CdHVolume volume_ = 0;
    /// The image-item enumeration of the open collection, kept open until it is closed.
    sdk::CdHEnum itemEnum_ = 0;
    bool itemEnumOpen_ = false;
    /// One item per picture of the open collection, in list order.
    std::vector<sdk::CdHImageItem> items_;
};

} // namespace tbx::cdsdk
