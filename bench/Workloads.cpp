#include "Workloads.h"

#include "platform/Errors.h"
#include "sdk/EdsErrors.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace tbx::bench {

using sdk::EdsError;
using sdk::RaiseOnEdsError;

namespace {

/// A small digest of \p size bytes at \p data (FNV-1a), so that what a step read is used.
std::uint32_t digest(const void *data, std::size_t size, std::uint32_t seed = 2166136261u)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    for (std::size_t i = 0; i < size; ++i)
        seed = (seed ^ bytes[i]) * 16777619u;
    return seed;
}

/// The arguments of a call-log line "Name(a, b, c) -> 0x...".
std::vector<std::string> argumentsOf(const std::string &line)
{
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(") -> ");
    if (open == std::string::npos || close == std::string::npos || close < open)
        throw std::runtime_error("Unreadable call-log line: " + line);
    std::string rest = line.substr(open + 1, close - open - 1);
    std::vector<std::string> args;
    for (std::size_t at; (at = rest.find(", ")) != std::string::npos; rest.erase(0, at + 2))
        args.push_back(rest.substr(0, at));
    args.push_back(rest);
    return args;
}

/// The period of the poll timer that delivers queued events to the host.
constexpr platform::Millis kPollPeriodMs = 25;

} // namespace

// ---------------------------------------------------------------------------------------------
// Temporary folders
// ---------------------------------------------------------------------------------------------

TempFolder::TempFolder(const std::string &purpose)
{
    static std::atomic<int> serial{0};
#if defined(_WIN32)
    const long process = 0;
#else
    const long process = static_cast<long>(getpid());
#endif
    path_ = std::filesystem::temp_directory_path() /
            ("tbx-bench-" + purpose + "-" + std::to_string(process) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// ---------------------------------------------------------------------------------------------
// Live view
// ---------------------------------------------------------------------------------------------

namespace {

/// The frame properties the engine's frame source reads, in its order, with their sizes.
struct FrameProperty {
    sdk::EdsPropertyID id;
    std::uint32_t size;
};
constexpr FrameProperty kFrameProperties[] = {
    {sdk::kEdsPropID_Evf_ZoomPosition, sizeof(sdk::EdsPoint)},
    {sdk::kEdsPropID_Evf_ZoomRect, sizeof(sdk::EdsRect)},
    {sdk::kEdsPropID_Evf_ImagePosition, sizeof(sdk::EdsPoint)},
    {sdk::kEdsPropID_Evf_CoordinateSystem, sizeof(sdk::EdsSize)},
    {sdk::kEdsPropID_Evf_HistogramB, 256 * sizeof(std::uint32_t)},
    {sdk::kEdsPropID_Evf_HistogramR, 256 * sizeof(std::uint32_t)},
    {sdk::kEdsPropID_Evf_HistogramG, 256 * sizeof(std::uint32_t)},
    {sdk::kEdsPropID_Evf_HistogramY, 256 * sizeof(std::uint32_t)},
    {sdk::kEdsPropID_Evf_Zoom, sizeof(sdk::EdsUInt32)},
    {sdk::kEdsPropID_Evf_PowerZoom_CurPosition, sizeof(sdk::EdsInt32)},
    {sdk::kEdsPropID_Evf_PowerZoom_MinPosition, sizeof(sdk::EdsInt32)},
    {sdk::kEdsPropID_Evf_PowerZoom_MaxPosition, sizeof(sdk::EdsInt32)},
};

/// Ticks a new live view may need before its first frame (the camera answers "not ready" first).
constexpr int kWarmUpTicks = 20;

} // namespace

LiveViewPair::LiveViewPair(Session &session) : session_(session)
{
    session_.startRemote();
    session_.engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
        ++frames_;
        lastBytes_ = jpeg.size();
    };
    session_.engine().RemoteStartViewfinder(false);
    for (int tick = 0; tick < kWarmUpTicks && frames_ == 0; ++tick)
        engineFrame();
    if (frames_ == 0)
        throw std::runtime_error("Live view delivered no frame in " + std::to_string(kWarmUpTicks) + " ticks");
    frames_ = 0;
    clearSimLog();
}

std::size_t LiveViewPair::engineFrame()
{
    const std::size_t before = frames_;
    platform::runFor(session_.viewfinderPeriod());
    return frames_ == before ? 0 : lastBytes_;
}

std::size_t LiveViewPair::bareFrame()
{
    const sdk::EdsEntryPoints &eds = session_.library().entryPoints();
    sdk::EdsRef stream(session_.library());
    RaiseOnEdsError("EdsCreateMemoryStream", eds.EdsCreateMemoryStream(0, stream.receive()));
    sdk::EdsRef image(session_.library());
    RaiseOnEdsError("EdsCreateEvfImageRef", eds.EdsCreateEvfImageRef(stream.get(), image.receive()));
    RaiseOnEdsError("EdsDownloadEvfImage", eds.EdsDownloadEvfImage(session_.camera(), image.get()));
    // Like the engine, a metadata read that fails costs only that field.
    std::array<std::uint8_t, 256 * sizeof(std::uint32_t)> value{};
    for (const FrameProperty &property : kFrameProperties)
        eds.EdsGetPropertyData(image.get(), property.id, 0, property.size, value.data());
    void *data = nullptr;
    RaiseOnEdsError("EdsGetPointer", eds.EdsGetPointer(stream.get(), &data));
    sdk::EdsUInt64 length = 0;
    RaiseOnEdsError("EdsGetLength", eds.EdsGetLength(stream.get(), &length));
    if (length == 0 || data == nullptr)
        throw std::runtime_error("The SDK downloaded an empty live-view frame");
    // The image goes first: it holds on to the stream.
    image.reset();
    stream.reset();
    return static_cast<std::size_t>(length);
}

// ---------------------------------------------------------------------------------------------
// Parameter read
// ---------------------------------------------------------------------------------------------

ParamReadPair::ParamReadPair(Session &session) : session_(session)
{
    session_.startRemote();
    session_.engine().RemoteGetCameraCacheParameters();
    const std::vector<std::string> log = simLog();
    std::string camera;
    std::uint32_t largest = sizeof(sdk::EdsDeviceInfo);
    for (const std::string &line : log) {
        const std::vector<std::string> args = argumentsOf(line);
        Call call;
        call.name = line.substr(0, line.find('('));
        if (camera.empty())
            camera = args.at(0);
        if (args.at(0) != camera)
            throw std::runtime_error("The parameter read asked another object than the camera: " + line);
        if (call.name == "EdsGetPropertyData" && args.size() == 5) {
            call.property = static_cast<sdk::EdsPropertyID>(std::stoul(args[1], nullptr, 16));
            call.param = static_cast<std::int32_t>(std::stol(args[2]));
            call.size = static_cast<std::uint32_t>(std::stoul(args[3]));
            largest = std::max(largest, call.size);
        } else if (call.name != "EdsGetDeviceInfo") {
            throw std::runtime_error("The parameter read made a call the bare replay does not make: " + line);
        }
        calls_.push_back(call);
    }
    if (calls_.empty())
        throw std::runtime_error("The parameter read made no SDK call");
    buffer_.assign(largest, 0);
    clearSimLog();
}

std::uint32_t ParamReadPair::engineRead()
{
    const RemoteParamsType params = session_.engine().RemoteGetCameraCacheParameters();
    return digest(&params, sizeof params);
}

std::uint32_t ParamReadPair::bareRead()
{
    const sdk::EdsEntryPoints &eds = session_.library().entryPoints();
    const sdk::EdsCameraRef camera = session_.camera();
    std::uint32_t sum = 2166136261u;
    for (const Call &call : calls_) {
        if (call.property == 0) {
            sdk::EdsDeviceInfo info{};
            RaiseOnEdsError("EdsGetDeviceInfo", eds.EdsGetDeviceInfo(camera, &info));
            sum = digest(&info.deviceSubType, sizeof info.deviceSubType, sum);
        } else if (eds.EdsGetPropertyData(camera, call.property, call.param, call.size, buffer_.data()) ==
                   sdk::EDS_ERR_OK) {
            sum = digest(buffer_.data(), call.size, sum);
        }
    }
    return sum;
}

// ---------------------------------------------------------------------------------------------
// Download
// ---------------------------------------------------------------------------------------------

namespace {

/// The card item named \p name below \p folder, depth first; empty when there is none.
sdk::EdsRef findItem(const sdk::EdsLibrary &library, sdk::EdsBaseRef folder, const std::string &name)
{
    const sdk::EdsEntryPoints &eds = library.entryPoints();
    sdk::EdsUInt32 count = 0;
    RaiseOnEdsError("EdsGetChildCount", eds.EdsGetChildCount(folder, &count));
    for (sdk::EdsUInt32 index = 0; index < count; ++index) {
        sdk::EdsRef child(library);
        RaiseOnEdsError("EdsGetChildAtIndex",
                        eds.EdsGetChildAtIndex(folder, static_cast<sdk::EdsInt32>(index), child.receive()));
        sdk::EdsDirectoryItemInfo info{};
        RaiseOnEdsError("EdsGetDirectoryItemInfo", eds.EdsGetDirectoryItemInfo(child.get(), &info));
        if (info.isFolder != 0) {
            if (sdk::EdsRef found = findItem(library, child.get(), name))
                return found;
        } else if (std::strncmp(info.szFileName, name.c_str(), sizeof info.szFileName) == 0) {
            return child;
        }
    }
    return {};
}

sdk::EdsError TBX_STDCALL countProgress(sdk::EdsUInt32 /*percent*/, sdk::EdsVoid *context,
                                            sdk::EdsBool * /*cancel*/)
{
    ++*static_cast<std::atomic<int> *>(context);
    return sdk::EDS_ERR_OK;
}

} // namespace

DownloadPair::DownloadPair(Session &session, const std::string &name) : session_(session), folder_("download")
{
    ImageListType list;
    session_.engine().OpenCameraCollection(folder_.path().string(), false, list);
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].Name == name)
            position_ = static_cast<int>(i);
    if (position_ < 0)
        throw std::runtime_error(name + " is not in the camera collection");
    session_.engine().OnGetPictureEvent = [this](int) { ++progress_; };

    {
        sdk::EdsRef volume(session_.library());
        RaiseOnEdsError("EdsGetChildAtIndex", session_.library().entryPoints().EdsGetChildAtIndex(session_.camera(), 0, volume.receive()));
        item_ = findItem(session_.library(), volume.get(), name);
    }
    if (!item_)
        throw std::runtime_error(name + " is not on the camera's first card");
    sdk::EdsDirectoryItemInfo info{};
    RaiseOnEdsError("EdsGetDirectoryItemInfo", session_.library().entryPoints().EdsGetDirectoryItemInfo(item_.get(), &info));
    size_ = info.size;
    clearSimLog();
}

std::uint64_t DownloadPair::engineDownload()
{
    session_.engine().GetPicture(position_, engineFile().string());
    // The host's progress events are part of the engine's work: one poll tick each.
    session_.pump(kPollPeriodMs);
    while (session_.engine().QueuedEventCount() > 0)
        platform::runFor(kPollPeriodMs);
    return size_;
}

std::uint64_t DownloadPair::bareDownload()
{
    const sdk::EdsEntryPoints &eds = session_.library().entryPoints();
    sdk::EdsRef stream(session_.library());
    RaiseOnEdsError("EdsCreateFileStream",
                    eds.EdsCreateFileStream(bareFile().string().c_str(), sdk::kEdsFileCreateDisposition_CreateAlways,
                                            sdk::kEdsAccess_Write, stream.receive()));
    sdk::EdsDirectoryItemInfo info{};
    RaiseOnEdsError("EdsGetDirectoryItemInfo", eds.EdsGetDirectoryItemInfo(item_.get(), &info));
    RaiseOnEdsError("EdsSetProgressCallback",
                    eds.EdsSetProgressCallback(stream.get(), &countProgress, sdk::kEdsProgressOption_Periodically,
                                               &bareProgress_));
    RaiseOnEdsError("EdsDownload", eds.EdsDownload(item_.get(), info.size, stream.get()));
    stream.reset();
    RaiseOnEdsError("EdsDownloadComplete", eds.EdsDownloadComplete(item_.get()));
    return info.size;
}

// ---------------------------------------------------------------------------------------------
// Probe
// ---------------------------------------------------------------------------------------------

ProbeRuns::ProbeRuns(Session &session) : session_(session), folder_("probe")
{
    run(folder_.path().string());
    if (std::filesystem::is_empty(folder_.path()))
        throw std::runtime_error("The probe left no cache file in " + folder_.path().string());
    clearSimLog();
}

void ProbeRuns::probed() { run(""); }

void ProbeRuns::cached() { run(folder_.path().string()); }

void ProbeRuns::run(const std::string &cacheFolder)
{
    session_.engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info_, cacheFolder, true);
    session_.engine().RemoteEnd();
}

// ---------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------

namespace {

/// The power-zoom state the events carry: controllable, attached.
constexpr std::uint32_t kEventParam = 0x21;

void fireEvents(int count)
{
    for (int i = 0; i < count; ++i)
        checkSim(sim().FireEvent("", kBenchStateEvent, kEventParam), "Firing a camera event");
}

sdk::EdsError TBX_STDCALL countStateEvent(sdk::EdsStateEvent /*event*/, sdk::EdsUInt32 /*data*/,
                                              sdk::EdsVoid *context)
{
    ++*static_cast<std::atomic<std::size_t> *>(context);
    return sdk::EDS_ERR_OK;
}

} // namespace

EngineEvents::EngineEvents(Session &session) : session_(session)
{
    session_.engine().OnEvent = [this](EventCallbackType) { ++delivered_; };
}

std::size_t EngineEvents::fire(int count)
{
    const std::size_t before = delivered_;
    const auto wanted = static_cast<std::size_t>(count);
    fireEvents(count);
    // Once the SDK's thread has handed everything over, the poll timer delivers one event per
    // tick; a few spare ticks before giving up on a lost one.
    session_.pump(kPollPeriodMs);
    for (int tick = 0; tick < count + 4 && delivered_ - before < wanted; ++tick)
        platform::runFor(kPollPeriodMs);
    return delivered_ - before;
}

BareEvents::BareEvents(Session &session) : session_(session)
{
    RaiseOnEdsError("EdsSetCameraStateEventHandler",
                    session_.library().entryPoints().EdsSetCameraStateEventHandler(session_.camera(), sdk::kEdsStateEvent_All, &countStateEvent,
                                                        &delivered_));
}

BareEvents::~BareEvents()
{
    // The handler goes before the counter it writes to.
    try {
        session_.library().entryPoints().EdsSetCameraStateEventHandler(session_.camera(), sdk::kEdsStateEvent_All, nullptr, nullptr);
        waitForSdkThread();
    } catch (...) {
        // The session closes the camera in any case.
    }
}

std::size_t BareEvents::fire(int count)
{
    const std::size_t before = delivered_.load();
    fireEvents(count);
    waitForSdkThread();
    return delivered_.load() - before;
}

} // namespace tbx::bench
