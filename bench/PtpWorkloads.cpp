#include "PtpWorkloads.h"

#include "drivers/Drivers.h"
#include "sdk/PRAPI.h"

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace tbx::bench {

namespace {

constexpr const char *kPtpScenario = R"({"cameras": [{"id": "g9", "family": "PowerShot",
    "description": "Canon PowerShot G9", "picture": {"width": 1600, "height": 1200}}]})";
constexpr std::uint32_t kIdleWaitMs = 2000;
constexpr std::uint16_t kPictureAnnounced = 0xC008;
/// The block size the engine asks for.
constexpr std::uint32_t kBlockBytes = 100000;
/// Virtual time for the host's events to be delivered, and the most a step waits for them.
constexpr platform::Millis kTick = 25;
constexpr int kMaxTicks = 400;
/// TbxSim_FireEvent: one viewfinder frame now.
constexpr std::uint32_t kOneFrame = 0x20000000;

void check(std::uint32_t result, const std::string &what)
{
    if (result != TBXSIM_OK)
        throw std::runtime_error(what + " failed (" + std::to_string(result) + "): " + ptpSim().lastError());
}

/// The object the last 0xC008 event announced to the bare side (0 once fetched).
std::atomic<std::uint32_t> bareAnnounced{0};

sdk::prResponse TBX_STDCALL bareEvent(sdk::prHandle /*camera*/, sdk::prContext /*context*/, sdk::prVoid *data)
{
    const auto record = sdk::PtpEventRecord::fromContainer(data);
    if (record && record->eventCode() == kPictureAnnounced)
        bareAnnounced = record->objectHandle();
    return 0;
}

/// Frames the bare side's viewfinder callback received, and the size of the last.
std::atomic<std::size_t> bareFrames{0};
std::atomic<std::size_t> bareFrameBytes{0};

sdk::prResponse TBX_STDCALL countFrame(sdk::prHandle /*camera*/, sdk::prContext /*context*/, sdk::prUInt32 size,
                                       sdk::prVoid * /*data*/)
{
    bareFrameBytes = size;
    bareFrames += size != 0 ? 1 : 0;
    return 0;
}

/// The bare side's target file, open during one PR_RC_GetReleasedData.
std::ofstream *bareTarget = nullptr;

sdk::prResponse TBX_STDCALL bareBlock(sdk::prHandle /*camera*/, sdk::prObjectHandle /*object*/,
                                      sdk::prContext /*context*/, sdk::prProgress *progress)
{
    if (progress != nullptr && progress->Length > 0 && progress->Data != nullptr && bareTarget != nullptr)
        bareTarget->write(reinterpret_cast<const char *>(progress->Data), progress->Length);
    return 0;
}

} // namespace

const sim::ControlClient &ptpSim()
{
    static const sim::ControlClient client(redistFolder() + "/PRSDK.dll");
    return client;
}

PtpSession::PtpSession()
{
    DriverArray all = MakeDrivers();
    driver_ = dynamic_cast<prsdk::TPRSDK *>(all[SlotPTP].get());
    if (driver_ == nullptr)
        throw std::runtime_error("The driver table holds no PTP driver");
    platform::setClock(&clock_);
    platform::setOsVersionOverride(platform::OsVersion{5, 1});
    engine_ = connectPowerShot(ptpSim(), kPtpScenario, SlotPTP, std::move(all[SlotPTP]));
}

PtpSession::~PtpSession()
{
    closeEngine(engine_);
    platform::clearOsVersionOverride();
}

std::uint32_t PtpSession::camera() const
{
    if (driver_->Handle() == 0)
        throw std::runtime_error("The driver holds no camera");
    return driver_->Handle();
}

void PtpSession::pump(platform::Millis ms)
{
    check(ptpSim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in");
    platform::runFor(ms);
}

PtpFramePair::PtpFramePair(PtpSession &session, bool bare) : session_(session), bare_(bare)
{
    if (bare_) {
        sdk::RaiseOnPRError("PR_RC_StartViewFinder", sdk::Pr().PR_RC_StartViewFinder(session_.camera(), 0, &countFrame));
        return;
    }
    session_.engine().OnViewfinderEvent = [this](std::span<const std::uint8_t> jpeg, const ViewfinderPositionType &) {
        ++frames_;
        lastBytes_ = jpeg.size();
    };
    session_.engine().RemoteStartViewfinder(false);
}

PtpFramePair::~PtpFramePair()
{
    if (bare_)
        sdk::Pr().PR_RC_TermViewFinder(session_.camera());
}

std::size_t PtpFramePair::engineFrame()
{
    const std::size_t before = frames_;
    check(ptpSim().FireEvent("g9", kOneFrame, 0), "Asking for a frame");
    for (int tick = 0; frames_ == before && tick < kMaxTicks; ++tick)
        session_.pump(kTick);
    if (frames_ == before)
        throw std::runtime_error("The host got no frame");
    return lastBytes_;
}

std::size_t PtpFramePair::bareFrame()
{
    const std::size_t before = bareFrames.load();
    check(ptpSim().FireEvent("g9", kOneFrame, 0), "Asking for a frame");
    check(ptpSim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in");
    if (bareFrames.load() == before)
        throw std::runtime_error("The callback got no frame");
    return bareFrameBytes.load();
}

PtpTransferPair::PtpTransferPair(PtpSession &session, bool bare) : session_(session), folder_("ptp-transfer")
{
    if (bare) {
        // The camera has one event callback: the engine's goes.
        sdk::RaiseOnPRError("PR_ClearEventCallBack", sdk::Pr().PR_ClearEventCallBack(session_.camera()));
        sdk::RaiseOnPRError("PR_SetEventCallBack", sdk::Pr().PR_SetEventCallBack(session_.camera(), 0, &bareEvent));
        return;
    }
    session_.engine().OnRemoteEvent = [this](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &) {
        announced_ = announced_ || event == RemoteEventCallbackReleaseComplete;
    };
    session_.engine().OnRemoteTakePictureEvent = [this](int) { ++progress_; };
}

std::uint64_t PtpTransferPair::engineTransfer()
{
    announced_ = false;
    session_.engine().RemoteTakePicture();
    for (int tick = 0; !announced_ && tick < kMaxTicks; ++tick)
        session_.pump(kTick);
    if (!announced_)
        throw std::runtime_error("The host heard of no picture");
    session_.engine().RemoteGetPicture(engineFile().string(), 1);
    // The host's progress events are part of the engine's work.
    for (int tick = 0; session_.engine().QueuedEventCount() > 0 && tick < kMaxTicks; ++tick)
        platform::runFor(kTick);
    return std::filesystem::file_size(engineFile());
}

std::uint64_t PtpTransferPair::bareTransfer()
{
    const sdk::PrEntryPoints &pr = sdk::Pr();
    bareAnnounced = 0;
    sdk::RaiseOnPRError("PR_RC_Release", pr.PR_RC_Release(session_.camera()));
    check(ptpSim().WaitIdle(kIdleWaitMs), "Waiting for the stand-in");
    const std::uint32_t object = bareAnnounced.exchange(0);
    if (object == 0)
        throw std::runtime_error("The callback heard of no picture");
    std::ofstream file(bareFile(), std::ios::binary | std::ios::trunc);
    bareTarget = &file;
    const sdk::prResponse fetched = pr.PR_RC_GetReleasedData(session_.camera(), object, kPictureAnnounced, kBlockBytes,
                                                             0, &bareBlock);
    bareTarget = nullptr;
    file.close();
    sdk::RaiseOnPRError("PR_RC_GetReleasedData", fetched);
    return std::filesystem::file_size(bareFile());
}

} // namespace tbx::bench
