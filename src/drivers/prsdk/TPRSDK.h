// TPRSDK: the driver of the PowerShot cameras that PRSDK.DLL serves over PTP (family 1, the
// cameras beyond the legacy ones in the engine's PowerShot list). The driver reaches its SDK only
// through the PrSdk it is created with.
//
// The driver is split over several source files by area:
//   PrSession.cpp - SDK start and end, enumeration, connect and disconnect, housekeeping
//   PrParams.cpp  - RemoteStart with the probe of supported values, the shooting parameters
//   PrRemote.cpp  - release, transfer, viewfinder, AE/AF/AWB, focus lock and zoom
//
// The engine's event handler is installed at Connect with the engine's registry index as context
// and removed at Disconnect, on a failed Connect and before the SDK ends, so no callback reaches
// an engine through a camera the driver let go of.
#pragma once

#include "drivers/prsdk/PrTables.h"
#include "engine/CamDriver.h"
#include "platform/CallingConvention.h"
#include "sdk/PRAPI.h"
#include "sdk/PtpDatasets.h"

#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tbx::prsdk {

/// The SDK as the driver reaches it: its loader, its entry points and its error check.
struct PrSdk {
    /// Checks and loads the library from a folder; returns at once once loaded.
    void (*load)(const std::string &folder);
    /// The bound entry points; raises while the library is not loaded.
    const sdk::PrEntryPoints &(*entryPoints)();
    /// Does nothing for 0; otherwise raises ECamException "<label> errorcode 0x..., <text>".
    void (*raiseOnError)(std::string_view label, std::uint32_t code);
};

/// One camera of the device list: its record, copied unchanged.
struct PrCameraRecord : CameraRecord {
    sdk::PrDeviceInfoTable Device{};
};

/// The driver of PTP PowerShot cameras.
/// \context Thread-bound (owner thread).
class TPRSDK : public CamDriver {
public:
    explicit TPRSDK(const PrSdk &sdk);
    /// Lets go of a camera still connected.
    ~TPRSDK() override;

    /// The connected camera's handle (0 when none is connected).
    std::uint32_t Handle() const { return connected_ ? handle_ : 0; }
    TPRSDK(const TPRSDK &) = delete;
    TPRSDK &operator=(const TPRSDK &) = delete;

    // ---- session and housekeeping (PrSession.cpp) ----
    void StartSDK(const std::string &libraryFolder) override;
    /// Appends the PTP cameras to \p names, which holds the legacy cameras' names; a legacy camera
    /// this SDK reports too is dropped from the legacy part and its record.
    void EnumerateCameras(StringList &names) override;
    void EndSDK() override;
    /// \p cameraIndex counts the legacy cameras first. A failure after the camera object was
    /// created lets go of it again before it is raised.
    void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info, int registryIndex) override;
    int Disconnect() override;
    void SetTime(std::time_t time) override;
    void SetOwnerName(const std::string &name) override;
    void FormatCard() override;
    void KeepAlive() override;
    void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list) override;
    void CloseCameraCollection(ImageListType &list) override;
    void GetPicture(int position, const std::string &fileName, ProgressProc progress, int registryIndex) override;
    void DeletePicture(ImageListType &list, int position) override;
    bool RemoteSupported() override;

    // ---- remote mode and parameters (PrParams.cpp) ----
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info, int registryIndex,
                     ReleaseEventProc remoteEvent, const std::string &cacheFolder, bool probe) override;
    void GetRemoteParams(RemoteParamsType &params) override;
    void SetRemoteParams(const RemoteParamsType &params) override;

    // ---- release, transfer, viewfinder, zoom (PrRemote.cpp) ----
    void RemoteEnd() override;
    int GetNumberOfAvailableShots() override;
    void RemoteTakePicture(ProgressProc progress, int registryIndex) override;
    void RemoteGetPTPPicture(const PtpEventRecord &record, PtpTransferProc transfer, int registryIndex) override;
    void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex) override;
    void RemoteStopViewfinder() override;
    void SetViewfinderOutput(std::uint8_t output) override;
    void ActivateViewfinderAuto(bool on) override;
    void AFLock(bool lock) override;
    void GetZoomPos(ZoomPosType &pos) override;
    void SetZoomPos(int pos) override;

    /// The capability flags (kCapabilityCount, see PrCapability).
    const std::bitset<kCapabilityCount> &Capabilities() const { return caps_; }

private:
    const sdk::PrEntryPoints &pr() const { return sdk_.entryPoints(); }
    void check(std::string_view label, std::uint32_t code) const { sdk_.raiseOnError(label, code); }
    /// Lets go of the camera object: removes the event handler, disconnects, destroys. Best
    /// effort; the result of the destruction is returned.
    std::uint32_t releaseCamera();
    /// Reads the device information into the capability flags (operations always; the listed
    /// properties when \p properties).
    void readCapabilities(bool properties);
    /// A property description (checked); the buffer is the read's own.
    sdk::PtpPropDesc propertyDesc(std::uint16_t property);
    /// A property value of \p size bytes; empty when the read fails.
    std::optional<std::uint32_t> tryValue(std::uint16_t property, std::size_t size);
    /// Writes a \p size-byte value; the result is returned unchecked.
    std::uint32_t writeValue(std::uint16_t property, std::size_t size, std::uint32_t value);
    void probe(RemoteParamSupportType &support);
    void probeProperty(const PrProperty &property, RemoteParamSupportType &support);
    bool has(int capability) const { return caps_.test(static_cast<std::size_t>(capability)); }

    const PrSdk &sdk_;
    std::string folder_;
    bool started_ = false;
    std::uint32_t handle_ = 0;
    bool objectCreated_ = false;
    bool connected_ = false;
    bool callbackSet_ = false;
    ConnectInfoType connection_;
    int cameraRegistryIndex_ = -1;
    std::bitset<kCapabilityCount> caps_;
    bool compressionListed_ = false; ///< 0xD006 itself listed
    bool rawQualityListed_ = false;  ///< 0xD007 itself listed
};

} // namespace tbx::prsdk
