// TPRSDK: release, transfer, viewfinder, AE/AF/AWB, focus lock and zoom.
#include "drivers/prsdk/TPRSDK.h"

#include "platform/Errors.h"

namespace tbx::prsdk {

namespace {

constexpr std::uint32_t kBlockBytes = 100000;
constexpr std::uint32_t kOpticalLimitNotGiven = 255;
constexpr int kMaxZoomPosition = 0xFFFF;

} // namespace

void TPRSDK::RemoteEnd() { pr().PR_TerminateReleaseControl(handle_); }

int TPRSDK::GetNumberOfAvailableShots()
{
    std::uint32_t count = 0;
    check("PR_RC_GetNumAvailableShot", pr().PR_RC_GetNumAvailableShot(handle_, &count));
    return static_cast<int>(count);
}

void TPRSDK::RemoteTakePicture(ProgressProc /*progress*/, int /*registryIndex*/)
{
    check("PR_RC_Release", pr().PR_RC_Release(handle_));
}

void TPRSDK::RemoteGetPTPPicture(const PtpEventRecord &record, PtpTransferProc transfer, int registryIndex)
{
    // The engine's callback takes the progress record as raw bytes; the shapes agree otherwise.
    const auto callback = reinterpret_cast<sdk::prGetFileDataCB *>(reinterpret_cast<void (*)()>(transfer));
    check("PR_RC_GetReleasedData",
          pr().PR_RC_GetReleasedData(handle_, record.objectHandle(), record.eventCode(), kBlockBytes,
                                     static_cast<std::uint32_t>(registryIndex), callback));
}

void TPRSDK::RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex)
{
    check("PR_RC_StartViewFinder",
          pr().PR_RC_StartViewFinder(handle_, static_cast<std::uint32_t>(registryIndex), callbacks.ptp));
}

void TPRSDK::RemoteStopViewfinder() { pr().PR_RC_TermViewFinder(handle_); }

void TPRSDK::SetViewfinderOutput(std::uint8_t output)
{
    // LCD, video, off.
    if (output <= 2)
        writeValue(kPropViewfinderOutput, 1, output + 1u);
}

void TPRSDK::ActivateViewfinderAuto(bool /*on*/)
{
    for (std::uint32_t run : {1u, 2u, 4u}) // exposure, focus, white balance
        check("PR_RC_DoAeAfAwb", pr().PR_RC_DoAeAfAwb(handle_, run));
}

void TPRSDK::AFLock(bool lock)
{
    if (lock)
        check("PR_RC_FocusLock", pr().PR_RC_FocusLock(handle_));
    else
        check("PR_RC_FocusUnlock", pr().PR_RC_FocusUnlock(handle_));
}

void TPRSDK::GetZoomPos(ZoomPosType &pos)
{
    if (!has(CapZoomPos))
        return;
    const sdk::PtpPropDesc desc = propertyDesc(kPropZoomPos);
    if (desc.form() != sdk::PtpForm::Range)
        throw ECamException("The camera describes its zoom positions without a range");
    std::uint16_t optical = 0;
    std::uint32_t size = sizeof optical;
    check("PR_GetDevicePropValue", pr().PR_GetDevicePropValue(handle_, kPropOpticalZoomLimit, &size, &optical));
    pos.CurrentZoomPos = static_cast<std::int32_t>(desc.Current);
    pos.MaxZoomPos = static_cast<std::int32_t>(desc.Maximum);
    pos.MaxOpticalZoomPos = static_cast<std::int32_t>(desc.Maximum);
    // 0 would give a limit below the first position; the camera gives no limit then either.
    if (optical != kOpticalLimitNotGiven && optical != 0)
        pos.MaxOpticalZoomPos = optical - 1;
}

void TPRSDK::SetZoomPos(int pos)
{
    if (!has(CapZoomPos))
        return;
    if (pos < 0 || pos > kMaxZoomPosition)
        throw ECamException("The zoom position " + std::to_string(pos) + " is outside 0 to 65535");
    check("PR_SetDevicePropValue", writeValue(kPropZoomPos, 2, static_cast<std::uint32_t>(pos)));
}

} // namespace tbx::prsdk
