// The control's object: construction, the engine's lifetime, event translation, live-view frame
// delivery with its files, and painting. The host operations are in TetherboxActiveXOps.cpp.
#include "control/TetherboxActiveX.h"

#include "drivers/Drivers.h"
#include "platform/Platform.h"

#include <cstring>
#include <filesystem>

namespace tbx {

TTetherboxActiveX::TTetherboxActiveX(EngineFactory factory) : factory_(std::move(factory))
{
    if (!factory_)
        factory_ = &TTetherboxActiveX::MakeDefaultEngine;
}

TTetherboxActiveX::~TTetherboxActiveX()
{
    if (!FEngine)
        return;
    // Handlers first: from here on no timer tick or SDK callback can reach this control.
    removeHandlers(*FEngine);
    auto quietly = [](auto &&step) {
        try {
            step();
        } catch (...) {
        }
    };
    TTetherbox &e = *FEngine;
    if (e.ViewfinderMode()) {
        quietly([&] { e.RemoteStopViewfinder(); });
        if (frames_.hasDirectory())
            quietly([&] { frames_.removeAll(); });
    }
    if (e.RemoteMode())
        quietly([&] { e.RemoteEnd(); });
    if (e.Connection().CameraModel != CamModNone)
        quietly([&] { e.Disconnect(); });
    if (e.EnumerationOpen())
        quietly([&] { e.CloseCameraEnumeration(); });
    quietly([&] { FEngine.reset(); });
}

std::unique_ptr<TTetherbox> TTetherboxActiveX::MakeDefaultEngine()
{
    return std::make_unique<TTetherbox>(MakeDrivers());
}

void TTetherboxActiveX::SetLowBlockProvider(LowBlockProvider provider)
{
    std::lock_guard lock(frameMutex_);
    lowBlockProvider_ = std::move(provider);
}

void TTetherboxActiveX::Paint()
{
    if (paintSurface_ == nullptr)
        return;
    paintSurface_->PaintBase();
    paintSurface_->SetSizeConstraints(Width(), Height(), Width(), Height());
    paintSurface_->DrawTransparentBitmap("TTetherboxActiveX", 3, 3);
}

// ---------------------------------------------------------------------------------------------
// Engine lifetime
// ---------------------------------------------------------------------------------------------

TTetherbox &TTetherboxActiveX::engine()
{
    if (!FEngine)
        throw ECamException(msg::kNoEnumeration);
    return *FEngine;
}

void TTetherboxActiveX::createEngine()
{
    std::unique_ptr<TTetherbox> fresh = factory_();
    if (!fresh)
        throw EAssertionFailed("The engine factory of the control built no engine");
    installHandlers(*fresh);
    fresh->EOSViewfinderRefreshInterval = EOSViewfinderRefreshInterval;
    fresh->PS2ViewfinderRefreshInterval = PS2ViewfinderRefreshInterval;
    fresh->LibraryFolder = LibraryFolder;
    FEngine = std::move(fresh);
}

void TTetherboxActiveX::installHandlers(TTetherbox &e)
{
    e.OnEvent = [this](EventCallbackType event) { engineCameraEvent(event); };
    e.OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &metadata) {
        engineViewfinderEvent(jpeg, metadata);
    };
    e.OnRemoteEvent = [this](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data) {
        engineRemoteEvent(event, data);
    };
    e.OnRemoteTakePictureEvent = [this](int percent) { OnRemoteTakePictureEvent.invoke(percent); };
    e.OnRemoteGetPictureEvent = [this](int percent) { OnRemoteGetPictureEvent.invoke(percent); };
    e.OnRemoteGetMovieEvent = [this](int percent) { OnRemoteGetMovieEvent.invoke(percent); };
    e.OnGetPictureEvent = [this](int percent) { OnGetPictureEvent.invoke(percent); };
    e.OnRemoteProbeParamEvent = [this](int percent) { OnRemoteProbeParamEvent.invoke(percent); };
    e.OnRawDevelopEvent = [this](int percent) { OnRawDevelopEvent.invoke(percent); };
    e.OnTimerError = [this](const std::string &message) { OnTimerError.invoke(message); };
}

void TTetherboxActiveX::removeHandlers(TTetherbox &e)
{
    e.OnEvent = nullptr;
    e.OnViewfinderEvent = nullptr;
    e.OnRemoteEvent = nullptr;
    e.OnRemoteTakePictureEvent = nullptr;
    e.OnRemoteGetPictureEvent = nullptr;
    e.OnRemoteGetMovieEvent = nullptr;
    e.OnGetPictureEvent = nullptr;
    e.OnRemoteProbeParamEvent = nullptr;
    e.OnRawDevelopEvent = nullptr;
    e.OnTimerError = nullptr;
}

void TTetherboxActiveX::freeEngine()
{
    if (!FEngine)
        return;
    removeHandlers(*FEngine);
    FEngine.reset();
}

void TTetherboxActiveX::OpenCameraEnumeration()
{
    if (!FEngine)
        createEngine();
    const EnumerationListsType lists = FEngine->OpenCameraEnumeration();
    // Copies: the engine refills or frees its lists with the next enumeration or its close.
    FPowerShotNames = lists.PowerShot != nullptr ? *lists.PowerShot : StringList{};
    FEOSNames = lists.EOS != nullptr ? *lists.EOS : StringList{};
    FPowerShotGen2Names = lists.PowerShotGen2 != nullptr ? *lists.PowerShotGen2 : StringList{};
}

void TTetherboxActiveX::CloseCameraEnumeration()
{
    if (!FEngine)
        return;
    try {
        FEngine->CloseCameraEnumeration();
    } catch (...) {
        freeEngine();
        removeFrameFilesOnceStopped();
        throw;
    }
    freeEngine();
    removeFrameFilesOnceStopped();
}

void TTetherboxActiveX::endingViewfinder(const std::function<void()> &step)
{
    try {
        step();
    } catch (...) {
        removeFrameFilesOnceStopped();
        throw;
    }
    removeFrameFilesOnceStopped();
}

void TTetherboxActiveX::removeFrameFilesOnceStopped() noexcept
{
    if (FEngine && FEngine->ViewfinderMode())
        return;
    FrameFiles files = [&] {
        std::lock_guard lock(frameMutex_);
        FrameFiles taken = frames_;
        frames_.setDirectory({});
        return taken;
    }();
    if (!files.hasDirectory())
        return;
    try {
        files.removeAll();
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------------------------
// Event translation
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::engineCameraEvent(EventCallbackType event)
{
    OnEvent.invoke(event.Severity, event.EventNum);
}

void TTetherboxActiveX::engineRemoteEvent(RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &data)
{
    if (!OnRemoteEvent.assigned())
        return;
    if (data.EventValid == NotifyRemoteEventValid1)
        OnRemoteEvent.invoke(event, data.EventValid, data.NumOfEvents, TypeOfPictureNo);
    else
        OnRemoteEvent.invoke(event, data.EventValid, std::int32_t{0}, data.TypeOfPicture);
}

std::uint32_t TTetherboxActiveX::streamAddress(std::span<const std::uint8_t> jpeg)
{
    const auto fits = [](const void *p) { return reinterpret_cast<std::uintptr_t>(p) <= 0xFFFFFFFFu; };
    if (fits(jpeg.data()))
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(jpeg.data()));
    std::uint8_t *block = lowBlockProvider_ ? lowBlockProvider_(jpeg.size()) : nullptr;
    if (block == nullptr || !fits(block) || !fits(block + jpeg.size()))
        throw ECamException("The viewfinder frame cannot be handed over as a 32-bit address in this process; "
                            "use ViewfinderCallbackFilename");
    std::memcpy(block, jpeg.data(), jpeg.size());
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block));
}

void TTetherboxActiveX::engineViewfinderEvent(std::span<const std::uint8_t> jpeg,
                                              const ViewfinderPositionType &metadata)
{
    if (!OnViewfinderEvent.assigned())
        return;
    std::string fileName;
    std::uint32_t address = 0;
    std::uint32_t size = 0;
    {
        std::lock_guard lock(frameMutex_);
        std::memcpy(FHistogram, metadata.Histogram, sizeof FHistogram);
        FLastViewfinderMetadata = metadata;
        switch (FViewfinderCallback) {
        case ViewfinderCallbackFilename:
            fileName = frames_.takeNextName();
            if (!FrameFiles::write(fileName, jpeg))
                return; // this frame is lost; the rotation goes on with the next one
            break;
        case ViewfinderCallbackStream:
            if (jpeg.size() > 0x7FFFFFFFu)
                throw ECamException("The viewfinder frame is too large to be handed over");
            address = streamAddress(jpeg);
            size = static_cast<std::uint32_t>(jpeg.size());
            break;
        default:
            return;
        }
    }
    const PointType zoomPosition = metadata.zoomPosition();
    OnViewfinderEvent.invoke(fileName, static_cast<std::int32_t>(address), static_cast<std::int32_t>(size),
                             metadata.Valid != 0, zoomPosition.X, zoomPosition.Y, metadata.ZoomRect.PointX,
                             metadata.ZoomRect.PointY, metadata.ZoomRect.Width, metadata.ZoomRect.Height,
                             metadata.ImagePosition.X, metadata.ImagePosition.Y, metadata.CoordSystem.Width,
                             metadata.CoordSystem.Height, static_cast<std::int32_t>(metadata.Zoom));
}

// ---------------------------------------------------------------------------------------------
// Viewfinder start and stop
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::RemoteStartViewfinder(int CallbackMethod, bool ViewfinderUseCanonThread,
                                              const std::string &PictureDirectory)
{
    if (CallbackMethod != ViewfinderCallbackFilename && CallbackMethod != ViewfinderCallbackStream)
        throw ECamException("Parameter CallbackMethod in method RemoteStartViewfinder must be between 0..1");
    TTetherbox &e = engine();
    // Stream mode needs no directory; an empty one is taken as "none" (and never cleaned up).
    const bool needDirectory = CallbackMethod == ViewfinderCallbackFilename || !PictureDirectory.empty();
    std::error_code ec;
    if (needDirectory && !std::filesystem::is_directory(platform::hostPath(PictureDirectory), ec) &&
        (PictureDirectory.empty() || !platform::createDirectories(PictureDirectory)))
        throw ECamException(std::string(msg::kCreateDirectory) + PictureDirectory);
    {
        std::lock_guard lock(frameMutex_);
        FViewfinderCallback = static_cast<ViewfinderCallbackType>(CallbackMethod);
        frames_.setDirectory(PictureDirectory);
    }
    e.RemoteStartViewfinder(ViewfinderUseCanonThread);
}

void TTetherboxActiveX::RemoteStopViewfinder()
{
    TTetherbox &e = engine();
    const FrameFiles cleanup = [this] {
        std::lock_guard lock(frameMutex_);
        return frames_;
    }();
    try {
        e.RemoteStopViewfinder();
    } catch (...) {
        if (cleanup.hasDirectory())
            cleanup.removeAll();
        throw;
    }
    if (cleanup.hasDirectory())
        cleanup.removeAll();
}

} // namespace tbx
