// TTetherboxActiveX: the host-facing control. It owns one camera engine (created lazily by
// OpenCameraEnumeration, freed by CloseCameraEnumeration), holds the host's settings, checks the
// host's arguments, answers from the copies it keeps of what the engine last returned, turns
// engine events into its own events and writes live-view frames into rotating JPEG files.
#pragma once

#include "control/FrameFiles.h"
#include "engine/CamDefines.h"
#include "engine/Tetherbox.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tbx {

/// Fixed messages of the control's checks.
namespace msg {
inline constexpr const char *kNoEnumeration =
    "No camera enumeration is open: call OpenCameraEnumeration first";
inline constexpr const char *kHistogramLevel =
    "Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255";
inline constexpr const char *kHistogramColor =
    "Parameter HistogramColor in method RemoteGetViewfinderHistogram must be within 0..3";
inline constexpr const char *kAFFrameNr =
    "Parameter FrameNr in method RemoteGetViewfinderAutofocusInfoFrame must be between 0..599";
inline constexpr const char *kNoThumbnails = "Thumbnail not received since not set in OpenCameraCollection";
inline constexpr const char *kCreateDirectory = "Could not create viewfinder picture directory:";
inline constexpr const char *kInvalidDate = "Invalid date or time for SetTimeInCamera";
} // namespace msg

/// Where the Windows build draws the control (a 32 x 32 window showing a small bitmap). The
/// portable control decides what is drawn and in which order; the surface does the drawing.
class ControlPaintSurface {
public:
    virtual ~ControlPaintSurface() = default;
    /// The framework's own painting of the window.
    virtual void PaintBase() = 0;
    virtual void SetSizeConstraints(int minWidth, int minHeight, int maxWidth, int maxHeight) = 0;
    /// Draws the bitmap resource \p resourceName of the control's module, transparent, at (x, y).
    virtual void DrawTransparentBitmap(const std::string &resourceName, int x, int y) = 0;
};

// Event method types of the control; the parameters are those the host's events carry.
using TNotifyOCXViewfinderEvent = std::function<void(
    const std::string &ViewfinderFileName, std::int32_t ViewfinderDataAddress, std::int32_t ViewfinderSize,
    bool Metadata_Valid, std::int32_t Metadata_ZoomPosition_X, std::int32_t Metadata_ZoomPosition_Y,
    std::int32_t Metadata_ZoomRect_Point_X, std::int32_t Metadata_ZoomRect_Point_Y,
    std::int32_t Metadata_ZoomRect_Rect_Width, std::int32_t Metadata_ZoomRect_Rect_Height,
    std::int32_t Metadata_ImagePosition_X, std::int32_t Metadata_ImagePosition_Y,
    std::int32_t Metadata_CoordSystem_Width, std::int32_t Metadata_CoordSystem_Height,
    std::int32_t Metadata_Zoom)>;
using TNotifyOCXCameraEvent = std::function<void(EventSeverityType Severity, EventEnumType EventNum)>;
using TNotifyOCXRemoteEvent = std::function<void(RemoteEventCallbackType EventNum, NotifyRemoteEventValidType EventValid,
                                                 std::int32_t NumOfEvents, TypeOfPictureType TypeOfPicture)>;
using TNotifyOCXPercentEvent = std::function<void(std::int32_t PercentageDone)>;
using TNotifyOCXRemoteTakePictureEvent = TNotifyOCXPercentEvent;
using TNotifyOCXRemoteGetPictureEvent = TNotifyOCXPercentEvent;
using TNotifyOCXRemoteGetMovieEvent = TNotifyOCXPercentEvent;
using TNotifyOCXGetPictureEvent = TNotifyOCXPercentEvent;
using TNotifyOCXRemoteProbeParamEvent = TNotifyOCXPercentEvent;
using TNotifyOCXRawDevelopEvent = TNotifyOCXPercentEvent;

/// Delivery modes of live-view frames.
enum ViewfinderCallbackType : std::uint8_t {
    ViewfinderCallbackFilename,
    ViewfinderCallbackStream,
};

class TTetherboxActiveX {
public:
    /// Builds the engine the control owns. The default builds one with the drivers of this
    /// build, loading the vendor libraries from the engine's LibraryFolder.
    using EngineFactory = std::function<std::unique_ptr<TTetherbox>()>;
    /// Places a live-view frame of \p size bytes in memory whose address fits in 32 bits and
    /// returns it (nullptr when it cannot). Only consulted when the engine's own block lies above
    /// 4 GiB (64-bit processes); the block must stay valid until the next call.
    using LowBlockProvider = std::function<std::uint8_t *(std::size_t size)>;

    explicit TTetherboxActiveX(EngineFactory factory = {});
    /// Unassigns the engine's handlers, then stops the viewfinder, ends remote mode, disconnects
    /// and closes the enumeration (best effort), and frees the engine.
    ~TTetherboxActiveX();
    TTetherboxActiveX(const TTetherboxActiveX &) = delete;
    TTetherboxActiveX &operator=(const TTetherboxActiveX &) = delete;

    /// The engine with every driver this build has.
    static std::unique_ptr<TTetherbox> MakeDefaultEngine();

    // ---- published properties ----
    float Version() const { return 8.9f; }
    /// Accepted and ignored: the version is that of the build.
    void SetVersion(float) {}
    int EOSViewfinderRefreshInterval = 50;
    int PS2ViewfinderRefreshInterval = 25;
    /// At most 255 characters (longer text is cut by the automation layer).
    std::string LibraryFolder;
    int Width() const { return 32; }
    int Height() const { return 32; }

    EventProperty<TNotifyOCXViewfinderEvent> OnViewfinderEvent;
    EventProperty<TNotifyOCXCameraEvent> OnEvent;
    EventProperty<TNotifyOCXRemoteEvent> OnRemoteEvent;
    EventProperty<TNotifyOCXRemoteTakePictureEvent> OnRemoteTakePictureEvent;
    EventProperty<TNotifyOCXRemoteGetPictureEvent> OnRemoteGetPictureEvent;
    EventProperty<TNotifyOCXRemoteGetMovieEvent> OnRemoteGetMovieEvent;
    EventProperty<TNotifyOCXGetPictureEvent> OnGetPictureEvent;
    EventProperty<TNotifyOCXRemoteProbeParamEvent> OnRemoteProbeParamEvent;
    EventProperty<TNotifyOCXRawDevelopEvent> OnRawDevelopEvent;
    /// Told about a failure that the engine's timers caught (an event handler or a live-view
    /// pull that raised); C++ hosts use it to show why frames stopped.
    EventProperty<std::function<void(const std::string &message)>> OnTimerError;

    /// Installs the drawing seam (the Windows build's window); nullptr removes it.
    void SetPaintSurface(ControlPaintSurface *surface) { paintSurface_ = surface; }
    void SetLowBlockProvider(LowBlockProvider provider);
    void Paint();

    /// True while the control owns an engine.
    bool HasEngine() const { return FEngine != nullptr; }
    /// The owned engine (for hosts and tests that look below the control); nullptr without one.
    TTetherbox *Engine() { return FEngine.get(); }
    /// The random base of this control's frame file names.
    std::uint32_t FrameFileBase() const { return frames_.base(); }

    // ---- enumeration and connection ----
    void OpenCameraEnumeration();
    int OpenCameraEnumeration_GetPowerShotNr() const;
    int OpenCameraEnumeration_GetEOSNr() const;
    int OpenCameraEnumeration_GetPowerShotGen2Nr() const;
    std::string OpenCameraEnumeration_GetModel(int CameraType, int Nr) const;
    void Connect(int CameraType, int CameraNumber);
    void Disconnect();
    void CloseCameraEnumeration();
    int Connect_CameraModel() const { return FConnectInfo.CameraModel; }
    std::string Connect_CameraModelName() const;
    std::string Connect_OwnerName() const;
    int Connect_Battery_BatterySource() const { return FConnectInfo.BatterySource; }
    int Connect_Battery_BatteryStatus() const { return FConnectInfo.BatteryStatus; }
    std::string Connect_FirmwareVersion() const;

    // ---- housekeeping ----
    void SetTimeInCamera(int YearCam, int MonthCam, int DayCam, int HourCam, int MinutesCam, int SecondCam,
                         int MillisecondCam);
    void SetOwnerName(const std::string &OwnerName);
    std::string GetBodyID();
    void FormatCameraCard();

    // ---- remote capture ----
    bool RemoteSupported();
    void RemoteStart(int ReleaseMode, int ReleaseDataKind, bool ProbeRemoteParameters,
                     const std::string &CacheRemoteParamDir);
    std::string RemoteStart_GetRemoteParamSupported(int RemoteParamKind) const;
    bool RemoteStart_DoSupportZoom() const { return FRemoteStartInfo.DoSupportZoom != 0; }
    bool RemoteStart_DoSupportPowerZoom() const { return FRemoteStartInfo.DoSupportPowerZoom != 0; }
    bool RemoteStart_DoSupportShootingPara() const { return FRemoteStartInfo.DoSupportShootingPara != 0; }
    bool RemoteStart_DoSupportViewfinder() const { return FRemoteStartInfo.DoSupportViewfinder != 0; }
    bool RemoteStart_ReqViewfinderOffWhenShooting() const { return FRemoteStartInfo.ReqViewfinderOffWhenShooting != 0; }
    bool RemoteStart_DoSupportAfLockUnlock() const { return FRemoteStartInfo.DoSupportAfLockUnlock != 0; }
    void RemoteEnd();
    int RemoteGetNumberOfAvailableShots();
    void RemoteTakePicture();
    void RemotePressShutter(int ShutterButton);
    void RemoteGetPicture(const std::string &FileName, int PictureType);
    void RemoteGetMovie(const std::string &FileName, bool DeleteFromCameraAfterTransfer);
    void RemoteGetCFPicture(const std::string &FileName, bool DeleteFromCameraAfterTransfer);
    void RemoteBULBMode(bool ActivateBULB);

    // ---- remote parameters ----
    void RemoteGetCameraCacheParameters();
    int RemoteGetRemoteParams(int RemoteParamKind) const;
    int RemoteGetRemoteParams_PictureStyle(int RemoteParamPictureStyleKind) const;
    int RemoteGetRemoteParams_WhitebalanceShift(int RemoteParamWhitebalanceShiftKind) const;
    void RemoteSetRemoteParams(int RemoteParamKind, int Value);
    void RemoteSetRemoteParams_AvTvImageMode(int ImageMode, int Av, int Tv);
    void RemoteSetRemoteParams_ImageQuality(int ImageSize, int ImageQuality, int ImageSizePic2RAW,
                                            int ImageQualityPic2RAW);
    void RemoteSetRemoteParams_PictureStyle(bool PictureStyleEnabled, int PictureStyle, int Contrast, int Sharpness,
                                            int Saturation, bool SaturationUsed, int ColorTone, bool ColorToneUsed,
                                            int MonochromeFilter, bool MonochromeFilterUsed, int MonochromeTone,
                                            bool MonochromeToneUsed);
    void RemoteSetRemoteParams_WhitebalanceShift(bool WBShiftEnabled, int AmberBlue, int GreenMagenta);
    void RemoteLoadCameraRemoteParams(const std::string &FileName);
    void RemoteSaveCameraRemoteParams(const std::string &FileName);

    // ---- zoom and focus ----
    int RemoteGetZoomPos_CurrentZoomPos();
    int RemoteGetZoomPos_MaxOpticalZoomPos();
    int RemoteGetZoomPos_MaxZoomPos();
    void RemoteSetZoomPos(int ZoomPos);
    int RemoteGetPowerZoom(int PowerZoomParamKind) const;
    void RemotePowerZoomTele(bool ZoomFast, int ZoomSpeed);
    void RemotePowerZoomWide(bool ZoomFast, int ZoomSpeed);
    void RemotePowerZoomStop();
    void RemoteAFLock(bool AFLock);

    // ---- viewfinder ----
    void RemoteStartViewfinder(int CallbackMethod, bool ViewfinderUseCanonThread, const std::string &PictureDirectory);
    void RemoteStopViewfinder();
    bool RemoteGetViewfinderImage();
    int RemoteGetViewfinderHistogram(int HistogramColor, int param2) const;
    void RemoteSetViewfinderOutput(int ViewfinderOutput);
    void RemoteSetViewfinderDriveLens(int DriveLens);
    void RemoteSetViewfinderWhitebalance(int XCoord, int YCoord);
    void RemoteSetViewfinderAutofocusMode(int AFMode);
    int RemoteGetViewfinderAutofocusMode();
    int RemoteGetViewfinderAutofocusInfo(int AFFocusInfo);
    int RemoteGetViewfinderAutofocusInfoFrame(int FrameNr, int AFFocusFrame);
    void RemoteSetViewfinderZoom(int Zoom);
    void RemoteSetViewfinderZoomPosition(int X, int Y);
    void RemoteSetViewfinderDepthOfFieldPreview(bool Activate);
    bool RemoteGetViewfinderDepthOfFieldPreview();
    void RemoteActivateViewfinderAuto(bool EOSLockAF);

    // ---- movie recording ----
    void RemoteStartMovieRecording();
    void RemoteEndMovieRecording();

    // ---- camera collection ----
    void OpenCameraCollection(const std::string &TempDir, bool GetThumbnails);
    int OpenCameraCollection_GetNrOfPictures() const;
    std::string OpenCameraCollection_NameOfImage(int PictureNumber) const;
    /// C++ hosts: the whole entry (name, size, time stamp) of the collection's picture
    /// \p PictureNumber; nullptr when there is none.
    const ImageDataType *OpenCameraCollection_Entry(int PictureNumber) const;
    void OpenCameraCollection_GetThumbnail(int PictureNumber, const std::string &FileName) const;
    void CloseCameraCollection();
    /// \p GetJPEGInRaw is accepted for the host interface; the engine downloads the file as is.
    void GetPicture(int NrInList, bool GetJPEGInRaw, const std::string &FileName);
    void DeletePicture(int NrInList);

    // ---- RAW development ----
    void OpenRAWObject(const std::string &FileName);
    std::string OpenRAWObject_GetRemoteParamSupported(int RAWParamKind) const;
    void SetRAWDevelopmentParameters(int RAWParamKind, int Value);
    int GetRAWDevelopmentParameters(int RAWParamKind);
    void DevelopRAWPicture(const std::string &OutFileName, int FileFormat, int BitsPerPixel,
                           const std::string &ICCProfileFileName, int JPEGQuality);
    void CloseRAWObject();

private:
    /// The engine, or "No camera enumeration is open".
    TTetherbox &engine();
    void createEngine();
    void installHandlers(TTetherbox &e);
    static void removeHandlers(TTetherbox &e);
    void freeEngine();
    /// Runs \p step (an engine call that may end the viewfinder) and then, on success or failure,
    /// removes the frame files if the viewfinder no longer runs.
    void endingViewfinder(const std::function<void()> &step);
    /// Removes the frame files and forgets their directory, unless the viewfinder still runs.
    void removeFrameFilesOnceStopped() noexcept;

    // Engine event entry points.
    void engineViewfinderEvent(std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &metadata);
    void engineCameraEvent(EventCallbackType event);
    void engineRemoteEvent(RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data);
    /// The 32-bit address the host gets for \p jpeg in stream mode; raises when none can be given.
    std::uint32_t streamAddress(std::span<const std::uint8_t> jpeg);

    void setParams(const RemoteParamsType &params);

    EngineFactory factory_;
    std::unique_ptr<TTetherbox> FEngine;
    StringList FPowerShotNames;
    StringList FEOSNames;
    StringList FPowerShotGen2Names;
    ConnectInfoType FConnectInfo;
    RemoteStartInfoType FRemoteStartInfo;
    RemoteParamsType FCameraCacheParams;
    ImageListType FPictureList;
    bool FPictureListHasThumbnails = false;
    std::array<std::uint8_t, 17> FRAWWhiteBalanceSupported{};

    /// Guards the frame state shared with frame delivery, which may run on an SDK thread: the
    /// histogram, the last metadata, the delivery mode, the directory and the frame files.
    mutable std::mutex frameMutex_;
    std::int32_t FHistogram[4][256] = {};
    ViewfinderPositionType FLastViewfinderMetadata;
    ViewfinderCallbackType FViewfinderCallback = ViewfinderCallbackFilename;
    FrameFiles frames_;
    LowBlockProvider lowBlockProvider_;

    ControlPaintSurface *paintSurface_ = nullptr;
};

} // namespace tbx
