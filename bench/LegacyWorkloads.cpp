#include "LegacyWorkloads.h"

#include "drivers/Drivers.h"
#include "sdk/CDAPI.h"

#include <filesystem>
#include <stdexcept>

namespace tbx::bench {

namespace {

constexpr const char *kLegacyScenario = R"({"cameras": [{"id": "g5", "family": "PowerShot legacy",
    "description": "Canon PowerShot G5", "volumes": [{"label": "CF1", "items": [{"folder": "DCIM", "items": [
    {"folder": "100CANON", "items": [{"file": "IMG_0001.JPG"}, {"file": "IMG_0002.JPG"}]}]}]}]}]})";
constexpr std::uint32_t kIdleWaitMs = 2000;
/// TbxSim_FireEvent: one viewfinder frame now.
constexpr std::uint32_t kOneFrame = 0x20000000;

void check(std::uint32_t result, const std::string &what)
{
    if (result != TBXSIM_OK)
        throw std::runtime_error(what + " failed (" + std::to_string(result) + "): " + legacySim().lastError());
}

std::atomic<std::size_t> bareFrames{0};

std::uint32_t TBX_STDCALL countFrame(void * /*buffer*/, std::uint32_t size, std::uint32_t /*format*/,
                                     std::uint32_t /*context*/)
{
    bareFrames += size != 0 ? 1 : 0;
    return 0;
}

/// Progress calls of the bare downloads, which only count.
std::atomic<int> bareProgressCalls{0};

std::uint32_t TBX_STDCALL countProgress(std::uint32_t /*percent*/, std::uint32_t /*status*/, std::uint32_t /*context*/)
{
    ++bareProgressCalls;
    return 0;
}

} // namespace

const sim::ControlClient &legacySim()
{
    static const sim::ControlClient client(redistFolder() + "/CDSDK.dll");
    return client;
}

LegacySession::LegacySession()
{
    platform::setClock(&clock_);
    platform::setOsVersionOverride(platform::OsVersion{6, 1});
    auto driver = std::make_unique<cdsdk::TCDSDK>(cdsdk::CdsdkLibrary());
    driver_ = driver.get();
    engine_ = connectPowerShot(legacySim(), kLegacyScenario, SlotLegacy, std::move(driver));
}

LegacySession::~LegacySession()
{
    closeEngine(engine_);
    platform::clearOsVersionOverride();
}

std::uint32_t LegacySession::source() const
{
    if (driver_->Source() == 0)
        throw std::runtime_error("The driver holds no source");
    return driver_->Source();
}

void LegacySession::pump(platform::Millis ms)
{
    check(legacySim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in");
    platform::runFor(ms);
}

// ---------------------------------------------------------------------------------------------
// Viewfinder frame
// ---------------------------------------------------------------------------------------------

LegacyFramePair::LegacyFramePair(LegacySession &session, bool bare) : session_(session), bare_(bare)
{
    if (bare_) {
        sdk::RaiseOnCDError("CDStartViewfinder", sdk::Cd().CDStartViewfinder(session_.source(), 0, &countFrame, 0));
        return;
    }
    session_.engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
        ++frames_;
        lastBytes_ = jpeg.size();
    };
    session_.engine().RemoteStartViewfinder(false);
}

LegacyFramePair::~LegacyFramePair()
{
    if (bare_)
        sdk::Cd().CDTermViewfinder(session_.source());
}

std::size_t LegacyFramePair::engineFrame()
{
    const std::size_t before = frames_;
    check(legacySim().FireEvent("g5", kOneFrame, 0), "Firing a frame");
    session_.pump(session_.engine().PS2ViewfinderRefreshInterval);
    if (frames_ == before)
        throw std::runtime_error("The host got no frame");
    return lastBytes_;
}

std::size_t LegacyFramePair::bareFrame()
{
    const std::size_t before = bareFrames.load();
    check(legacySim().FireEvent("g5", kOneFrame, 0), "Firing a frame");
    check(legacySim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in");
    if (bareFrames.load() == before)
        throw std::runtime_error("The callback got no frame");
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Card download
// ---------------------------------------------------------------------------------------------

LegacyDownloadPair::LegacyDownloadPair(LegacySession &session, int position)
    : session_(session), folder_("legacy-download"), position_(position)
{
    ImageListType list;
    session_.engine().OpenCameraCollection(folder_.path().string(), false, list);
    if (position_ < 0 || static_cast<std::size_t>(position_) >= list.size())
        throw std::runtime_error("The card holds no picture " + std::to_string(position_));
    session_.engine().OnGetPictureEvent = [](int) {};

    // The bare side finds the same picture through an enumeration of its own.
    const sdk::CdEntryPoints &cd = sdk::Cd();
    sdk::CdHEnum volumes = 0;
    sdk::CdHVolume volume = 0;
    sdk::RaiseOnCDError("CDEnumVolumeReset", cd.CDEnumVolumeReset(session_.source(), &volumes));
    const sdk::CdError next = cd.CDEnumVolumeNext(volumes, &volume);
    cd.CDEnumVolumeRelease(volumes);
    sdk::RaiseOnCDError("CDEnumVolumeNext", next);
    sdk::CdHEnum items = 0;
    sdk::RaiseOnCDError("CDEnumImageItemReset", cd.CDEnumImageItemReset(volume, 3, 1, &items));
    sdk::CdError found = 0;
    for (int i = 0; i <= position_ && found == 0; ++i)
        found = cd.CDEnumImageItemNext(items, &item_);
    cd.CDEnumImageItemRelease(items);
    sdk::RaiseOnCDError("CDEnumImageItemNext", found);
}

std::uint64_t LegacyDownloadPair::engineDownload()
{
    session_.engine().GetPicture(position_, engineFile().string());
    // The host's progress events are part of the engine's work: one poll tick each.
    session_.pump(25);
    while (session_.engine().QueuedEventCount() > 0)
        platform::runFor(25);
    return std::filesystem::file_size(engineFile());
}

std::uint64_t LegacyDownloadPair::bareDownload()
{
    const sdk::CdEntryPoints &cd = sdk::Cd();
    sdk::RaiseOnCDError("CDOpenImage", cd.CDOpenImage(item_));
    sdk::CdHImageData data = 0;
    const sdk::CdError picture = cd.CDGetPicture(item_, &data);
    const std::string name = bareFile().string();
    sdk::CdError written = 0;
    if (picture == 0) {
        sdk::CdStgMedium destination{};
        destination.u.lpszFileName = name.c_str();
        written = cd.CDGetImageData(data, &destination, &countProgress, 0, 3);
    }
    cd.CDCloseImage(item_);
    sdk::RaiseOnCDError("CDGetPicture", picture);
    sdk::RaiseOnCDError("CDGetImageData", written);
    return std::filesystem::file_size(bareFile());
}

} // namespace tbx::bench
