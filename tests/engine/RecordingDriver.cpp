#include "RecordingDriver.h"

#include <algorithm>
#include <sstream>
#include <type_traits>

namespace tbx::test {

namespace {

void put(std::ostringstream &out, const std::string &value) { out << value; }
void put(std::ostringstream &out, bool value) { out << (value ? "true" : "false"); }
void put(std::ostringstream &out, std::uint8_t value) { out << static_cast<int>(value); }
void put(std::ostringstream &out, const void *value) { out << (value != nullptr ? "set" : "null"); }
template <class T>
void put(std::ostringstream &out, T value)
{
    if constexpr (std::is_enum_v<T>)
        out << static_cast<long long>(value);
    else
        out << value;
}

template <class... Args>
std::string args(const Args &...values)
{
    std::ostringstream out;
    bool first = true;
    ((out << (first ? "" : ", "), put(out, values), first = false), ...);
    return out.str();
}

template <class Fn>
const void *fn(Fn f) { return f != nullptr ? reinterpret_cast<const void *>(1) : nullptr; }

} // namespace

void CallLog::add(DriverCall call)
{
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<DriverCall> CallLog::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> CallLog::names() const
{
    std::vector<std::string> result;
    for (const DriverCall &call : calls())
        result.push_back(call.name());
    return result;
}

std::vector<std::string> CallLog::namesOf(const std::string &op) const
{
    std::vector<std::string> result;
    for (const DriverCall &call : calls())
        if (call.op == op)
            result.push_back(call.name());
    return result;
}

void CallLog::clear()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

RecordingDriver::RecordingDriver(std::string name, std::shared_ptr<CallLog> log)
    : name_(std::move(name)), log_(std::move(log))
{
}

std::vector<DriverCall> RecordingDriver::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> RecordingDriver::ops() const
{
    std::vector<std::string> result;
    for (const DriverCall &call : calls())
        result.push_back(call.op);
    return result;
}

int RecordingDriver::count(const std::string &op) const
{
    const auto all = calls();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const DriverCall &c) { return c.op == op; }));
}

std::optional<std::string> RecordingDriver::lastArgs(const std::string &op) const
{
    const auto all = calls();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (it->op == op)
            return it->args;
    return std::nullopt;
}

void RecordingDriver::clearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void RecordingDriver::failWith(const std::string &op, const std::string &message, int times)
{
    std::lock_guard lock(mutex_);
    failures_[op] = Failure{message, times};
}

void RecordingDriver::onCall(const std::string &op, std::function<void()> action)
{
    std::lock_guard lock(mutex_);
    actions_[op] = std::move(action);
}

void RecordingDriver::record(const char *op, std::string arguments)
{
    DriverCall call{name_, op, std::move(arguments)};
    std::function<void()> action;
    std::optional<std::string> failure;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        if (auto it = failures_.find(op); it != failures_.end() && it->second.times != 0) {
            failure = it->second.message;
            if (it->second.times > 0)
                --it->second.times;
        }
        if (auto it = actions_.find(op); it != actions_.end())
            action = it->second;
    }
    log_->add(std::move(call));
    if (failure)
        throw ECamException(*failure);
    if (action)
        action();
}

void RecordingDriver::StartSDK(const std::string &libraryFolder) { record("StartSDK", libraryFolder); }

void RecordingDriver::EnumerateCameras(StringList &names)
{
    record("EnumerateCameras");
    for (const std::string &camera : cameras) {
        names.push_back(camera);
        records().push_back(std::make_unique<RecordingCamera>(camera));
    }
}

void RecordingDriver::EndSDK() { record("EndSDK"); }

void RecordingDriver::Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info,
                              int registryIndex)
{
    connectCallbacks = callbacks;
    connectInfoOnEntry = info;
    record("Connect", args(cameraIndex, registryIndex));
    info = connectInfo;
}

std::string RecordingDriver::ReadFirmwareVersion()
{
    record("ReadFirmwareVersion");
    return firmwareVersion;
}

int RecordingDriver::Disconnect()
{
    record("Disconnect");
    return disconnectResult;
}

void RecordingDriver::SetTime(std::time_t time) { record("SetTime", args(static_cast<long long>(time))); }
void RecordingDriver::SetOwnerName(const std::string &name) { record("SetOwnerName", name); }

std::string RecordingDriver::GetBodyID()
{
    record("GetBodyID");
    return bodyID;
}

void RecordingDriver::FormatCard() { record("FormatCard"); }

bool RecordingDriver::RemoteSupported()
{
    record("RemoteSupported");
    return remoteSupported;
}

void RecordingDriver::RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                                  int registryIndex, ReleaseEventProc remoteEvent, const std::string &cacheFolder,
                                  bool probe)
{
    remoteEventCallback = remoteEvent;
    record("RemoteStart", args(mode, kind, registryIndex, fn(remoteEvent), cacheFolder, probe));
    info = startInfo;
}

void RecordingDriver::RemoteEnd() { record("RemoteEnd"); }

int RecordingDriver::GetNumberOfAvailableShots()
{
    record("GetNumberOfAvailableShots");
    return availableShots;
}

void RecordingDriver::RemoteTakePicture(ProgressProc progress, int registryIndex)
{
    progressCallback = progress;
    record("RemoteTakePicture", args(fn(progress), registryIndex));
}

void RecordingDriver::RemotePressShutter(int button) { record("RemotePressShutter", args(button)); }

void RecordingDriver::RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc progress,
                                       int registryIndex)
{
    progressCallback = progress;
    record("RemoteGetPicture", args(fileName, pictureType, fn(progress), registryIndex));
}

void RecordingDriver::RemoteGetPTPPicture(const PtpEventRecord &record_, PtpTransferProc transfer,
                                          int registryIndex)
{
    ptpRecord = record_;
    transferCallback = transfer;
    record("RemoteGetPTPPicture", args(record_.objectHandle(), fn(transfer), registryIndex));
}

void RecordingDriver::RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex)
{
    record("RemoteGetMovie", args(fileName, deleteAfter, registryIndex));
}

void RecordingDriver::RemoteGetCFPicture(const std::string &fileName, bool deleteAfter, int registryIndex)
{
    record("RemoteGetCFPicture", args(fileName, deleteAfter, registryIndex));
}

void RecordingDriver::GetRemoteParams(RemoteParamsType &params)
{
    paramsOnEntry = params;
    record("GetRemoteParams");
    params = remoteParams;
}

void RecordingDriver::SetRemoteParams(const RemoteParamsType &params)
{
    setParams = params;
    record("SetRemoteParams");
}

void RecordingDriver::GetZoomPos(ZoomPosType &pos)
{
    zoomPosOnEntry = pos;
    record("GetZoomPos");
    pos = zoomPos;
}

void RecordingDriver::SetZoomPos(int pos) { record("SetZoomPos", args(pos)); }
void RecordingDriver::PowerZoomStop() { record("PowerZoomStop"); }
void RecordingDriver::PowerZoomTele(bool fast, int speed) { record("PowerZoomTele", args(fast, speed)); }
void RecordingDriver::PowerZoomWide(bool fast, int speed) { record("PowerZoomWide", args(fast, speed)); }
void RecordingDriver::AFLock(bool lock) { record("AFLock", args(lock)); }
void RecordingDriver::SetBULB(bool on) { record("SetBULB", args(on)); }

void RecordingDriver::RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex)
{
    viewfinderCallbacks = callbacks;
    record("RemoteStartViewfinder", args(fn(callbacks.legacy), fn(callbacks.ptp), registryIndex));
}

void RecordingDriver::RemoteStopViewfinder() { record("RemoteStopViewfinder"); }
void RecordingDriver::SetViewfinderOutput(std::uint8_t output) { record("SetViewfinderOutput", args(output)); }
void RecordingDriver::SetViewfinderDriveLens(int step) { record("SetViewfinderDriveLens", args(step)); }
void RecordingDriver::SetViewfinderWhitebalance(int x, int y) { record("SetViewfinderWhitebalance", args(x, y)); }
void RecordingDriver::SetViewfinderAFMode(std::uint8_t mode) { record("SetViewfinderAFMode", args(mode)); }

std::uint8_t RecordingDriver::GetViewfinderAFMode()
{
    record("GetViewfinderAFMode");
    return viewfinderAFMode;
}

void RecordingDriver::GetViewfinderAFInfo(AFFocusInfoType &info)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(&info);
    afInfoZeroOnEntry = std::all_of(bytes, bytes + sizeof info, [](unsigned char b) { return b == 0; });
    record("GetViewfinderAFInfo");
    info = *afInfo;
}

void RecordingDriver::SetViewfinderZoom(int zoom) { record("SetViewfinderZoom", args(zoom)); }
void RecordingDriver::SetViewfinderZoomPosition(int x, int y) { record("SetViewfinderZoomPosition", args(x, y)); }
void RecordingDriver::SetDepthOfFieldPreview(bool on) { record("SetDepthOfFieldPreview", args(on)); }

bool RecordingDriver::GetDepthOfFieldPreview()
{
    record("GetDepthOfFieldPreview");
    return depthOfFieldPreview;
}

void RecordingDriver::ActivateViewfinderAuto(bool on) { record("ActivateViewfinderAuto", args(on)); }
void RecordingDriver::StartMovieRecording() { record("StartMovieRecording"); }
void RecordingDriver::EndMovieRecording() { record("EndMovieRecording"); }

void RecordingDriver::OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list)
{
    record("OpenCameraCollection", args(tempFolder, thumbnails));
    list = images;
}

void RecordingDriver::CloseCameraCollection(ImageListType &list)
{
    record("CloseCameraCollection", args(list.size()));
    list.clear();
}

void RecordingDriver::GetPicture(int position, const std::string &fileName, ProgressProc progress,
                                 int registryIndex)
{
    progressCallback = progress;
    record("GetPicture", args(position, fileName, fn(progress), registryIndex));
}

void RecordingDriver::DeletePicture(ImageListType &list, int position)
{
    record("DeletePicture", args(list.size(), position));
}

void RecordingDriver::KeepAlive() { record("KeepAlive"); }

bool RecordingDriver::RegisterTransferItem(void *object)
{
    record("RegisterTransferItem");
    std::lock_guard lock(mutex_);
    transferItems.push_back(object);
    return true;
}

bool RecordingDriver::RegisterMovieItem(void *object)
{
    record("RegisterMovieItem");
    std::lock_guard lock(mutex_);
    movieItems.push_back(object);
    return true;
}

bool RecordingDriver::RegisterCardItem(void *object)
{
    record("RegisterCardItem");
    std::lock_guard lock(mutex_);
    cardItems.push_back(object);
    return true;
}

std::string RecordingDriver::ObjectFileName(void * /*object*/)
{
    record("ObjectFileName");
    return objectFileName;
}

void RecordingDriver::ReleaseObject(void *object)
{
    record("ReleaseObject");
    std::lock_guard lock(mutex_);
    releasedObjects.push_back(object);
}

std::uint32_t RecordingDriver::DownloadViewfinderFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata)
{
    return frameSource ? frameSource(jpeg, metadata) : CamDriver::DownloadViewfinderFrame(jpeg, metadata);
}

std::string RecordingDriver::ViewfinderErrorText(std::uint32_t result) const
{
    return frameErrorText ? frameErrorText(result) : CamDriver::ViewfinderErrorText(result);
}

} // namespace tbx::test
