// A camera driver for engine tests: it records every call with its arguments, answers with
// values the test sets, fills out records from them, and raises or runs an action on the
// operations the test chooses.
#pragma once

#include "engine/CamDriver.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tbx::test {

/// One recorded call: "<driver>.<operation>" and its arguments, formatted as "a, b, c".
struct DriverCall {
    std::string driver;
    std::string op;
    std::string args;
    /// "driver.op" (what most order checks compare).
    std::string name() const { return driver + "." + op; }
};

/// A log shared by several drivers, so a test can check the order of calls across them.
/// \context Thread-safe.
class CallLog {
public:
    void add(DriverCall call);
    std::vector<DriverCall> calls() const;
    /// "driver.op" of every call, in order.
    std::vector<std::string> names() const;
    /// Names of the calls whose operation is \p op, in order.
    std::vector<std::string> namesOf(const std::string &op) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<DriverCall> calls_;
};

class RecordingDriver : public CamDriver {
public:
    explicit RecordingDriver(std::string name, std::shared_ptr<CallLog> log = std::make_shared<CallLog>());

    const std::string &name() const { return name_; }
    CallLog &log() { return *log_; }

    // ---- what was called ----
    /// This driver's calls, in order.
    std::vector<DriverCall> calls() const;
    /// This driver's operation names, in order.
    std::vector<std::string> ops() const;
    int count(const std::string &op) const;
    /// Arguments of the last call of \p op (empty optional when never called).
    std::optional<std::string> lastArgs(const std::string &op) const;
    void clearCalls();

    // ---- behaviour ----
    /// \p op raises ECamException(\p message) for the next \p times calls (-1: always).
    void failWith(const std::string &op, const std::string &message, int times = -1);
    /// \p op runs \p action after it recorded the call (the action may raise).
    void onCall(const std::string &op, std::function<void()> action);

    // ---- answers and out-record contents ----
    StringList cameras;              ///< EnumerateCameras adds these names, one record each
    ConnectInfoType connectInfo;     ///< copied into Connect's out record
    std::string firmwareVersion = "1.0.0";
    int disconnectResult = 0;
    std::string bodyID;
    bool remoteSupported = true;
    RemoteStartInfoType startInfo;   ///< copied into RemoteStart's out record
    int availableShots = 0;
    RemoteParamsType remoteParams;   ///< GetRemoteParams answer
    ZoomPosType zoomPos;
    std::uint8_t viewfinderAFMode = 0;
    std::shared_ptr<AFFocusInfoType> afInfo = std::make_shared<AFFocusInfoType>();
    bool depthOfFieldPreview = false;
    ImageListType images;            ///< OpenCameraCollection answer
    std::string objectFileName;      ///< ObjectFileName answer
    int transferContext = 0;
    /// Answers DownloadViewfinderFrame, which is not recorded (the viewfinder timers pull every
    /// tick); without one the driver offers no frames.
    std::function<std::uint32_t(JpegBlob &, ViewfinderPositionType &)> frameSource;
    std::function<std::string(std::uint32_t)> frameErrorText;

    // ---- arguments captured for closer checks ----
    ConnectCallbacks connectCallbacks;
    ConnectInfoType connectInfoOnEntry;
    ZoomPosType zoomPosOnEntry;
    bool afInfoZeroOnEntry = false;
    RemoteParamsType paramsOnEntry;
    RemoteParamsType setParams;
    ReleaseEventProc remoteEventCallback = nullptr;
    ProgressProc progressCallback = nullptr;
    PtpTransferProc transferCallback = nullptr;
    std::optional<PtpEventRecord> ptpRecord;
    ViewfinderCallbacks viewfinderCallbacks;
    std::vector<void *> releasedObjects;
    std::vector<void *> transferItems;
    std::vector<void *> movieItems;
    std::vector<void *> cardItems;
    /// Camera records this driver created, in order.
    std::size_t recordCount() { return records().size(); }

    // ---- the operation set ----
    void StartSDK(const std::string &libraryFolder) override;
    void EnumerateCameras(StringList &names) override;
    void EndSDK() override;
    void Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info,
                 int registryIndex) override;
    std::string ReadFirmwareVersion() override;
    int Disconnect() override;
    void SetTime(std::time_t time) override;
    void SetOwnerName(const std::string &name) override;
    std::string GetBodyID() override;
    void FormatCard() override;
    bool RemoteSupported() override;
    void RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                     int registryIndex, ReleaseEventProc remoteEvent, const std::string &cacheFolder,
                     bool probe) override;
    void RemoteEnd() override;
    int GetNumberOfAvailableShots() override;
    void RemoteTakePicture(ProgressProc progress, int registryIndex) override;
    void RemotePressShutter(int button) override;
    void RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc progress,
                          int registryIndex) override;
    void RemoteGetPTPPicture(const PtpEventRecord &record, PtpTransferProc transfer, int registryIndex) override;
    void RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex) override;
    void RemoteGetCFPicture(const std::string &fileName, bool deleteAfter, int registryIndex) override;
    void GetRemoteParams(RemoteParamsType &params) override;
    void SetRemoteParams(const RemoteParamsType &params) override;
    void GetZoomPos(ZoomPosType &pos) override;
    void SetZoomPos(int pos) override;
    void PowerZoomStop() override;
    void PowerZoomTele(bool fast, int speed) override;
    void PowerZoomWide(bool fast, int speed) override;
    void AFLock(bool lock) override;
    void SetBULB(bool on) override;
    void RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex) override;
    void RemoteStopViewfinder() override;
    void SetViewfinderOutput(std::uint8_t output) override;
    void SetViewfinderDriveLens(int step) override;
    void SetViewfinderWhitebalance(int x, int y) override;
    void SetViewfinderAFMode(std::uint8_t mode) override;
    std::uint8_t GetViewfinderAFMode() override;
    void GetViewfinderAFInfo(AFFocusInfoType &info) override;
    void SetViewfinderZoom(int zoom) override;
    void SetViewfinderZoomPosition(int x, int y) override;
    void SetDepthOfFieldPreview(bool on) override;
    bool GetDepthOfFieldPreview() override;
    void ActivateViewfinderAuto(bool on) override;
    void StartMovieRecording() override;
    void EndMovieRecording() override;
    std::uint32_t DownloadViewfinderFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata) override;
    std::string ViewfinderErrorText(std::uint32_t result) const override;
    void OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list) override;
    void CloseCameraCollection(ImageListType &list) override;
    void GetPicture(int position, const std::string &fileName, ProgressProc progress, int registryIndex) override;
    void DeletePicture(ImageListType &list, int position) override;
    void KeepAlive() override;
    bool RegisterTransferItem(void *object) override;
    bool RegisterMovieItem(void *object) override;
    bool RegisterCardItem(void *object) override;
    std::string ObjectFileName(void *object) override;
    void ReleaseObject(void *object) override;
    int TransferContext() const override { return transferContext; }

    /// Queues probe progress through the engine, as a probing driver does.
    void probeProgress(int percent) { reportProbeProgress(percent); }

private:
    /// Records the call, then raises or runs the action set for \p op.
    void record(const char *op, std::string args = {});

    std::string name_;
    std::shared_ptr<CallLog> log_;
    mutable std::mutex mutex_;
    std::vector<DriverCall> calls_;
    struct Failure {
        std::string message;
        int times;
    };
    std::map<std::string, Failure> failures_;
    std::map<std::string, std::function<void()>> actions_;
};

/// A camera record of the recording driver: the name it was enumerated with.
struct RecordingCamera : CameraRecord {
    explicit RecordingCamera(std::string n) : name(std::move(n)) {}
    std::string name;
};

} // namespace tbx::test
