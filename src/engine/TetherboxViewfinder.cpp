// The engine's viewfinder: start and stop, single frames, the live-view settings and movie
// recording with their gates, and the two timer ticks that pull EOS and generation-2 frames.
#include "engine/Tetherbox.h"

#include "platform/Errors.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <span>

namespace tbx {

namespace {

constexpr const char *kMsgAlreadyRecording = "Camera already in recording mode";

// Download results that mean "no frame this tick" (invalid handle, device busy, object not ready).
constexpr std::uint32_t kNoFrameResults[] = {0x61, 0x81, 0xA102};
// The camera went away: the tick switches its timer off.
constexpr std::uint32_t kDisconnectedResult = 0xC1;
// The period a single-frame request runs the EOS timer at.
constexpr platform::Millis kSingleFramePeriodMs = 50;

std::string downloadFailure(std::uint32_t result, const std::string &text)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(result));
    return std::string("EdsDownloadEvfImage errorcode 0x") + hex + ", " + text;
}

/// Copies what a frame carries into the engine's metadata; the power-zoom state bits, which
/// state events decode, stay as they are.
void takeFrameFields(ViewfinderPositionType &to, const ViewfinderPositionType &from)
{
    std::memcpy(to.ZoomPositionBytes, from.ZoomPositionBytes, sizeof to.ZoomPositionBytes);
    to.ZoomRect = from.ZoomRect;
    to.ImagePosition = from.ImagePosition;
    to.CoordSystem = from.CoordSystem;
    std::memcpy(to.Histogram, from.Histogram, sizeof to.Histogram);
    to.Zoom = from.Zoom;
    to.PowerZoom.Min = from.PowerZoom.Min;
    to.PowerZoom.Max = from.PowerZoom.Max;
    to.PowerZoom.Current = from.PowerZoom.Current;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------------------------

CamDriver *TTetherbox::familyDriver(Answer powerShot, Answer eos, Answer gen2)
{
    const int f = requireCamera();
    const Answer answer = f == CamModPowerShot ? powerShot : f == CamModEOS ? eos : gen2;
    switch (answer) {
    case Answer::Serve:
        return f == CamModPowerShot ? &powerShotDriver() : &connectedDriver();
    case Answer::Ignore:
        return nullptr;
    case Answer::NotByEOS:
        throw ECamException(kMsgNotSupportedByEOS);
    case Answer::NotByPowerShot:
        throw ECamException(kMsgNotSupportedByPowerShot);
    case Answer::NotByCamera:
        break;
    }
    throw ECamException(kMsgNotSupportedByCamera);
}

// ---------------------------------------------------------------------------------------------
// Start, stop, single frames
// ---------------------------------------------------------------------------------------------

void TTetherbox::RemoteStartViewfinder(bool useSDKThread)
{
    useSDKThread_ = useSDKThread;
    requireRemoteMode();
    switch (requireCamera()) {
    case CamModPowerShot: {
        ViewfinderCallbacks callbacks;
        if (connectedThroughPTP())
            callbacks.ptp = &TTetherbox::PTPViewfinderCallback;
        else
            callbacks.legacy = &TTetherbox::LegacyViewfinderCallback;
        powerShotDriver().RemoteStartViewfinder(callbacks, registryIndex_);
        viewfinderMode_ = true;
        break;
    }
    case CamModEOS:
        driver(SlotEOS).RemoteStartViewfinder(ViewfinderCallbacks{}, registryIndex_);
        viewfinderMode_ = true;
        singleFrame_ = false;
        if (EOSViewfinderRefreshInterval > 0) {
            TimerEOSViewfinder->setInterval(EOSViewfinderRefreshInterval);
            setEOSViewfinderTimer(true);
        }
        break;
    default:
        driver(SlotGen2).RemoteStartViewfinder(ViewfinderCallbacks{}, registryIndex_);
        viewfinderMode_ = true;
        if (PS2ViewfinderRefreshInterval > 0) {
            TimerPS2Viewfinder->setInterval(PS2ViewfinderRefreshInterval);
            setPS2ViewfinderTimer(true);
        }
        break;
    }
}

void TTetherbox::RemoteStopViewfinder()
{
    // Both timers go off whatever the mode says, so no tick outlives a stop.
    setEOSViewfinderTimer(false);
    setPS2ViewfinderTimer(false);
    if (!viewfinderMode_)
        return;
    endViewfinder();
    singleFrame_ = false;
    switch (requireCamera()) {
    case CamModPowerShot:
        powerShotDriver().RemoteStopViewfinder();
        break;
    case CamModEOS:
        driver(SlotEOS).RemoteStopViewfinder();
        break;
    default:
        driver(SlotGen2).RemoteStopViewfinder();
        break;
    }
}

bool TTetherbox::RemoteGetViewfinderImage()
{
    switch (requireCamera()) {
    case CamModPowerShot:
        return true;
    case CamModEOS:
        // Outside viewfinder mode there is no live view to pull from.
        if (viewfinderMode_ && !singleFrame_) {
            singleFrame_ = true;
            TimerEOSViewfinder->setInterval(kSingleFramePeriodMs);
            setEOSViewfinderTimer(true);
        }
        return false;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Live-view settings
// ---------------------------------------------------------------------------------------------

void TTetherbox::RemoteSetViewfinderOutput(std::uint8_t output)
{
    requireViewfinderMode();
    familyDriver(Answer::Serve, Answer::Serve, Answer::NotByCamera)->SetViewfinderOutput(output);
}

void TTetherbox::RemoteSetViewfinderDriveLens(int step)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->SetViewfinderDriveLens(step);
}

void TTetherbox::RemoteSetViewfinderWhitebalance(int x, int y)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::NotByCamera)->SetViewfinderWhitebalance(x, y);
}

void TTetherbox::RemoteSetViewfinderAutofocusMode(std::uint8_t mode)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->SetViewfinderAFMode(mode);
}

std::uint8_t TTetherbox::RemoteGetViewfinderAutofocusMode()
{
    requireViewfinderMode();
    return familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->GetViewfinderAFMode();
}

void TTetherbox::RemoteGetViewfinderAutofocusInfo(AFFocusInfoType &info)
{
    info = AFFocusInfoType{};
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->GetViewfinderAFInfo(info);
}

void TTetherbox::RemoteSetViewfinderZoom(int zoom)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::NotByCamera)->SetViewfinderZoom(zoom);
}

void TTetherbox::RemoteSetViewfinderZoomPosition(int x, int y)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::NotByCamera)->SetViewfinderZoomPosition(x, y);
}

void TTetherbox::RemoteSetViewfinderDepthOfFieldPreview(bool on)
{
    requireViewfinderMode();
    familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->SetDepthOfFieldPreview(on);
}

bool TTetherbox::RemoteGetViewfinderDepthOfFieldPreview()
{
    requireViewfinderMode();
    return familyDriver(Answer::NotByPowerShot, Answer::Serve, Answer::Serve)->GetDepthOfFieldPreview();
}

void TTetherbox::RemoteActivateViewfinderAuto(bool on)
{
    requireViewfinderMode();
    // The PowerShot drivers take no argument and ignore it.
    familyDriver(Answer::Serve, Answer::Serve, Answer::Serve)->ActivateViewfinderAuto(on);
}

// ---------------------------------------------------------------------------------------------
// Movie recording (EOS only; the other families accept the calls and do nothing)
// ---------------------------------------------------------------------------------------------

void TTetherbox::RemoteStartMovieRecording()
{
    requireRemoteMode();
    if (movieRecording_)
        throw ECamException(kMsgAlreadyRecording);
    if (CamDriver *driver = familyDriver(Answer::Ignore, Answer::Serve, Answer::Ignore)) {
        driver->StartMovieRecording();
        movieRecording_ = true;
    }
}

void TTetherbox::RemoteEndMovieRecording()
{
    if (!movieRecording_)
        throw ECamException(kMsgNotInMovieRecordingMode);
    if (CamDriver *driver = familyDriver(Answer::Ignore, Answer::Serve, Answer::Ignore))
        driver->EndMovieRecording();
    movieRecording_ = false;
}

// ---------------------------------------------------------------------------------------------
// Ticks
// ---------------------------------------------------------------------------------------------

void TTetherbox::TimerEOSViewfinderTimer() { viewfinderTick(true); }

void TTetherbox::TimerPS2ViewfinderTimer() { viewfinderTick(false); }

void TTetherbox::viewfinderTick(bool eos)
{
    bool &running = eos ? eosTickRunning_ : ps2TickRunning_;
    // A host that pumps messages inside its frame handler must not get a nested tick.
    if (running)
        return;
    running = true;
    const std::shared_ptr<bool> alive = alive_;
    bool failed = false;
    std::string failure;
    try {
        runViewfinderTick(eos);
    } catch (const std::exception &e) {
        failed = true;
        failure = e.what();
    } catch (...) {
        failed = true;
        failure = "Unknown failure in the viewfinder timer";
    }
    if (!*alive)
        return; // the engine was destroyed from inside the frame handler
    running = false;
    if (eos)
        singleFrame_ = false;
    bool &failing = eos ? eosTickFailing_ : ps2TickFailing_;
    const bool report = failed && !failing;
    failing = failed;
    // Last: the handler may close the enumeration or destroy the engine.
    if (report)
        reportTimerFailure(failure);
}

void TTetherbox::runViewfinderTick(bool eos)
{
    const int ownFamily = eos ? CamModEOS : CamModPowerShotGen2;
    if (family() != ownFamily) {
        // Left running from a camera of this family that is gone; never pull for another one.
        eos ? setEOSViewfinderTimer(false) : setPS2ViewfinderTimer(false);
        return;
    }
    // A period of 0 (or a meaningless negative one) means single frames: this tick still runs.
    if ((eos ? EOSViewfinderRefreshInterval : PS2ViewfinderRefreshInterval) <= 0)
        eos ? setEOSViewfinderTimer(false) : setPS2ViewfinderTimer(false);
    if (!OnViewfinderEvent.assigned())
        return;
    CamDriver &source = driver(eos ? SlotEOS : SlotGen2);
    JpegBlob jpeg;
    ViewfinderPositionType frameMetadata = ViewfinderMetadata();
    const std::uint32_t result = source.DownloadViewfinderFrame(jpeg, frameMetadata);
    if (result == kDisconnectedResult) {
        eos ? setEOSViewfinderTimer(false) : setPS2ViewfinderTimer(false);
        return;
    }
    for (std::uint32_t noFrame : kNoFrameResults)
        if (result == noFrame)
            return;
    if (result != 0)
        throw ECamException(downloadFailure(result, source.ViewfinderErrorText(result)));

    ViewfinderPositionType delivered;
    {
        std::lock_guard lock(metadataMutex_);
        if (eos)
            takeFrameFields(metadata_, frameMetadata);
        metadata_.Valid = eos ? 1 : 0;
        delivered = metadata_;
    }
    OnViewfinderEvent.invoke(std::span<const std::uint8_t>(jpeg), delivered);
}

} // namespace tbx
