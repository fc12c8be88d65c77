// The operation set the engine requires of every camera driver, and the shapes of the engine
// callbacks that drivers hand to their SDKs.
//
// The callbacks are plain C function pointers with exactly the shape of the SDK callback they
// are handed to, so a driver can pass them to its SDK unchanged (the SDKs call them with the
// Windows stdcall convention on 32-bit x86). Each receives the engine's registry index as its
// context: by value for the legacy and PTP SDKs (their contexts are 32-bit integers), and
// encoded in the pointer-sized context for the EOS-style SDKs (see registryContext()), so a
// callback that arrives late never reads memory of a driver that is gone.
#pragma once

#include "engine/CamDefines.h"
#include "platform/CallingConvention.h"
#include "sdk/PRTypes.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>


namespace tbx {

// ---------------------------------------------------------------------------------------------
// Driver slots
// ---------------------------------------------------------------------------------------------

/// The engine's drivers, one per slot, in the engine's family order: the PowerShot families
/// first (legacy, then PTP), then PowerShot generation 2, then EOS. Enumeration, start and end
/// walk the slots in this order.
enum DriverSlot : int { SlotLegacy, SlotPTP, SlotGen2, SlotEOS, kDriverSlotCount };

/// The camera family a slot serves (both PowerShot slots serve family 1).
constexpr CamModType slotFamily(int slot)
{
    return slot == SlotEOS ? CamModEOS : slot == SlotGen2 ? CamModPowerShotGen2 : CamModPowerShot;
}

// ---------------------------------------------------------------------------------------------
// Callback shapes
// ---------------------------------------------------------------------------------------------

/// Legacy SDK camera event: (event word, pointer to a 32-bit parameter, its size, context).
using LegacyEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t eventWord, const void *data,
                                                              std::uint32_t dataSize, std::uint32_t context);
/// Release events of every driver: (release code, pointer to a 32-bit parameter, size, context).
/// The parameter is read only when the pointer is set and the size is at least 4; drivers that
/// report releases themselves pass sizeof(std::uint32_t).
using ReleaseEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t code, const void *data,
                                                               std::uint32_t dataSize, std::uint32_t context);
/// Legacy and PTP transfer progress: (percent, status, context).
using ProgressProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t percent, std::uint32_t status,
                                                           std::uint32_t context);
/// PTP SDK event: (camera handle, context, PTP event container).
using PtpEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t camera, std::uint32_t context,
                                                           void *eventData);
/// PTP SDK transfer block: (camera handle, object handle, context, progress record).
using PtpTransferProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t camera, std::uint32_t object,
                                                              std::uint32_t context, void *progress);
/// Legacy SDK viewfinder frame: (buffer, size, format, context).
using LegacyViewfinderProc = std::uint32_t(TBX_STDCALL *)(void *buffer, std::uint32_t size,
                                                                   std::uint32_t format, std::uint32_t context);
/// PTP SDK viewfinder frame: (camera handle, context, size, buffer).
using PtpViewfinderProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t camera, std::uint32_t context,
                                                                std::uint32_t size, void *buffer);
/// EOS-style state event: (event, event data, context).
using StateEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t event, std::uint32_t eventData,
                                                            void *context);
/// EOS-style property event: (event, property id, parameter, context).
using PropertyEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t event, std::uint32_t property,
                                                               std::uint32_t param, void *context);
/// EOS-style object event: (event, object reference, context). The handler owns the reference.
using ObjectEventProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t event, void *object,
                                                             void *context);
/// EOS-style download progress: (percent, context, cancel flag out).
using EdsProgressProc = std::uint32_t(TBX_STDCALL *)(std::uint32_t percent, void *context,
                                                              std::int32_t *cancel);

/// The pointer-sized callback context that carries \p registryIndex for the EOS-style SDKs
/// (index + 1, so a null context is recognisably invalid).
inline void *registryContext(int registryIndex)
{
    return reinterpret_cast<void *>(static_cast<std::uintptr_t>(registryIndex) + 1u);
}
/// The registry index carried by an EOS-style context; empty for a null or malformed context.
inline std::optional<int> registryIndexFromContext(const void *context)
{
    const auto value = reinterpret_cast<std::uintptr_t>(context);
    if (value == 0 || value > 0x7FFFFFFFu)
        return std::nullopt;
    return static_cast<int>(value - 1u);
}

/// The engine callbacks a driver installs at Connect. Only the fields of the driver's family are
/// set: legacyEvent (legacy), ptpEvent (PTP), the four EOS-style handlers (EOS, generation 2).
struct ConnectCallbacks {
    LegacyEventProc legacyEvent = nullptr;
    PtpEventProc ptpEvent = nullptr;
    StateEventProc stateEvent = nullptr;
    PropertyEventProc propertyEvent = nullptr;
    ObjectEventProc objectEvent = nullptr;
    EdsProgressProc progress = nullptr; ///< installed on every download
};

/// The frame callbacks handed to RemoteStartViewfinder: legacy for the legacy driver, ptp for
/// the PTP driver; none for the EOS-style drivers, whose frames the engine pulls.
struct ViewfinderCallbacks {
    LegacyViewfinderProc legacy = nullptr;
    PtpViewfinderProc ptp = nullptr;
};

// ---------------------------------------------------------------------------------------------
// PTP records
// ---------------------------------------------------------------------------------------------

/// The PTP SDK's event container copy and transfer progress record (sdk/PRTypes.h).
using PtpEventRecord = sdk::PtpEventRecord;
using PtpProgressRecord = sdk::PrProgress;

// ---------------------------------------------------------------------------------------------
// Camera records
// ---------------------------------------------------------------------------------------------

/// One camera found by a driver's EnumerateCameras. Each driver derives its own record; the
/// engine's list owns them.
struct CameraRecord {
    virtual ~CameraRecord() = default;
};
using CameraRecordList = std::vector<std::unique_ptr<CameraRecord>>;

/// What the engine offers a driver besides the callbacks of single operations.
struct EngineHooks {
    /// Queues a probe-progress percentage (kind 7) for the engine at \p registryIndex. Safe on any
    /// thread; dropped when no engine or no handler is there.
    void (*probeProgress)(int registryIndex, int percent) noexcept = nullptr;
    /// The legacy PowerShot cameras' records, which the PTP driver thins out when its SDK reports
    /// a camera of that list too.
    CameraRecordList *legacyRecords = nullptr;
};

// ---------------------------------------------------------------------------------------------
// The driver operation set
// ---------------------------------------------------------------------------------------------

/// A camera driver: one per family, owned by the engine and created with it.
///
/// Every operation has a default that raises EAssertionFailed naming the operation: the engine
/// never calls a driver for an operation its family does not offer (it raises the host-facing
/// message itself), so reaching a default is an internal fault, not a camera refusal. A driver
/// overrides the operations of its family.
/// \context Thread-bound (owner thread), except where an operation says otherwise.
class CamDriver {
public:
    virtual ~CamDriver();

    /// Called by the engine right after creation.
    void Attach(int registryIndex, CameraRecordList &records, const EngineHooks &hooks);
    int RegistryIndex() const { return registryIndex_; }

    // Session
    virtual void StartSDK(const std::string &libraryFolder);
    /// Adds one name per camera to \p names and one record per camera to the record list.
    virtual void EnumerateCameras(StringList &names);
    virtual void EndSDK();
    /// \p info arrives zero-filled. The PTP driver subtracts the legacy camera count from
    /// \p cameraIndex itself.
    virtual void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info,
                         int registryIndex);
    virtual std::string ReadFirmwareVersion();
    virtual int Disconnect();

    // Housekeeping
    virtual void SetTime(std::time_t time);
    virtual void SetOwnerName(const std::string &name);
    virtual std::string GetBodyID();
    virtual void FormatCard();
    virtual bool RemoteSupported();

    // Remote capture. The EOS driver ignores \p kind, the generation-2 driver \p mode and \p kind.
    virtual void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                             int registryIndex, ReleaseEventProc remoteEvent,
                             const std::string &cacheFolder, bool probe);
    virtual void RemoteEnd();
    virtual int GetNumberOfAvailableShots();
    /// \p progress is set for the legacy and PTP drivers only.
    virtual void RemoteTakePicture(ProgressProc progress, int registryIndex);
    virtual void RemotePressShutter(int button);
    /// Legacy: (file, progress); EOS-style: (file, picture type).
    virtual void RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc progress,
                                  int registryIndex);
    /// PTP: downloads the object \p record announced; blocks arrive through \p transfer.
    virtual void RemoteGetPTPPicture(const PtpEventRecord &record, PtpTransferProc transfer,
                                     int registryIndex);
    virtual void RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex);
    virtual void RemoteGetCFPicture(const std::string &fileName, bool deleteAfter, int registryIndex);
    /// \p params arrives zero-filled.
    virtual void GetRemoteParams(RemoteParamsType &params);
    virtual void SetRemoteParams(const RemoteParamsType &params);
    /// \p pos arrives zero-filled.
    virtual void GetZoomPos(ZoomPosType &pos);
    virtual void SetZoomPos(int pos);
    virtual void PowerZoomStop();
    virtual void PowerZoomTele(bool fast, int speed);
    virtual void PowerZoomWide(bool fast, int speed);
    virtual void AFLock(bool lock);
    virtual void SetBULB(bool on);

    // Viewfinder
    virtual void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex);
    virtual void RemoteStopViewfinder();
    virtual void SetViewfinderOutput(std::uint8_t output);
    virtual void SetViewfinderDriveLens(int step);
    virtual void SetViewfinderWhitebalance(int x, int y);
    virtual void SetViewfinderAFMode(std::uint8_t mode);
    virtual std::uint8_t GetViewfinderAFMode();
    /// \p info arrives zero-filled.
    virtual void GetViewfinderAFInfo(AFFocusInfoType &info);
    virtual void SetViewfinderZoom(int zoom);
    virtual void SetViewfinderZoomPosition(int x, int y);
    virtual void SetDepthOfFieldPreview(bool on);
    virtual bool GetDepthOfFieldPreview();
    /// The legacy and PTP drivers take no argument and ignore \p on.
    virtual void ActivateViewfinderAuto(bool on);
    virtual void StartMovieRecording();
    virtual void EndMovieRecording();
    /// Pulls one live-view frame of the connected camera (EOS-style drivers, whose frames the
    /// engine's viewfinder timer pulls, one per tick) and returns the SDK's result of the
    /// download (0 for a frame). On 0, \p jpeg holds the frame; the EOS driver also overwrites
    /// the frame fields of \p metadata (ZoomPosition, ZoomRect, ImagePosition, CoordSystem,
    /// Histogram, Zoom, PowerZoom Min/Max/Current) with what it could read, leaving a field as it
    /// was when its read fails. Failures of the other SDK calls raise ECamException, with every
    /// reference the call made already released. The tick's result rules are the engine's.
    virtual std::uint32_t DownloadViewfinderFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata);
    /// The SDK's error text for a result of DownloadViewfinderFrame.
    virtual std::string ViewfinderErrorText(std::uint32_t result) const;

    // Collection
    virtual void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list);
    virtual void CloseCameraCollection(ImageListType &list);
    /// \p progress is set for the legacy and PTP drivers only.
    virtual void GetPicture(int position, const std::string &fileName, ProgressProc progress,
                            int registryIndex);
    virtual void DeletePicture(ImageListType &list, int position);

    virtual void KeepAlive();

    // Object events of the EOS-style SDKs. The engine's object handlers decide what an object
    // is; these calls are where the driver touches its SDK for them. They may run on an SDK
    // thread. Each Register* call hands the reference over to the driver; false when the
    // driver's session has ended, and the reference was given back.
    virtual bool RegisterTransferItem(void *object);
    virtual bool RegisterMovieItem(void *object);
    virtual bool RegisterCardItem(void *object);
    /// The file name of a directory item (at most 255 characters).
    virtual std::string ObjectFileName(void *object);
    /// Releases an object reference that no list keeps.
    virtual void ReleaseObject(void *object);
    /// What the running download is for (EOS driver: 1 remote picture, 2 movie, card picture or
    /// collection picture, 0 none). Drivers without such downloads report 0.
    virtual int TransferContext() const { return 0; }

protected:
    CameraRecordList &records();
    /// The legacy PowerShot records (EngineHooks::legacyRecords); null when the engine gave none.
    CameraRecordList *legacyRecords() const { return hooks_.legacyRecords; }
    /// Queues probe progress through the engine (kind 7).
    void reportProbeProgress(int percent) const;

private:
    [[noreturn]] static void notOffered(const char *operation);

    int registryIndex_ = -1;
    CameraRecordList *records_ = nullptr;
    EngineHooks hooks_;
};

/// An engine's drivers, one per DriverSlot.
using DriverArray = std::array<std::unique_ptr<CamDriver>, kDriverSlotCount>;

} // namespace tbx
